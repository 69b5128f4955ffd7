#include "audio_wavlib.h"

#include "KvWavHeader.h"

#include <cstring>

namespace {
constexpr int kWavChunk = 9216;
constexpr int kPresetRates[] = {48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
}

audio_wavlib::audio_wavlib(const KvAudioFrameReaderPtr &source) : audio_lib(source) {}

QString audio_wavlib::name() { return QStringLiteral("WAV Format"); }
QString audio_wavlib::fileExtension() { return QStringLiteral("wav"); }

bool audio_wavlib::open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame,
                        int mode, int bitrate, int vbrQuality, double resampleRatio,
                        int channelsOut, int resampleRate, bool encode)
{
    close();
    m_headerWritten = 0;
    m_inputBufferSize = kWavChunk;
    m_chunkSize = kWavChunk;
    return setup(channelsIn, bitsPerSample, sampleRate, samplesPerFrame, mode, bitrate, 0,
                 resampleRatio, channelsOut, resampleRate, encode);
}

void audio_wavlib::close() { m_headerWritten = 0; }

int audio_wavlib::decodeChunk(const char *, int, char *, int, int *outLen)
{
    *outLen = 0;
    return -1;
}

int audio_wavlib::encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (inLen <= 0)
        return inLen == 0 ? 0 : -1;
    int gap = 0;
    const int headerSize = KvWavHeaderSize();
    if (m_headerWritten < headerSize) {
        if (headerSize > outCap)
            return -1;
        gap = headerSize;
    }
    if (qint64(gap) + inLen > outCap)
        return -1;
    if (gap) {
        std::memset(out, 0, size_t(gap));
        m_headerWritten = headerSize;
    }
    std::memcpy(out + gap, in, size_t(inLen));
    *outLen = gap + inLen;
    return 0;
}

audio_preset *audio_wavlib::presetSettings(int index)
{
    if (index < 0 || index >= int(sizeof kPresetRates / sizeof kPresetRates[0]))
        return nullptr;
    auto *p = new audio_preset;
    p->index = index;
    p->channels = 0;
    p->sampleRate = kPresetRates[index];
    p->flag1 = false;
    p->bitrate = 0;
    p->mode = 2;
    p->channelMode = -1;
    p->vbrQuality = -1;
    p->flag2 = false;
    p->text = QStringLiteral("WAV format: %1Hz").arg(kPresetRates[index]);
    return p;
}
