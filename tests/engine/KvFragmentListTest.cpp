// Fragments and fragment lists: records, re-cutting, levels and the list
// operations at their edges.
#include "KvDocumentTestSupport.h"
#include "KvEngineFactories.h"
#include "KvMP3FrameSizeInfo.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kvtest;

namespace {

bool sameRecord(const KvMP3GainChangeInfo &a, const KvMP3GainChangeInfo &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class Fragments : public ::testing::Test {
protected:
    void SetUp() override { file = openMp3("cbr128_joint.mp3"); }
    boost::shared_ptr<KvMP3AudioFile> file;
};

TEST_F(Fragments, MarginHoldsUpToTenSourceFramesBeforeTheFirst)
{
    const KvMP3GainFrameInfo *src = sourceTable(file);
    for (const auto &c : {std::make_pair(3, 3), std::make_pair(250, 10), std::make_pair(0, 0), std::make_pair(10, 10)}) {
        const KvMP3RepackInfoPtr f = fragmentOf(file, c.first, 20);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->gainRecordBase(), c.second) << "first " << c.first;
        EXPECT_EQ(f->lastRecord(), c.second + 20);
        const KvMP3GainChangeInfo *t = f->frameTable();
        for (qint64 r = 0; r < f->lastRecord(); ++r) {
            const KvMP3GainFrameInfo &s = src[c.first - c.second + r];
            EXPECT_EQ(t[r].bitrateIndex(), s.bitrateIndex());
            EXPECT_EQ(int(t[r].mainDataBegin), int(s.mainDataBegin));
            EXPECT_EQ(int(t[r].capacity), int(s.capacity));
            EXPECT_EQ(int(t[r].gain[0]), 0);
        }
        EXPECT_TRUE(sameRecord(t[f->lastRecord()], KvMP3GainChangeInfo{}));
    }
}

TEST_F(Fragments, BrokenSourceFramesStartSilencedWithAReservoirRestart)
{
    KvMP3GainFrameInfo *src = sourceTable(file);
    src[42].flags |= KvMp3FrameFlag::Broken;
    const KvMP3RepackInfoPtr f = fragmentOf(file, 40, 5);
    const KvMP3GainChangeInfo &r = f->frameTable()[f->gainRecordBase() + 2];
    EXPECT_EQ(r.flags & 7, KvMp3EditFlag::ReservoirRestart | KvMp3EditFlag::Silenced);
    EXPECT_TRUE(f->isFrameSilenced(2));
    EXPECT_FALSE(f->isFrameSilenced(1));
    // Broken wins over silenced in the level.
    EXPECT_EQ(f->frameLevel(2), -2);
}

TEST_F(Fragments, SilenceRecordsAreSilencedLowestBitrateFrames)
{
    // MPEG-1 at 44.1 kHz stereo: 32 kbit/s frames of 104 bytes, 68 of them main data.
    const KvMP3RepackInfoPtr f = silenceLike(file, 4);
    EXPECT_TRUE(f->sourcePath().isEmpty());
    EXPECT_EQ(f->gainRecordBase(), 0);
    EXPECT_EQ(f->firstFrame(), 0);
    for (int i = 0; i < 4; ++i) {
        const KvMP3GainChangeInfo &r = f->frameTable()[i];
        EXPECT_EQ(r.flags, KvMp3EditFlag::Silenced | (1 << 3));
        EXPECT_EQ(int(r.capacity), 68);
        EXPECT_EQ(int(r.mainDataBegin), 0);
        EXPECT_EQ(f->frameLevel(i), -3);
    }
    EXPECT_TRUE(sameRecord(f->frameTable()[4], KvMP3GainChangeInfo{}));
}

TEST_F(Fragments, LevelsAndGains)
{
    const KvMP3GainFrameInfo *src = sourceTable(file);
    const KvMP3RepackInfoPtr f = fragmentOf(file, 100, 10);
    const int plain = (src[100].gain[0] + src[100].gain[1]) / 2;
    EXPECT_EQ(f->frameLevel(0), plain);
    f->setFrameGain(0, 4);
    EXPECT_EQ(f->frameLevel(0), plain + 4);
    EXPECT_EQ(f->frameGain(0), 4);
    f->setFrameSilenced(0, true);
    EXPECT_EQ(f->frameLevel(0), -1);
    EXPECT_EQ(f->frameGain(0), 4);
    // Deltas of -1 and 0 mean 0 (truncation toward zero).
    f->frameTable()[f->gainRecordBase() + 1].gain[0] = -1;
    EXPECT_EQ(f->frameGain(1), 0);
    // Outside the fragment: nothing to read, nothing changes.
    for (qint64 i : {qint64(-1), qint64(10)}) {
        EXPECT_EQ(f->frameLevel(i), 0);
        EXPECT_EQ(f->frameGain(i), 0);
        EXPECT_FALSE(f->isFrameSilenced(i));
        f->setFrameGain(i, 9);
        f->setFrameSilenced(i, true);
    }
    EXPECT_EQ(f->frameGain(9), 0);
    EXPECT_FALSE(f->isFrameSilenced(9));
    EXPECT_TRUE(sameRecord(f->frameTable()[f->lastRecord()], KvMP3GainChangeInfo{}));
}

TEST_F(Fragments, SetRangeToTheSameRangeKeepsTheTable)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 50, 30);
    const KvMP3GainChangeInfo *before = f->recordArray().get();
    f->setRange(50, 30);
    EXPECT_EQ(f->recordArray().get(), before);
    f->setRange(55, 20);
    EXPECT_NE(f->recordArray().get(), before);
    EXPECT_EQ(f->firstFrame(), 55);
    EXPECT_EQ(f->gainRecordBase(), 10);
}

TEST_F(Fragments, ShrinkingKeepsEditsWithTheirFrames)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 50, 30);
    for (int i = 0; i < 30; ++i)
        f->setFrameGain(i, qint16(i));
    const KvMP3RepackInfoPtr other = boost::static_pointer_cast<KvMP3RepackInfo>(f->clone());
    f->setRange(58, 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(f->frameGain(i), 8 + i);
    // The margin now holds the edited frames 48..57 as they were.
    EXPECT_EQ(int(f->frameTable()[9].gain[0]), 7);
    // The clone kept its own table.
    EXPECT_EQ(other->frameGain(0), 0);
    EXPECT_EQ(other->frameCount(), 30);
}

TEST_F(Fragments, SilenceStartsAtZeroButKeepsTheEditsOfTheKeptFrames)
{
    const KvMP3RepackInfoPtr f = silenceLike(file, 10);
    for (int i = 0; i < 10; ++i)
        f->setFrameGain(i, qint16(i));
    f->setRange(4, 6);
    EXPECT_EQ(f->firstFrame(), 0);
    EXPECT_EQ(f->gainRecordBase(), 0);
    EXPECT_EQ(f->frameCount(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(f->frameGain(i), 4 + i);
}

TEST_F(Fragments, CountersSurviveRecutsAndClonesStartAtZero)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 0, 40);
    EXPECT_EQ(f->counterCount(), 256);
    f->incrementCounter(7);
    f->incrementCounter(7);
    f->incrementCounter(255);
    f->setRange(5, 10);
    EXPECT_EQ(f->counter(7), 2);
    EXPECT_EQ(f->counter(255), 1);
    EXPECT_EQ(f->counter(300), 0);
    EXPECT_EQ(f->clone()->counter(7), 0);
    f->clearCounters();
    EXPECT_EQ(f->counter(7), 0);
}

TEST_F(Fragments, CopiesDuplicateTheTableSharesDoNot)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 20, 10);
    KvMP3RepackInfo copy, share;
    copy.copyFrom(*f);
    share.shareFrom(*f);
    EXPECT_NE(copy.recordArray().get(), f->recordArray().get());
    EXPECT_EQ(share.recordArray().get(), f->recordArray().get());
    EXPECT_EQ(copy.source(), f->source());
    EXPECT_EQ(0, std::memcmp(copy.frameTable(), f->frameTable(), sizeof(KvMP3GainChangeInfo) * 21));
}

TEST_F(Fragments, SourceFilesHandOutFragmentsOnlyInsideTheFile)
{
    const qint64 n = file->frameCount();
    const KvRepackInfoPtr all = file->createRepackInfo(0, -1);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->frameCount(), n);
    EXPECT_EQ(all->sourcePath(), file->repacker()->path());
    EXPECT_TRUE(file->createRepackInfo(n - 5, 5));
    EXPECT_FALSE(file->createRepackInfo(n - 5, 6));
    EXPECT_FALSE(file->createRepackInfo(-1, 5));
    EXPECT_FALSE(file->createRepackInfo(n + 1, -1));
    EXPECT_FALSE(file->createRepackInfo(0, -2));
    KvMP3AudioFile unopened;
    EXPECT_FALSE(unopened.createRepackInfo(0, -1));
    EXPECT_FALSE(unopened.createRepackInfoFrom(5));

    const boost::shared_ptr<KvAudioFile> silent = createAudioFileLike(file->repacker()->sizeInfo(), 0);
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->frameCount(), KvFrameRepacker::kSilentFrameCount);
    const KvRepackInfoPtr s = silent->createRepackInfoFrom(7);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->frameCount(), 7);
    EXPECT_TRUE(s->sourcePath().isEmpty());
    // The run of silence has a source of its own.
    EXPECT_NE(s->source(), silent->repacker());
    // Silence has no end to run to.
    EXPECT_FALSE(silent->createRepackInfo(0, -1));
    EXPECT_FALSE(createAudioFileLike(boost::shared_ptr<KvFrameSizeInfo>(), 3));
}

// Lists.

class Lists : public Fragments {
protected:
    KvRepackInfoPtrListPtr single(qint64 first, qint64 count)
    {
        return documentOf({fragmentOf(file, first, count)});
    }
};

TEST_F(Lists, DeletingInsideAFragmentCutsItIntoACloneAndItself)
{
    const KvRepackInfoPtrListPtr doc = single(0, 100);
    const KvRepackInfoPtr original = doc->list()->front();
    doc->deleteRange(10, 10);
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 10}, {20, 80}}));
    EXPECT_NE(doc->list()->front(), original);
    EXPECT_EQ(doc->list()->back(), original);
}

TEST_F(Lists, DeletingAtTheStartRecutsInPlace)
{
    const KvRepackInfoPtrListPtr doc = single(0, 100);
    const KvRepackInfoPtr original = doc->list()->front();
    doc->deleteRange(0, 10);
    EXPECT_EQ(rangesOf(doc), (Ranges{{10, 90}}));
    EXPECT_EQ(doc->list()->front(), original);
}

TEST_F(Lists, DeletingEverythingOrNothing)
{
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 100), fragmentOf(file, 200, 50)});
    for (const auto &c : {std::make_pair(0, 0), std::make_pair(-1, 10), std::make_pair(150, 5), std::make_pair(5, -1)}) {
        doc->deleteRange(c.first, c.second);
        EXPECT_EQ(rangesOf(doc), (Ranges{{0, 100}, {200, 50}})) << c.first << "," << c.second;
    }
    doc->deleteRange(140, 1000);
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 100}, {200, 40}}));
    doc->deleteRange(0, doc->totalFrames());
    EXPECT_TRUE(doc->list()->empty());
    EXPECT_EQ(doc->totalFrames(), 0);
    EXPECT_FALSE(doc->firstSourceInfo());
}

TEST_F(Lists, InsertingAtABoundaryCutsNothing)
{
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 100), fragmentOf(file, 200, 50)});
    const KvRepackInfoPtr a = doc->list()->front(), b = doc->list()->back();
    doc->insertFragment(100, fragmentOf(file, 400, 5));
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 100}, {400, 5}, {200, 50}}));
    EXPECT_EQ(doc->list()->front(), a);
    EXPECT_EQ(doc->list()->back(), b);
    // At or past the end: appended. Two runs of silence side by side are one.
    doc->insertFragment(155, silenceLike(file, 3));
    EXPECT_EQ(rangesOf(doc).back(), std::make_pair(qint64(-1), qint64(3)));
    doc->insertFragment(10000, silenceLike(file, 3));
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 100}, {400, 5}, {200, 50}, {-1, 6}}));
}

TEST_F(Lists, InsertingInsideAFragmentAndMergingBack)
{
    const KvRepackInfoPtrListPtr doc = single(0, 100);
    const KvRepackInfoPtrListPtr clip = doc->copyRange(10, 10);
    EXPECT_EQ(rangesOf(clip), (Ranges{{10, 10}}));
    doc->deleteRange(10, 10);
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 10}, {20, 80}}));
    doc->insertList(10, clip);
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 100}}));
    // Inserting elsewhere splits around the new frames.
    doc->insertList(50, clip);
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 50}, {10, 10}, {50, 50}}));
}

TEST_F(Lists, MergingJoinsContinuingFragmentsWithTheirEdits)
{
    const KvRepackInfoPtr a = fragmentOf(file, 0, 10), b = fragmentOf(file, 10, 5), c = fragmentOf(file, 20, 5);
    b->setFrameGain(4, -7);
    const KvRepackInfoPtrListPtr doc = documentOf({a, b, c, silenceLike(file, 2), silenceLike(file, 9)});
    EXPECT_TRUE(doc->mergeAdjacent());
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 15}, {20, 5}, {-1, 11}}));
    EXPECT_EQ(doc->list()->front(), a);
    EXPECT_EQ(a->frameGain(14), -7);
    EXPECT_FALSE(doc->mergeAdjacent());
}

TEST_F(Lists, CopiesAreDeepAndRangesClamp)
{
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 100), fragmentOf(file, 200, 50)});
    const KvRepackInfoPtrListPtr all = doc->copyRange(0, -1);
    EXPECT_EQ(rangesOf(all), rangesOf(doc));
    EXPECT_NE(all->list()->front(), doc->list()->front());
    all->list()->front()->setFrameGain(0, 5);
    EXPECT_EQ(doc->list()->front()->frameGain(0), 0);
    EXPECT_TRUE(doc->copyRange(3, -2)->list()->empty());
    EXPECT_TRUE(doc->copyRange(3, 0)->list()->empty());
    EXPECT_TRUE(doc->copyRange(150, 10)->list()->empty());
    EXPECT_EQ(rangesOf(doc->copyRange(95, 10)), (Ranges{{95, 5}, {200, 5}}));
    EXPECT_EQ(rangesOf(doc->copyRange(140, 100)), (Ranges{{240, 10}}));
    EXPECT_TRUE(dynamic_cast<KvMP3RepackInfoPtrList *>(doc->copyRange(0, 1).get()));
}

TEST_F(Lists, ListsInsertedIntoThemselves)
{
    const KvRepackInfoPtrListPtr doc = single(0, 100);
    doc->insertList(30, doc);
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 30}, {0, 100}, {30, 70}}));
    doc->appendList(doc);
    EXPECT_EQ(doc->totalFrames(), 400);
}

TEST_F(Lists, CompatibilityFollowsTheFirstSource)
{
    const KvRepackInfoPtrListPtr doc(new KvMP3RepackInfoPtrList);
    const boost::shared_ptr<KvMP3AudioFile> f48 = openMp3("vbr_crc_48k.mp3");
    const boost::shared_ptr<KvMP3AudioFile> mono = openMp3("cbr64_mono.mp3");
    const boost::shared_ptr<KvMP3AudioFile> stereo = openMp3("cbr128_stereo.mp3");
    EXPECT_TRUE(doc->isCompatible(f48->repacker()->sizeInfo()));
    EXPECT_FALSE(doc->isCompatible(boost::shared_ptr<KvFrameSizeInfo>()));
    doc->appendFragment(fragmentOf(file, 0, 10));
    EXPECT_FALSE(doc->isCompatible(f48->repacker()->sizeInfo()));
    EXPECT_FALSE(doc->isCompatible(mono->repacker()->sizeInfo()));
    // Stereo and joint stereo share a key.
    EXPECT_TRUE(doc->isCompatible(stereo->repacker()->sizeInfo()));
    EXPECT_EQ(doc->firstSourceInfo(), file->repacker()->sizeInfo());
}

TEST_F(Lists, FragmentsForAKnownSource)
{
    const KvRepackInfoPtrListPtr doc = documentOf({silenceLike(file, 3), fragmentOf(file, 100, 10)});
    const QString path = file->repacker()->path();
    const KvRepackInfoPtr f = doc->createFragmentForSource(path, 5, 20);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->source(), file->repacker());
    EXPECT_EQ(f->firstFrame(), 5);
    EXPECT_EQ(f->frameCount(), 20);
    EXPECT_EQ(doc->createFragmentForSource(path, 7, -1)->frameCount(), file->frameCount() - 7);
    EXPECT_FALSE(doc->createFragmentForSource(path, file->frameCount(), 1));
    EXPECT_FALSE(doc->createFragmentForSource(path, 5, file->frameCount()));
    EXPECT_FALSE(doc->createFragmentForSource(path + "x", 5, 20));
}

TEST_F(Lists, ChangesMadeThroughTheListItself)
{
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 100), fragmentOf(file, 200, 50)});
    EXPECT_EQ(doc->totalFrames(), 150);
    // Fragments added and re-cut from outside count from then on.
    doc->list()->push_back(fragmentOf(file, 300, 10));
    EXPECT_EQ(doc->totalFrames(), 160);
    doc->list()->front()->setRange(0, 40);
    doc->mergeAdjacent();
    EXPECT_EQ(doc->totalFrames(), 100);
    qint64 local = 0;
    EXPECT_EQ(doc->findFragment(45, local), std::next(doc->list()->begin()));
    EXPECT_EQ(local, 5);
    doc->deleteRange(35, 10);
    EXPECT_EQ(rangesOf(doc), (Ranges{{0, 35}, {205, 45}, {300, 10}}));
}

TEST_F(Lists, FragmentsWithoutFramesAreNotTakenIn)
{
    const KvRepackInfoPtrListPtr doc(new KvMP3RepackInfoPtrList);
    doc->appendFragment(fragmentOf(file, 10, 0));
    doc->appendFragment(KvRepackInfoPtr());
    doc->insertFragment(0, fragmentOf(file, 10, 0));
    EXPECT_TRUE(doc->list()->empty());
}

TEST_F(Lists, FactoriesChooseByKind)
{
    const KvRepackInfoPtrListPtr doc = single(0, 10);
    EXPECT_TRUE(dynamic_cast<KvMP3RepackInfoPtrList *>(createRepackInfoPtrList(doc).get()));
    EXPECT_TRUE(dynamic_cast<KvMP3RepackInfoPtrList *>(
        createRepackInfoPtrListForFragment(doc->list()->front()).get()));
    EXPECT_TRUE(createFragmentListFor(doc));
    EXPECT_TRUE(createFragmentListForFile(doc->list()->front()));
    EXPECT_TRUE(createFrameListIterator(doc));
    EXPECT_TRUE(createFragmentListByFormat(""));
    EXPECT_TRUE(createFragmentListByFormat("mp3"));
    EXPECT_FALSE(createFragmentListByFormat("MP3"));
    EXPECT_TRUE(createRepackInfoPtrListForFragmentList(createFragmentListByFormat("mp3")));
    EXPECT_FALSE(createRepackInfoPtrList(KvRepackInfoPtrListPtr()));
    EXPECT_FALSE(createFrameListIterator(KvRepackInfoPtrListPtr()));
    EXPECT_FALSE(createFragmentListForFile(KvRepackInfoPtr()));
    EXPECT_FALSE(createRepackInfoPtrListForFragment(KvRepackInfoPtr()));
}

} // namespace
