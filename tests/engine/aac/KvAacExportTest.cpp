// Writing AAC documents and files, judged by ffmpeg and ffprobe: packets
// identical away from edits, gains as RMS ratios, silence where silenced, the
// right frame count, valid containers.
#include "KvAacEnv.h"
#include "KvAacTestUtil.h"

#include "KvAACFrameListIterator.h"
#include "KvAACFrameRepacker.h"
#include "KvAACFrameSizeInfo.h"
#include "KvEngineFactories.h"
#include "KvFrameSizeInfo.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <cmath>

using namespace aacengine;

namespace {

// What one output frame should be: a source packet (source index, frame) or
// generated silence (source -1), and its edits.
struct Expected {
    int source;
    qint64 frame;
    int gain;
    bool silenced;
};

struct ExportCase {
    const char *first;
    const char *second;   // a compatible source to join
    const char *ext;
};

std::ostream &operator<<(std::ostream &os, const ExportCase &c)
{
    return os << c.first << "+" << c.second << "->" << c.ext;
}

class AacExport : public ::testing::TestWithParam<ExportCase> {};

void applyGain(const KvRepackInfoPtrListPtr &doc, qint64 from, qint64 to, int delta)
{
    KvAACFrameListIterator it(doc, 0);
    for (qint64 i = 0; i < to && it.next(); ++i) {
        if (i >= from)
            it.addGain(delta);
    }
}

void applySilence(const KvRepackInfoPtrListPtr &doc, qint64 from, qint64 to)
{
    KvAACFrameListIterator it(doc, 0);
    for (qint64 i = 0; i < to && it.next(); ++i) {
        if (i >= from)
            it.setSilenced(true);
    }
}

// Output blocks [from+1, to) (the blocks both of whose frames carry the edit)
// against the source blocks they came from.
double rmsRatio(const std::vector<int16_t> &out, const std::vector<int16_t> &src, int channels, int ch,
                qint64 from, qint64 to, qint64 sourceFrom)
{
    const double a = rmsOf(out, channels, ch, from + 1, to);
    const double b = rmsOf(src, channels, ch, sourceFrom + 1, sourceFrom + (to - from));
    return b > 0 ? a / b : 0.0;
}

} // namespace

TEST_P(AacExport, CutJoinGainAndSilenceEditsGiveTheExpectedFrames)
{
    const ExportCase c = GetParam();
    const boost::shared_ptr<KvAACAudioFile> files[2] = {openAac(c.first), openAac(c.second)};
    const qint64 n0 = files[0]->frameCount();
    const qint64 n1 = files[1]->frameCount();
    ASSERT_GT(n0, 220);
    const int channels = files[0]->repacker()->sizeInfo()->channelCount();

    // Cut 10 frames at 20, join the second source, insert silence, then
    // gains and silence on ranges that lie inside one fragment each.
    const KvRepackInfoPtrListPtr doc = documentOf({files[0]->createRepackInfo(0, -1)});
    ASSERT_TRUE(doc->isCompatible(files[1]->repacker()->sizeInfo()));
    doc->deleteRange(20, 10);
    doc->appendFragment(files[1]->createRepackInfo(0, -1));
    doc->insertFragment(130, silenceLike(files[0], 20));
    std::vector<Expected> want;
    for (qint64 i = 0; i < n0; ++i) {
        if (i < 20 || i >= 30)
            want.push_back({0, i, 0, false});
    }
    for (qint64 i = 0; i < n1; ++i)
        want.push_back({1, i, 0, false});
    want.insert(want.begin() + 130, 20, Expected{-1, 0, 0, true});
    const qint64 gainUp[2] = {40, 80}, gainDown[2] = {90, 120}, mute[2] = {160, 200};
    applyGain(doc, gainUp[0], gainUp[1], 4);
    applyGain(doc, gainDown[0], gainDown[1], -8);
    applySilence(doc, mute[0], mute[1]);
    for (qint64 i = gainUp[0]; i < gainUp[1]; ++i)
        want[size_t(i)].gain = 4;
    for (qint64 i = gainDown[0]; i < gainDown[1]; ++i)
        want[size_t(i)].gain = -8;
    for (qint64 i = mute[0]; i < mute[1]; ++i)
        want[size_t(i)].silenced = true;
    ASSERT_EQ(doc->totalFrames(), qint64(want.size()));

    kvtest::TempDir tmp;
    const QString out = tmp.file(QStringLiteral("out") + QLatin1String(c.ext));
    const QString error = saveDocumentFile(doc, out);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    // Nothing left beside the output.
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(out).fileName()});

    // A clean, complete container.
    QByteArray probeErr;
    EXPECT_EQ(kvtest::runProgram("ffprobe", {"-v", "error", "-show_format", out}, nullptr, &probeErr), 0);
    EXPECT_TRUE(probeErr.isEmpty()) << probeErr.toStdString();
    ASSERT_EQ(countPackets(out), qint64(want.size()));

    // Unedited frames are the source's packets, byte for byte.
    const QStringList outHashes = packetHashes(out);
    const QStringList srcHashes[2] = {packetHashes(files[0]->repacker()->path()),
                                      packetHashes(files[1]->repacker()->path())};
    ASSERT_EQ(outHashes.size(), qint64(want.size()));
    for (size_t k = 0; k < want.size(); ++k) {
        const Expected &e = want[k];
        if (e.source < 0 || e.gain != 0 || e.silenced)
            continue;
        ASSERT_EQ(outHashes[int(k)], srcHashes[e.source][int(e.frame)]) << "output frame " << k;
    }
    // Edited frames are not.
    EXPECT_NE(outHashes[int(gainUp[0])], srcHashes[0][int(want[size_t(gainUp[0])].frame)]);

    // Decoded: gains as RMS ratios on every channel, silence where silenced.
    const std::vector<int16_t> pcm = decodeUntrimmed(out);
    const std::vector<int16_t> src = decodeUntrimmed(files[0]->repacker()->path());
    ASSERT_EQ(qint64(pcm.size()), qint64(want.size()) * 1024 * channels);
    for (int ch = 0; ch < channels; ++ch) {
        EXPECT_NEAR(rmsRatio(pcm, src, channels, ch, gainUp[0], gainUp[1], want[size_t(gainUp[0])].frame), 2.0, 0.02)
            << "channel " << ch;
        EXPECT_NEAR(rmsRatio(pcm, src, channels, ch, gainDown[0], gainDown[1], want[size_t(gainDown[0])].frame),
                    0.25, 0.0025)
            << "channel " << ch;
    }
    EXPECT_LE(peakOf(pcm, channels, mute[0] + 1, mute[1]), 1);
    EXPECT_LE(peakOf(pcm, channels, 131, 150), 1);
    // Away from the seams the neighbours decode as the source does (up to
    // the decoder's noise substitution, which is random).
    EXPECT_NEAR(rmsRatio(pcm, src, channels, 0, 0, 19, 0), 1.0, 1e-4);
    EXPECT_NEAR(rmsRatio(pcm, src, channels, 0, 82, 88, want[82].frame), 1.0, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Documents, AacExport,
                         ::testing::Values(ExportCase{"aac_lc_stereo.m4a", "aac_lc_stereo.aac", ".m4a"},
                                           ExportCase{"aac_lc_stereo.m4a", "aac_lc_stereo.aac", ".aac"},
                                           ExportCase{"aac_lc_stereo.aac", "aac_lc_stereo.m4a", ".m4a"},
                                           ExportCase{"aac_lc_mono.aac", "aac_lc_mono.m4a", ".aac"},
                                           ExportCase{"aac_lc_mono.m4a", "aac_lc_mono.aac", ".mp4"}));

TEST(AacSave, WholeFileCopyGivesTheSourcesPackets)
{
    struct Case {
        const char *source;
        const char *ext;
    };
    for (const Case &c : {Case{"aac_lc_stereo.m4a", ".m4a"}, Case{"aac_lc_stereo.aac", ".aac"},
                          Case{"aac_lc_mono.m4a", ".aac"}, Case{"aac_lc_48k.m4a", ".m4b"}}) {
        kvtest::TempDir tmp;
        const QString source = kvtest::fixture(c.source);
        const QString out = tmp.file(QStringLiteral("copy") + QLatin1String(c.ext));
        const QString error = KvAACRepackInfoPtrList::saveAacFile(source, out);
        ASSERT_TRUE(error.isEmpty()) << c.source << ": " << error.toStdString();
        EXPECT_EQ(packetHashes(out), packetHashes(source)) << c.source << c.ext;
        QByteArray probeErr;
        EXPECT_EQ(kvtest::runProgram("ffprobe", {"-v", "error", "-show_format", out}, nullptr, &probeErr), 0);
        EXPECT_TRUE(probeErr.isEmpty()) << probeErr.toStdString();
    }
}

TEST(AacSave, WholeFileCopyFailuresNameTheSource)
{
    kvtest::TempDir tmp;
    const QString notAac = kvtest::fixture("cbr128_joint.mp3");
    const QString error = KvAACRepackInfoPtrList::saveAacFile(notAac, tmp.file("x.m4a"));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Failed to open source AAC file: ") + notAac + ", Error: "))
        << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(tmp.file("x.m4a")));
}

TEST(AacSave, FirstFragmentSilentAndEmptyDocument)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_stereo.aac");
    kvtest::TempDir tmp;
    const KvRepackInfoPtrListPtr doc = documentOf({silenceLike(file, 10), fragmentOf(file, 30, 50)});
    const QString out = tmp.file("silent-first.aac");
    ASSERT_TRUE(saveDocumentFile(doc, out).isEmpty());
    EXPECT_EQ(countPackets(out), 60);
    const std::vector<int16_t> pcm = decodeUntrimmed(out);
    EXPECT_LE(peakOf(pcm, 2, 0, 10), 1);
    const QStringList hashes = packetHashes(out);
    EXPECT_EQ(hashes.mid(10), packetHashes(file->repacker()->path()).mid(30, 50));

    // An empty document writes an empty file and succeeds.
    const QString empty = tmp.file("empty.m4a");
    EXPECT_TRUE(saveDocumentFile(KvRepackInfoPtrListPtr(new KvAACRepackInfoPtrList), empty).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(empty));
    EXPECT_EQ(QFileInfo(empty).size(), 0);
}

TEST(AacSave, RefusesToWriteOverItsOwnSource)
{
    kvtest::TempDir tmp;
    const QString path = tmp.file("source.m4a");
    ASSERT_TRUE(kvtest::writeFile(path, kvtest::readFile(kvtest::fixture("aac_lc_mono.m4a"))));
    const QByteArray before = kvtest::readFile(path);
    const boost::shared_ptr<KvAACAudioFile> file = openAac(path);
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 10, 20)});
    EXPECT_EQ(saveDocumentFile(doc, path), QStringLiteral("The file is already in use and cannot be overwritten."));
    EXPECT_EQ(kvtest::readFile(path), before);
    EXPECT_FALSE(KvAACRepackInfoPtrList::saveAacFile(path, path).isEmpty());
    EXPECT_EQ(kvtest::readFile(path), before);
}

TEST(AacSave, FailedWriteLeavesTheTargetAsItWas)
{
    // Frames the writer cannot take (a mono source in a stereo document)
    // fail the save; the old file stays and no temporary file is left.
    const boost::shared_ptr<KvAACAudioFile> stereo = openAac("aac_lc_stereo.aac");
    const boost::shared_ptr<KvAACAudioFile> mono = openAac("aac_lc_mono.aac");
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(stereo, 0, 30), fragmentOf(mono, 0, 30)});
    kvtest::TempDir tmp;
    const QString out = tmp.file("keep.aac");
    ASSERT_TRUE(kvtest::writeFile(out, "old contents"));
    EXPECT_EQ(saveDocumentFile(doc, out), QStringLiteral("failed to write aac frame"));
    EXPECT_EQ(kvtest::readFile(out), QByteArray("old contents"));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.aac"});
}

TEST(AacSave, SuffixFollowsTheDocumentsConfiguration)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_stereo.aac");
    KvAACInfo he = *file->aacRepacker()->aacSizeInfo()->aacInfo();
    he.field[KV_AAC_PS] = 1;
    const boost::shared_ptr<KvFrameSizeInfo> heFormat = createFrameSizeInfo(12, 0, 0, &he);
    ASSERT_TRUE(castAacSizeInfo(heFormat));
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 5), fragmentOf(file, 9, 5)});
    EXPECT_EQ(documentFileSuffix(doc), QStringLiteral("aac"));
    doc->list()->push_back(KvRepackInfoPtr(new KvAACRepackInfo(heFormat, 3)));
    EXPECT_EQ(documentFileSuffix(doc), QStringLiteral("m4a"));
    EXPECT_EQ(documentFileSuffix(KvRepackInfoPtrListPtr(new KvAACRepackInfoPtrList)), QStringLiteral("aac"));
    // The version code is cut to 16 bits; an AAC code needs its block.
    EXPECT_EQ(createFrameSizeInfo(65536 + 12, 0, 0, &he)->versionCode(), 12);
    EXPECT_FALSE(createFrameSizeInfo(12, 0, 0, nullptr));
}
