// Volume changes and fades over long stretches: the frames are written as
// copies of their source bytes with the gains written in place. Judged against
// rebuilding every frame, and frame by frame against the source with the
// independent stream checker and a CRC of the test's own.
#include "KvEditList.h"
#include "KvMp3StreamCheck.h"
#include "KvTestSupport.h"
#include "Mp3ExportSupport.h"

#include "KvAudioStream.h"
#include "KvEngineFactories.h"
#include "KvMP3AudioListFileIO.h"
#include "KvMP3RepackInfoPtrList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace kvtest;

namespace {

// CRC-16 of MPEG audio (x^16 + x^15 + x^2 + 1, start 0xFFFF) over whole bytes.
uint16_t mpegCrc(const char *p, int n)
{
    uint32_t crc = 0xFFFF;
    for (int i = 0; i < n; ++i) {
        for (int b = 7; b >= 0; --b) {
            const uint32_t bit = ((uint8_t(p[i]) >> b) ^ (crc >> 15)) & 1u;
            crc = ((crc << 1) & 0xFFFF) ^ (bit ? 0x8005u : 0u);
        }
    }
    return uint16_t(crc);
}

// The frame with its CRC word and global_gain fields zeroed.
QByteArray withoutGains(QByteArray frame, const Mp3FrameFacts &f)
{
    for (int bit : f.globalGainBits) {
        for (int b = bit; b < bit + 8; ++b)
            frame[b / 8] = char(frame[b / 8] & ~(0x80 >> (b % 8)));
    }
    if (f.crc)
        frame[4] = frame[5] = 0;
    return frame;
}

// A volume edit of the whole document: its edit-list lines for n frames, and
// the steps it gives frame k.
struct GainCase {
    const char *name;
    std::function<QString(qint64 n)> lines;
    std::function<int(qint64 k, qint64 n)> steps;
};

const GainCase kCases[] = {
    {"up 2", [](qint64 n) { return QString("gain 0 %1 2\n").arg(n); }, [](qint64, qint64) { return 2; }},
    {"down to the floor", [](qint64 n) { return QString("gain 0 %1 -300\n").arg(n); },
     [](qint64, qint64) { return -300; }},
    {"up to the ceiling", [](qint64 n) { return QString("gain 0 %1 300\n").arg(n); },
     [](qint64, qint64) { return 300; }},
    // A step of its own every few frames.
    {"fade in", [](qint64 n) { return QString("fade 0 %1 -60 0\n").arg(n); },
     [](qint64 k, qint64 n) { return int(-60 + 60 * k / (n - 1)); }},
    {"two halves", [](qint64 n) { return QString("gain 0 %1 3\ngain %1 %2 -4\n").arg(n / 2).arg(n - n / 2); },
     [](qint64 k, qint64 n) { return k < n / 2 ? 3 : -4; }},
};

struct Streamed {
    QByteArray bytes;
    quint64 copied = 0;
};

Streamed stream(const QString &list, bool wholeFrameCopy)
{
    KvEditListDocument d;
    QString error;
    EXPECT_TRUE(kvBuildEditList(list, d, error)) << error.toStdString();
    Streamed s;
    if (!d.document)
        return s;
    KvPrepareRepack(d.document);
    KvMP3AudioListFileIO::setWholeFrameCopy(wholeFrameCopy);
    QIODevice *h = KvAudioStreamOpen("rb", d.document, 0);
    KvMP3AudioListFileIO *device = qobject_cast<KvMP3AudioListFileIO *>(h);
    EXPECT_NE(device, nullptr);
    QByteArray buf(1 << 20, '\0');
    while (device && !KvAudioStreamEof(h)) {
        qint64 frames = 0;
        const qint64 n = device->readFrames(buf.data(), buf.size(), &frames);
        EXPECT_GE(n, 0);
        if (n < 0)
            break;
        s.bytes.append(buf.constData(), int(n));
    }
    if (device) {
        EXPECT_EQ(device->errorText(), QString());
        s.copied = device->framesCopied();
    }
    KvAudioStreamClose(h);
    KvMP3AudioListFileIO::setWholeFrameCopy(true);
    return s;
}

} // namespace

class Mp3GainCopy : public ::testing::TestWithParam<const char *> {};

TEST_P(Mp3GainCopy, VolumeEditsAreCopiedFramesWithTheirGainsAndCrcWrittenIn)
{
    const QString path = fixture(QString(GetParam()) + ".mp3");
    const qint64 n = framesOf(path);
    ASSERT_GT(n, 100);
    const QByteArray sourceFile = readFile(path);
    const std::vector<Mp3FrameFacts> sourceFacts = audioFrameFacts(sourceFile);
    const std::vector<QByteArray> source = audioFrames(sourceFile);
    ASSERT_EQ(qint64(source.size()), n);

    for (const GainCase &c : kCases) {
        SCOPED_TRACE(c.name);
        const QString list = QString("src %1 0 -1\n").arg(path) + c.lines(n);
        const Streamed copied = stream(list, true);
        const Streamed rebuilt = stream(list, false);
        EXPECT_TRUE(copied.bytes == rebuilt.bytes) << "copied frames differ from rebuilt ones";
        // All but the frames whose area the end of the document changes.
        EXPECT_GE(copied.copied, quint64(n - 20));
        EXPECT_EQ(rebuilt.copied, 0u);

        const std::vector<Mp3FrameFacts> out = checkMp3Stream(copied.bytes).frames;
        ASSERT_EQ(qint64(out.size()), n);
        for (qint64 k = 0; k < n; ++k) {
            const Mp3FrameFacts &o = out[size_t(k)];
            const Mp3FrameFacts &s = sourceFacts[size_t(k)];
            const QByteArray frame = copied.bytes.mid(int(o.offset), o.length);
            if (o.crc) {
                const QByteArray covered = frame.mid(2, 2) + frame.mid(6, o.sideInfoBytes);
                ASSERT_EQ(mpegCrc(covered.constData(), covered.size()),
                          uint16_t((uint8_t(frame[4]) << 8) | uint8_t(frame[5])))
                    << "frame " << k;
            }
            // The end of the document is a seam: the frames before it may be
            // laid out anew, and its last frame silenced.
            if (k >= n - 20)
                continue;
            ASSERT_TRUE(withoutGains(frame, o) == withoutGains(source[size_t(k)], s))
                << "frame " << k << " changed beyond its gains";
            ASSERT_EQ(o.globalGains.size(), s.globalGains.size());
            for (size_t g = 0; g < s.globalGains.size(); ++g) {
                // A frame without audio data is written with gain 0 once edited.
                const int want = s.payloadBits == 0 ? 0 : std::clamp(s.globalGains[g] + c.steps(k, n), 0, 255);
                ASSERT_EQ(o.globalGains[g], want) << "frame " << k << ", field " << g;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Mp3GainCopy,
                         ::testing::Values("cbr128_joint", "cbr128_stereo", "cbr160_dual", "cbr64_mono", "vbr_v2",
                                           "vbr_v2_notag", "abr160", "cbr128_nores", "cbr128_crc", "vbr_crc_48k",
                                           "cbr96_32k", "mpeg2_mono_22k", "mpeg2_vbr_16k", "mpeg2_vbr_quiet_22k",
                                           "mpeg25_mono_8k", "mpeg25_mono_11k", "mpeg25_stereo_11k",
                                           "id3v2_art_v1"));

// The save's plan departs from the source layout only around seams, so only
// the frames there are planned; planning every frame gives the same file.
TEST(Mp3GainPlan, OnlyTheFramesAroundSeamsArePlanned)
{
    const QString path = fixture("vbr_v0_long.mp3");
    const qint64 n = framesOf(path);
    ASSERT_GT(n, 1000);
    const QString whole = QString("src %1 0 -1\n").arg(path);
    struct Case {
        const char *name;
        QString list;
        int seams;   // the document's two ends and the joins between fragments
    } cases[] = {
        {"gain on every frame", whole + QString("gain 0 %1 2\n").arg(n), 2},
        {"fade over the whole file", whole + QString("fade 0 %1 -40 0\n").arg(n), 2},
        {"two cuts and a gain", whole + QString("delete 900 100\ndelete 300 50\ngain 0 %1 -3\n").arg(n - 150), 4},
    };
    TempDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString seamsOnly = dir.file("seams.mp3");
        ASSERT_EQ(exportEditList(c.list, seamsOnly), QString());
        const qint64 planned = KvMP3RepackInfoPtrList::lastPlanReport().iterations;
        EXPECT_GT(planned, 0);
        EXPECT_LE(planned, c.seams * 100) << "of " << n << " frames";

        KvMP3RepackInfoPtrList::setPlanAroundSeamsOnly(false);
        const QString everyFrame = dir.file("every.mp3");
        const QString error = exportEditList(c.list, everyFrame);
        KvMP3RepackInfoPtrList::setPlanAroundSeamsOnly(true);
        ASSERT_EQ(error, QString());
        EXPECT_GE(KvMP3RepackInfoPtrList::lastPlanReport().iterations, n - 150);
        EXPECT_TRUE(readFile(seamsOnly) == readFile(everyFrame));
    }
}
