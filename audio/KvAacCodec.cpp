#include "KvAacCodec.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace {
const AVCodec *aacEncoder() { return avcodec_find_encoder_by_name("aac"); }
const AVCodec *aacDecoder() { return avcodec_find_decoder(AV_CODEC_ID_AAC); }

inline qint16 toS16(float v)
{
    const long x = std::lrint(double(v) * 32768.0);
    return qint16(std::max(-32768L, std::min(32767L, x)));
}

// Sample i of channel c of a decoded frame, as a float in -1 .. 1.
float sampleAt(const AVFrame *f, int c, int i)
{
    const int channels = f->ch_layout.nb_channels;
    switch (f->format) {
    case AV_SAMPLE_FMT_FLTP: return reinterpret_cast<const float *>(f->extended_data[c])[i];
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float *>(f->extended_data[0])[i * channels + c];
    case AV_SAMPLE_FMT_S16P: return reinterpret_cast<const int16_t *>(f->extended_data[c])[i] / 32768.0f;
    case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t *>(f->extended_data[0])[i * channels + c] / 32768.0f;
    case AV_SAMPLE_FMT_S32P: return float(reinterpret_cast<const int32_t *>(f->extended_data[c])[i] / 2147483648.0);
    case AV_SAMPLE_FMT_S32: return float(reinterpret_cast<const int32_t *>(f->extended_data[0])[i * channels + c] / 2147483648.0);
    default: return 0.0f;
    }
}
} // namespace

KvAacCodec::~KvAacCodec() { close(); }

bool KvAacCodec::available() { return aacEncoder() && aacDecoder(); }

void KvAacCodec::close()
{
    avcodec_free_context(&m_ctx);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    m_pending.clear();
    m_pcm.clear();
    m_ended = false;
    m_pts = 0;
    m_channels = 0;
}

bool KvAacCodec::openEncoder(int channels, int sampleRate, int bitrateKbps)
{
    close();
    const AVCodec *codec = aacEncoder();
    if (!codec || channels < 1 || channels > 2 || sampleRate <= 0 || bitrateKbps <= 0)
        return false;
    m_ctx = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_ctx || !m_frame || !m_packet) {
        close();
        return false;
    }
    m_encoder = true;
    m_channels = channels;
    m_ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_ctx->sample_rate = sampleRate;
    m_ctx->bit_rate = qint64(bitrateKbps) * 1000;
    m_ctx->profile = FF_PROFILE_AAC_LOW;
    m_ctx->time_base = AVRational{1, sampleRate};
    av_channel_layout_default(&m_ctx->ch_layout, channels);
    if (avcodec_open2(m_ctx, codec, nullptr) < 0 || m_ctx->frame_size <= 0) {
        close();
        return false;
    }
    return true;
}

bool KvAacCodec::openDecoder(int channels, int sampleRate, const QByteArray &audioSpecificConfig)
{
    close();
    const AVCodec *codec = aacDecoder();
    if (!codec || channels < 1 || channels > 2 || sampleRate <= 0)
        return false;
    m_ctx = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_ctx || !m_frame || !m_packet) {
        close();
        return false;
    }
    m_encoder = false;
    m_channels = channels;
    m_ctx->sample_rate = sampleRate;
    av_channel_layout_default(&m_ctx->ch_layout, channels);
    if (!audioSpecificConfig.isEmpty()) {
        const size_t n = size_t(audioSpecificConfig.size());
        m_ctx->extradata = static_cast<uint8_t *>(av_mallocz(n + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!m_ctx->extradata) {
            close();
            return false;
        }
        std::memcpy(m_ctx->extradata, audioSpecificConfig.constData(), n);
        m_ctx->extradata_size = int(n);
    }
    if (avcodec_open2(m_ctx, codec, nullptr) < 0) {
        close();
        return false;
    }
    return true;
}

int KvAacCodec::receivePackets(const FrameSink &sink)
{
    for (;;) {
        const int r = avcodec_receive_packet(m_ctx, m_packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return 0;
        if (r < 0)
            return -1;
        const bool ok = sink(m_packet->data, m_packet->size);
        av_packet_unref(m_packet);
        if (!ok)
            return -1;
    }
}

int KvAacCodec::sendFrame(const char *pcm, int samples, const FrameSink &sink)
{
    av_frame_unref(m_frame);
    m_frame->format = m_ctx->sample_fmt;
    m_frame->sample_rate = m_ctx->sample_rate;
    m_frame->nb_samples = samples;
    if (av_channel_layout_copy(&m_frame->ch_layout, &m_ctx->ch_layout) < 0
        || av_frame_get_buffer(m_frame, 0) < 0)
        return -1;
    for (int c = 0; c < m_channels; ++c) {
        auto *dst = reinterpret_cast<float *>(m_frame->extended_data[c]);
        for (int i = 0; i < samples; ++i) {
            qint16 s;
            std::memcpy(&s, pcm + 2 * (size_t(i) * m_channels + c), 2);
            dst[i] = s / 32768.0f;
        }
    }
    m_frame->pts = m_pts;
    m_pts += samples;
    if (avcodec_send_frame(m_ctx, m_frame) < 0)
        return -1;
    return receivePackets(sink);
}

int KvAacCodec::encode(const char *pcm, int len, const FrameSink &sink)
{
    if (!isEncoder() || m_ended || len < 0 || (len > 0 && !pcm))
        return -1;
    const size_t frameBytes = size_t(m_ctx->frame_size) * m_channels * 2;
    m_pending.insert(m_pending.end(), pcm, pcm + len);
    size_t used = 0;
    int r = 0;
    while (r == 0 && m_pending.size() - used >= frameBytes) {
        r = sendFrame(m_pending.data() + used, m_ctx->frame_size, sink);
        used += frameBytes;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + qint64(used));
    return r;
}

int KvAacCodec::drainEncoder(const FrameSink &sink)
{
    if (!isEncoder())
        return -1;
    if (m_ended)
        return 0;
    m_ended = true;
    const int blockAlign = 2 * m_channels;
    if (m_pending.size() >= size_t(blockAlign)) {
        if (!(m_ctx->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME))
            m_pending.resize(size_t(m_ctx->frame_size) * blockAlign, 0);
        const int samples = int(m_pending.size()) / blockAlign;
        const int r = sendFrame(m_pending.data(), samples, sink);
        m_pending.clear();
        if (r < 0)
            return r;
    }
    m_pending.clear();
    if (avcodec_send_frame(m_ctx, nullptr) < 0)
        return -1;
    return receivePackets(sink);
}

int KvAacCodec::receiveFrames()
{
    for (;;) {
        const int r = avcodec_receive_frame(m_ctx, m_frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return 0;
        if (r < 0)
            return -1;
        const int have = m_frame->ch_layout.nb_channels;
        const int n = m_frame->nb_samples;
        if (have < 1) {
            av_frame_unref(m_frame);
            return -1;
        }
        const size_t start = m_pcm.size();
        m_pcm.resize(start + size_t(n) * m_channels * 2);
        char *dst = m_pcm.data() + start;
        for (int i = 0; i < n; ++i) {
            for (int c = 0; c < m_channels; ++c) {
                float v;
                if (have == m_channels)
                    v = sampleAt(m_frame, c, i);
                else if (m_channels == 1)  // a wider stream than announced: mix it down
                    v = 0.5f * (sampleAt(m_frame, 0, i) + sampleAt(m_frame, 1, i));
                else  // a mono stream played as stereo
                    v = sampleAt(m_frame, std::min(c, have - 1), i);
                const qint16 s = toS16(v);
                std::memcpy(dst + 2 * (size_t(i) * m_channels + c), &s, 2);
            }
        }
        av_frame_unref(m_frame);
    }
}

int KvAacCodec::decode(const char *data, int len)
{
    if (!isDecoder() || len <= 0 || !data)
        return -1;
    if (m_ended) {
        // Input after the end of a stream starts a new one.
        avcodec_flush_buffers(m_ctx);
        m_ended = false;
    }
    if (av_new_packet(m_packet, len) < 0)
        return -1;
    std::memcpy(m_packet->data, data, size_t(len));
    const int r = avcodec_send_packet(m_ctx, m_packet);
    av_packet_unref(m_packet);
    if (r < 0)
        return -1;
    return receiveFrames();
}

int KvAacCodec::drainDecoder()
{
    if (!isDecoder())
        return -1;
    if (m_ended)
        return 0;
    m_ended = true;
    if (avcodec_send_packet(m_ctx, nullptr) < 0)
        return -1;
    return receiveFrames();
}

int KvAacCodec::takePcm(char *out, int cap)
{
    if (m_channels <= 0 || cap <= 0 || !out)
        return 0;
    const int blockAlign = 2 * m_channels;
    const int n = std::min(int(m_pcm.size()), (cap / blockAlign) * blockAlign);
    if (n <= 0)
        return 0;
    std::memcpy(out, m_pcm.data(), size_t(n));
    m_pcm.erase(m_pcm.begin(), m_pcm.begin() + n);
    return n;
}
