// Exports of edited MP3 documents, judged by mpg123 and FFmpeg and by the
// independent stream checker.
#include "KvEditList.h"
#include "KvMp3StreamCheck.h"
#include "KvTestSupport.h"
#include "Mp3ExportSupport.h"

#include "KvAudioFragmentList.h"
#include "KvEngineFactories.h"
#include "KvMP3AudioListFileIO.h"
#include "KvMP3RepackInfoPtrList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kvtest;

namespace {

QString src(const QString &name, qint64 first, qint64 count)
{
    return QStringLiteral("src %1 %2 %3\n").arg(fixture(name)).arg(first).arg(count);
}

void exportOk(const QString &list, const QString &out)
{
    const QString error = exportEditList(list, out);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
}

double frameRms(const QByteArray &pcm, qint64 k, int frameBytes)
{
    const QByteArray f = pcmFrame(pcm, k, frameBytes);
    return rmsOf(f);
}

} // namespace

// ---------------------------------------------------------------------------

class Mp3Identity : public ::testing::TestWithParam<const char *> {};

TEST_P(Mp3Identity, UneditedExportKeepsEveryFrameAndItsTagFrameCountsRight)
{
    TempDir dir;
    const QString name = QString::fromLatin1(GetParam()) + ".mp3";
    const QString out = dir.file("out.mp3");
    exportOk(src(name, 0, -1), out);
    const Judged j = judge(out);
    ASSERT_FALSE(j.report.frames.empty());

    // Byte for byte, whether runs are copied whole or every frame is rebuilt.
    const std::vector<QByteArray> source = audioFrames(readFile(fixture(name)));
    EXPECT_TRUE(audioFrames(j.file) == source);
    const QString rebuilt = dir.file("rebuilt.mp3");
    KvMP3AudioListFileIO::setWholeFrameCopy(false);
    exportOk(src(name, 0, -1), rebuilt);
    KvMP3AudioListFileIO::setWholeFrameCopy(true);
    EXPECT_TRUE(readFile(rebuilt) == j.file);

    QString err;
    const QByteArray pcm = decodeMpg123(fixture(name), &err);
    EXPECT_EQ(j.pcm.size(), pcm.size());
    EXPECT_TRUE(j.pcm == pcm) << "PCM differs from the source";

    // FFmpeg trims the source by its LAME tag; the source's PCM lies inside ours.
    const QByteArray ffSource = decodeFfmpeg(fixture(name));
    const QByteArray ffOut = decodeFfmpeg(out);
    EXPECT_GE(findShift(ffOut, ffSource, 4 * j.frameBytes), 0) << "FFmpeg: source PCM not found in the export";

    const XingFacts x = readXing(j.file, j.report);
    ASSERT_TRUE(x.present);
    EXPECT_EQ(x.frames, quint32(j.report.frames.size()));
    EXPECT_EQ(x.bytes, quint32(j.file.size()));
    bool varies = false;
    for (size_t i = 2; i < j.report.frames.size(); ++i)
        varies = varies || j.report.frames[i].bitrateIndex != j.report.frames[1].bitrateIndex;
    EXPECT_EQ(x.vbr, varies);
    EXPECT_EQ(x.flags, varies ? 7u : 3u);
    if (x.vbr) {
        // Entry m: where the first frame at or past m percent of the frames begins.
        ASSERT_EQ(x.toc.size(), 100u);
        const qint64 total = qint64(j.report.frames.size());
        const qint64 bytes = j.file.size();
        EXPECT_EQ(x.toc[0], 0);
        for (int m = 1; m < 100; ++m) {
            const qint64 i = (qint64(m) * total + 99) / 100;   // audio frame index
            const qint64 pos = i + 1 < total ? j.report.frames[size_t(i + 1)].offset : bytes;
            EXPECT_EQ(x.toc[size_t(m)], std::min<qint64>(255, 256 * pos / bytes)) << "entry " << m;
        }
    } else {
        EXPECT_TRUE(x.toc.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Mp3Identity,
                         ::testing::Values("cbr128_joint", "cbr128_stereo", "cbr160_dual", "cbr64_mono", "vbr_v2",
                                           "vbr_v2_notag", "vbr_v0_long", "abr160", "cbr128_nores", "cbr128_crc",
                                           "vbr_crc_48k", "cbr96_32k", "mpeg2_mono_22k", "mpeg2_vbr_16k",
                                           "mpeg2_vbr_quiet_22k", "mpeg25_mono_8k", "mpeg25_mono_8k16",
                                           "mpeg25_mono_11k", "mpeg25_stereo_11k", "id3v2_art_v1"));

// ---------------------------------------------------------------------------

TEST(Mp3Export, CutDecodesEqualAwayFromTheSeamAndTheFirstFrameAfterItIsSound)
{
    TempDir dir;
    const QString out = dir.file("cut.mp3");
    const QString name = "vbr_v0_long.mp3";
    exportOk(src(name, 0, -1) + "delete 400 200\n", out);
    const Judged j = judge(out);
    const QByteArray source = decodeMpg123(fixture(name));
    const int fb = j.frameBytes;
    const qint64 n = source.size() / fb;
    ASSERT_GT(n, 700);
    ASSERT_EQ(j.pcm.size() / fb, n - 200);

    qint64 diff = -1;
    EXPECT_TRUE(sameFrames(j.pcm, 0, source, 0, 400, fb, &diff)) << "before the seam, frame " << diff;
    // The seam's first frame overlaps its predecessor; from the second on all is equal.
    EXPECT_TRUE(sameFrames(j.pcm, 401, source, 601, n - 601, fb, &diff)) << "after the seam, frame " << 401 + diff;
    // Its granules decode: the frame carries the source frame's energy, not silence.
    const double a = frameRms(j.pcm, 400, fb), b = frameRms(source, 600, fb);
    EXPECT_GT(b, 100.0);
    EXPECT_GT(a, 0.5 * b);
    EXPECT_LT(a, 2.0 * b);
    // Its second half no longer depends on the frame before the seam.
    const QByteArray tailOut = pcmFrame(j.pcm, 400, fb).mid(fb / 2);
    const QByteArray tailSrc = pcmFrame(source, 600, fb).mid(fb / 2);
    EXPECT_GT(rmsOf(tailOut), 0.5 * rmsOf(tailSrc));
}

// At 16 kbit/s and 8 kHz a frame's area holds 131 bytes and the reservoir
// reaches 255 bytes back: the frames after sixty seams all keep their
// payload, none is silenced, and the file grows by little.
TEST(Mp3Export, SeamsAtTheLowestRatesKeepEveryPayload)
{
    TempDir dir;
    const QString name = "mpeg25_mono_8k16.mp3";
    const std::vector<QByteArray> source = audioFrames(readFile(fixture(name)));
    ASSERT_GT(source.size(), 100u);
    QString list;
    std::vector<QByteArray> kept;
    for (int i = 0; i < 61; ++i) {
        const int first = (i * 37) % 100, count = 3 + i % 11;
        list += src(name, first, count);
        kept.insert(kept.end(), source.begin() + first, source.begin() + first + count);
    }
    const QString out = dir.file("seams.mp3");
    exportOk(list, out);
    EXPECT_EQ(KvMP3RepackInfoPtrList::lastPlanReport().dropped, 0);
    const Judged j = judge(out, -1);
    ASSERT_EQ(j.report.frames.size(), kept.size() + 1);
    qint64 keptBytes = 0;
    for (size_t k = 0; k < kept.size(); ++k) {
        const Mp3FrameFacts was = checkMp3Stream(kept[k]).frames.at(0);
        EXPECT_EQ(j.report.frames[k + 1].payloadBits, was.payloadBits) << "frame " << k;
        keptBytes += kept[k].size();
    }
    EXPECT_LE(j.file.size(), keptBytes + keptBytes / 20);
}

TEST(Mp3Export, RangesOfTwoSourcesAndSilenceDecodeSegmentBySegment)
{
    TempDir dir;
    const QString out = dir.file("join.mp3");
    const QString a = "cbr128_stereo.mp3", b = "vbr_v2.mp3";
    exportOk(src(a, 300, 100) + "silence 50\n" + src(b, 100, 150) + src(a, 0, 100), out);
    const Judged j = judge(out);
    const int fb = j.frameBytes;
    ASSERT_EQ(j.pcm.size(), 400 * fb);
    const QByteArray pa = decodeMpg123(fixture(a)), pb = decodeMpg123(fixture(b));

    struct Segment {
        qint64 at, count;
        const QByteArray *pcm;
        qint64 from;
    };
    const Segment segments[] = {{0, 100, &pa, 300}, {150, 150, &pb, 100}, {300, 100, &pa, 0}};
    for (const Segment &s : segments) {
        qint64 diff = -1;
        // The first frame of a segment overlaps the end of the one before.
        const qint64 skip = s.at == 0 && s.from == 0 ? 0 : 1;
        EXPECT_TRUE(sameFrames(j.pcm, s.at + skip, *s.pcm, s.from + skip, s.count - skip, fb, &diff))
            << "segment at " << s.at << ", frame " << s.at + skip + diff;
    }
    // Silence is digital zero once the overlap of the frame before it has passed.
    EXPECT_TRUE(allZero(j.pcm, 101, 49, fb));
}

TEST(Mp3Export, GainStepsScaleTheSignalExactly)
{
    // Float decoding: no clipping spoils the ratio.
    TempDir dir;
    const QString name = "vbr_v2.mp3";
    const std::vector<float> base = decodeMpg123Float(fixture(name));
    ASSERT_FALSE(base.empty());
    const auto rmsF = [](const std::vector<float> &v) {
        double s = 0;
        for (float x : v)
            s += double(x) * x;
        return std::sqrt(s / double(v.size()));
    };
    const double r0 = rmsF(base);
    const int n = int(base.size()) / (1152 * 2);
    struct Case {
        int steps;
        double factor;
    };
    for (const Case c : {Case{4, 2.0}, Case{-8, 0.25}}) {
        const QString out = dir.file(QString("gain%1.mp3").arg(c.steps));
        exportOk(src(name, 0, -1) + QString("gain 0 %1 %2\n").arg(n).arg(c.steps), out);
        judge(out);
        const std::vector<float> v = decodeMpg123Float(out);
        ASSERT_EQ(v.size(), base.size());
        EXPECT_NEAR(rmsF(v) / r0, c.factor, c.factor * 0.005) << c.steps << " steps";
    }
}

TEST(Mp3Export, GlobalGainClampsAtBothEndsAndSilentGranulesKeepZero)
{
    TempDir dir;
    const QString name = "mpeg2_vbr_quiet_22k.mp3";   // ends in digital silence
    const QByteArray sourceFile = readFile(fixture(name));
    const Mp3StreamReport source = checkMp3Stream(sourceFile);
    ASSERT_TRUE(source.errors.isEmpty());
    // The source's first frame is its own tag frame, as ours is.
    const qint64 n = qint64(source.frames.size()) - 1;
    int zeroGranules = 0;
    for (const int steps : {60, -300}) {
        const QString out = dir.file(QString("g%1.mp3").arg(steps + 1000));
        exportOk(src(name, 0, -1) + QString("gain 0 %1 %2\n").arg(n).arg(steps), out);
        // Clipped far past full scale, the decoders round differently.
        const Judged j = judge(out, 16);
        ASSERT_EQ(qint64(j.report.frames.size()), n + 1);
        for (qint64 k = 1; k <= n; ++k) {
            const std::vector<int> &was = source.frames[size_t(k)].globalGains;
            const std::vector<int> &now = j.report.frames[size_t(k)].globalGains;
            ASSERT_EQ(was.size(), now.size());
            // A frame without audio data is written with global_gain 0.
            const bool silentFrame = source.frames[size_t(k)].payloadBits == 0;
            for (size_t g = 0; g < was.size(); ++g) {
                if (silentFrame) {
                    EXPECT_EQ(now[g], 0) << "frame " << k;
                    ++zeroGranules;
                } else {
                    EXPECT_EQ(now[g], std::clamp(was[g] + steps, 0, 255)) << "frame " << k << " granule " << g;
                }
            }
        }
    }
    EXPECT_GT(zeroGranules, 0) << "the fixture has no silent granules";
}

TEST(Mp3Export, SilencedRangeDecodesToZeroAndLeavesTheRest)
{
    TempDir dir;
    const QString name = "cbr128_joint.mp3";
    const QString out = dir.file("mute.mp3");
    exportOk(src(name, 0, -1) + "mute 100 100\n", out);
    const Judged j = judge(out);
    const QByteArray source = decodeMpg123(fixture(name));
    const int fb = j.frameBytes;
    const qint64 n = source.size() / fb;
    ASSERT_EQ(j.pcm.size(), source.size());
    qint64 diff = -1;
    EXPECT_TRUE(sameFrames(j.pcm, 0, source, 0, 100, fb, &diff)) << "frame " << diff;
    EXPECT_TRUE(allZero(j.pcm, 101, 99, fb));
    EXPECT_TRUE(sameFrames(j.pcm, 201, source, 201, n - 201, fb, &diff)) << "frame " << 201 + diff;
}

TEST(Mp3Export, CrcFramesStayValidAfterCutsAndGain)
{
    TempDir dir;
    for (const char *name : {"cbr128_crc.mp3", "vbr_crc_48k.mp3"}) {
        const QString out = dir.file(QString("crc_%1").arg(name));
        exportOk(src(name, 0, -1) + "delete 100 50\ngain 0 150 3\nmute 20 5\n" + src(name, 10, 40), out);
        const Judged j = judge(out);
        for (size_t k = 1; k < j.report.frames.size(); ++k)
            ASSERT_TRUE(j.report.frames[k].crc) << "frame " << k;
        QByteArray o, e;
        runProgram("ffmpeg", {"-v", "error", "-err_detect", "crccheck", "-i", out, "-f", "null", "-"}, &o, &e);
        EXPECT_TRUE(e.trimmed().isEmpty()) << name << ": " << e.toStdString();
    }
}

TEST(Mp3Export, InfoFrameFitsAtTheLowestBitrateOfMpeg2)
{
    // 8 kbit/s MPEG-2 frames at 22.05 kHz hold 26 bytes, fewer than the Info content.
    TempDir dir;
    const QString out = dir.file("quiet.mp3");
    exportOk(src("mpeg2_vbr_quiet_22k.mp3", 0, 1) + "silence 200\ndelete 0 1\n", out);
    const Judged j = judge(out);
    ASSERT_EQ(j.report.frames.size(), 201u);
    for (size_t k = 1; k < j.report.frames.size(); ++k)
        EXPECT_EQ(j.report.frames[k].bitrateIndex, 1);
    const XingFacts x = readXing(j.file, j.report);
    ASSERT_TRUE(x.present);
    EXPECT_FALSE(x.vbr);
    EXPECT_EQ(x.frames, 201u);
    EXPECT_EQ(x.bytes, quint32(j.file.size()));
    EXPECT_GE(j.report.frames[0].length, 4 + 9 + 16);
    EXPECT_TRUE(allZero(j.pcm, 0, 200, j.frameBytes));
}

// ---------------------------------------------------------------------------

TEST(Mp3Export, TargetThatIsOneOfTheSourcesIsRefused)
{
    TempDir dir;
    const QString copy = dir.file("source.mp3");
    ASSERT_TRUE(QFile::copy(fixture("cbr128_joint.mp3"), copy));
    const QByteArray before = readFile(copy);
    const QString error = exportEditList(QString("src %1 0 100\n").arg(copy), copy);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(copy), before);
}

TEST(Mp3Export, TargetHeldOpenAsAnotherDocumentsSourceIsRefused)
{
    TempDir dir;
    const QString held = dir.file("held.mp3");
    ASSERT_TRUE(QFile::copy(fixture("cbr128_joint.mp3"), held));
    // Another document (the undo history, say) keeps this source open.
    KvEditListDocument other;
    QString error;
    ASSERT_TRUE(kvBuildEditList(QString("src %1 0 10\n").arg(held), other, error)) << error.toStdString();
    const QByteArray before = readFile(held);
    error = exportEditList(src("vbr_v2.mp3", 0, 50), held);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(held), before);
}

TEST(Mp3Export, SourceShortenedAfterIndexingFailsWithoutTouchingTheTarget)
{
    TempDir dir;
    const QString source = dir.file("shrinking.mp3");
    ASSERT_TRUE(QFile::copy(fixture("vbr_v2.mp3"), source));
    QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner);
    const QString out = dir.file("out.mp3");
    ASSERT_TRUE(writeFile(out, "previous contents"));

    KvEditListDocument d;
    QString error;
    ASSERT_TRUE(kvBuildEditList(QString("src %1 0 -1\n").arg(source), d, error));
    // The file loses its second half while the document refers to all of it.
    ASSERT_TRUE(QFile::resize(source, QFileInfo(source).size() / 2));
    KvPrepareRepack(d.document);
    error = saveDocumentFile(d.document, out);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(out), QByteArray("previous contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "a temporary file was left behind";
}

TEST(Mp3Export, FolderThatDoesNotExistGivesAnError)
{
    TempDir dir;
    const QString error = exportEditList(src("cbr128_joint.mp3", 0, 10), dir.file("no/such/folder/out.mp3"));
    EXPECT_FALSE(error.isEmpty());
}

// ---------------------------------------------------------------------------

TEST(Mp3FileInfoText, DescribesFormatRateModeAndDuration)
{
    struct Case {
        QString list;
        QString text;
    };
    const Case cases[] = {
        {src("cbr128_joint.mp3", 0, -1), "MPEG 1/Layer 3 - 128 kbps - 44100 Hz - Joint Stereo - 0:00:12.04"},
        {src("cbr128_stereo.mp3", 0, 100) + src("cbr128_joint.mp3", 0, 100),
         "MPEG 1/Layer 3 - 128 kbps - 44100 Hz - Joint Stereo - 0:00:05.22"},
        {src("cbr128_stereo.mp3", 0, 100), "MPEG 1/Layer 3 - 128 kbps - 44100 Hz - Stereo - 0:00:02.61"},
        {src("cbr160_dual.mp3", 0, 10), "MPEG 1/Layer 3 - 160 kbps - 44100 Hz - Dual Channel - 0:00:00.26"},
        {src("cbr64_mono.mp3", 0, 10) + "silence 10\n",
         "MPEG 1/Layer 3 - 48 kbps - 44100 Hz - Mono - 0:00:00.52"},
        {src("mpeg25_mono_8k.mp3", 0, 100), "MPEG 2.5/Layer 3 LSF - 8 kbps - 8000 Hz - Mono - 0:00:07.20"},
        {src("mpeg2_mono_22k.mp3", 0, 100), "MPEG 2/Layer 3 LSF - 64 kbps - 22050 Hz - Mono - 0:00:02.61"},
    };
    for (const Case &c : cases) {
        KvEditListDocument d;
        QString error;
        ASSERT_TRUE(kvBuildEditList(c.list, d, error)) << error.toStdString();
        const boost::shared_ptr<KvAudioFragmentList> cursor = createFragmentListFor(d.document);
        cursor->setList(d.document);
        EXPECT_EQ(fileInfoText(cursor), c.text);
    }
    EXPECT_TRUE(fileInfoText(createFragmentListByFormat("mp3")).isEmpty());
    EXPECT_TRUE(fileInfoText(boost::shared_ptr<KvAudioFragmentList>()).isEmpty());
}
