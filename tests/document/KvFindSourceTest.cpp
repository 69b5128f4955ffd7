// The search of the undo history for a source that is already open.
#include "../engine/KvDocumentTestSupport.h"
#include "KvFindSource.h"
#include "KvHoldingCommand.h"

#include <gtest/gtest.h>

#include <QUndoStack>

using namespace kvtest;

namespace {

class FindSource : public ::testing::Test {
protected:
    void SetUp() override
    {
        a = openMp3("cbr128_joint.mp3");
        b = openMp3("vbr_v2.mp3");
        pathA = a->repacker()->path();
        pathB = b->repacker()->path();
    }
    boost::shared_ptr<KvMP3AudioFile> a, b;
    QString pathA, pathB;
    QUndoStack stack;
};

TEST_F(FindSource, FindsASourceHeldByAnyCommandUndoneOnesIncluded)
{
    stack.push(new KvHoldingCommand({documentOf({fragmentOf(a, 10, 5)})}));
    stack.push(new KvHoldingCommand({KvRepackInfoPtrListPtr(), documentOf({fragmentOf(b, 0, 5)})}));
    stack.undo();
    stack.undo();
    ASSERT_EQ(stack.index(), 0);

    const KvRepackInfoPtr fb = findSourceInUndoStack(&stack, pathB, 20, 30);
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->source(), b->repacker());
    EXPECT_EQ(fb->firstFrame(), 20);
    EXPECT_EQ(fb->frameCount(), 30);

    const KvRepackInfoPtr whole = findSourceInUndoStack(&stack, pathA, 0, -1);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->source(), a->repacker());
    EXPECT_EQ(whole->frameCount(), a->frameCount());
}

TEST_F(FindSource, SearchesChildCommands)
{
    QUndoCommand *parent = new KvHoldingCommand({documentOf({fragmentOf(a, 0, 5)})});
    new QUndoCommand(parent);
    new KvHoldingCommand({documentOf({fragmentOf(b, 0, 5)})}, new KvHoldingCommand({}, parent));
    stack.push(parent);
    const KvRepackInfoPtr fb = findSourceInUndoStack(&stack, pathB, 1, 2);
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->source(), b->repacker());
}

TEST_F(FindSource, NothingFound)
{
    EXPECT_FALSE(findSourceInUndoStack(nullptr, pathA, 0, 1));
    EXPECT_FALSE(findSourceInUndoStack(&stack, pathA, 0, 1));
    stack.push(new QUndoCommand); // not one of ours
    stack.push(new KvHoldingCommand({documentOf({fragmentOf(a, 0, 5)})}));
    EXPECT_FALSE(findSourceInUndoStack(&stack, pathB, 0, 1));
    EXPECT_FALSE(findSourceInUndoStack(&stack, pathA, a->frameCount() - 1, 2)); // past the source's end
    EXPECT_FALSE(findSourceInUndoStack(&stack, QString(), 0, 1));
    EXPECT_TRUE(findSourceInUndoStack(&stack, pathA, a->frameCount() - 1, 1));
}

} // namespace
