// Tracks follow the frame edits: the track list after deleting ranges that
// span track bounds or hold whole tracks, pasting inside, at and over tracks,
// inserting silence and cropping, and the same list again after undo (bounds
// and records), and after redo.
#include "KvEditTestSupport.h"
#include "KvFakeEditContext.h"

#include <KvFilePropFramesUndo.h>
#include <KvFileProperties.h>
#include <KvInsertSilence.h>
#include <KvUndoCrop.h>
#include <KvUndoDelete.h>
#include <KvUndoPaste.h>

#include <gtest/gtest.h>

#include <QUndoStack>

#include <functional>

using namespace kvtest;

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;
typedef std::vector<std::pair<qint64, qint64>> Bounds;

struct TrackShot {
    qint64 start, end;
    QString title;
    bool operator==(const TrackShot &o) const { return start == o.start && end == o.end && title == o.title; }
};

std::ostream &operator<<(std::ostream &os, const TrackShot &t)
{
    return os << "[" << t.start << "," << (t.end == E ? std::string("E") : std::to_string(t.end)) << " "
              << t.title.toStdString() << "]";
}

std::vector<TrackShot> shotOf(const KvFileProperties &tracks)
{
    std::vector<TrackShot> out;
    for (const KvTagPropertyPtr &t : tracks.tracks())
        out.push_back({t->start(), t->end(), t->tagInfo().title});
    return out;
}

Bounds boundsOf(const KvFileProperties &tracks)
{
    Bounds b;
    for (const KvTagPropertyPtr &t : tracks.tracks())
        b.emplace_back(t->start(), t->end());
    return b;
}

struct Env {
    EditSources sources;
    KvFakeEditContext ctx;
    KvRepackInfoPtrListPtr doc = sources.document();   // 430 frames
    KvFileProperties tracks{&ctx};
    QUndoStack stack;

    void setTracks(const Bounds &bounds)
    {
        for (auto b : bounds) {
            KvTagInfo tags;
            tags.title = QString("t%1").arg(b.first);
            tracks.appendTrack(KvTagPropertyPtr(new KvTagProperty(b.first, b.second, tags)));
        }
    }
    KvRepackInfoPtrListPtr frames(qint64 n) const
    {
        KvRepackInfoPtrListPtr c(new KvMP3RepackInfoPtrList);
        c->appendFragment(sources.b->createRepackInfo(300, n));
        return c;
    }
    KvRepackInfoPtrListPtr none() const { return KvRepackInfoPtrListPtr(new KvMP3RepackInfoPtrList); }
};

struct TrackCase {
    const char *name;
    Bounds tracks;
    std::function<QUndoCommand *(Env &)> build;
    Bounds expected;
    bool trackEndInRange;
};

// The flag the command's track children shared on its last redo.
bool flagOf(const QUndoCommand *c)
{
    if (auto *d = dynamic_cast<const KvUndoDelete *>(c))
        return d->trackEndInRange();
    if (auto *p = dynamic_cast<const KvUndoPaste *>(c))
        return p->trackEndInRange();
    return false;
}

const Bounds kFour{{0, 100}, {100, 200}, {200, 300}, {300, E}};

std::function<QUndoCommand *(Env &)> deleting(qint64 p, qint64 n)
{
    return [p, n](Env &env) -> QUndoCommand * {
        return new KvUndoDelete(&env.tracks, env.doc->copyRange(p, n), env.doc, p, &env.ctx);
    };
}

std::function<QUndoCommand *(Env &)> pasting(qint64 p, qint64 replaced, qint64 n)
{
    return [p, replaced, n](Env &env) -> QUndoCommand * {
        return new KvUndoPaste(&env.tracks, env.frames(n), replaced ? env.doc->copyRange(p, replaced) : env.none(),
                               env.doc, p, &env.ctx);
    };
}

TEST(TrackEdits, TracksFollowEditsAndComeBackOnUndo)
{
    const TrackCase cases[] = {
        {"delete across two track bounds", kFour, deleting(150, 100),
         {{0, 100}, {100, 150}, {150, 200}, {200, E}}, true},
        {"delete holding a whole track", kFour, deleting(90, 120), {{0, 90}, {90, 180}, {180, E}}, true},
        {"delete inside one track", kFour, deleting(120, 30), {{0, 100}, {100, 170}, {170, 270}, {270, E}}, false},
        {"delete before every track end", {{0, E}}, deleting(10, 50), {{0, E}}, false},
        {"delete at a gap", {{0, 100}, {200, E}}, deleting(120, 50), {{0, 100}, {150, E}}, false},
        {"delete of the tail, last track open", {{0, 200}, {200, E}}, deleting(400, 30), {{0, 200}, {200, E}}, true},
        {"delete of the tail inside the last track", {{0, 200}, {200, 400}}, deleting(380, 50),
         {{0, 200}, {200, 380}}, true},
        {"delete of the first track exactly", kFour, deleting(0, 100), {{0, 100}, {100, 200}, {200, E}}, true},
        {"paste inside a track", kFour, pasting(150, 0, 25), {{0, 100}, {100, 225}, {225, 325}, {325, E}}, false},
        {"paste at a track start grows it at the front", kFour, pasting(100, 0, 25),
         {{0, 100}, {100, 225}, {225, 325}, {325, E}}, false},
        {"paste over a track end joins the frames to the track before", kFour, pasting(80, 40, 25),
         {{0, 105}, {105, 185}, {185, 285}, {285, E}}, true},
        {"paste over a whole track", kFour, pasting(100, 100, 25), {{0, 125}, {125, 225}, {225, E}}, true},
        {"insert silence at a track start", kFour,
         [](Env &env) -> QUndoCommand * {
             KvRepackInfoPtrListPtr s(new KvMP3RepackInfoPtrList);
             s->appendFragment(env.sources.silence(7));
             return new KvInsertSilence(&env.tracks, s, env.doc, 200, &env.ctx);
         },
         {{0, 100}, {100, 200}, {200, 307}, {307, E}}, false},
        {"crop inside", {{0, 100}, {100, 200}, {200, E}},
         [](Env &env) -> QUndoCommand * { return new KvUndoCrop(&env.tracks, env.doc, 50, 150, &env.ctx); },
         {{0, 50}, {50, 100}}, false},
        {"crop to one track", kFour,
         [](Env &env) -> QUndoCommand * { return new KvUndoCrop(&env.tracks, env.doc, 100, 200, &env.ctx); },
         {{0, 100}}, false},
        {"crop of the whole document", kFour,
         [](Env &env) -> QUndoCommand * { return new KvUndoCrop(&env.tracks, env.doc, 0, 430, &env.ctx); },
         kFour, false},
    };
    for (const TrackCase &c : cases) {
        SCOPED_TRACE(c.name);
        Env env;
        env.setTracks(c.tracks);
        const std::vector<TrackShot> before = shotOf(env.tracks);
        QUndoCommand *command = c.build(env);
        env.stack.push(command);
        EXPECT_EQ(boundsOf(env.tracks), c.expected);
        EXPECT_EQ(flagOf(command), c.trackEndInRange);
        const std::vector<TrackShot> after = shotOf(env.tracks);
        env.stack.undo();
        EXPECT_EQ(shotOf(env.tracks), before);
        env.stack.redo();
        EXPECT_EQ(shotOf(env.tracks), after);
        env.stack.undo();
        EXPECT_EQ(shotOf(env.tracks), before);
    }
}

// The insert child alone, with the flag set and clear, and its undo.
TEST(TrackEdits, InsertChildMovesBoundsOnThePositionOnlyWithTheFlag)
{
    for (bool flag : {false, true}) {
        SCOPED_TRACE(flag);
        KvFakeEditContext ctx;
        KvFileProperties tracks(&ctx);
        for (auto b : Bounds{{0, 50}, {50, 100}, {100, E}})
            tracks.appendTrack(KvTagPropertyPtr(new KvTagProperty(b.first, b.second)));
        bool shared = flag;
        QUndoCommand parent;
        ASSERT_EQ(tracks.makeInsFramesUndo(50, 0, &shared, &parent), nullptr);
        KvFilePropInsFramesUndo *child = tracks.makeInsFramesUndo(50, 10, &shared, &parent);
        ASSERT_TRUE(child);
        EXPECT_EQ(child->controller(), &ctx);
        child->redo();
        EXPECT_EQ(boundsOf(tracks), flag ? Bounds({{0, 60}, {60, 110}, {110, E}}) : Bounds({{0, 50}, {50, 110}, {110, E}}));
        // The marker of the redo counts, not the flag now.
        shared = !flag;
        child->undo();
        EXPECT_EQ(boundsOf(tracks), Bounds({{0, 50}, {50, 100}, {100, E}}));
    }
}

// A delete child recomputes its track commands on each redo.
TEST(TrackEdits, DeleteChildRebuildsItsCommandsOnEveryRedo)
{
    Env env;
    env.setTracks(kFour);
    auto *del = new KvUndoDelete(&env.tracks, env.doc->copyRange(150, 100), env.doc, 150, &env.ctx);
    ASSERT_EQ(del->childCount(), 1);
    auto *child = dynamic_cast<const KvFilePropDelFramesUndo *>(del->child(0));
    ASSERT_TRUE(child);
    EXPECT_TRUE(child->savedCommands().empty());
    env.stack.push(del);
    EXPECT_EQ(child->savedCommands().size(), 3u);
    const auto first = child->savedCommands().front();
    env.stack.undo();
    env.stack.redo();
    EXPECT_EQ(child->savedCommands().size(), 3u);
    EXPECT_NE(child->savedCommands().front(), first);
    // Each track command announced the track change.
    EXPECT_GE(env.ctx.calls.count("onTrackInfoUpdated"), 3);
}

} // namespace
