#include "AudioTestUtil.h"

#include "KvTestSupport.h"
#include "KvWavHeader.h"

#include <mpg123.h>

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kvaudiotest {

QAudioFormat pcmFormat(int rate, int channels)
{
    QAudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(channels);
    f.setSampleSize(16);
    f.setSampleType(QAudioFormat::SignedInt);
    f.setByteOrder(QAudioFormat::LittleEndian);
    f.setCodec("audio/pcm");
    return f;
}


QVector<Mp3Frame> splitFrames(const QByteArray &file)
{
    static const int kbps[2][16] = {
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
    static const int rates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    const auto *d = reinterpret_cast<const unsigned char *>(file.constData());
    const qint64 n = file.size();
    qint64 pos = 0;
    if (n >= 10 && std::memcmp(d, "ID3", 3) == 0)
        pos = 10 + ((d[6] & 0x7f) << 21 | (d[7] & 0x7f) << 14 | (d[8] & 0x7f) << 7 | (d[9] & 0x7f))
            + ((d[5] & 0x10) ? 10 : 0);
    QVector<Mp3Frame> frames;
    while (pos + 4 <= n) {
        const unsigned char *h = d + pos;
        if (h[0] != 0xff || (h[1] & 0xe0) != 0xe0)
            break;
        const int verBits = (h[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
        const int layer = (h[1] >> 1) & 3;    // 1 = Layer III
        const int bri = h[2] >> 4, sri = (h[2] >> 2) & 3, pad = (h[2] >> 1) & 1;
        if (verBits == 1 || layer != 1 || bri == 0 || bri == 15 || sri == 3)
            break;
        Mp3Frame f;
        f.version = verBits == 3 ? 0 : verBits == 2 ? 1 : 2;
        f.sampleRate = rates[f.version][sri];
        f.channels = ((h[3] >> 6) == 3) ? 1 : 2;
        f.samplesPerFrame = f.version == 0 ? 1152 : 576;
        const int bitrate = kbps[f.version == 0 ? 0 : 1][bri] * 1000;
        f.size = (f.version == 0 ? 144 : 72) * bitrate / f.sampleRate + pad;
        f.pos = pos;
        if (pos + f.size > n)
            break;
        frames.append(f);
        pos += f.size;
    }
    return frames;
}

QVector<QPair<qint64, int>> ffprobePackets(const QString &path)
{
    QByteArray out;
    kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                   "packet=pos,size", "-of", "csv=p=0", path},
                       &out);
    QVector<QPair<qint64, int>> list;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(',');
        if (parts.size() >= 2)  // csv order follows ffprobe's field order: size,pos
            list.append({parts[1].toLongLong(), parts[0].toInt()});
    }
    return list;
}

QByteArray decodeWholeFile(const QString &path, long flags, int rate, int channels)
{
    QByteArray pcm;
    mpg123_init();
    int err = 0;
    mpg123_handle *h = mpg123_new(nullptr, &err);
    if (!h)
        return pcm;
    mpg123_param(h, MPG123_FLAGS, flags, 0);
    mpg123_format_none(h);
    mpg123_format(h, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(h, path.toLocal8Bit().constData()) == MPG123_OK) {
        unsigned char buf[16384];
        for (;;) {
            size_t done = 0;
            const int r = mpg123_read(h, buf, sizeof buf, &done);
            pcm.append(reinterpret_cast<const char *>(buf), int(done));
            if (r != MPG123_OK && r != MPG123_NEW_FORMAT)
                break;
        }
        mpg123_close(h);
    }
    mpg123_delete(h);
    return pcm;
}

QByteArray sine(int rate, int channels, double seconds, const QVector<double> &freqs, double amp)
{
    const int n = int(std::lround(rate * seconds));
    QByteArray pcm(n * channels * 2, '\0');
    auto *s = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
            s[i * channels + c] = qint16(std::lround(amp * 32767.0 * std::sin(2 * M_PI * freqs[c] * i / rate)));
    return pcm;
}

QVector<qint16> samples(const QByteArray &pcm)
{
    QVector<qint16> v(pcm.size() / 2);
    std::memcpy(v.data(), pcm.constData(), size_t(v.size()) * 2);
    return v;
}

double rms(const QByteArray &pcm, int channels, int channel)
{
    const QVector<qint16> s = samples(pcm);
    double sum = 0;
    int n = 0;
    for (int i = channel; i < s.size(); i += channels, ++n)
        sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / n) : 0.0;
}

double rmsOfFrames(const QByteArray &pcm, int channels, int channel, int first, int count)
{
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const int frames = pcm.size() / 2 / channels;
    double sum = 0;
    int n = 0;
    for (int i = std::max(first, 0); i < std::min(first + count, frames); ++i, ++n)
        sum += double(s[i * channels + channel]) * s[i * channels + channel];
    return n ? std::sqrt(sum / n) : 0.0;
}

double dbRatio(double a, double b) { return 20.0 * std::log10(a / b); }

QByteArray widenTo24(const QByteArray &pcm16)
{
    QByteArray out;
    out.reserve(pcm16.size() / 2 * 3);
    for (int i = 0; i + 1 < pcm16.size(); i += 2) {
        out.append('\0');
        out.append(pcm16[i]);
        out.append(pcm16[i + 1]);
    }
    return out;
}

QByteArray encodeAll(audio_lib &encoder, const QByteArray &pcm, int chunkBytes, bool *ok,
                     int outCapacity)
{
    *ok = true;
    QByteArray stream, out(outCapacity, '\0');
    for (int off = 0; off < pcm.size(); off += chunkBytes) {
        int outLen = -1;
        if (encoder.encode(pcm.constData() + off, std::min(chunkBytes, pcm.size() - off), out.data(),
                           out.size(), &outLen) != 0)
            *ok = false;
        stream.append(out.constData(), std::max(outLen, 0));
    }
    for (int i = 0; i < 1000; ++i) {
        int outLen = -1;
        if (encoder.encode(out.constData(), 0, out.data(), out.size(), &outLen) != 0)
            *ok = false;
        if (outLen <= 0)
            break;
        stream.append(out.constData(), outLen);
    }
    return stream;
}

bool writeWav(const QString &path, const QByteArray &pcm, int rate, int channels)
{
    unsigned char h[44];
    KvFillWavHeader(h, quint64(pcm.size()), rate, channels);
    return kvtest::writeFile(path, QByteArray(reinterpret_cast<const char *>(h), 44) + pcm);
}

double soxDuration(const QString &path)
{
    QByteArray out;
    kvtest::runProgram("sox", {"--i", "-D", path}, &out);
    return out.trimmed().toDouble();
}

double soxRoughFrequency(const QString &path)
{
    QByteArray out, err;
    kvtest::runProgram("sox", {path, "-n", "remix", "1", "stat"}, &out, &err);
    const QRegularExpression re("Rough\\s+frequency:\\s+(\\d+)");
    const auto m = re.match(QString::fromLocal8Bit(err + out));
    return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
}

int PcmPassthrough::decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (inLen > outCap)
        return -1;
    if (inLen > 0)
        std::memcpy(out, in, size_t(inLen));
    *outLen = inLen;
    return 0;
}

int PcmPassthrough::encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    ++encodeCalls;
    if (failAfter >= 0 && encodeCalls > failAfter)
        return -1;
    if (inLen == 0) {
        ++finishCalls;
        return 0;
    }
    if (inLen > outCap)
        return -1;
    std::memcpy(out, in, size_t(inLen));
    received.append(in, inLen);
    *outLen = inLen;
    return 0;
}

} // namespace kvaudiotest
