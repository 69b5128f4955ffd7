#include "audio_lib.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Largest work buffer we agree to allocate for one stream (values, not bytes).
constexpr double kMaxBufferValues = 64.0 * 1024 * 1024;

inline qint16 toSample(float v)
{
    const double x = double(v) * 32767.0;
    if (x < -32767.0)
        return -32767;
    if (x >= 32767.0)
        return 32767;
    return qint16(x);
}

inline void storeSample(char *dst, qint16 s)
{
    const quint16 u = quint16(s);
    dst[0] = char(u & 0xff);
    dst[1] = char(u >> 8);
}
} // namespace

audio_lib::audio_lib(const KvAudioFrameReaderPtr &source) : m_source(source) {}

audio_lib::~audio_lib() = default;

bool audio_lib::pullsFromSource() { return false; }
QString audio_lib::fileExtension() { return QStringLiteral("mp3"); }
qint64 audio_lib::samplesIn() { return m_samplesIn; }
qint64 audio_lib::samplesOut() { return m_samplesOut; }
int audio_lib::readSource(char *, int) { return 0; }

bool audio_lib::sourceReady()
{
    if (!m_source)
        return true;
    return m_source->finished() != 0;
}

int audio_lib::soundTouchChannels() const
{
    return (m_channelsIn == 2 && m_channelsOut == 1) ? 1 : m_channelsIn;
}

bool audio_lib::setup(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame,
                      int mode, int bitrate, int vbrQuality, double resampleRatio,
                      int channelsOut, int resampleRate, bool encode)
{
    m_opened = false;
    m_resampleRatio = resampleRatio;
    m_channelsIn = channelsIn;
    m_resampleRate = resampleRate;
    m_encodeMode = encode;

    if (channelsOut == 0)
        channelsOut = channelsIn;
    else if (channelsOut != channelsIn) {
        const bool mixDown = channelsIn == 2 && channelsOut == 1;
        if (!mixDown && (encode || channelsIn > channelsOut))
            return false;
    }
    // The pipelines handle one and two channels only.
    if (channelsIn < 1 || channelsIn > 2 || channelsOut < 1 || channelsOut > 2)
        return false;
    if (m_inputBufferSize == 0 || m_chunkSize <= 0)
        return false;
    if (!(resampleRatio > 0.0) || !std::isfinite(resampleRatio) || sampleRate <= 0)
        return false;
    const double floatOut = 6.0 * m_chunkSize * resampleRatio * channelsOut / channelsIn + 1000.0;
    if (2.0 * m_chunkSize > kMaxBufferValues || floatOut > kMaxBufferValues)
        return false;
    m_channelsOut = channelsOut;

    m_gotData = false;
    m_flushed = false;
    m_pcmFill = 0;
    m_outFill = 0;
    // A reused back-end starts a new stream: its finishing call must reach the codec again.
    m_bytesEncoded = 0;
    m_pcmCapacity = 2 * m_chunkSize;
    m_floatOutCapacity = int(floatOut);

    m_pcmIn.assign(size_t(m_pcmCapacity / 2 + 1), 0);
    m_pcmOut.assign(size_t(m_floatOutCapacity), 0);
    m_floatIn.assign(size_t(m_pcmCapacity), 0.0f);
    m_floatOut.assign(size_t(m_floatOutCapacity), 0.0f);

    m_soundTouch.reset(new soundtouch::SoundTouch);
    m_soundTouch->setChannels(uint(soundTouchChannels()));
    m_soundTouch->setSampleRate(uint(sampleRate));
    m_soundTouch->setRate(float(1.0 / resampleRatio));
    m_soundTouch->setPitchSemiTones(0.0f);
    m_soundTouch->setTempoChange(0.0f);
    m_bypass = resampleRatio == 1.0;

    m_opened = true;
    return true;
}

void audio_lib::setVolume(double v)
{
    m_gain = v == 0.0 ? 0.0 : std::pow(10.0, (1.0 - v) * -60.0 / 20.0);
}

void audio_lib::setPitchSemiTones(double semitones)
{
    if (!std::isfinite(semitones))
        return;
    if (semitones != 0.0)
        m_bypass = false;
    if (m_soundTouch)
        m_soundTouch->setPitchSemiTones(float(semitones));
}

void audio_lib::setTempo(double tempo)
{
    // SoundTouch divides by the tempo.
    if (!(tempo > 0.0) || !std::isfinite(tempo))
        return;
    if (tempo != 1.0)
        m_bypass = false;
    if (m_soundTouch)
        m_soundTouch->setTempo(float(tempo));
}

int audio_lib::numUnprocessedSamples()
{
    return m_soundTouch ? int(m_soundTouch->numUnprocessedSamples()) : 0;
}

void audio_lib::scanPeaks(qint16 peaks[2], const qint16 *pcm, int channels, int byteLength)
{
    if (channels < 1 || byteLength <= 0)
        return;
    const int frames = byteLength / channels / 2;
    const int used = std::min(channels, 2);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < used; ++c) {
            const qint16 s = pcm[i * channels + c];
            if (s > peaks[c])
                peaks[c] = s;
            else if (s == -32768)
                peaks[c] = 32767;
            else if (qint16(-s) > peaks[c])
                peaks[c] = qint16(-s);
        }
    }
}

void audio_lib::updatePeakMaxima()
{
    for (int c = 0; c < 2; ++c) {
        m_sincePeak[c] = std::max(m_sincePeak[c], m_blockPeak[c]);
        m_maxPeak[c] = std::max(m_maxPeak[c], m_blockPeak[c]);
        m_blockPeak[c] = 0;
    }
}

void audio_lib::takePeakLevels(qint16 *left, qint16 *right)
{
    if (left)
        *left = m_sincePeak[0];
    if (right)
        *right = m_channelsIn == 2 ? m_sincePeak[1] : m_sincePeak[0];
    m_sincePeak[0] = m_sincePeak[1] = -1;
}

void audio_lib::maxPeakLevels(qint16 *left, qint16 *right)
{
    if (left)
        *left = m_maxPeak[0];
    if (right)
        *right = m_maxPeak[1];
}

void audio_lib::toFloats(const qint16 *pcm, int frames, bool mixDown)
{
    float *f = m_floatIn.data();
    if (m_channelsIn == 1) {
        for (int i = 0; i < frames; ++i)
            f[i] = float(pcm[i] * m_gain / 32767.0);
    } else if (mixDown) {
        for (int i = 0; i < frames; ++i)
            f[i] = float(((int(pcm[2 * i]) + pcm[2 * i + 1]) * m_gain / 32767.0) * 0.5);
    } else {
        for (int i = 0; i < 2 * frames; ++i)
            f[i] = float(pcm[i] * m_gain / 32767.0);
    }
}

int audio_lib::decode(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (!m_opened)
        return -1;
    if (!out || outCap < 0)
        return -1;
    const int room = m_pcmCapacity - m_pcmFill;
    int produced = 0;
    const int r = decodeChunk(in, inLen, reinterpret_cast<char *>(m_pcmIn.data()) + m_pcmFill,
                              room, &produced);
    if (r < 0)
        return r;
    int framesIn = 0;
    const int got = processPending(produced, out, outCap, &framesIn);
    *outLen = m_channelsOut * got * 2;
    return 0;
}

int audio_lib::decodeFromSource(char *out, int outCap)
{
    if (!m_opened || !out || outCap < 0)
        return 0;
    const int produced =
        readSource(reinterpret_cast<char *>(m_pcmIn.data()) + m_pcmFill, m_pcmCapacity - m_pcmFill);
    int framesIn = 0;
    const int got = processPending(produced, out, outCap, &framesIn);
    if (framesIn > 0 && got == 0)
        return -1;
    return m_channelsOut * got * 2;
}

int audio_lib::processPending(int produced, char *out, int outCap, int *framesIn)
{
    produced = std::max(0, std::min(produced, m_pcmCapacity - m_pcmFill));
    m_pcmFill += produced;
    if (produced > 0)
        m_gotData = true;
    if (m_bypass)
        return passPending(out, outCap, framesIn);

    const int frames = m_pcmFill / m_channelsIn / 2;
    *framesIn = frames;
    scanPeaks(m_blockPeak, m_pcmIn.data(), m_channelsIn, m_pcmFill);
    // No whole new frame after data was seen: the stream ended, let SoundTouch's tail out.
    // SoundTouch pads every flush with fresh silence, so the tail is pushed out once per end.
    const bool flush = m_gotData && frames == 0 && !m_flushed;
    const bool mixDown = m_channelsIn == 2 && m_channelsOut == 1;

    toFloats(m_pcmIn.data(), frames, mixDown);
    m_soundTouch->putSamples(m_floatIn.data(), uint(frames));
    m_samplesIn += frames;
    if (frames > 0)
        m_flushed = false;
    if (flush) {
        m_soundTouch->flush();
        m_flushed = true;
    }
    const int want = std::min((outCap / m_channelsOut) / 2, m_floatOutCapacity / m_channelsOut);
    const int got = int(m_soundTouch->receiveSamples(m_floatOut.data(), uint(std::max(want, 0))));
    m_samplesOut += got;

    for (int i = 0; i < got; ++i) {
        for (int c = 0; c < m_channelsOut; ++c) {
            char *dst = out + 2 * (i * m_channelsOut + c);
            if (c < m_channelsIn)
                storeSample(dst, toSample(mixDown ? m_floatOut[i] : m_floatOut[i * m_channelsIn + c]));
            else if (m_channelsIn == 1)
                std::memcpy(dst, out + 2 * (i * m_channelsOut), 2); // widen: copy the left sample
            else
                storeSample(dst, 0);
        }
    }

    const int consumed = m_channelsIn * frames * 2;
    if (consumed > 0) {
        char *base = reinterpret_cast<char *>(m_pcmIn.data());
        std::memmove(base, base + consumed, size_t(m_pcmFill - consumed));
        m_pcmFill -= consumed;
    }
    updatePeakMaxima();
    return got;
}

int audio_lib::passPending(char *out, int outCap, int *framesIn)
{
    const bool mixDown = m_channelsIn == 2 && m_channelsOut == 1;
    const int frames = std::min(m_pcmFill / m_channelsIn / 2, std::max(0, outCap) / m_channelsOut / 2);
    *framesIn = frames;
    const qint16 *pcm = m_pcmIn.data();
    scanPeaks(m_blockPeak, pcm, m_channelsIn, frames * m_channelsIn * 2);
    const double gain = m_gain;
    // The same clamping as the SoundTouch path: -32767 .. 32767, truncated toward zero.
    auto level = [gain](double v) -> qint16 {
        const double x = v * gain;
        if (x < -32767.0)
            return -32767;
        if (x >= 32767.0)
            return 32767;
        return qint16(x);
    };
    for (int i = 0; i < frames; ++i) {
        char *dst = out + 2 * i * m_channelsOut;
        if (mixDown) {
            storeSample(dst, level((double(pcm[2 * i]) + pcm[2 * i + 1]) * 0.5));
        } else if (m_channelsIn == 1) {
            const qint16 s = level(pcm[i]);
            for (int c = 0; c < m_channelsOut; ++c)
                storeSample(dst + 2 * c, s);
        } else {
            storeSample(dst, level(pcm[2 * i]));
            storeSample(dst + 2, level(pcm[2 * i + 1]));
        }
    }
    m_samplesIn += frames;
    m_samplesOut += frames;
    const int consumed = m_channelsIn * frames * 2;
    if (consumed > 0) {
        char *base = reinterpret_cast<char *>(m_pcmIn.data());
        std::memmove(base, base + consumed, size_t(m_pcmFill - consumed));
        m_pcmFill -= consumed;
    }
    updatePeakMaxima();
    return frames;
}

int audio_lib::encodePending(char *out, int outCap, int *outLen)
{
    int got = 0;
    const int r = encodeChunk(reinterpret_cast<const char *>(m_pcmOut.data()), m_outFill,
                              out + *outLen, outCap - *outLen, &got);
    if (r < 0) {
        // The buffer would otherwise keep growing past its end on the next call.
        m_outFill = 0;
        return r;
    }
    m_bytesEncoded += m_outFill;
    m_outFill = 0;
    *outLen += std::max(0, std::min(got, outCap - *outLen));
    return 0;
}

int audio_lib::encodeReady(char *out, int outCap, int *outLen)
{
    const int channels = soundTouchChannels();
    for (;;) {
        int frames = (m_floatOutCapacity - m_outFill / 2) / channels;
        frames = std::min(frames, (outCap - *outLen) / channels / 2);
        if (frames <= 0)
            return 0;
        const int got = int(m_soundTouch->receiveSamples(m_floatOut.data(), uint(frames)));
        if (got <= 0)
            return 0;
        m_samplesOut += got;
        qint16 *dst = m_pcmOut.data() + m_outFill / 2;
        for (int i = 0; i < got * channels; ++i)
            dst[i] = toSample(m_floatOut[i]);
        m_outFill += got * channels * 2;
        const int r = encodePending(out, outCap, outLen);
        if (r < 0)
            return r;
    }
}

int audio_lib::encode(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (!m_opened)
        return -1;
    if (inLen < 0 || (inLen > 0 && !in) || !out || outCap < 0)
        return -1;

    const bool mixDown = m_channelsIn == 2 && m_channelsOut == 1;
    const int frameBytes = m_channelsIn * 2;
    const int frames = inLen / frameBytes;
    char *scratch = reinterpret_cast<char *>(m_pcmOut.data());

    if (m_resampleRatio == 1.0 && !mixDown) {
        const int r = encodeChunk(in, inLen, out, outCap, outLen);
        if (r >= 0)
            m_bytesEncoded += inLen;
        return r;
    }

    if (m_resampleRatio == 1.0) {
        // Two channels into a one-channel codec: average them, slice by slice.
        for (int done = 0; done < frames;) {
            const int n = std::min(m_floatOutCapacity, frames - done);
            for (int i = 0; i < n; ++i) {
                qint16 lr[2];
                std::memcpy(lr, in + size_t(done + i) * 4, 4);
                m_pcmOut[i] = qint16((int(lr[0]) + lr[1]) / 2);
            }
            m_outFill = n * 2;
            const int r = encodePending(out, outCap, outLen);
            if (r < 0)
                return r;
            done += n;
        }
    } else {
        // Slices that fit the float input buffer.
        const int slice = std::max(1, m_pcmCapacity / frameBytes);
        for (int done = 0; done < frames;) {
            const int n = std::min(slice, frames - done);
            std::memcpy(m_pcmIn.data(), in + size_t(done) * frameBytes, size_t(n) * frameBytes);
            toFloats(m_pcmIn.data(), n, mixDown);
            m_soundTouch->putSamples(m_floatIn.data(), uint(n));
            m_samplesIn += n;
            m_flushed = false;
            const int r = encodeReady(out, outCap, outLen);
            if (r < 0)
                return r;
            done += n;
        }
        if (inLen == 0) {
            if (!m_flushed) {
                m_soundTouch->flush();
                m_flushed = true;
            }
            const int r = encodeReady(out, outCap, outLen);
            if (r < 0)
                return r;
        }
    }

    // Finishing: SoundTouch's tail went through above; now let the codec drain itself in
    // the same call, so a caller that stops at the first empty answer loses nothing.
    if (inLen == 0 && m_bytesEncoded > 0) {
        int got = 0;
        const int r = encodeChunk(scratch, 0, out + *outLen, outCap - *outLen, &got);
        if (r < 0)
            return r;
        *outLen += std::max(0, std::min(got, outCap - *outLen));
    }
    return 0;
}
