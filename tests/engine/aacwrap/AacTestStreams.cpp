#include "AacTestStreams.h"

#include "KvTestSupport.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <cstring>

namespace aactest {

AdtsStream readAdts(const QString &path)
{
    AdtsStream s;
    const QByteArray data = kvtest::readFile(path);
    const auto *p = reinterpret_cast<const uint8_t *>(data.constData());
    size_t pos = 0;
    const size_t n = size_t(data.size());
    while (pos + 7 <= n) {
        if (p[pos] != 0xff || (p[pos + 1] & 0xf0) != 0xf0)
            break;
        const bool crc = !(p[pos + 1] & 1);
        const int len = ((p[pos + 3] & 3) << 11) | (p[pos + 4] << 3) | (p[pos + 5] >> 5);
        const int hdr = crc ? 9 : 7;
        if (len < hdr || pos + size_t(len) > n)
            break;
        if (s.frames.empty()) {
            s.objectType = (p[pos + 2] >> 6) + 1;
            s.samplingIndex = (p[pos + 2] >> 2) & 15;
            s.channelConfig = ((p[pos + 2] & 1) << 2) | (p[pos + 3] >> 6);
        }
        s.frames.push_back(data.mid(int(pos) + hdr, len - hdr));
        pos += size_t(len);
    }
    return s;
}

QString aacFixture(const QString &name) { return kvtest::fixture("aac/" + name); }

QStringList adtsFixtures()
{
    // Listed, not globbed: test discovery runs before the fixtures are made.
    QStringList names;
    for (int rate : {7350, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000,
                     88200, 96000})
        names << QString("rate_%1_stereo.aac").arg(rate);
    names << "rate_8000_mono.aac" << "rate_96000_mono.aac" << "clicks_stereo.aac"
          << "clicks_mono_48k.aac" << "pns_is_low.aac" << "ms_forced.aac" << "plain_tools_off.aac"
          << "high_rate.aac" << "main_pred.aac" << "ltp.aac" << "surround51.aac" << "pce_stereo.aac"
          << "fast_coder.aac";
    return names;
}

std::vector<float> decodeFloat(const QString &path, int *channels, QString *errors)
{
    QByteArray probe;
    kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                   "stream=channels", "-of", "csv=p=0", path},
                       &probe);
    const int ch = probe.trimmed().toInt();
    if (channels)
        *channels = ch;
    QByteArray out, err;
    kvtest::runProgram("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-f", "f32le", "-c:a",
                                  "pcm_f32le", "-"},
                       &out, &err);
    if (errors)
        *errors = QString::fromLocal8Bit(err);
    std::vector<float> pcm(size_t(out.size()) / sizeof(float));
    std::memcpy(pcm.data(), out.constData(), pcm.size() * sizeof(float));
    return pcm;
}

double rms(const std::vector<float> &pcm, int channels, int channel, size_t from, size_t to)
{
    const size_t frames = pcm.size() / size_t(channels);
    to = std::min(to, frames);
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        const double v = pcm[i * size_t(channels) + size_t(channel)];
        sum += v * v;
    }
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

long long ffprobePacketCount(const QString &path)
{
    QByteArray out;
    if (kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-count_packets",
                                       "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0",
                                       path},
                           &out) != 0)
        return -1;
    bool ok = false;
    const long long n = out.trimmed().toLongLong(&ok);
    return ok ? n : -1;
}

QStringList packetDigests(const QString &path, bool withTimes)
{
    QByteArray out;
    kvtest::runProgram("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a", "-c", "copy", "-f",
                                  "framemd5", "-"},
                       &out);
    QStringList lines;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> cols = line.split(',');
        if (cols.size() < 6)
            continue;
        QByteArray l = cols[4].trimmed() + " " + cols[5].trimmed();
        if (withTimes)
            l = cols[2].trimmed() + " " + cols[3].trimmed() + " " + l;
        lines << QString::fromLatin1(l);
    }
    return lines;
}

} // namespace aactest
