// The MP3 frame iterator: pre-roll, records around fragment seams, silence,
// gains and stepping back.
#include "KvDocumentTestSupport.h"
#include "KvMP3FrameListIterator.h"
#include "KvMp3FrameLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace kvtest;

namespace {

bool isZero(const void *p, size_t n)
{
    const uint8_t *b = static_cast<const uint8_t *>(p);
    return std::all_of(b, b + n, [](uint8_t v) { return v == 0; });
}

class Iterator : public ::testing::Test {
protected:
    void SetUp() override { file = openMp3("cbr128_joint.mp3"); }
    boost::shared_ptr<KvMP3AudioFile> file;
};

TEST_F(Iterator, EmptyDocument)
{
    KvMP3FrameListIterator it(documentOf({}));
    EXPECT_FALSE(it.next());
    EXPECT_FALSE(it.previous());
    EXPECT_FALSE(it.currentFragment());
    EXPECT_EQ(it.gain(), 0);
    it.addGain(3);
    it.setSilenced(true);
    KvMP3FrameListIterator none((KvRepackInfoPtrListPtr()));
    EXPECT_FALSE(none.next());
}

TEST_F(Iterator, PreRollVisitsTheFramesBeforeAFragment)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 3, 7);
    const KvMP3GainFrameInfo *src = sourceTable(file);
    KvMP3FrameListIterator it(documentOf({f}), true);
    struct Want { qint64 frame; bool preRoll, firstPre, lastPre, firstOf, lastOf, start; };
    const Want want[] = {
        {0, true, true, false, false, false, true},   {1, true, false, false, false, false, false},
        {2, true, false, true, false, false, false},   {3, false, false, false, true, false, false},
        {4, false, false, false, false, false, false}, {5, false, false, false, false, false, false},
        {6, false, false, false, false, false, false}, {7, false, false, false, false, false, false},
        {8, false, false, false, false, false, false}, {9, false, false, false, false, true, false},
    };
    for (size_t k = 0; k < std::size(want); ++k) {
        ASSERT_TRUE(it.next()) << k;
        const KvMp3FrameContext &c = it.context();
        const Want &w = want[k];
        EXPECT_EQ(it.sourcePosition(), w.frame) << k;
        EXPECT_EQ(it.steps(), qint64(k));
        EXPECT_EQ(it.enteredNewFragment(), k == 0);
        EXPECT_EQ(c.sourceRecord, src + w.frame) << k;
        EXPECT_EQ(c.editRecord, f->frameTable() + w.frame) << k;
        EXPECT_EQ(bool(c.preRoll), w.preRoll) << k;
        EXPECT_EQ(bool(c.firstPreRoll), w.firstPre) << k;
        EXPECT_EQ(bool(c.lastPreRoll), w.lastPre) << k;
        EXPECT_EQ(bool(c.firstOfFragment), w.firstOf) << k;
        EXPECT_EQ(bool(c.lastOfFragment), w.lastOf) << k;
        EXPECT_EQ(bool(c.fragmentStart), w.start) << k;
        EXPECT_EQ(c.fragmentFirst, 3);
        EXPECT_EQ(c.format, file->mp3Repacker()->mp3SizeInfo());
    }
    EXPECT_FALSE(it.next());
}

TEST_F(Iterator, WithoutPreRollTheFirstStepIsTheFragmentsFirstFrame)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 3, 7);
    KvMP3FrameListIterator it(documentOf({f}));
    ASSERT_TRUE(it.next());
    EXPECT_EQ(it.sourcePosition(), 3);
    EXPECT_TRUE(it.context().fragmentStart);
    EXPECT_TRUE(it.context().firstOfFragment);
    EXPECT_FALSE(it.context().preRoll);
    EXPECT_EQ(it.context().editRecord, f->frameTable() + 3);
}

TEST_F(Iterator, PreRollOfEachFragmentCountsInTheSteps)
{
    const KvMP3RepackInfoPtr a = fragmentOf(file, 100, 5), b = fragmentOf(file, 4, 5);
    KvMP3FrameListIterator it(documentOf({a, b}), true);
    std::vector<qint64> frames;
    std::vector<bool> entered;
    while (it.next()) {
        frames.push_back(it.sourcePosition());
        entered.push_back(it.enteredNewFragment());
        EXPECT_EQ(it.steps(), qint64(frames.size()) - 1);
    }
    std::vector<qint64> want;
    for (qint64 i = 90; i < 105; ++i)
        want.push_back(i);
    for (qint64 i = 0; i < 9; ++i)
        want.push_back(i);
    EXPECT_EQ(frames, want);
    EXPECT_TRUE(entered[0]);
    EXPECT_TRUE(entered[15]);
    EXPECT_EQ(std::count(entered.begin(), entered.end(), true), 2);
}

TEST_F(Iterator, RecordsAfterTheLastFrame)
{
    const qint64 n = file->frameCount();
    const KvMP3RepackInfoPtr f = fragmentOf(file, n - 4, 4);
    KvMP3FrameListIterator it(documentOf({f}));
    while (it.next() && !it.context().lastOfFragment) {
    }
    const KvMp3FrameContext &c = it.context();
    ASSERT_TRUE(c.lastOfFragment);
    EXPECT_EQ(c.nextEditRecord, f->frameTable() + f->lastRecord());
    EXPECT_TRUE(isZero(c.nextEditRecord, sizeof(KvMP3GainChangeInfo)));
    EXPECT_EQ(c.nextSourceRecord, sourceTable(file) + n);
    EXPECT_TRUE(isZero(c.nextSourceRecord, sizeof(KvMP3GainFrameInfo)));
    EXPECT_FALSE(it.next());
}

TEST_F(Iterator, AtASeamTheSourceSideStaysInTheSameSource)
{
    // Frames 100..109 followed by frames 50..59 of the same file, then silence.
    const KvMP3RepackInfoPtr a = fragmentOf(file, 100, 10), b = fragmentOf(file, 50, 10);
    const KvMP3RepackInfoPtr s = silenceLike(file, 2);
    KvMP3FrameListIterator it(documentOf({a, b, s}));
    KvMP3GainFrameInfo *src = sourceTable(file);
    src[109].mainDataBegin = 0;
    src[109].capacity = 300;
    src[109].payloadLength = 200;
    src[110].mainDataBegin = 40;
    src[50].mainDataBegin = 250;
    for (int k = 0; k < 10; ++k)
        ASSERT_TRUE(it.next());
    const KvMp3FrameContext &c = it.context();
    ASSERT_TRUE(c.lastOfFragment);
    EXPECT_EQ(c.nextSourceRecord, src + 110);
    EXPECT_EQ(c.nextEditRecord, b->frameTable() + b->gainRecordBase());
    // Gap: 0 - 40 + 300 - 200 from the frame and the one after it in the file.
    EXPECT_EQ(c.gap, 60);
    // A dropped frame has no payload in the gap.
    c.editRecord->flags |= KvMp3EditFlag::Dropped;
    EXPECT_EQ(KvMp3ContextGap(c), 260);
    EXPECT_FALSE(it.isAudible());

    for (int k = 0; k < 10; ++k)
        ASSERT_TRUE(it.next());
    ASSERT_TRUE(it.context().lastOfFragment);
    EXPECT_EQ(it.sourcePosition(), 59);
    // Before silence too: the next record of the file, and silence's first edit record.
    EXPECT_EQ(it.context().nextSourceRecord, src + 60);
    EXPECT_EQ(it.context().nextEditRecord, s->frameTable());
    EXPECT_FALSE(it.previousFragmentSilent());

    ASSERT_TRUE(it.next());
    EXPECT_TRUE(it.enteredNewFragment());
    const KvMp3FrameContext &q = it.context();
    EXPECT_TRUE(q.silentSource);
    EXPECT_FALSE(it.isAudible());
    EXPECT_TRUE(it.isSilenced());
    // Silence reads as 32 kbit/s frames carrying 68 bytes of main data.
    EXPECT_EQ(q.sourceRecord->bitrateIndex(), 1);
    EXPECT_EQ(int(q.sourceRecord->capacity), 68);
    EXPECT_EQ(int(q.nextSourceRecord->capacity), 68);
    EXPECT_EQ(q.gap, 68);
    ASSERT_TRUE(it.next());
    EXPECT_EQ(it.context().nextEditRecord, s->frameTable() + 2);
    EXPECT_FALSE(it.next());
}

TEST_F(Iterator, GainsSilenceAndAudibility)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 20, 4);
    KvMP3FrameListIterator it(documentOf({f}));
    ASSERT_TRUE(it.next());
    KvMP3GainChangeInfo *e = it.context().editRecord;
    e->gain[0] = -3;
    e->gain[1] = 2;
    EXPECT_EQ(it.gain(), 0);
    it.addGain(5);
    EXPECT_EQ(int(e->gain[0]), 2);
    EXPECT_EQ(int(e->gain[1]), 7);
    EXPECT_EQ(it.gain(), 4);
    it.setSilenced(true);
    EXPECT_TRUE(it.isSilenced());
    EXPECT_TRUE(f->isFrameSilenced(0));
    // Silenced frames still count as audible: their payload is kept.
    EXPECT_TRUE(it.isAudible());
    it.setSilenced(false);
    EXPECT_FALSE(f->isFrameSilenced(0));
    ASSERT_TRUE(it.next());
    it.context().sourceRecord->flags |= KvMp3FrameFlag::Broken;
    EXPECT_FALSE(it.isAudible());
    it.addGain(INT32_MAX);
    it.addGain(INT32_MAX);
    EXPECT_EQ(int(it.context().editRecord->gain[0]), INT32_MAX);
}

TEST_F(Iterator, SteppingBack)
{
    const KvMP3RepackInfoPtr a = fragmentOf(file, 10, 3), b = fragmentOf(file, 200, 2);
    KvMP3FrameListIterator it(documentOf({a, b}));
    EXPECT_FALSE(it.previous());
    ASSERT_TRUE(it.next());
    EXPECT_FALSE(it.previous());
    EXPECT_EQ(it.sourcePosition(), 10);
    for (int k = 0; k < 4; ++k)
        ASSERT_TRUE(it.next());
    EXPECT_EQ(it.sourcePosition(), 201);
    EXPECT_EQ(it.steps(), 4);
    ASSERT_TRUE(it.previous());
    EXPECT_EQ(it.sourcePosition(), 200);
    EXPECT_FALSE(it.enteredNewFragment());
    ASSERT_TRUE(it.previous());
    EXPECT_TRUE(it.enteredNewFragment());
    EXPECT_EQ(it.sourcePosition(), 12);
    EXPECT_EQ(it.steps(), 2);
    EXPECT_EQ(it.context().editRecord, a->frameTable() + a->gainRecordBase() + 2);
    EXPECT_TRUE(it.context().lastOfFragment);
    EXPECT_EQ(it.context().nextEditRecord, b->frameTable() + b->gainRecordBase());
    ASSERT_TRUE(it.next());
    EXPECT_TRUE(it.enteredNewFragment());
    EXPECT_EQ(it.sourcePosition(), 200);
    EXPECT_EQ(it.steps(), 3);
}

} // namespace
