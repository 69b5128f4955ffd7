#pragma once
// AAC sources, documents and independent checks of AAC output (ffmpeg and
// ffprobe) for the engine's AAC tests.
#include "KvAACAudioFile.h"
#include "KvAACRepackInfo.h"
#include "KvAACRepackInfoPtrList.h"
#include "KvTestSupport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <vector>

namespace aacengine {

// An opened AAC fixture (a path under the fixture folder, or a full path);
// the test fails when it does not open.
boost::shared_ptr<KvAACAudioFile> openAac(const QString &nameOrPath);
KvAACRepackInfoPtr fragmentOf(const boost::shared_ptr<KvAACAudioFile> &file, qint64 first, qint64 count);
KvAACRepackInfoPtr silenceLike(const boost::shared_ptr<KvAACAudioFile> &file, qint64 count);
KvRepackInfoPtrListPtr documentOf(std::initializer_list<KvRepackInfoPtr> fragments);

// ffprobe's packet count of the first audio stream; -1 when it fails.
qint64 countPackets(const QString &path);
// One entry per packet of the first audio stream: the md5 of its raw AAC
// frame (ADTS headers stripped, so MP4 and ADTS compare equal).
QStringList packetHashes(const QString &path);
// The whole file decoded with ffmpeg as interleaved s16 without any container
// trimming: block k of 1024 samples per channel belongs to packet k.
std::vector<int16_t> decodeUntrimmed(const QString &path);
// RMS of channel ch over packets [from, to) of decoded PCM.
double rmsOf(const std::vector<int16_t> &pcm, int channels, int ch, qint64 from, qint64 to);
// Peak absolute sample over packets [from, to).
int peakOf(const std::vector<int16_t> &pcm, int channels, qint64 from, qint64 to);
// ffprobe's stream facts as "key=value" lines (codec, profile, sample_rate, channels).
QString streamFacts(const QString &path);

} // namespace aacengine
