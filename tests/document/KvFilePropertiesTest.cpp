#include "KvFakeEditContext.h"
#include "KvFileProperties.h"
#include "KvTrackInfoUndo.h"

#include <gtest/gtest.h>

#include <QUndoStack>

#include <functional>
#include <memory>
#include <tuple>
#include <vector>

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;

struct Range {
    qint64 start, end;
};

using Snapshot = std::vector<std::tuple<qint64, qint64, QString>>;

Snapshot snapshot(const KvFileProperties &list)
{
    Snapshot s;
    for (const auto &t : list.tracks())
        s.emplace_back(t->start(), t->end(), t->tagInfo().title);
    return s;
}

std::string show(const Snapshot &s)
{
    std::string out;
    for (const auto &t : s)
        out += "[" + std::to_string(std::get<0>(t)) + ","
            + (std::get<1>(t) == E ? std::string("E") : std::to_string(std::get<1>(t))) + ")"
            + std::get<2>(t).toStdString() + " ";
    return out;
}

void fill(KvFileProperties &list, std::initializer_list<Range> rs)
{
    for (const auto &r : rs) {
        KvTagInfo tags;
        tags.title = QString("t%1").arg(r.start);
        list.appendTrack(KvTagPropertyPtr(new KvTagProperty(r.start, r.end, tags)));
    }
}

// Titles of tracks the builders insert are empty.
Snapshot expected(std::initializer_list<std::tuple<qint64, qint64, const char *>> ts)
{
    Snapshot s;
    for (const auto &t : ts)
        s.emplace_back(std::get<0>(t), std::get<1>(t), QString(std::get<2>(t)));
    return s;
}

TEST(TrackQueries, OneTrackToTheEnd)
{
    KvFileProperties list(nullptr);
    fill(list, {{0, E}});
    for (qint64 pos : {qint64(0), qint64(1), qint64(5000), E - 1}) {
        int index = -1;
        EXPECT_TRUE(list.trackIndexAt(pos, &index)) << pos;
        EXPECT_EQ(index, 1);
        EXPECT_EQ(list.nextTrackPoint(pos), E);
        EXPECT_EQ(list.trackStartAt(pos), 0);
    }
    int index = -1;
    EXPECT_FALSE(list.trackIndexAt(-1, &index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(list.nextTrackPoint(E), -1);
}

TEST(TrackQueries, Table)
{
    // Tracks [10,20) [20,30) [40,40) [50,E) with a gap at 30..40.
    KvFileProperties list(nullptr);
    fill(list, {{10, 20}, {20, 30}, {40, 40}, {50, E}});
    struct Case {
        qint64 pos;
        int index;
        qint64 start, next, previous;
        bool canDelete, canEnd, canStart, canSplit;
    } cases[] = {
        {0, 0, -1, 10, -1, false, false, true, true},
        {9, 0, -1, 10, -1, false, true, true, true},
        {10, 1, 10, 20, -1, true, true, false, true},
        {15, 1, 10, 20, 10, true, true, true, true},
        // A position on a boundary belongs to the track that starts there.
        {20, 2, 20, 30, 10, true, false, false, false},
        {29, 2, 20, 30, 20, true, true, true, true},
        {30, 0, -1, 40, 20, false, false, true, true},
        {35, 0, -1, 40, 30, false, true, true, true},
        // A zero-length track can be deleted from its start up to the next start.
        {40, 0, -1, 50, 30, true, false, false, true},
        {45, 0, -1, 50, 40, true, true, true, true},
        {50, 4, 50, E, 40, true, true, false, true},
        {1000, 4, 50, E, 50, true, true, true, true},
        // The zero-length track at 40 still counts for deleting.
        {E, 0, -1, -1, 50, true, false, false, false},
    };
    for (const auto &c : cases) {
        int index = -1;
        const KvTagPropertyPtr t = list.trackIndexAt(c.pos, &index);
        EXPECT_EQ(index, c.index) << c.pos;
        EXPECT_EQ(bool(t), c.index != 0) << c.pos;
        EXPECT_EQ(list.trackStartAt(c.pos), c.start) << c.pos;
        EXPECT_EQ(list.nextTrackPoint(c.pos), c.next) << c.pos;
        EXPECT_EQ(list.previousTrackPoint(c.pos), c.previous) << c.pos;
        EXPECT_EQ(list.canDeleteTrack(c.pos), c.canDelete) << c.pos;
        EXPECT_EQ(list.canSetTrackEnd(c.pos), c.canEnd) << c.pos;
        EXPECT_EQ(list.canSetTrackStart(c.pos), c.canStart) << c.pos;
        EXPECT_EQ(list.canSplitTrack(c.pos), c.canSplit) << c.pos;
    }
}

TEST(TrackQueries, EmptyListAndNeighbours)
{
    KvFileProperties list(nullptr);
    EXPECT_FALSE(list.hasTracks());
    EXPECT_FALSE(list.canSetTrackEnd(0));
    EXPECT_TRUE(list.canSetTrackEnd(1));
    EXPECT_TRUE(list.canSetTrackStart(0));
    EXPECT_FALSE(list.canSetTrackStart(E));
    EXPECT_TRUE(list.canSplitTrack(0));
    EXPECT_FALSE(list.canDeleteTrack(0));
    EXPECT_FALSE(list.appendTrack(KvTagPropertyPtr())) << "null entries are refused";
    EXPECT_EQ(list.trackCount(), 0);

    fill(list, {{0, 10}, {10, 20}, {20, E}});
    EXPECT_TRUE(list.hasTracks());
    EXPECT_EQ(list.trackCount(), 3);
    const auto first = list.tracks().front();
    const auto last = list.tracks().back();
    EXPECT_EQ(list.nextTrack(first.get())->start(), 10);
    EXPECT_EQ(list.previousTrack(last.get())->start(), 10);
    EXPECT_FALSE(list.nextTrack(last.get()));
    EXPECT_FALSE(list.previousTrack(first.get()));
    EXPECT_FALSE(list.nextTrack(nullptr));
    KvTagProperty stranger(0, 10);
    EXPECT_FALSE(list.nextTrack(&stranger));
    // The first track starting at 0 cannot be split there; the end marker
    // cannot be split when the last track runs to it.
    EXPECT_FALSE(list.canSplitTrack(0));
    EXPECT_FALSE(list.canSplitTrack(E));
    list.clearTracks();
    EXPECT_FALSE(list.hasTracks());
}

// Every builder at every position on several lists: push (redo) then undo
// gives back the exact list, redo gives the pushed result again, and the list
// stays ordered without overlaps.
TEST(TrackBuilders, PushUndoRedoTable)
{
    const std::vector<std::vector<Range>> lists = {
        {},
        {{0, E}},
        {{0, 100}, {100, 200}, {300, E}},
        {{50, 100}, {150, 250}},
        {{0, 100}, {100, 100}, {100, 200}},
    };
    const qint64 total = 400;
    const std::vector<qint64> positions = {0, 1, 50, 99, 100, 101, 150, 200, 250, 299, 300, 399, 400};
    KvTagInfo newTags;
    newTags.title = "new";

    enum Builder { End, EndAlt, Start, StartAlt, StartTags, Del, DelAlt, Split, Modify };
    int commands = 0;
    for (const auto &rs : lists) {
        for (qint64 pos : positions) {
            for (int b = End; b <= Modify; ++b) {
                KvFakeEditContext controller;
                KvFileProperties list(&controller);
                for (const auto &r : rs) {
                    KvTagInfo tags;
                    tags.title = QString("t%1").arg(r.start);
                    list.appendTrack(KvTagPropertyPtr(new KvTagProperty(r.start, r.end, tags)));
                }
                const Snapshot before = snapshot(list);
                KvTrackInfoUndo *cmd = nullptr;
                switch (b) {
                case End: cmd = list.setTrackEnd(pos, false); break;
                case EndAlt: cmd = list.setTrackEnd(pos, true); break;
                case Start: cmd = list.setTrackStart(pos, false); break;
                case StartAlt: cmd = list.setTrackStart(pos, true); break;
                case StartTags: cmd = list.setTrackStart(pos, true, &newTags); break;
                case Del: cmd = list.deleteTrack(pos, false); break;
                case DelAlt: cmd = list.deleteTrack(pos, true); break;
                case Split: cmd = list.splitTrack(pos, total); break;
                case Modify: cmd = list.modifyTrackInfo(pos, &newTags); break;
                }
                const std::string where = "list " + show(before) + " pos " + std::to_string(pos)
                    + " builder " + std::to_string(b);
                EXPECT_EQ(snapshot(list), before) << "a builder changed the list: " << where;
                if (!cmd)
                    continue;
                ++commands;
                QUndoStack stack;
                stack.push(cmd);
                const Snapshot after = snapshot(list);
                EXPECT_NE(after, before) << "a command that changes nothing: " << where;
                qint64 lastStart = -1, lastEnd = -1;
                for (const auto &t : list.tracks()) {
                    EXPECT_GE(t->start(), lastStart) << where << " -> " << show(after);
                    EXPECT_GE(t->start(), lastEnd == E ? t->start() : lastEnd) << where << " -> " << show(after);
                    EXPECT_LE(t->start(), t->end()) << where << " -> " << show(after);
                    lastStart = t->start();
                    lastEnd = t->end();
                }
                stack.undo();
                EXPECT_EQ(snapshot(list), before) << where << " after " << show(after);
                stack.redo();
                EXPECT_EQ(snapshot(list), after) << where;
                stack.undo();
                EXPECT_EQ(snapshot(list), before) << where;
            }
        }
    }
    EXPECT_GT(commands, 100);
}

struct BuilderCase {
    std::vector<Range> list;
    std::function<KvTrackInfoUndo *(KvFileProperties &)> build;
    Snapshot result; // empty with nullResult
    bool nullResult;
    const char *text;
};

TEST(TrackBuilders, Results)
{
    KvTagInfo tags;
    tags.title = "new";
    const std::vector<BuilderCase> cases = {
        // Split.
        {{}, [](auto &l) { return l.splitTrack(0, 400); }, expected({{0, E, ""}}), false, "Split track"},
        {{}, [](auto &l) { return l.splitTrack(400, 400); }, expected({{0, E, ""}}), false, "Split track"},
        {{}, [](auto &l) { return l.splitTrack(250, 400); }, expected({{0, 250, ""}, {250, E, ""}}), false, "Split track"},
        {{{0, E}}, [](auto &l) { return l.splitTrack(100, 400); }, expected({{0, 100, "t0"}, {100, E, ""}}), false, "Split track"},
        {{{0, 100}, {100, E}}, [](auto &l) { return l.splitTrack(100, 400); }, {}, true, ""},
        {{{0, 100}, {200, E}}, [](auto &l) { return l.splitTrack(100, 400); }, expected({{0, 100, "t0"}, {100, 200, ""}, {200, E, "t200"}}), false, "Split track"},
        {{{0, 100}, {200, E}}, [](auto &l) { return l.splitTrack(150, 400); }, expected({{0, 100, "t0"}, {100, 150, ""}, {150, 200, ""}, {200, E, "t200"}}), false, "Split track"},
        {{{0, 100}, {200, E}}, [](auto &l) { return l.splitTrack(200, 400); }, expected({{0, 100, "t0"}, {100, 200, ""}, {200, E, "t200"}}), false, "Split track"},
        {{{0, 100}}, [](auto &l) { return l.splitTrack(400, 400); }, expected({{0, 100, "t0"}, {100, E, ""}}), false, "Split track"},
        {{{0, 100}}, [](auto &l) { return l.splitTrack(300, 400); }, expected({{0, 100, "t0"}, {100, 300, ""}, {300, E, ""}}), false, "Split track"},
        {{{100, E}}, [](auto &l) { return l.splitTrack(0, 400); }, expected({{0, 100, ""}, {100, E, "t100"}}), false, "Split track"},
        {{{100, E}}, [](auto &l) { return l.splitTrack(50, 400); }, expected({{0, 50, ""}, {50, 100, ""}, {100, E, "t100"}}), false, "Split track"},
        {{{100, E}}, [](auto &l) { return l.splitTrack(100, 400); }, expected({{0, 100, ""}, {100, E, "t100"}}), false, "Split track"},
        {{{0, E}}, [](auto &l) { return l.splitTrack(0, 400); }, {}, true, ""},
        // Set end.
        {{}, [](auto &l) { return l.setTrackEnd(0, false); }, {}, true, ""},
        {{}, [](auto &l) { return l.setTrackEnd(50, false); }, expected({{0, 50, ""}}), false, "Set track end"},
        {{{0, 100}}, [](auto &l) { return l.setTrackEnd(100, false); }, {}, true, ""},
        {{{0, E}}, [](auto &l) { return l.setTrackEnd(50, false); }, expected({{0, 50, "t0"}}), false, "Set track end"},
        {{{0, E}}, [](auto &l) { return l.setTrackEnd(50, true); }, expected({{0, 50, "t0"}, {50, E, ""}}), false, "Set track end"},
        {{{0, 100}}, [](auto &l) { return l.setTrackEnd(150, false); }, expected({{0, 150, "t0"}}), false, "Set track end"},
        {{{0, 100}}, [](auto &l) { return l.setTrackEnd(150, true); }, expected({{0, 100, "t0"}, {100, 150, ""}}), false, "Set track end"},
        // Set start.
        {{}, [](auto &l) { return l.setTrackStart(100, false); }, expected({{100, E, ""}}), false, "Set track start"},
        {{}, [&](auto &l) { return l.setTrackStart(100, false, &tags); }, expected({{100, E, "new"}}), false, "Add track information"},
        {{{100, E}}, [](auto &l) { return l.setTrackStart(100, false); }, {}, true, ""},
        {{{0, E}}, [](auto &l) { return l.setTrackStart(100, false); }, expected({{100, E, "t0"}}), false, "Set track start"},
        {{{0, E}}, [](auto &l) { return l.setTrackStart(100, true); }, expected({{0, 100, "t0"}, {100, E, ""}}), false, "Set track start"},
        {{{200, E}}, [](auto &l) { return l.setTrackStart(100, false); }, expected({{100, E, "t200"}}), false, "Set track start"},
        {{{200, E}}, [](auto &l) { return l.setTrackStart(100, true); }, expected({{100, 200, ""}, {200, E, "t200"}}), false, "Set track start"},
        {{{0, 50}}, [](auto &l) { return l.setTrackStart(100, false); }, expected({{0, 50, "t0"}, {100, E, ""}}), false, "Set track start"},
        // Delete.
        {{{0, 100}, {100, E}}, [](auto &l) { return l.deleteTrack(150, false); }, expected({{0, 100, "t0"}}), false, "Delete track"},
        {{{0, 100}, {100, E}}, [](auto &l) { return l.deleteTrack(150, true); }, expected({{0, E, "t0"}}), false, "Delete track"},
        {{{0, 100}, {150, E}}, [](auto &l) { return l.deleteTrack(200, true); }, expected({{0, 100, "t0"}}), false, "Delete track"},
        {{{0, 100}}, [](auto &l) { return l.deleteTrack(100, false); }, {}, true, ""},
        // Modify.
        {{{0, 100}}, [&](auto &l) { return l.modifyTrackInfo(0, &tags); }, expected({{0, 100, "new"}}), false, "Modify track information"},
        {{{0, 100}}, [&](auto &l) { return l.modifyTrackInfo(50, &tags); }, {}, true, ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto &c = cases[i];
        KvFileProperties list(nullptr);
        for (const auto &r : c.list) {
            KvTagInfo t;
            t.title = QString("t%1").arg(r.start);
            list.appendTrack(KvTagPropertyPtr(new KvTagProperty(r.start, r.end, t)));
        }
        const Snapshot before = snapshot(list);
        std::unique_ptr<KvTrackInfoUndo> cmd(c.build(list));
        if (c.nullResult) {
            EXPECT_FALSE(cmd) << "case " << i;
            continue;
        }
        ASSERT_TRUE(cmd) << "case " << i;
        EXPECT_EQ(cmd->text(), QString(c.text)) << "case " << i;
        cmd->redo();
        EXPECT_EQ(show(snapshot(list)), show(c.result)) << "case " << i;
        cmd->undo();
        EXPECT_EQ(show(snapshot(list)), show(before)) << "case " << i;
    }
}

TEST(TrackBuilders, ModifyWithUnchangedTagsGivesNothing)
{
    KvFileProperties list(nullptr);
    fill(list, {{0, 100}});
    KvTagInfo same = list.tracks().front()->tagInfo();
    EXPECT_EQ(list.modifyTrackInfo(0, &same), nullptr);
    same.artwork = internArtwork(new KvByteArray("pic"));
    std::unique_ptr<KvTrackInfoUndo> cmd(list.modifyTrackInfo(0, &same));
    ASSERT_TRUE(cmd);
    cmd->redo();
    EXPECT_EQ(list.tracks().front()->tagInfo(), same);
    cmd->undo();
    EXPECT_FALSE(list.tracks().front()->tagInfo().artwork);
}

TEST(TrackInfoUndo, TellsTheControllerOnRedoAndUndo)
{
    KvFakeEditContext controller;
    controller.scroll = 123.9;
    KvFileProperties list(&controller);
    std::unique_ptr<KvTrackInfoUndo> cmd(list.splitTrack(50, 100));
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->scrollFrame(), 123);
    controller.scroll = 7;
    cmd->redo();
    EXPECT_EQ(controller.calls, QStringList({"scroll 123", "onTrackInfoUpdated", "updateWidget"}));
    controller.calls.clear();
    controller.scroll = 9;
    cmd->undo();
    EXPECT_EQ(controller.calls, QStringList({"scroll 123", "onTrackInfoUpdated", "updateWidget"}));
}

TEST(TrackInfoUndo, RedoOfAMissingTrackChangesNothing)
{
    KvFileProperties list(nullptr);
    fill(list, {{0, 100}, {100, E}});
    std::unique_ptr<KvTrackInfoUndo> cmd(list.setTrackEnd(50, false));
    ASSERT_TRUE(cmd);
    list.tracks().front()->setEnd(90); // no longer the recorded bounds
    const Snapshot before = snapshot(list);
    cmd->redo();
    EXPECT_EQ(snapshot(list), before);
    cmd->undo();
    EXPECT_EQ(snapshot(list), before);
}

// Deleting frames [P, P + N) from a document of L frames.
TEST(RemoveTracksInRange, Cases)
{
    struct Case {
        std::vector<Range> list;
        qint64 P, N, L;
        Snapshot result;
        bool flag;
    } cases[] = {
        // Inside: removed; overlapping: cut at P; behind: shifted; a track
        // from before P to the end marker stays.
        {{{0, 100}, {100, 150}, {150, 300}, {300, 400}, {400, E}}, 120, 100, 1000,
         expected({{0, 100, "t0"}, {100, 120, "t100"}, {120, 200, "t150"}, {200, 300, "t300"}, {300, E, "t400"}}), true},
        {{{0, 100}, {100, 200}, {200, E}}, 100, 100, 1000,
         expected({{0, 100, "t0"}, {100, E, "t200"}}), true},
        {{{0, E}}, 100, 50, 1000, expected({{0, E, "t0"}}), false},
        // The range reaches the old document end: the open track's end lay inside.
        {{{0, 500}, {500, E}}, 600, 400, 1000, expected({{0, 500, "t0"}, {500, E, "t500"}}), true},
        {{{0, 500}, {500, E}}, 400, 600, 1000, expected({{0, 400, "t0"}}), true},
        {{{50, 80}}, 0, 100, 1000, expected({}), true},
        {{{200, 300}}, 0, 100, 1000, expected({{100, 200, "t200"}}), false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto &c = cases[i];
        KvFakeEditContext controller;
        KvFileProperties list(&controller);
        for (const auto &r : c.list) {
            KvTagInfo t;
            t.title = QString("t%1").arg(r.start);
            list.appendTrack(KvTagPropertyPtr(new KvTagProperty(r.start, r.end, t)));
        }
        const Snapshot before = snapshot(list);
        bool flag = !c.flag;
        auto commands = list.removeTracksInRange(c.P, c.N, c.L, &flag);
        EXPECT_EQ(flag, c.flag) << "case " << i;
        EXPECT_EQ(snapshot(list), before) << "building changes nothing";
        for (auto &cmd : commands)
            cmd->redo();
        EXPECT_EQ(show(snapshot(list)), show(c.result)) << "case " << i;
        for (auto it = commands.rbegin(); it != commands.rend(); ++it)
            (*it)->undo();
        EXPECT_EQ(show(snapshot(list)), show(before)) << "case " << i;
    }
}

} // namespace
