#pragma once
// Helpers of the export tests: edit lists saved through the engine, PCM by
// frames, the Xing/Info frame read back byte by byte.
#include "KvMp3StreamCheck.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace kvtest {

// Saves the edit list (KvEditList.h) to out; the error text, empty on success.
QString exportEditList(const QString &editList, const QString &out);
// The frames of the whole file as the engine opens it; 0 when it cannot.
qint64 framesOf(const QString &path);

// Decodes with mpg123 to 32-bit float samples (no clipping), no gapless trimming.
std::vector<float> decodeMpg123Float(const QString &path, QString *stderrText = nullptr);

// PCM frame k of a decode (frameBytes each); empty past the end.
QByteArray pcmFrame(const QByteArray &pcm, qint64 k, int frameBytes);
// Whether frames [a, a+n) of x equal frames [b, b+n) of y.
bool sameFrames(const QByteArray &x, qint64 a, const QByteArray &y, qint64 b, qint64 n, int frameBytes,
                qint64 *firstDiff = nullptr);
double rmsOf(const QByteArray &pcm);
bool allZero(const QByteArray &pcm, qint64 from, qint64 count, int frameBytes);

// The offset (in bytes, a whole number of samples of `channels` 16-bit
// samples) at which `part` occurs in `whole`, searching the first maxShift
// bytes; -1 when it does not.
qint64 findShift(const QByteArray &whole, const QByteArray &part, qint64 maxShift);

// Everything both decoders and the checker must agree on for one output file.
struct Judged {
    QByteArray file;
    Mp3StreamReport report;
    QByteArray pcm;          // mpg123, s16
    int frameBytes = 0;      // PCM bytes of one frame
};
// Decodes with both decoders and walks the stream; fails the current test on
// any reservoir violation, decoder complaint, wrong PCM length or a
// disagreement between the decoders beyond `tolerance` (not compared when
// negative: where a seam joins incompatible block types the decoders
// legitimately differ for a frame or two).
Judged judge(const QString &path, int tolerance = 2);

struct XingFacts {
    bool present = false;
    bool vbr = false;            // "Xing" rather than "Info"
    quint32 flags = 0;
    quint32 frames = 0;
    quint32 bytes = 0;
    std::vector<int> toc;        // 100 entries when present
};
// Reads the tag of the first frame of a stream the checker walked.
XingFacts readXing(const QByteArray &file, const Mp3StreamReport &report);

// The audio frames of an MP3 file or stream as the checker finds them, without
// a leading Xing/Info tag frame (which LAME writes after the side information
// as if there were no CRC); and their bytes.
std::vector<Mp3FrameFacts> audioFrameFacts(const QByteArray &file);
std::vector<QByteArray> audioFrames(const QByteArray &file);

} // namespace kvtest
