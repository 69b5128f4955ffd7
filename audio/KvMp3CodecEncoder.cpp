#include "KvMp3CodecEncoder.h"

#include <QLocale>

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace {
const AVCodec *findDriver()
{
    void *it = nullptr;
    while (const AVCodec *c = av_codec_iterate(&it)) {
        if (c->id == AV_CODEC_ID_MP3 && av_codec_is_encoder(c) && c->type == AVMEDIA_TYPE_AUDIO)
            return c;
    }
    return nullptr;
}

// Layer III bitrates (kbit/s) by MPEG version: MPEG-1 for 32 kHz and up, else MPEG-2/2.5.
const int kBitratesMpeg1[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const int kBitratesMpeg2[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

bool codecHasRate(const AVCodec *c, int rate)
{
    if (!c->supported_samplerates)
        return true;
    for (const int *r = c->supported_samplerates; *r; ++r)
        if (*r == rate)
            return true;
    return false;
}

bool codecHasChannels(const AVCodec *c, int channels)
{
    if (!c->ch_layouts)
        return true;
    for (const AVChannelLayout *l = c->ch_layouts; l->nb_channels; ++l)
        if (l->nb_channels == channels)
            return true;
    return false;
}

AVSampleFormat pickSampleFormat(const AVCodec *c)
{
    static const AVSampleFormat preferred[] = {AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S16,
                                               AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_S32P};
    if (!c->sample_fmts)
        return AV_SAMPLE_FMT_S16;
    for (AVSampleFormat want : preferred)
        for (const AVSampleFormat *f = c->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == want)
                return want;
    return AV_SAMPLE_FMT_NONE;
}
} // namespace

KvMp3CodecEncoder::~KvMp3CodecEncoder() { close(); }

QString KvMp3CodecEncoder::driverName()
{
    const AVCodec *c = findDriver();
    return c ? QString::fromUtf8(c->long_name ? c->long_name : c->name) : QString();
}

std::vector<KvMp3CodecFormat> KvMp3CodecEncoder::driverFormats()
{
    std::vector<KvMp3CodecFormat> list;
    const AVCodec *c = findDriver();
    if (!c || pickSampleFormat(c) == AV_SAMPLE_FMT_NONE)
        return list;
    // Thousands grouped with a dot: the recorder's default format text is "160 kBit/s, 44.100 Hz, Stereo".
    const auto grouped = [](int v) { return QLocale(QLocale::English).toString(v).replace(QLatin1Char(','), QLatin1Char('.')); };
    for (int rate : kRates) {
        if (!codecHasRate(c, rate))
            continue;
        for (int channels = 1; channels <= 2; ++channels) {
            if (!codecHasChannels(c, channels))
                continue;
            const bool mpeg1 = rate >= 32000;
            for (int kbps : mpeg1 ? kBitratesMpeg1 : kBitratesMpeg2) {
                KvMp3CodecFormat f;
                f.sampleRate = rate;
                f.channels = channels;
                f.bitrate = kbps * 1000;
                f.text = QStringLiteral("%1 kBit/s, %2 Hz, %3")
                             .arg(kbps)
                             .arg(grouped(rate))
                             .arg(channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"));
                list.push_back(f);
            }
        }
    }
    return list;
}

bool KvMp3CodecEncoder::open(const KvMp3CodecFormat &format, int inputCapacity)
{
    close();
    m_codec = findDriver();
    if (!m_codec || format.channels < 1 || format.channels > 2 || format.sampleRate <= 0
        || format.bitrate <= 0 || inputCapacity <= 0)
        return false;
    m_format = format;
    m_inputCapacity = inputCapacity;
    if (!openContext()) {
        close();
        return false;
    }
    return true;
}

bool KvMp3CodecEncoder::openContext()
{
    if (m_ctx)
        avcodec_free_context(&m_ctx);
    m_ctx = avcodec_alloc_context3(m_codec);
    if (!m_ctx)
        return false;
    m_ctx->sample_fmt = pickSampleFormat(m_codec);
    m_ctx->sample_rate = m_format.sampleRate;
    m_ctx->bit_rate = m_format.bitrate;
    av_channel_layout_default(&m_ctx->ch_layout, m_format.channels);
    m_ctx->time_base = AVRational{1, m_format.sampleRate};
    if (m_ctx->sample_fmt == AV_SAMPLE_FMT_NONE || avcodec_open2(m_ctx, m_codec, nullptr) < 0)
        return false;
    if (!m_frame)
        m_frame = av_frame_alloc();
    if (!m_packet)
        m_packet = av_packet_alloc();
    m_pts = 0;
    m_ended = false;
    return m_frame && m_packet && m_ctx->frame_size > 0;
}

void KvMp3CodecEncoder::close()
{
    avcodec_free_context(&m_ctx);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    m_pending.clear();
    m_ended = false;
}

int KvMp3CodecEncoder::receive(char *out, int outCap, int *outLen)
{
    for (;;) {
        const int r = avcodec_receive_packet(m_ctx, m_packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return 0;
        if (r < 0)
            return -1;
        const bool fits = m_packet->size <= outCap - *outLen;
        if (fits) {
            std::memcpy(out + *outLen, m_packet->data, size_t(m_packet->size));
            *outLen += m_packet->size;
        }
        av_packet_unref(m_packet);
        if (!fits)
            return -1;
    }
}

int KvMp3CodecEncoder::sendSamples(const char *pcm, int samples, char *out, int outCap, int *outLen)
{
    const int channels = m_format.channels;
    av_frame_unref(m_frame);
    m_frame->format = m_ctx->sample_fmt;
    m_frame->sample_rate = m_ctx->sample_rate;
    m_frame->nb_samples = samples;
    if (av_channel_layout_copy(&m_frame->ch_layout, &m_ctx->ch_layout) < 0
        || av_frame_get_buffer(m_frame, 0) < 0)
        return -1;
    for (int i = 0; i < samples; ++i) {
        for (int c = 0; c < channels; ++c) {
            qint16 s;
            std::memcpy(&s, pcm + 2 * (i * channels + c), 2);
            switch (m_ctx->sample_fmt) {
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<int16_t *>(m_frame->extended_data[c])[i] = s;
                break;
            case AV_SAMPLE_FMT_S16:
                reinterpret_cast<int16_t *>(m_frame->extended_data[0])[i * channels + c] = s;
                break;
            case AV_SAMPLE_FMT_FLTP:
                reinterpret_cast<float *>(m_frame->extended_data[c])[i] = s / 32768.0f;
                break;
            default:
                reinterpret_cast<int32_t *>(m_frame->extended_data[c])[i] = int32_t(s) * 65536;
                break;
            }
        }
    }
    m_frame->pts = m_pts;
    m_pts += samples;
    if (avcodec_send_frame(m_ctx, m_frame) < 0)
        return -1;
    return receive(out, outCap, outLen);
}

int KvMp3CodecEncoder::convert(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (!m_ctx || inLen < 0 || (inLen > 0 && !in) || outCap < 0)
        return -1;
    if (qint64(m_pending.size()) + inLen > m_inputCapacity)
        return -1;
    const int blockAlign = 2 * m_format.channels;

    if (inLen > 0) {
        if (m_ended && !openContext())  // a new stream after the end of the last one
            return -1;
        m_pending.insert(m_pending.end(), in, in + inLen);
        const int frameBytes = m_ctx->frame_size * blockAlign;
        size_t used = 0;
        while (m_pending.size() - used >= size_t(frameBytes)) {
            if (sendSamples(m_pending.data() + used, m_ctx->frame_size, out, outCap, outLen) < 0)
                return -1;
            used += size_t(frameBytes);
        }
        m_pending.erase(m_pending.begin(), m_pending.begin() + qint64(used));
        return 0;
    }

    if (m_ended)
        return 0;
    const int samples = int(m_pending.size()) / blockAlign;
    if (samples > 0) {
        // A short last frame where the codec takes one, else padded with silence.
        if (!(m_codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME))
            m_pending.resize(size_t(m_ctx->frame_size * blockAlign), 0);
        const int n = int(m_pending.size()) / blockAlign;
        if (sendSamples(m_pending.data(), n, out, outCap, outLen) < 0)
            return -1;
    }
    m_pending.clear();
    m_ended = true;
    if (avcodec_send_frame(m_ctx, nullptr) < 0)
        return -1;
    return receive(out, outCap, outLen);
}
