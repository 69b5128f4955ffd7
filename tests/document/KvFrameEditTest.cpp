// The frame edit commands on real MP3 documents: each command at the start,
// in the middle (across fragment seams), at the end, over the whole document
// and over an empty range, judged against a plain per-frame model; undo must
// give back the exact document (fragment bounds and every record byte), the
// tracks, the view and the selection, and redo the exact edited one.
#include "KvEditTestSupport.h"
#include "KvFakeEditContext.h"

#include <KvFileProperties.h>
#include <KvInsertSilence.h>
#include <KvSelectionChange.h>
#include <KvUndoCrop.h>
#include <KvUndoDelete.h>
#include <KvUndoPaste.h>
#include <KvVolumeFade.h>
#include <KvVolumeSilence.h>

#include <KvMP3FrameListIterator.h>

#include <gtest/gtest.h>

#include <QUndoStack>

#include <cmath>
#include <functional>
#include <memory>

using namespace kvtest;

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;
typedef std::vector<std::pair<qint64, qint64>> Bounds;

Bounds boundsOf(const KvFileProperties &tracks)
{
    Bounds b;
    for (const KvTagPropertyPtr &t : tracks.tracks())
        b.emplace_back(t->start(), t->end());
    return b;
}

qint64 ramp(int a, int b, qint64 s, qint64 e, int n, qint64 i)
{
    return expectedRamp(a, b, s, e, n, i);
}

struct Env {
    EditSources sources;
    KvFakeEditContext ctx;
    KvRepackInfoPtrListPtr doc;
    KvFileProperties tracks{&ctx};
    QUndoStack stack;

    Env() : doc(sources.document())
    {
        for (auto b : Bounds{{0, 100}, {100, 200}, {200, 300}, {300, E}}) {
            KvTagInfo tags;
            tags.title = QString("track %1").arg(b.first);
            tracks.appendTrack(KvTagPropertyPtr(new KvTagProperty(b.first, b.second, tags)));
        }
    }

    // What the paste commands insert: frames of the second source and silence.
    KvRepackInfoPtrListPtr clip() const
    {
        KvRepackInfoPtrListPtr c(new KvMP3RepackInfoPtrList);
        c->appendFragment(sources.b->createRepackInfo(300, 25));
        c->appendFragment(sources.silence(5));
        return c;
    }
    KvRepackInfoPtrListPtr silence(qint64 n) const
    {
        KvRepackInfoPtrListPtr c(new KvMP3RepackInfoPtrList);
        c->appendFragment(sources.silence(n));
        return c;
    }
    KvRepackInfoPtrListPtr empty() const { return KvRepackInfoPtrListPtr(new KvMP3RepackInfoPtrList); }
};

struct Sel {
    qint64 start;
    qint64 end;
};

// One command kind: how it is built over [s, e), what it does to the model,
// and the selection and view it leaves after redo and after undo (scroll is
// the view when it was built, L the length it inserts).
struct CommandCase {
    const char *name;
    std::function<QUndoCommand *(Env &, qint64 s, qint64 e)> build;
    std::function<void(Env &, FrameModel &, qint64 s, qint64 e)> apply;
    std::function<Sel(qint64 s, qint64 e)> redoSelection;
    std::function<Sel(qint64 s, qint64 e)> undoSelection;
    std::function<qint64(qint64 s, qint64 e, qint64 scroll)> redoScroll;
};

qint64 deleteScroll(qint64 s, qint64 e, qint64 scroll)
{
    return scroll > e ? scroll - (e - s) : scroll > s ? s : scroll;
}

FrameModel silenceModel(qint64 n)
{
    ModelFrame f;
    f.frame = -1;
    f.silenced = true;
    f.audible = false;
    return FrameModel(size_t(n), f);
}

void applyRamp(FrameModel &m, int a, int b, qint64 s, qint64 e, int n)
{
    for (qint64 i = s; i < e; ++i)
        m[size_t(i)].gain += ramp(a, b, s, e, n, i);
}

void applySilence(FrameModel &m, qint64 s, qint64 e, bool silenced)
{
    for (qint64 i = s; i < e; ++i)
        if (m[size_t(i)].audible)
            m[size_t(i)].silenced = silenced;
}

const Sel kNone{-1, -1};

std::vector<CommandCase> commandCases()
{
    const auto same = [](qint64 s, qint64 e) { return Sel{s, e}; };
    const auto atStart = [](qint64 s, qint64) { return Sel{s, s}; };
    const auto keep = [](qint64, qint64, qint64 scroll) { return scroll; };
    const auto fade = [](int a, int b, int n) {
        return [a, b, n](Env &env, qint64 s, qint64 e) -> QUndoCommand * {
            return new KvVolumeFade(env.doc, qint64(env.ctx.scroll), s, a, e, b, &env.ctx, n);
        };
    };
    const auto fadeModel = [](int a, int b, int n) {
        return [a, b, n](Env &, FrameModel &m, qint64 s, qint64 e) { applyRamp(m, a, b, s, e, n); };
    };
    return {
        {"delete",
         [](Env &env, qint64 s, qint64 e) -> QUndoCommand * {
             return new KvUndoDelete(&env.tracks, env.doc->copyRange(s, e - s), env.doc, s, &env.ctx);
         },
         [](Env &, FrameModel &m, qint64 s, qint64 e) { modelErase(m, s, e - s); }, atStart, same,
         deleteScroll},
        {"cut",
         [](Env &env, qint64 s, qint64 e) -> QUndoCommand * {
             return new KvUndoCut(&env.tracks, env.doc->copyRange(s, e - s), env.doc, s, &env.ctx);
         },
         [](Env &, FrameModel &m, qint64 s, qint64 e) { modelErase(m, s, e - s); }, atStart, same,
         deleteScroll},
        {"paste over the selection",
         [](Env &env, qint64 s, qint64 e) -> QUndoCommand * {
             return new KvUndoPaste(&env.tracks, env.clip(), env.doc->copyRange(s, e - s), env.doc, s,
                                    &env.ctx);
         },
         [](Env &env, FrameModel &m, qint64 s, qint64 e) {
             modelErase(m, s, e - s);
             modelInsert(m, s, modelOf(env.clip()));
         },
         [](qint64 s, qint64) { return Sel{s + 30, s + 30}; }, same,
         [](qint64 s, qint64, qint64) { return s; }},
        {"paste at the start of the selection",
         [](Env &env, qint64 s, qint64) -> QUndoCommand * {
             return new KvUndoPaste(&env.tracks, env.clip(), env.empty(), env.doc, s, &env.ctx);
         },
         [](Env &env, FrameModel &m, qint64 s, qint64) { modelInsert(m, s, modelOf(env.clip())); },
         [](qint64 s, qint64) { return Sel{s + 30, s + 30}; }, atStart,
         [](qint64 s, qint64, qint64) { return s; }},
        {"insert silence",
         [](Env &env, qint64 s, qint64) -> QUndoCommand * {
             return new KvInsertSilence(&env.tracks, env.silence(7), env.doc, s, &env.ctx);
         },
         [](Env &, FrameModel &m, qint64 s, qint64) { modelInsert(m, s, silenceModel(7)); },
         [](qint64 s, qint64) { return Sel{s + 7, s + 7}; }, atStart,
         [](qint64 s, qint64, qint64 scroll) { return scroll > s ? scroll + 7 : scroll; }},
        {"crop",
         [](Env &env, qint64 s, qint64 e) -> QUndoCommand * {
             return new KvUndoCrop(&env.tracks, env.doc, s, e, &env.ctx);
         },
         [](Env &, FrameModel &m, qint64 s, qint64 e) { m = modelSlice(m, s, e - s); },
         [](qint64, qint64) { return kNone; }, same,
         [](qint64 s, qint64 e, qint64 scroll) { return scroll < s ? 0 : scroll <= e ? scroll - s : e - s; }},
        {"fade in", fade(-4, 0, 1), fadeModel(-4, 0, 1), same, same, keep},
        {"fade out", fade(0, -4, 1), fadeModel(0, -4, 1), same, same, keep},
        {"fade in repeated twice", fade(-4, 0, 2),
         // Redo takes back one ramp that was never laid: the net change is
         // the 2-fold ramp less the 1-fold one.
         [](Env &, FrameModel &m, qint64 s, qint64 e) {
             for (qint64 i = s; i < e; ++i)
                 m[size_t(i)].gain += ramp(-4, 0, s, e, 2, i) - ramp(-4, 0, s, e, 1, i);
         },
         same, same, keep},
        {"increase volume", fade(4, 4, 1), fadeModel(4, 4, 1), same, same, keep},
        {"decrease volume", fade(-7, -7, 1), fadeModel(-7, -7, 1), same, same, keep},
        {"silence",
         [](Env &env, qint64 s, qint64 e) -> QUndoCommand * {
             return new KvVolumeSilence(env.doc->copyRange(s, e - s), env.doc, qint64(env.ctx.scroll), s,
                                        &env.ctx, false);
         },
         [](Env &, FrameModel &m, qint64 s, qint64 e) { applySilence(m, s, e, true); }, same, same, keep},
        {"remove silencing",
         [](Env &env, qint64 s, qint64 e) -> QUndoCommand * {
             return new KvVolumeSilence(env.doc->copyRange(s, e - s), env.doc, qint64(env.ctx.scroll), s,
                                        &env.ctx, true);
         },
         [](Env &, FrameModel &m, qint64 s, qint64 e) { applySilence(m, s, e, false); }, same, same, keep},
        {"selection change",
         [](Env &env, qint64 s, qint64 e) -> QUndoCommand * {
             // The controller moves the selection first, then records it.
             env.ctx.selStart = 3;
             env.ctx.selEnd = 9;
             env.ctx.scroll = 4;
             return new KvSelectionChange(env.doc, 250, s, e, "Select", &env.ctx);
         },
         [](Env &, FrameModel &, qint64, qint64) {}, [](qint64, qint64) { return Sel{3, 9}; }, same,
         [](qint64, qint64, qint64) { return 4; }},
    };
}

struct RangeCase {
    const char *name;
    qint64 start;
    qint64 end;
};

const RangeCase kRanges[] = {
    {"start", 0, 40},
    {"middle", 120, 300},   // across the seams at 150, 270 and 290
    {"end", 380, 430},
    {"whole", 0, 430},
    {"empty", 200, 200},
};

// Some frames silenced and some gains changed beforehand, so that undo has
// edits to keep and "remove silencing" something to remove.
void preEdit(Env &env)
{
    KvMP3FrameListIterator it(env.doc);
    for (qint64 i = 0; it.next(); ++i) {
        if (i % 7 == 3)
            it.addGain(int(i % 5) - 2);
        if (i >= 100 && i < 160 && i % 3 != 0)
            it.setSilenced(true);
    }
}

TEST(FrameEdits, DocumentHasTheExpectedShape)
{
    Env env;
    const DocumentShot shot = shotOf(env.doc);
    ASSERT_EQ(shot.size(), 5u);
    EXPECT_EQ(env.doc->totalFrames(), 430);
    const FrameModel m = modelOf(env.doc);
    ASSERT_EQ(m.size(), 430u);
    EXPECT_EQ(m[150].path, env.sources.b->repacker()->path());
    EXPECT_EQ(m[150].frame, 100);
    EXPECT_FALSE(m[270].audible);
}

TEST(FrameEdits, EachCommandAtEachPositionRedoesAndUndoesExactly)
{
    for (const CommandCase &c : commandCases()) {
        for (const RangeCase &r : kRanges) {
            SCOPED_TRACE(std::string(c.name) + " / " + r.name);
            Env env;
            preEdit(env);
            const qint64 scroll0 = 250;
            env.ctx.scroll = scroll0;
            env.ctx.selStart = r.start;
            env.ctx.selEnd = r.end;
            const DocumentShot before = shotOf(env.doc);
            const FrameModel model0 = modelOf(env.doc);
            const Bounds tracks0 = boundsOf(env.tracks);

            QUndoCommand *command = c.build(env, r.start, r.end);
            env.stack.push(command);

            FrameModel want = model0;
            c.apply(env, want, r.start, r.end);
            const FrameModel got = modelOf(env.doc);
            ASSERT_EQ(got.size(), want.size());
            for (size_t i = 0; i < want.size(); ++i)
                ASSERT_EQ(got[i], want[i]) << "frame " << i;
            EXPECT_EQ(env.doc->totalFrames(), qint64(want.size()));
            const Sel redoSel = c.redoSelection(r.start, r.end);
            EXPECT_EQ(qint64(env.ctx.selStart), redoSel.start);
            EXPECT_EQ(qint64(env.ctx.selEnd), redoSel.end);
            EXPECT_EQ(qint64(env.ctx.scroll), c.redoScroll(r.start, r.end, scroll0));
            const DocumentShot after = shotOf(env.doc);
            const Bounds tracks1 = boundsOf(env.tracks);

            env.stack.undo();
            EXPECT_EQ(shotOf(env.doc), before);
            EXPECT_EQ(boundsOf(env.tracks), tracks0);
            const Sel undoSel = c.undoSelection(r.start, r.end);
            EXPECT_EQ(qint64(env.ctx.selStart), undoSel.start);
            EXPECT_EQ(qint64(env.ctx.selEnd), undoSel.end);
            EXPECT_EQ(qint64(env.ctx.scroll), scroll0);

            env.stack.redo();
            EXPECT_EQ(shotOf(env.doc), after);
            EXPECT_EQ(boundsOf(env.tracks), tracks1);
            env.stack.undo();
            EXPECT_EQ(shotOf(env.doc), before);
            EXPECT_EQ(boundsOf(env.tracks), tracks0);
        }
    }
}

TEST(FrameEdits, FrameEditsEndWithARefreshAndSelectionChangesWithARepaint)
{
    for (const CommandCase &c : commandCases()) {
        SCOPED_TRACE(c.name);
        Env env;
        env.ctx.selStart = 120;
        env.ctx.selEnd = 300;
        env.stack.push(c.build(env, 120, 300));
        const QString last = std::string(c.name) == "selection change" ? "updateWidget" : "refreshAfterUndo";
        ASSERT_FALSE(env.ctx.calls.isEmpty());
        EXPECT_EQ(env.ctx.calls.last(), last);
        if (last == "updateWidget") {
            EXPECT_FALSE(env.ctx.calls.contains("refreshAfterUndo"));
        }
        env.ctx.calls.clear();
        env.stack.undo();
        ASSERT_FALSE(env.ctx.calls.isEmpty());
        EXPECT_EQ(env.ctx.calls.last(), last);
    }
}

TEST(FrameEdits, CommandTextsNameTheEdit)
{
    Env env;
    const auto clip = env.doc->copyRange(0, 10);
    EXPECT_EQ(KvUndoDelete(nullptr, clip, env.doc, 0, &env.ctx).text(), "Delete");
    EXPECT_EQ(KvUndoCut(nullptr, clip, env.doc, 0, &env.ctx).text(), "Cut");
    EXPECT_EQ(KvUndoPaste(nullptr, clip, env.empty(), env.doc, 0, &env.ctx).text(), "Paste");
    EXPECT_EQ(KvInsertSilence(nullptr, env.silence(3), env.doc, 0, &env.ctx).text(), "Insert Silence");
    EXPECT_EQ(KvUndoCrop(nullptr, env.doc, 0, 10, &env.ctx).text(), "Crop");
    EXPECT_EQ(KvVolumeSilence(clip, env.doc, 0, 0, &env.ctx, false).text(), "Silence");
    EXPECT_EQ(KvVolumeSilence(clip, env.doc, 0, 0, &env.ctx, true).text(), "Remove silencing");
    EXPECT_EQ(KvVolumeFade(env.doc, 0, 0, 1, 10, 1, &env.ctx).text(), "");
}

// The clip, the replaced frames and the document are the command's own or
// shared as they should be: the caller's lists may change afterwards.
TEST(FrameEdits, CommandsHoldTheirOwnCopies)
{
    Env env;
    KvRepackInfoPtrListPtr clip = env.clip();
    auto *paste = new KvUndoPaste(&env.tracks, clip, env.empty(), env.doc, 10, &env.ctx);
    env.stack.push(paste);
    const DocumentShot edited = shotOf(env.doc);
    // The caller's clip changes; the command's does not.
    clip->deleteRange(0, 20);
    KvMP3FrameListIterator it(clip);
    while (it.next())
        it.addGain(9);
    env.stack.undo();
    env.stack.redo();
    EXPECT_EQ(shotOf(env.doc), edited);

    const std::vector<KvUndoBase::ListPtr> held = paste->heldLists();
    ASSERT_EQ(held.size(), 3u);
    EXPECT_EQ(held[0], env.doc);
    EXPECT_NE(held[1], clip);
    EXPECT_EQ(held[1]->totalFrames(), 30);
    EXPECT_EQ(held[2]->totalFrames(), 0);
    // Packed while idle.
    for (const KvRepackInfoPtr &f : *held[1]->list()) {
        if (!f->sourcePath().isEmpty()) {
            EXPECT_TRUE(dynamic_cast<KvMP3RepackInfo &>(*f).isPacked());
        }
    }
}

// Deleting frames 100-199 with the view at 150, 500 or 50.
TEST(FrameEdits, DeleteMovesTheViewWithTheAudioAndUndoPutsItBack)
{
    struct Case {
        qint64 scroll;
        qint64 after;
    };
    for (const Case c : {Case{150, 100}, Case{500, 400}, Case{50, 50}, Case{100, 100}, Case{200, 100}, Case{201, 101}}) {
        SCOPED_TRACE(c.scroll);
        for (bool withTracks : {false, true}) {
            Env env;
            env.ctx.scroll = double(c.scroll);
            env.stack.push(new KvUndoDelete(withTracks ? &env.tracks : nullptr, env.doc->copyRange(100, 100),
                                            env.doc, 100, &env.ctx));
            EXPECT_EQ(qint64(env.ctx.scroll), c.after);
            EXPECT_EQ(qint64(env.ctx.selStart), 100);
            EXPECT_EQ(qint64(env.ctx.selEnd), 100);
            env.stack.undo();
            // Also when the track children ran, which scroll to the view of their making.
            EXPECT_EQ(qint64(env.ctx.scroll), c.scroll) << "tracks " << withTracks;
            EXPECT_EQ(qint64(env.ctx.selStart), 100);
            EXPECT_EQ(qint64(env.ctx.selEnd), 200);
        }
    }
}

TEST(FrameEdits, InsertedSilenceMovesAViewBehindIt)
{
    for (auto c : std::vector<std::pair<qint64, qint64>>{{0, 0}, {5, 15}}) {
        Env env;
        env.ctx.scroll = double(c.first);
        env.stack.push(new KvInsertSilence(&env.tracks, env.silence(10), env.doc, 0, &env.ctx));
        EXPECT_EQ(qint64(env.ctx.scroll), c.second);
        env.stack.undo();
        EXPECT_EQ(qint64(env.ctx.scroll), c.first);
    }
}

TEST(FrameEdits, PasteShowsThePositionAndUndoSelectsTheReplacedFrames)
{
    Env env;
    env.ctx.scroll = 300;
    env.stack.push(new KvUndoPaste(&env.tracks, env.clip(), env.doc->copyRange(50, 20), env.doc, 50, &env.ctx));
    EXPECT_EQ(qint64(env.ctx.scroll), 50);
    EXPECT_EQ(qint64(env.ctx.selStart), 80);
    EXPECT_EQ(qint64(env.ctx.selEnd), 80);
    EXPECT_EQ(env.doc->totalFrames(), 440);
    env.stack.undo();
    EXPECT_EQ(qint64(env.ctx.scroll), 300);
    EXPECT_EQ(qint64(env.ctx.selStart), 50);
    EXPECT_EQ(qint64(env.ctx.selEnd), 70);
}

TEST(FrameEdits, PasteWithoutSelectionHasOnlyAnInsertChild)
{
    Env env;
    auto *paste = new KvUndoPaste(&env.tracks, env.clip(), env.empty(), env.doc, 150, &env.ctx);
    EXPECT_EQ(paste->childCount(), 1);
    env.stack.push(paste);
    EXPECT_FALSE(paste->trackEndInRange());
    auto *over = new KvUndoPaste(&env.tracks, env.clip(), env.doc->copyRange(10, 5), env.doc, 10, &env.ctx);
    EXPECT_EQ(over->childCount(), 2);
    delete over;
    // Without a track list there are no children at all.
    KvUndoDelete lone(nullptr, env.doc->copyRange(10, 5), env.doc, 10, &env.ctx);
    EXPECT_EQ(lone.childCount(), 0);
}

// A crop of [100, 300) with the view at 50, 200 and 1000.
TEST(FrameEdits, CropKeepsTheViewOnTheKeptAudio)
{
    for (auto c : std::vector<std::pair<qint64, qint64>>{{50, 0}, {200, 100}, {1000, 200}}) {
        SCOPED_TRACE(c.first);
        Env env;
        env.ctx.scroll = double(c.first);
        auto *crop = new KvUndoCrop(&env.tracks, env.doc, 100, 300, &env.ctx);
        // The view moved when the tail's delete was made.
        EXPECT_EQ(qint64(env.ctx.scroll), c.second);
        env.stack.push(crop);
        EXPECT_EQ(qint64(env.ctx.scroll), c.second);
        EXPECT_EQ(env.ctx.selStart, -1);
        EXPECT_EQ(env.ctx.selEnd, -1);
        EXPECT_EQ(env.doc->totalFrames(), 200);
        env.stack.undo();
        EXPECT_EQ(qint64(env.ctx.scroll), c.first);
        EXPECT_EQ(qint64(env.ctx.selStart), 100);
        EXPECT_EQ(qint64(env.ctx.selEnd), 300);
        EXPECT_EQ(env.doc->totalFrames(), 430);
    }
}

TEST(FrameEdits, CropBuildsOnlyTheDeletesItNeeds)
{
    struct Case {
        qint64 s, e;
        int children;
    };
    for (const Case c : {Case{0, 200, 1}, Case{200, 430, 1}, Case{0, 430, 0}, Case{10, 20, 2}}) {
        Env env;
        auto *crop = new KvUndoCrop(&env.tracks, env.doc, c.s, c.e, &env.ctx);
        EXPECT_EQ(crop->childCount(), c.children) << c.s << "-" << c.e;
        const DocumentShot before = shotOf(env.doc);
        env.ctx.scroll = 77;
        env.stack.push(crop);
        EXPECT_EQ(env.doc->totalFrames(), c.e - c.s);
        EXPECT_EQ(env.ctx.selStart, -1);
        env.stack.undo();
        EXPECT_EQ(shotOf(env.doc), before);
    }
}

} // namespace
