// The fragment cursor: levels by position, the forward cursor, fragment
// bounds and the one-entry cache.
#include "KvDocumentTestSupport.h"
#include "KvMP3AudioFragmentList.h"

#include <gtest/gtest.h>

using namespace kvtest;

namespace {

TEST(FragmentCursor, EmptyDocument)
{
    KvMP3AudioFragmentList cursor;
    ASSERT_TRUE(dynamic_cast<KvMP3RepackInfoPtrList *>(cursor.list().get()));
    bool isFirst = true;
    EXPECT_EQ(cursor.totalFrames(), 0);
    EXPECT_EQ(cursor.frameLevelAt(0), -1);
    EXPECT_EQ(cursor.seekFrame(0, &isFirst), -1);
    EXPECT_FALSE(isFirst);
    isFirst = true;
    EXPECT_EQ(cursor.nextFrameLevel(&isFirst), 0);
    EXPECT_FALSE(isFirst);
    EXPECT_EQ(cursor.fragmentEnd(0), -1);
    EXPECT_EQ(cursor.fragmentStart(0), -1);
    EXPECT_FALSE(cursor.formatInfo());
    qint64 local = -5, index = 7;
    EXPECT_FALSE(cursor.fragmentAt(0, &local, &index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(local, -5);
    cursor.setList(KvRepackInfoPtrListPtr());
    EXPECT_EQ(cursor.totalFrames(), 0);
    EXPECT_EQ(cursor.seekFrame(0), -1);
}

class Cursor : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = openMp3("cbr128_joint.mp3");
        a = fragmentOf(file, 100, 100);
        b = fragmentOf(file, 300, 50);
        b->setFrameGain(0, 6);
        cursor.setList(documentOf({a, b}));
    }
    boost::shared_ptr<KvMP3AudioFile> file;
    KvMP3RepackInfoPtr a, b;
    KvMP3AudioFragmentList cursor;
};

TEST_F(Cursor, FragmentBounds)
{
    EXPECT_EQ(cursor.fragmentEnd(0), 100);
    EXPECT_EQ(cursor.fragmentEnd(99), 100);
    EXPECT_EQ(cursor.fragmentEnd(100), 150);
    EXPECT_EQ(cursor.fragmentEnd(150), -1);
    EXPECT_EQ(cursor.fragmentEnd(-1), -1);
    EXPECT_EQ(cursor.fragmentStart(0), -1);
    EXPECT_EQ(cursor.fragmentStart(1), 0);
    EXPECT_EQ(cursor.fragmentStart(100), 0);
    EXPECT_EQ(cursor.fragmentStart(101), 100);
    EXPECT_EQ(cursor.fragmentStart(150), 100);
    EXPECT_EQ(cursor.fragmentStart(151), -1);
}

TEST_F(Cursor, FragmentAtCachesTheLastFragmentFound)
{
    qint64 local = 0, index = 0;
    EXPECT_EQ(cursor.fragmentAt(120, &local, &index), b);
    EXPECT_EQ(local, 20);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(cursor.fragmentAt(0, &local, &index), a);
    EXPECT_EQ(index, 1);
    // The cache does not see edits until it is reset.
    cursor.list()->deleteRange(0, 100);
    EXPECT_EQ(cursor.fragmentAt(10, &local, &index), a);
    cursor.resetCache();
    EXPECT_EQ(cursor.fragmentAt(10, &local, &index), b);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(local, 10);
    EXPECT_FALSE(cursor.fragmentAt(-1, &local, &index));
    EXPECT_FALSE(cursor.fragmentAt(50, &local, &index));
    EXPECT_EQ(index, 0);
}

TEST_F(Cursor, WalkingLevelsAcrossFragments)
{
    bool isFirst = false;
    EXPECT_EQ(cursor.seekFrame(99, &isFirst), a->frameLevel(99));
    EXPECT_FALSE(isFirst);
    EXPECT_EQ(cursor.nextFrameLevel(&isFirst), b->frameLevel(0));
    EXPECT_TRUE(isFirst);
    EXPECT_EQ(cursor.frameLevelAt(100), b->frameLevel(0));
    EXPECT_EQ(cursor.nextFrameLevel(&isFirst), b->frameLevel(1));
    EXPECT_FALSE(isFirst);
    EXPECT_EQ(cursor.seekFrame(149, &isFirst), b->frameLevel(49));
    EXPECT_EQ(cursor.nextFrameLevel(&isFirst), 0);
    EXPECT_FALSE(isFirst);
    EXPECT_EQ(cursor.seekFrame(150, &isFirst), -1);
    EXPECT_EQ(cursor.nextFrameLevel(&isFirst), 0);
    EXPECT_FALSE(isFirst);
    EXPECT_EQ(cursor.frameLevelAt(150), -1);
    EXPECT_EQ(cursor.formatInfo(), file->repacker()->sizeInfo());
}

} // namespace
