#pragma once
// Helpers of the AAC tests: raw frames of ADTS fixtures, FFmpeg as the judge of outputs.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <ostream>
#include <vector>

// Readable QString values in gtest messages.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace aactest {

struct AdtsStream {
    int objectType = 0;
    int samplingIndex = 0;
    int channelConfig = 0;
    std::vector<QByteArray> frames; // raw data blocks, ADTS headers removed
};

// Splits an ADTS file by its headers (its own parser, independent of the library's).
AdtsStream readAdts(const QString &path);

// Every .aac fixture of the AAC fixture folder.
QStringList adtsFixtures();
QString aacFixture(const QString &name);

// Decodes with ffmpeg to interleaved float samples; channels out. Empty on failure.
std::vector<float> decodeFloat(const QString &path, int *channels = nullptr,
                               QString *errors = nullptr);
// RMS of one channel of interleaved samples over [from, to) sample frames.
double rms(const std::vector<float> &pcm, int channels, int channel, size_t from = 0,
           size_t to = SIZE_MAX);

// ffprobe's packet count of the first audio stream, -1 on failure.
long long ffprobePacketCount(const QString &path);
// Lines "size md5" of the audio packets (ffmpeg -c copy -f framemd5), with withTimes
// "pts duration size md5".
QStringList packetDigests(const QString &path, bool withTimes = false);

} // namespace aactest
