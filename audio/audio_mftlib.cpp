#include "audio_mftlib.h"

#include <KvBitStream.h>

#include <algorithm>
#include <cmath>

namespace {
const int kTableRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                           22050, 16000, 12000, 11025, 8000,  7350};
constexpr int kChunk = 9216;

struct AacPreset {
    int sampleRate;
    int bitrate;
};
const AacPreset kPresets[] = {{48000, 192}, {48000, 160}, {48000, 128}, {48000, 96},
                              {44100, 192}, {44100, 160}, {44100, 128}, {44100, 96}};
} // namespace

audio_mftlib::audio_mftlib(const KvAudioFrameReaderPtr &source)
    : audio_lib(source), m_available(KvAacCodec::available())
{
}

audio_mftlib::~audio_mftlib() { close(); }

QString audio_mftlib::codecName() { return QStringLiteral("FFmpeg AAC Codec"); }
QString audio_mftlib::name() { return codecName(); }
QString audio_mftlib::fileExtension() { return QStringLiteral("aac"); }

int audio_mftlib::samplingIndex(int sampleRate)
{
    for (int i = 0; i < int(sizeof kTableRates / sizeof kTableRates[0]); ++i)
        if (kTableRates[i] == sampleRate)
            return i;
    return 15;
}

KvAacStreamInfo audio_mftlib::streamInfo(int sampleRate, int channels)
{
    KvAacStreamInfo info = {};
    info.field[0] = 2;  // AAC LC
    info.field[1] = samplingIndex(sampleRate);
    info.field[2] = sampleRate;
    info.field[9] = channels;
    info.field[11] = 1024;
    return info;
}

QByteArray audio_mftlib::audioSpecificConfig(int sampleRate, int channels)
{
    KvBitWriter w(64);
    const int index = samplingIndex(sampleRate);
    w.write(2, 5);  // audioObjectType: AAC LC
    w.write(uint32_t(index), 4);
    if (index == 15)
        w.write(uint32_t(sampleRate) & 0xffffffu, 24);
    w.write(uint32_t(channels) & 15u, 4);
    w.write(0, 1);  // frameLengthFlag: 1024 samples
    w.write(0, 1);  // dependsOnCoreCoder
    w.write(0, 1);  // extensionFlag
    // Backward-compatible extension: SBR explicitly absent, so no decoder doubles the rate.
    w.write(0x2b7, 11);
    w.write(5, 5);
    w.write(0, 1);
    // Zero bits up to the byte boundary: a partly written byte already counts in size().
    return QByteArray(reinterpret_cast<const char *>(w.data()), int(w.size()));
}

audio_preset *audio_mftlib::presetSettings(int index)
{
    if (index < 0 || index >= int(sizeof kPresets / sizeof kPresets[0]))
        return nullptr;
    auto *p = new audio_preset;
    p->index = index;
    p->channels = 0;
    p->sampleRate = kPresets[index].sampleRate;
    p->flag1 = false;
    p->bitrate = kPresets[index].bitrate;
    p->mode = 2;
    p->channelMode = -1;
    p->vbrQuality = -1;
    p->flag2 = false;
    p->text = tr("FFmpeg AAC encoder: %2Hz, %1 kbps (CBR)").arg(p->bitrate).arg(p->sampleRate);
    return p;
}

void audio_mftlib::close()
{
    if (m_writer != 0) {
        m_writerCalls.close(m_writer);
        m_writer = 0;
    }
    m_codec.close();
}

bool audio_mftlib::open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame,
                        int mode, int bitrate, int vbrQuality, double resampleRatio,
                        int channelsOut, int resampleRate, bool encode)
{
    close();
    m_inputBufferSize = 0;
    m_chunkSize = 0;
    m_opened = false;
    m_errorText.clear();
    // Each stream starts afresh, also on a reused object.
    m_drained = false;
    m_inputBytes = 0;
    m_decodedBytes = 0;
    m_encoding = encode;
    if (!m_available) {
        m_errorText = tr("No AAC codec is installed.");
        return false;
    }
    if (bitsPerSample != 16) {
        m_errorText = tr("The AAC codec takes 16-bit samples only.");
        return false;
    }

    if (encode) {
        // Two channels mixed down and resampled PCM reach the codec at the output's
        // channel count and rate.
        const int channels = channelsOut > 0 ? channelsOut : channelsIn;
        int rate = sampleRate;
        if (resampleRatio != 1.0 && resampleRatio > 0.0)
            rate = resampleRate > 0 ? resampleRate : int(std::lround(sampleRate * resampleRatio));
        if (!m_codec.openEncoder(channels, rate, bitrate)) {
            m_errorText = tr("The AAC encoder does not take %1 Hz, %2 channel(s), %3 kbps.")
                              .arg(rate)
                              .arg(channels)
                              .arg(bitrate);
            return false;
        }
        m_info = streamInfo(rate, channels);
        m_writerCalls = kvAacFrameWriter();
        m_writer = m_writerCalls.init(m_info);
        if (m_writer == 0) {
            // Without a writer every frame would be lost while the stream looked fine.
            m_errorText = tr("The AAC writer is not available.");
            close();
            return false;
        }
    } else {
        const int index = samplingIndex(sampleRate);
        if (index == 15 && (sampleRate <= 0 || sampleRate > 0xffffff)) {
            m_errorText = tr("The AAC decoder does not take %1 Hz.").arg(sampleRate);
            return false;
        }
        if (!m_codec.openDecoder(channelsIn, sampleRate, audioSpecificConfig(sampleRate, channelsIn))) {
            m_errorText = tr("Unable to open the AAC decoder for %1 Hz, %2 channel(s).")
                              .arg(sampleRate)
                              .arg(channelsIn);
            return false;
        }
    }
    m_inputBufferSize = kChunk;
    m_chunkSize = kChunk;
    if (!setup(channelsIn, bitsPerSample, sampleRate, samplesPerFrame, mode, bitrate, vbrQuality,
               resampleRatio, channelsOut, resampleRate, encode)) {
        close();
        return false;
    }
    return true;
}

int audio_mftlib::decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (!m_codec.isDecoder() || inLen < 0 || inLen > kDecodeInputBuffer || (inLen > 0 && !in)
        || outCap < 0 || (outCap > 0 && !out))
        return -1;
    if (inLen > 0) {
        if (m_codec.decode(in, inLen) < 0)
            return -1;
    } else if (!m_drained) {
        m_drained = true;
        if (m_codec.drainDecoder() < 0)
            return -1;
    }
    const int n = m_codec.takePcm(out, outCap);
    *outLen = n;
    m_decodedBytes += n;
    return 0;
}

int audio_mftlib::encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (!m_codec.isEncoder() || inLen < 0 || inLen > kEncodeInputBuffer || (inLen > 0 && !in)
        || outCap < 0 || (outCap > 0 && !out))
        return -1;
    int written = 0;
    const auto sink = [&](const unsigned char *frame, int size) {
        if (size <= 0)
            return true;
        if (size > kFrameBufferCapacity)
            return false;
        qint32 got = 0;
        const qint32 r = m_writerCalls.write(m_writer, frame, size, out + written,
                                             outCap - written, &got);
        if (r < 0)
            return false;
        written += std::max(0, std::min(int(got), outCap - written));
        return true;
    };
    int r = 0;
    if (inLen > 0) {
        if (m_drained)
            return -1;  // the stream has ended; a new one needs open
        m_inputBytes += quint64(inLen);
        r = m_codec.encode(in, inLen, sink);
    } else if (!m_drained) {
        m_drained = true;
        r = m_codec.drainEncoder(sink);
    }
    if (r < 0)
        return -1;
    *outLen = written;
    return 0;
}
