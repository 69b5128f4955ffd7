#include "audio_acmlib.h"

#include <algorithm>

namespace {
constexpr int kDecodeBlock = 9216;
constexpr int kEncodeBlockSamples = 40960;
}

audio_acmlib::audio_acmlib(const KvAudioFrameReaderPtr &source) : audio_lib(source) {}

audio_acmlib::~audio_acmlib() { close(); }

QString audio_acmlib::codecName() { return QStringLiteral("FFmpeg MP3 Codec"); }
QString audio_acmlib::name() { return codecName(); }
QString audio_acmlib::fileExtension() { return QStringLiteral("mp3"); }

int audio_acmlib::formatCount()
{
    if (m_formatCount < 0) {
        m_formats = KvMp3CodecEncoder::driverFormats();
        m_formatCount = int(m_formats.size());
    }
    return m_formatCount;
}

audio_preset *audio_acmlib::presetSettings(int index)
{
    if (index < 0 || index >= formatCount())
        return nullptr;
    const KvMp3CodecFormat &f = m_formats[size_t(index)];
    auto *p = new audio_preset;
    p->index = index;
    p->channels = f.channels;
    p->sampleRate = f.sampleRate;
    p->flag1 = false;
    p->bitrate = f.bitrate;
    p->mode = 2;
    p->channelMode = f.channels == 1 ? 3 : 0;
    p->vbrQuality = -1;
    p->flag2 = false;
    p->text = f.text;
    return p;
}

const KvMp3CodecFormat *audio_acmlib::findFormat(int sampleRate, int bitrate, int channels)
{
    formatCount();
    for (const KvMp3CodecFormat &f : m_formats)
        if (f.sampleRate == sampleRate && f.bitrate == bitrate && f.channels == channels)
            return &f;
    return nullptr;
}

bool audio_acmlib::open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame,
                        int mode, int bitrate, int vbrQuality, double resampleRatio,
                        int channelsOut, int resampleRate, bool encode)
{
    close();
    m_inputBufferSize = 0;
    m_chunkSize = 0;
    m_errorText.clear();

    if (!encode) {
        if (!m_decoder.open(sampleRate, channelsIn)) {
            m_errorText = tr("Unable to open the MP3 decoder for %1 Hz, %2 channel(s).")
                              .arg(sampleRate)
                              .arg(channelsIn);
            return false;
        }
        m_inputBufferSize = kDecodeBlock;
        m_chunkSize = kDecodeBlock;
    } else {
        if (formatCount() == 0) {
            m_errorText = tr("No installed MP3 encoder was found.");
            return false;
        }
        // Two channels in and one out are mixed down before the codec, and resampled PCM
        // reaches it at the output rate.
        const int codecChannels = channelsOut > 0 ? channelsOut : channelsIn;
        const int codecRate = (resampleRatio != 1.0 && resampleRate > 0) ? resampleRate : sampleRate;
        const KvMp3CodecFormat *f = findFormat(codecRate, bitrate, codecChannels);
        if (!f) {
            m_errorText = tr("The MP3 encoder offers no format for %1 Hz, %2 bit/s, %3 channel(s).")
                              .arg(codecRate)
                              .arg(bitrate)
                              .arg(codecChannels);
            return false;
        }
        const int bytesPerSample = std::max(bitsPerSample / 8, 2);
        m_inputBufferSize = bytesPerSample * std::max(channelsIn, 1) * kEncodeBlockSamples;
        m_chunkSize = bytesPerSample * std::max({channelsIn, channelsOut, 1}) * kEncodeBlockSamples;
        if (!m_encoder.open(*f, m_inputBufferSize)) {
            m_errorText = tr("Unable to open the MP3 encoder (%1).").arg(KvMp3CodecEncoder::driverName());
            return false;
        }
    }
    if (!setup(channelsIn, bitsPerSample, sampleRate, samplesPerFrame, mode, bitrate, vbrQuality,
               resampleRatio, channelsOut, resampleRate, encode)) {
        close();
        return false;
    }
    return true;
}

void audio_acmlib::close()
{
    m_decoder.close();
    m_encoder.close();
}

int audio_acmlib::pendingBytes() const
{
    return m_decoder.isOpen() ? m_decoder.pendingBytes() : m_encoder.pendingBytes();
}

int audio_acmlib::decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    return convertChunk(in, inLen, out, outCap, outLen);
}

int audio_acmlib::encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    return convertChunk(in, inLen, out, outCap, outLen);
}

int audio_acmlib::convertChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (inLen < 0 || (inLen > 0 && !in) || (!out && outCap > 0) || outCap < 0)
        return -1;
    if (m_decoder.isOpen())
        return decodeStep(in, inLen, out, outCap, outLen);
    if (m_encoder.isOpen())
        return m_encoder.convert(in, inLen, out, outCap, outLen);
    return -1;
}

int audio_acmlib::decodeStep(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    if (qint64(m_decoder.pendingBytes()) + inLen > m_inputBufferSize)
        return -1;
    if (inLen > 0) {
        if (!m_decoder.feed(in, inLen))
            return -1;
        // One conversion fills at most one output block; what does not fit stays decoded
        // in the decoder and comes out with the next call.
        const int n = m_decoder.read(out, std::min(outCap, m_chunkSize));
        if (n < 0)
            return -1;
        *outLen = n;
        return 0;
    }
    // End of the stream: drain block by block until nothing more comes.
    int total = 0;
    while (total < outCap) {
        const int n = m_decoder.read(out + total, std::min(outCap - total, m_chunkSize));
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        total += n;
    }
    *outLen = total;
    return 0;
}
