#pragma once
// Random edit sequences with fixed seeds: every frame edit, chained fades,
// selection changes and track commands pushed on one undo stack, with
// undos and redos in between. After each step the document equals the plain
// model; every state reached again by undo or redo equals, byte for byte, the
// one first reached there (and, with an exporter, so does its export);
// undoing everything gives back the document and tracks as they were, and
// redoing everything the final ones.
#include "KvEditTestSupport.h"
#include "KvFakeEditContext.h"

#include <KvFileProperties.h>
#include <KvInsertSilence.h>
#include <KvSelectionChange.h>
#include <KvTrackInfoUndo.h>
#include <KvUndoCrop.h>
#include <KvUndoDelete.h>
#include <KvUndoPaste.h>
#include <KvVolumeFade.h>
#include <KvVolumeSilence.h>

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QUndoStack>

#include <functional>
#include <sstream>

namespace kvtest {

namespace sequence {

struct TrackShot {
    qint64 start, end;
    QString title;
    bool operator==(const TrackShot &o) const { return start == o.start && end == o.end && title == o.title; }
};
typedef std::vector<TrackShot> TrackShots;

inline TrackShots tracksOf(const KvFileProperties &tracks)
{
    TrackShots out;
    for (const KvTagPropertyPtr &t : tracks.tracks())
        out.push_back({t->start(), t->end(), t->tagInfo().title});
    return out;
}

} // namespace sequence

// What one point of the history looks like.
struct State {
    FrameModel model;
    DocumentShot shot;
    sequence::TrackShots tracks;
    QByteArray exported;
};

// Writes the document as a file and returns its bytes.
typedef std::function<QByteArray(const KvRepackInfoPtrListPtr &)> Exporter;

class EditSequence
{
public:
    explicit EditSequence(quint32 seed, Exporter exporter = Exporter())
        : rng(seed), exporter(std::move(exporter)), doc(sources.document())
    {
        for (auto b : std::vector<std::pair<qint64, qint64>>{{0, 100}, {100, 200}, {200, 300}, {300, KvTagProperty::EndMarker}}) {
            KvTagInfo tags;
            tags.title = QString("t%1").arg(b.first);
            tracks.appendTrack(KvTagPropertyPtr(new KvTagProperty(b.first, b.second, tags)));
        }
        model = modelOf(doc);
        history.push_back(current());
    }

    void run(int steps)
    {
        for (int step = 0; step < steps; ++step) {
            std::ostringstream where;
            where << "step " << step << " (" << log.str() << ")";
            SCOPED_TRACE(where.str());
            const int r = int(rng.bounded(100));
            if (r < 12 && stack.canUndo()) {
                stack.undo();
                log << "undo ";
                model = history[size_t(stack.index())].model;
                checkState();
            } else if (r < 18 && stack.canRedo()) {
                stack.redo();
                log << "redo ";
                model = history[size_t(stack.index())].model;
                checkState();
            } else {
                edit();
            }
            if (::testing::Test::HasFatalFailure())
                return;
        }
        // Everything undone, then everything redone.
        const int top = stack.index();
        while (stack.canUndo())
            stack.undo();
        EXPECT_EQ(shotOf(doc), history[0].shot);
        EXPECT_EQ(sequence::tracksOf(tracks), history[0].tracks);
        if (exporter) {
            EXPECT_TRUE(exporter(doc) == history[0].exported) << "export after undoing everything";
        }
        while (stack.canRedo())
            stack.redo();
        EXPECT_EQ(stack.index(), stack.count());
        ASSERT_GE(stack.count(), top);
        EXPECT_EQ(shotOf(doc), history[size_t(stack.count())].shot);
        EXPECT_EQ(sequence::tracksOf(tracks), history[size_t(stack.count())].tracks);
        if (exporter) {
            EXPECT_TRUE(exporter(doc) == history[size_t(stack.count())].exported) << "export after redoing everything";
        }
    }

private:
    qint64 in(qint64 lo, qint64 hi) { return lo >= hi ? lo : lo + qint64(rng.bounded(quint32(hi - lo + 1))); }

    // A range of the document, the edges favoured.
    std::pair<qint64, qint64> range()
    {
        const qint64 n = doc->totalFrames();
        const qint64 s = rng.bounded(5) == 0 ? 0 : in(0, n);
        // Short ranges mostly, so that the document keeps a few hundred frames.
        qint64 e = rng.bounded(8) == 0 ? n : in(s, std::min(n, s + 10 + n / 5));
        return {s, e};
    }

    KvRepackInfoPtrListPtr clip()
    {
        KvRepackInfoPtrListPtr c(new KvMP3RepackInfoPtrList);
        switch (rng.bounded(3)) {
        case 0:
            c->appendFragment((rng.bounded(2) ? sources.a : sources.b)->createRepackInfo(in(0, 300), in(1, 150)));
            break;
        case 1:
            c->appendFragment(sources.silence(in(1, 15)));
            break;
        default: {
            // Frames of the document itself, with their edits.
            const auto r = range();
            c = doc->copyRange(r.first, std::max<qint64>(1, r.second - r.first));
        }
        }
        return c;
    }

    State current()
    {
        return State{modelOf(doc), shotOf(doc), sequence::tracksOf(tracks), exporter ? exporter(doc) : QByteArray()};
    }

    void checkState()
    {
        const State &want = history[size_t(stack.index())];
        ASSERT_EQ(modelOf(doc), want.model);
        ASSERT_EQ(shotOf(doc), want.shot);
        ASSERT_EQ(sequence::tracksOf(tracks), want.tracks);
        if (exporter) {
            ASSERT_TRUE(exporter(doc) == want.exported) << "export differs";
        }
    }

    void checkTracks()
    {
        qint64 last = 0;
        for (const sequence::TrackShot &t : sequence::tracksOf(tracks)) {
            ASSERT_GE(t.start, last);
            ASSERT_LE(t.start, t.end);
            last = t.end;
        }
    }

    void push(QUndoCommand *command, const FrameModel &expected, const char *name)
    {
        log << name << " ";
        const int index = stack.index();
        history.resize(size_t(index) + 1);
        stack.push(command);
        model = expected;
        const FrameModel got = modelOf(doc);
        ASSERT_EQ(got.size(), model.size());
        for (size_t i = 0; i < model.size(); ++i)
            ASSERT_EQ(got[i], model[i]) << "frame " << i;
        checkTracks();
        if (stack.index() == index + 1)
            history.push_back(current());
        else
            ASSERT_EQ(stack.index(), index);   // a merged selection change
    }

    void edit()
    {
        const auto r = range();
        const qint64 s = r.first;
        const qint64 e = r.second;
        const qint64 n = doc->totalFrames();
        ctx.scroll = double(in(0, n));
        FrameModel m = model;
        switch (rng.bounded(12)) {
        case 0:
        case 1:
            if (e > s) {
                modelErase(m, s, e - s);
                push(new KvUndoDelete(&tracks, doc->copyRange(s, e - s), doc, s, &ctx), m, "delete");
            }
            break;
        case 2:
            if (e > s) {
                modelErase(m, s, e - s);
                push(new KvUndoCut(&tracks, doc->copyRange(s, e - s), doc, s, &ctx), m, "cut");
            }
            break;
        case 3:
        case 4: {
            const KvRepackInfoPtrListPtr c = clip();
            const bool over = e > s && rng.bounded(2);
            const KvRepackInfoPtrListPtr replaced = over ? doc->copyRange(s, e - s) : KvRepackInfoPtrListPtr(new KvMP3RepackInfoPtrList);
            if (over)
                modelErase(m, s, e - s);
            modelInsert(m, s, modelOf(c));
            push(new KvUndoPaste(&tracks, c, replaced, doc, s, &ctx), m, over ? "paste-over" : "paste");
            break;
        }
        case 5: {
            const qint64 k = in(1, 12);
            KvRepackInfoPtrListPtr c(new KvMP3RepackInfoPtrList);
            c->appendFragment(sources.silence(k));
            modelInsert(m, s, modelOf(c));
            push(new KvInsertSilence(&tracks, c, doc, s, &ctx), m, "insert-silence");
            break;
        }
        case 6:
            if (n > 300 && e - s >= n / 2) {
                m = modelSlice(m, s, e - s);
                push(new KvUndoCrop(&tracks, doc, s, e, &ctx), m, "crop");
            }
            break;
        case 7: {
            // Fade in or out, or the same fade again when one was just done.
            const auto *done = stack.index() > 0 ? dynamic_cast<const KvVolumeFade *>(stack.command(stack.index() - 1)) : nullptr;
            if (done && done->startVolume() != done->endVolume() && rng.bounded(2)) {
                const int k = done->repeatCount() + 1;
                for (qint64 i = done->fadeStart(); i < done->fadeEnd(); ++i)
                    m[size_t(i)].gain += expectedRamp(done->startVolume(), done->endVolume(), done->fadeStart(), done->fadeEnd(), k, i)
                        - expectedRamp(done->startVolume(), done->endVolume(), done->fadeStart(), done->fadeEnd(), k - 1, i);
                push(new KvVolumeFade(*done, k), m, "fade-again");
                break;
            }
            const int f = int(in(1, 6));
            const bool fadeIn = rng.bounded(2);
            const int a = fadeIn ? -f : 0;
            const int b = fadeIn ? 0 : -f;
            for (qint64 i = s; i < e; ++i)
                m[size_t(i)].gain += expectedRamp(a, b, s, e, 1, i);
            push(new KvVolumeFade(doc, qint64(ctx.scroll), s, a, e, b, &ctx), m, fadeIn ? "fade-in" : "fade-out");
            break;
        }
        case 8: {
            const int v = rng.bounded(2) ? 4 : -4;
            for (qint64 i = s; i < e; ++i)
                m[size_t(i)].gain += v;
            push(new KvVolumeFade(doc, qint64(ctx.scroll), s, v, e, v, &ctx), m, v > 0 ? "louder" : "softer");
            break;
        }
        case 9: {
            const bool remove = rng.bounded(3) == 0;
            bool changes = false;
            for (qint64 i = s; i < e; ++i) {
                ModelFrame &f = m[size_t(i)];
                if (f.audible && f.silenced == remove) {
                    f.silenced = !remove;
                    changes = true;
                }
            }
            auto *c = new KvVolumeSilence(doc->copyRange(s, e - s), doc, qint64(ctx.scroll), s, &ctx, remove);
            ASSERT_EQ(c->checkRange(), !changes);
            if (changes)
                push(c, m, remove ? "unsilence" : "silence");
            else
                delete c;
            break;
        }
        case 10: {
            const qint64 oldScroll = qint64(ctx.scroll);
            const qint64 oldStart = qint64(ctx.selStart);
            const qint64 oldEnd = qint64(ctx.selEnd);
            ctx.selStart = double(s);
            ctx.selEnd = double(e);
            push(new KvSelectionChange(doc, oldScroll, oldStart, oldEnd, "select", &ctx), m, "select");
            break;
        }
        default: {
            const qint64 p = in(0, n);
            KvTrackInfoUndo *t = nullptr;
            switch (rng.bounded(4)) {
            case 0: t = tracks.splitTrack(p, n); break;
            case 1: t = tracks.setTrackStart(p, rng.bounded(2)); break;
            case 2: t = tracks.setTrackEnd(p, rng.bounded(2)); break;
            default: t = tracks.deleteTrack(p, rng.bounded(2)); break;
            }
            if (t)
                push(t, m, "track");
        }
        }
    }

    QRandomGenerator rng;
    Exporter exporter;
    EditSources sources;
    KvFakeEditContext ctx;
    KvRepackInfoPtrListPtr doc;
    KvFileProperties tracks{&ctx};
    QUndoStack stack;
    FrameModel model;
    std::vector<State> history;
    std::ostringstream log;
};

} // namespace kvtest
