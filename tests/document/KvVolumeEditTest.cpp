// Fades, volume steps, silencing and selection changes: the per-frame gains
// of the ramps the editor writes, run by run, chained fades,
// silence that only touches audible frames, and the merging of selection
// changes on the undo stack.
#include "KvEditTestSupport.h"
#include "KvFakeEditContext.h"

#include <KvSelectionChange.h>
#include <KvVolumeFade.h>
#include <KvVolumeSilence.h>

#include <gtest/gtest.h>

#include <QUndoStack>

using namespace kvtest;

namespace {

// Runs of (count, gain) from the first frame of the document.
typedef std::vector<std::pair<int, int>> Runs;

std::vector<qint64> gainsOf(const KvRepackInfoPtrListPtr &doc, qint64 from, qint64 count)
{
    const FrameModel m = modelOf(doc);
    std::vector<qint64> g;
    for (qint64 i = from; i < from + count; ++i)
        g.push_back(m[size_t(i)].gain);
    return g;
}

std::vector<qint64> expand(const Runs &runs)
{
    std::vector<qint64> g;
    for (auto r : runs)
        g.insert(g.end(), size_t(r.first), r.second);
    return g;
}

class VolumeEdits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        doc = sources.document();
        ctx.scroll = 17;
    }

    KvVolumeFade *fade(qint64 s, int a, qint64 e, int b, int n = 1)
    {
        return new KvVolumeFade(doc, 17, s, a, e, b, &ctx, n);
    }

    EditSources sources;
    KvFakeEditContext ctx;
    KvRepackInfoPtrListPtr doc;
    QUndoStack stack;
};

TEST_F(VolumeEdits, RampsFollowTheTable)
{
    struct Case {
        const char *name;
        qint64 s, e;
        int a, b, n;
        Runs runs;
    };
    const Case cases[] = {
        {"fade in over 100 frames", 0, 100, -4, 0, 1, {{20, -4}, {20, -3}, {20, -2}, {20, -1}, {20, 0}}},
        {"fade out over 100 frames", 0, 100, 0, -4, 1, {{20, 0}, {20, -1}, {20, -2}, {20, -3}, {20, -4}}},
        {"fade in, second repetition", 0, 100, -4, 0, 2,
         {{12, -8}, {11, -7}, {11, -6}, {11, -5}, {11, -4}, {11, -3}, {11, -2}, {11, -1}, {11, 0}}},
        {"flat change", 0, 10, -4, -4, 1, {{10, -4}}},
        {"fade in over 3 frames", 0, 3, -4, 0, 1, {{1, -4}, {1, -3}, {1, -1}}},
        {"fade in across fragment seams", 140, 240, -4, 0, 1, {{20, -4}, {20, -3}, {20, -2}, {20, -1}, {20, 0}}},
        {"increase volume", 260, 300, 4, 4, 1, {{40, 4}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const DocumentShot before = shotOf(doc);
        if (c.n == 1) {
            stack.push(fade(c.s, c.a, c.e, c.b));
            EXPECT_EQ(gainsOf(doc, c.s, c.e - c.s), expand(c.runs));
        } else {
            // Relative to the document before the first fade.
            stack.push(fade(c.s, c.a, c.e, c.b, 1));
            stack.push(fade(c.s, c.a, c.e, c.b, c.n));
            EXPECT_EQ(gainsOf(doc, c.s, c.e - c.s), expand(c.runs));
            stack.undo();
        }
        // Frames outside the range keep their gain.
        const FrameModel m = modelOf(doc);
        for (qint64 i = 0; i < qint64(m.size()); ++i) {
            if (i < c.s || i >= c.e) {
                ASSERT_EQ(m[size_t(i)].gain, 0) << i;
            }
        }
        EXPECT_EQ(qint64(ctx.selStart), c.s);
        EXPECT_EQ(qint64(ctx.selEnd), c.e);
        EXPECT_EQ(qint64(ctx.scroll), 17);
        stack.undo();
        EXPECT_EQ(shotOf(doc), before);
    }
}

// Undo of a fade adds the opposite ramp to the same runs; it is exact even
// where the gains were already far from zero.
TEST_F(VolumeEdits, UndoTakesBackExactlyTheRampOnAnyGains)
{
    stack.push(fade(0, 120, 100, 120));
    stack.push(fade(0, 120, 100, 120));
    const DocumentShot loud = shotOf(doc);
    stack.push(fade(0, -4, 100, 0));
    stack.undo();
    EXPECT_EQ(shotOf(doc), loud);
    EXPECT_EQ(gainsOf(doc, 0, 3), (std::vector<qint64>{240, 240, 240}));
}

TEST_F(VolumeEdits, RepeatedFadeChainsAndEachRepetitionUndoesSeparately)
{
    auto *first = fade(0, -4, 100, 0);
    first->setText("Fade in");
    stack.push(first);
    const DocumentShot once = shotOf(doc);
    ctx.scroll = 5;
    auto *second = new KvVolumeFade(*first, 2);
    EXPECT_EQ(second->text(), "Fade in");
    EXPECT_EQ(second->repeatCount(), 2);
    EXPECT_TRUE(second->sameRange(*first));
    EXPECT_EQ(second->scrollBefore(), 5);
    EXPECT_EQ(second->scrollAfter(), 17);
    stack.push(second);
    stack.push(new KvVolumeFade(*second, 3));
    // Three repetitions: the ramp of -12 .. 0.
    EXPECT_EQ(gainsOf(doc, 0, 1), std::vector<qint64>{-12});
    EXPECT_EQ(gainsOf(doc, 99, 1), std::vector<qint64>{0});
    stack.undo();
    stack.undo();
    EXPECT_EQ(shotOf(doc), once);
    stack.redo();
    stack.redo();
    EXPECT_EQ(gainsOf(doc, 0, 1), std::vector<qint64>{-12});
}

TEST_F(VolumeEdits, SameRangeNeedsTheSameDocumentRangeAndVolumes)
{
    KvVolumeFade f(doc, 0, 10, -4, 50, 0, &ctx);
    EXPECT_TRUE(f.sameRange(KvVolumeFade(doc, 99, 10, -4, 50, 0, &ctx, 3)));
    EXPECT_FALSE(f.sameRange(KvVolumeFade(doc, 0, 11, -4, 50, 0, &ctx)));
    EXPECT_FALSE(f.sameRange(KvVolumeFade(doc, 0, 10, -4, 51, 0, &ctx)));
    EXPECT_FALSE(f.sameRange(KvVolumeFade(doc, 0, 10, 0, 50, -4, &ctx)));
    EXPECT_FALSE(f.sameRange(KvVolumeFade(sources.document(), 0, 10, -4, 50, 0, &ctx)));
}

TEST_F(VolumeEdits, EmptyOrInvertedRangeOnlyShowsTheRange)
{
    const DocumentShot before = shotOf(doc);
    stack.push(fade(50, -4, 50, 0));
    stack.push(fade(60, -4, 40, 0));
    EXPECT_EQ(shotOf(doc), before);
    EXPECT_EQ(qint64(ctx.selStart), 60);
    EXPECT_EQ(qint64(ctx.selEnd), 40);
}

TEST_F(VolumeEdits, SilenceSetsOnlyAudibleFramesAndUndoRestoresEverything)
{
    // Gains in the range, which the restored copy must bring back too.
    stack.push(fade(250, 3, 300, 3));
    const DocumentShot before = shotOf(doc);
    const FrameModel m0 = modelOf(doc);
    auto *silence = new KvVolumeSilence(doc->copyRange(250, 50), doc, 9, 250, &ctx, false);
    EXPECT_FALSE(silence->checkRange());
    stack.push(silence);
    const FrameModel m1 = modelOf(doc);
    for (size_t i = 0; i < m1.size(); ++i) {
        const bool inRange = i >= 250 && i < 300;
        EXPECT_EQ(m1[i].silenced, inRange && m0[i].audible ? true : m0[i].silenced) << i;
        EXPECT_EQ(m1[i].gain, m0[i].gain) << i;
    }
    EXPECT_EQ(qint64(ctx.scroll), 9);
    EXPECT_EQ(qint64(ctx.selStart), 250);
    EXPECT_EQ(qint64(ctx.selEnd), 300);

    // Everything audible there is silenced now: nothing more to do.
    EXPECT_TRUE(KvVolumeSilence(doc->copyRange(250, 50), doc, 0, 250, &ctx, false).checkRange());
    // The silence fragment [270, 290) alone: never audible, never changed.
    EXPECT_TRUE(KvVolumeSilence(doc->copyRange(270, 20), doc, 0, 270, &ctx, true).checkRange());
    EXPECT_FALSE(KvVolumeSilence(doc->copyRange(250, 50), doc, 0, 250, &ctx, true).checkRange());

    stack.undo();
    EXPECT_EQ(shotOf(doc), before);
    // Nothing silenced: removing silencing has nothing to do.
    EXPECT_TRUE(KvVolumeSilence(doc->copyRange(0, 430), doc, 0, 0, &ctx, true).checkRange());
    EXPECT_TRUE(KvVolumeSilence(KvRepackInfoPtrListPtr(), doc, 0, 0, &ctx, true).checkRange());
}

TEST_F(VolumeEdits, RemovingSilencingLeavesSilenceFragmentsSilenced)
{
    stack.push(new KvVolumeSilence(doc->copyRange(0, 430), doc, 0, 0, &ctx, false));
    stack.push(new KvVolumeSilence(doc->copyRange(200, 100), doc, 0, 200, &ctx, true));
    const FrameModel m = modelOf(doc);
    for (size_t i = 0; i < m.size(); ++i) {
        const bool silentSource = i >= 270 && i < 290;
        const bool expected = silentSource || i < 200 || i >= 300;
        ASSERT_EQ(m[i].silenced, expected) << i;
    }
}

TEST_F(VolumeEdits, SelectionChangesMergeWhenTheyEndInTheSameSelection)
{
    // Unsaved edits: the stack is not clean, so changes may merge.
    stack.push(fade(0, 1, 10, 1));
    ctx.selStart = 10;
    ctx.selEnd = 20;
    ctx.scroll = 15;
    stack.push(new KvSelectionChange(doc, 17, 0, 10, "a", &ctx));
    ctx.scroll = 30;
    stack.push(new KvSelectionChange(doc, 15, 10, 20, "b", &ctx));
    EXPECT_EQ(stack.count(), 2);
    ctx.selEnd = 25;
    stack.push(new KvSelectionChange(doc, 30, 10, 20, "c", &ctx));
    EXPECT_EQ(stack.count(), 3);
    stack.undo();
    stack.undo();
    // Back to the selection and view before the first change.
    EXPECT_EQ(qint64(ctx.selStart), 0);
    EXPECT_EQ(qint64(ctx.selEnd), 10);
    EXPECT_EQ(qint64(ctx.scroll), 17);
    stack.redo();
    // The merged entry keeps the first change's view.
    EXPECT_EQ(qint64(ctx.scroll), 15);
    EXPECT_EQ(qint64(ctx.selEnd), 20);

    // On a clean stack nothing merges.
    QUndoStack clean;
    clean.push(new KvSelectionChange(doc, 0, 0, 0, "x", &ctx));
    clean.setClean();
    clean.push(new KvSelectionChange(doc, 0, 0, 0, "y", &ctx));
    EXPECT_EQ(clean.count(), 2);
}

TEST_F(VolumeEdits, SelectionChangeTakesTheNewStateFromTheController)
{
    ctx.scroll = 40.0;
    ctx.selStart = 12.0;
    ctx.selEnd = 34.0;
    KvSelectionChange c(doc, 3, 1, 2, "Keyboard selection", &ctx);
    EXPECT_EQ(c.text(), "Keyboard selection");
    EXPECT_EQ(c.id(), 1);
    EXPECT_EQ(c.scrollBefore(), 3);
    EXPECT_EQ(c.scrollAfter(), 40);
    EXPECT_EQ(c.newSelectionStart(), 12);
    EXPECT_EQ(c.newSelectionEnd(), 34);
    c.undo();
    EXPECT_EQ(ctx.selStart, 1);
    EXPECT_EQ(ctx.selEnd, 2);
    EXPECT_EQ(ctx.scroll, 3);
    EXPECT_EQ(ctx.calls.last(), "updateWidget");
}

} // namespace
