#include "Mp3ExportSupport.h"

#include "KvEditList.h"
#include "KvRepackInfoPtrList.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>

namespace kvtest {

QString exportEditList(const QString &editList, const QString &out)
{
    return kvExportEditList(editList, out);
}

qint64 framesOf(const QString &path)
{
    KvEditListDocument d;
    QString error;
    return kvBuildEditList(QString("src %1 0 -1\n").arg(path), d, error) ? d.document->totalFrames() : 0;
}

std::vector<float> decodeMpg123Float(const QString &path, QString *stderrText)
{
    QByteArray out, err;
    runProgram("mpg123", {"-q", "--no-gapless", "-e", "f32", "-s", path}, &out, &err);
    if (stderrText)
        *stderrText = QString::fromLocal8Bit(err);
    std::vector<float> v(size_t(out.size()) / sizeof(float));
    std::memcpy(v.data(), out.constData(), v.size() * sizeof(float));
    return v;
}

QByteArray pcmFrame(const QByteArray &pcm, qint64 k, int frameBytes)
{
    return pcm.mid(int(k * frameBytes), frameBytes);
}

bool sameFrames(const QByteArray &x, qint64 a, const QByteArray &y, qint64 b, qint64 n, int frameBytes,
                qint64 *firstDiff)
{
    for (qint64 i = 0; i < n; ++i) {
        const QByteArray fx = pcmFrame(x, a + i, frameBytes);
        const QByteArray fy = pcmFrame(y, b + i, frameBytes);
        if (fx.size() != frameBytes || fx != fy) {
            if (firstDiff)
                *firstDiff = i;
            return false;
        }
    }
    return true;
}

double rmsOf(const QByteArray &pcm)
{
    const qint64 n = pcm.size() / 2;
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    double sum = 0;
    for (qint64 i = 0; i < n; ++i)
        sum += double(s[i]) * s[i];
    return n > 0 ? std::sqrt(sum / double(n)) : 0.0;
}

bool allZero(const QByteArray &pcm, qint64 from, qint64 count, int frameBytes)
{
    const QByteArray part = pcm.mid(int(from * frameBytes), int(count * frameBytes));
    if (part.size() != count * frameBytes)
        return false;
    for (char c : part) {
        if (c != 0)
            return false;
    }
    return true;
}

qint64 findShift(const QByteArray &whole, const QByteArray &part, qint64 maxShift)
{
    for (qint64 s = 0; s <= maxShift && s + part.size() <= whole.size(); s += 2) {
        if (std::memcmp(whole.constData() + s, part.constData(), size_t(part.size())) == 0)
            return s;
    }
    return -1;
}

static int pcmFrameBytesOf(const Mp3FrameFacts &f)
{
    return (f.version == 0 ? 1152 : 576) * (f.mode == 3 ? 1 : 2) * 2;
}

// Decodes with both decoders and walks the stream; fails the test on any
// reservoir violation, decoder complaint or disagreement between decoders.
Judged judge(const QString &path, int tolerance)
{
    Judged j;
    j.file = readFile(path);
    j.report = checkMp3Stream(j.file);
    EXPECT_TRUE(j.report.errors.isEmpty()) << path.toStdString() << ": "
                                           << j.report.errors.mid(0, 5).join("; ").toStdString();
    EXPECT_FALSE(j.report.frames.empty());
    if (j.report.frames.empty())
        return j;
    j.frameBytes = pcmFrameBytesOf(j.report.frames.front());
    QString err1, err2;
    j.pcm = decodeMpg123(path, &err1);
    const QByteArray ff = decodeFfmpeg(path, &err2);
    EXPECT_TRUE(err1.trimmed().isEmpty()) << "mpg123: " << err1.toStdString();
    EXPECT_TRUE(err2.trimmed().isEmpty()) << "ffmpeg: " << err2.toStdString();
    // The tag frame decodes to nothing: one PCM frame per audio frame.
    EXPECT_EQ(j.pcm.size(), qint64(j.report.frames.size() - 1) * j.frameBytes);
    EXPECT_EQ(ff.size(), j.pcm.size());
    if (tolerance < 0)
        return j;
    const qint64 n = std::min(ff.size(), j.pcm.size()) / 2;
    const auto *a = reinterpret_cast<const qint16 *>(j.pcm.constData());
    const auto *b = reinterpret_cast<const qint16 *>(ff.constData());
    int worst = 0;
    for (qint64 i = 0; i < n; ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    EXPECT_LE(worst, tolerance) << "mpg123 and ffmpeg disagree on " << path.toStdString();
    return j;
}

XingFacts readXing(const QByteArray &file, const Mp3StreamReport &report)
{
    XingFacts x;
    if (report.frames.empty())
        return x;
    const Mp3FrameFacts &f = report.frames.front();
    const qint64 at = f.offset + 4 + (f.crc ? 2 : 0) + f.sideInfoBytes;
    const QByteArray tag = file.mid(int(at), 4);
    if (tag != "Xing" && tag != "Info")
        return x;
    const auto u32 = [&](qint64 p) {
        const auto *b = reinterpret_cast<const unsigned char *>(file.constData() + p);
        return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
    };
    x.present = true;
    x.vbr = tag == "Xing";
    x.flags = u32(at + 4);
    qint64 p = at + 8;
    if (x.flags & 1) {
        x.frames = u32(p);
        p += 4;
    }
    if (x.flags & 2) {
        x.bytes = u32(p);
        p += 4;
    }
    if (x.flags & 4) {
        for (int i = 0; i < 100; ++i)
            x.toc.push_back(static_cast<unsigned char>(file.at(int(p + i))));
    }
    return x;
}

std::vector<Mp3FrameFacts> audioFrameFacts(const QByteArray &file)
{
    std::vector<Mp3FrameFacts> frames = checkMp3Stream(file).frames;
    if (!frames.empty()) {
        const Mp3FrameFacts &f = frames.front();
        for (const int at : {4 + f.sideInfoBytes, 6 + f.sideInfoBytes}) {
            const QByteArray tag = at + 4 <= f.length ? file.mid(int(f.offset) + at, 4) : QByteArray();
            if (tag == "Xing" || tag == "Info") {
                frames.erase(frames.begin());
                break;
            }
        }
    }
    return frames;
}

std::vector<QByteArray> audioFrames(const QByteArray &file)
{
    std::vector<QByteArray> frames;
    for (const Mp3FrameFacts &f : audioFrameFacts(file))
        frames.push_back(file.mid(int(f.offset), f.length));
    return frames;
}

} // namespace kvtest
