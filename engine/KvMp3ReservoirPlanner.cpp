// The bit-reservoir planner of MP3 documents. It reads the edit and source
// records only (no frame data is read) and decides every frame's output
// bitrate index and main_data_begin; the rebuilder follows the plan.
//
// The output main-data stream holds, frame after frame, each payload followed
// by its fill up to the next payload: fill = C - M' + M - L. A plan is sound
// when every fill is at least 0, the first frame begins at 0, the last frame's
// successor begins at 0 and no main_data_begin exceeds the format's limit.
//
// A save keeps each frame's source bitrate and main_data_begin wherever they
// still fit. Within a run of one source they always do (the source proves
// it), so only a seam (a fragment boundary, the document's start, a broken
// source frame) needs another layout, and only for a few frames: the frames
// just before it give up fill to make room, a late start is carried forward
// until the following frames' fill takes it up, or the frame before the seam
// raises its bitrate. An unedited stretch so comes out as it was, and only the
// frames around seams are planned at all: the others are given their source
// layout as they are (a volume edit changes nothing here).
//
// Playback plans its chunks with start-at-max instead: every frame at the top
// bitrate, looking for a frame from 100 on where the output can restart empty;
// that walk steps back where a seam forces an earlier frame to change, and a
// closing forward pass makes sure the result is sound even where the walk gave
// up at its iteration bound.
#include "KvMP3RepackInfoPtrList.h"

#include "KvMP3FrameListIterator.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMP3RepackInfo.h"
#include "KvMp3FrameContext.h"
#include "KvMp3FrameLayout.h"
#include "KvMp3FrameSpans.h"
#include "KvMp3Records.h"
#include "KvFrameSizeInfo.h"

#include <algorithm>
#include <deque>
#include <vector>

namespace {

constexpr int kTopBitrate = 14;
// Frames visited per document frame before the walk gives up; a walk that
// needs more is going round in circles.
constexpr qint64 kVisitsPerFrame = 16;
// Fit attempts per visit: bitrate raises (at most 14) and begin shifts.
constexpr int kFitAttempts = 64;

thread_local KvMP3RepackInfoPtrList::PlanReport t_lastReport;
thread_local qint64 t_walkLimit = -1;
thread_local bool t_aroundSeamsOnly = true;

int payloadOf(const KvMp3FrameContext &c)
{
    return (c.editRecord->flags & KvMp3EditFlag::Dropped) ? 0 : c.sourceRecord->payloadLength;
}

int outputIndex(const KvMp3FrameContext &c)
{
    return KvMp3OutputBitrateIndex(*c.editRecord, *c.sourceRecord);
}

void raiseBitrate(KvMp3FrameContext &c)
{
    c.editRecord->setBitrateIndex(std::min(kTopBitrate, outputIndex(c) + 1));
}

// A frame's begin at the checkpoint, given back when the checkpoint moves on.
struct Remembered {
    KvMP3GainChangeInfo *edit = nullptr;
    uint8_t restart = 0;
    int16_t begin = 0;

    void giveBack()
    {
        if (!edit)
            return;
        edit->flags = uint8_t((edit->flags & ~KvMp3EditFlag::ReservoirRestart) | restart);
        edit->mainDataBegin = begin;
        edit = nullptr;
    }
};

// Forward pass that leaves every fill at 0 or more. Returns the frames changed.
qint64 makeSound(const KvRepackInfoPtrListPtr &document, int limit, qint64 total, qint64 &dropped)
{
    qint64 changed = 0;
    KvMP3FrameListIterator it(document, false);
    while (it.next()) {
        KvMp3FrameContext &c = it.context();
        KvMP3GainChangeInfo &e = *c.editRecord;
        KvMP3GainChangeInfo &n = *c.nextEditRecord;
        bool touched = false;
        if (it.steps() == 0 && (e.mainDataBegin != 0 || !(e.flags & KvMp3EditFlag::ReservoirRestart))) {
            e.mainDataBegin = 0;
            e.flags |= KvMp3EditFlag::ReservoirRestart;
            touched = true;
        }
        const bool last = it.steps() == total - 1;
        if ((last || (n.flags & KvMp3EditFlag::ReservoirRestart)) && n.mainDataBegin != 0) {
            n.mainDataBegin = 0;
            touched = true;
        }
        if (n.mainDataBegin < 0 || n.mainDataBegin > limit) {
            n.mainDataBegin = int16_t(std::clamp<int>(n.mainDataBegin, 0, limit));
            touched = true;
        }
        const auto fill = [&]() { return KvMp3OutputCapacity(c) - n.mainDataBegin + e.mainDataBegin - payloadOf(c); };
        int p = fill();
        while (p < 0 && outputIndex(c) < kTopBitrate) {
            raiseBitrate(c);
            p = fill();
            touched = true;
        }
        if (p < 0 && n.mainDataBegin > 0) {
            n.mainDataBegin = int16_t(std::max(0, n.mainDataBegin + p));
            p = fill();
            touched = true;
        }
        if (p < 0) {
            // Not even an empty reservoir after it makes room: the frame goes silent.
            e.flags |= KvMp3EditFlag::Silenced | KvMp3EditFlag::Dropped;
            ++dropped;
            p = fill();
            if (p < 0)
                n.mainDataBegin = int16_t(std::min(limit, int(n.mainDataBegin) + p));
            touched = true;
        }
        KvMp3UpdateLayout(c);
        if (touched)
            ++changed;
    }
    return changed;
}

// ---------------------------------------------------------------------------
// The plan of a save: the source layout, departed from only around seams.

// How many frames before a seam may give up fill to make room for it, and how
// many after it may start late before a bitrate is raised instead.
constexpr int kRoomWindow = 8;
constexpr int kCarryWindow = 8;

// One document frame as the plan sees it.
struct PlanFrame {
    KvMP3GainChangeInfo *edit = nullptr;
    int16_t target = 0;       // the main_data_begin it keeps where it can: the source's, 0 for a restart
    int16_t begin = 0;        // planned main_data_begin M
    uint16_t payload = 0;     // L; 0 once dropped
    uint8_t sourceIndex = 1;  // the source frame's bitrate index
    uint8_t index = 1;        // planned bitrate index
    int8_t version = 0;
    int8_t rate = 0;
    int8_t mode = 0;
    bool padding = false;
    bool crc = false;
    bool restart = false;
    bool dropped = false;

    int capacityAt(int bitrateIndex) const
    {
        return KvMp3OutputCapacity(version, rate, mode, bitrateIndex, padding, crc);
    }
    int capacity() const { return capacityAt(index); }
};

int sourceIndexOf(const KvMP3GainFrameInfo &src)
{
    const int own = src.bitrateIndex();
    return own >= 1 && own <= kTopBitrate ? own : 1;
}

// The main_data_begin a frame keeps where it can: its source's, 0 for a
// broken frame, which restarts the reservoir.
int targetOf(const KvMP3GainFrameInfo &src, int limit)
{
    return (src.flags & KvMp3FrameFlag::Broken) ? 0 : std::min<int>(src.mainDataBegin, limit);
}

// Frame i of a span at its source layout; without edit records its edit is
// null. Silence: frames of the lowest bitrate without payload, starting at 0.
PlanFrame planFrame(const KvMp3FrameSpan &s, qint64 i, int limit)
{
    const KvMP3GainFrameInfo &src = s.sourceRecord(i);
    PlanFrame p;
    p.edit = s.edits ? s.edits + i : nullptr;
    p.version = int8_t(s.version);
    p.rate = int8_t(s.rate);
    p.mode = int8_t(s.mode);
    p.sourceIndex = uint8_t(sourceIndexOf(src));
    p.payload = src.payloadLength;
    p.padding = (src.flags & KvMp3FrameFlag::Padding) != 0;
    p.crc = (src.flags & KvMp3FrameFlag::Crc) != 0;
    p.restart = (src.flags & KvMp3FrameFlag::Broken) != 0;
    p.target = int16_t(targetOf(src, limit));
    p.index = p.sourceIndex;
    // The stream starts with an empty reservoir.
    if (s.start + i == 0) {
        p.restart = true;
        p.target = 0;
    }
    p.begin = p.target;
    return p;
}

// What the plan gives a frame that keeps its source layout.
void writeSourceLayout(const KvMp3FrameSpan &s, qint64 i, int limit)
{
    const KvMP3GainFrameInfo &src = s.sourceRecord(i);
    const int index = sourceIndexOf(src);
    KvMP3GainChangeInfo &e = s.edits[i];
    e.flags &= uint8_t(~(KvMp3EditFlag::Dropped | KvMp3EditFlag::ReservoirRestart));
    if (src.flags & KvMp3FrameFlag::Broken)
        e.flags |= KvMp3EditFlag::ReservoirRestart;
    e.setBitrateIndex(index);
    e.mainDataBegin = int16_t(targetOf(src, limit));
    e.capacity = int16_t(s.capacityAt(index, (src.flags & KvMp3FrameFlag::Padding) != 0,
                                      (src.flags & KvMp3FrameFlag::Crc) != 0));
}

class SourceLayoutPlan {
public:
    // Plans a stretch of the document whose first frame starts where its
    // source layout has it (the document's first frame at 0), followed by a
    // frame that starts at `after` (0 at the document's end).
    SourceLayoutPlan(std::vector<PlanFrame> &frames, int limit, int after, bool documentStart)
        : m_f(frames), m_limit(limit), m_after(after), m_documentStart(documentStart)
    {
    }

    // Plans every frame; returns the number of frames that had to be dropped.
    qint64 run()
    {
        qint64 dropped = 0;
        const size_t n = m_f.size();
        for (size_t k = 0; k < n; ++k) {
            PlanFrame &f = m_f[k];
            const int want = nextTarget(k);
            int late = want - room(k);
            if (late > 0)
                late -= makeRoom(k, late);
            if (late > 0 && !(late <= want && carryFits(k + 1, late))) {
                while (late > 0 && f.index < kTopBitrate) {
                    const int before = f.capacity();
                    ++f.index;
                    late -= f.capacity() - before;
                }
            }
            if (late > want) {
                // Not even an empty reservoir after it lets its payload fit.
                f.dropped = true;
                f.payload = 0;
                f.index = f.sourceIndex;
                late = want - room(k);
                ++dropped;
            }
            if (k + 1 < n)
                m_f[k + 1].begin = int16_t(want - std::max(0, late));
        }
        return dropped;
    }

    // Frames whose fill is negative or whose main_data_begin is out of range
    // (none, unless the plan above is wrong).
    qint64 faults() const
    {
        qint64 bad = 0;
        for (size_t k = 0; k < m_f.size(); ++k) {
            const int begin = m_f[k].begin;
            if (room(k) < nextBegin(k) || begin < 0 || begin > m_limit || (k == 0 && m_documentStart && begin != 0))
                ++bad;
        }
        return bad;
    }

    // Whether the last `tail` frames kept their source layout with room to
    // spare, so that nothing after the stretch depends on it beyond the
    // begin of the frame that follows.
    bool settled(size_t tail) const
    {
        const size_t n = m_f.size();
        if (n < tail)
            return false;
        for (size_t k = n - tail; k < n; ++k) {
            const PlanFrame &f = m_f[k];
            if (f.begin != f.target || f.index != f.sourceIndex || f.dropped || room(k) < nextTarget(k))
                return false;
        }
        return true;
    }

private:
    // Bytes from the end of payload k to the end of frame k's area.
    int room(size_t k) const { return m_f[k].capacity() + m_f[k].begin - m_f[k].payload; }
    int nextTarget(size_t k) const { return k + 1 < m_f.size() ? m_f[k + 1].target : m_after; }
    int nextBegin(size_t k) const { return k + 1 < m_f.size() ? m_f[k + 1].begin : m_after; }
    int fill(size_t k) const { return room(k) - nextBegin(k); }

    // Lets the payloads of frame k and of up to kRoomWindow - 1 frames before
    // it start earlier, into the fill in front of them, so that frame k ends
    // up to `need` bytes sooner. The first frame of the document never moves.
    // Returns the bytes gained.
    int makeRoom(size_t k, int need)
    {
        if (k == 0)
            return 0;
        const size_t w = k >= size_t(kRoomWindow) ? k - kRoomWindow + 1 : 1;
        // How much frame j may move, its predecessors moving as needed.
        int reach = 0;
        for (size_t j = w; j <= k; ++j)
            reach = std::min(m_limit - m_f[j].begin, reach + fill(j - 1));
        int d = std::min(need, reach);
        const int gained = std::max(0, d);
        for (size_t j = k; j >= w && d > 0; --j) {
            const int before = m_f[j].begin;
            const int fillBefore = room(j - 1) - before;
            m_f[j].begin = int16_t(before + d);
            d -= fillBefore;
        }
        return gained;
    }

    // Whether frame j may start `late` bytes after its source layout and the
    // frames after it take that up from their own fill within kCarryWindow
    // frames, at their source bitrates.
    bool carryFits(size_t j, int late) const
    {
        const size_t n = m_f.size();
        for (size_t i = j; i < n && i < j + kCarryWindow; ++i) {
            const PlanFrame &f = m_f[i];
            const int room = f.capacityAt(f.sourceIndex) + (f.target - late) - f.payload;
            const int want = nextTarget(i);
            if (room >= want)
                return true;
            late = want - room;
            if (late > want)
                return false;
        }
        return false;
    }

    std::vector<PlanFrame> &m_f;
    const int m_limit;
    const int m_after;
    const bool m_documentStart;
};

// The walk over a document's spans by document frame index, forward only.
class SpanCursor {
public:
    explicit SpanCursor(const std::vector<KvMp3FrameSpan> &spans) : m_spans(spans) {}

    // The span holding document frame k.
    const KvMp3FrameSpan &at(qint64 k)
    {
        while (m_i > 0 && k < m_spans[m_i].start)
            --m_i;
        while (k >= m_spans[m_i].start + m_spans[m_i].count)
            ++m_i;
        return m_spans[m_i];
    }

private:
    const std::vector<KvMp3FrameSpan> &m_spans;
    size_t m_i = 0;
};

// Within a fragment, a frame that starts at its source layout leaves the next
// frame at its source layout too whenever its area holds its payload and the
// bytes up to the next frame's payload, as it did in the source. Only frames
// where that fails need planning (the document's ends, fragment seams, broken
// or inconsistent source frames), and only the frames around them; every
// other frame keeps its source layout, however its gain was edited.
bool keepsLayout(const KvMp3FrameSpan &s, qint64 i, int limit)
{
    if (!t_aroundSeamsOnly || s.start + i == 0 || i + 1 >= s.count || !s.edits)
        return false;
    const KvMP3GainFrameInfo &src = s.sourceRecord(i);
    const int room = s.capacityAt(sourceIndexOf(src), (src.flags & KvMp3FrameFlag::Padding) != 0,
                                  (src.flags & KvMp3FrameFlag::Crc) != 0)
                     + targetOf(src, limit) - src.payloadLength;
    return room >= targetOf(s.sourceRecord(i + 1), limit);
}

// Frames planned on either side of a frame that needs it: more than the
// plan's windows reach (kRoomWindow back, kCarryWindow ahead), so that a
// stretch starts and ends among frames at their source layout.
constexpr qint64 kPlanMargin = 32;
constexpr size_t kSettledTail = size_t(kRoomWindow + kCarryWindow + 1);

qint64 planFromSource(const KvRepackInfoPtrListPtr &document, int limit, qint64 &faults, qint64 &planned)
{
    const std::vector<KvMp3FrameSpan> spans = KvMp3FrameSpans(document);
    faults = 0;
    planned = 0;
    if (spans.empty())
        return 0;
    const qint64 total = spans.back().start + spans.back().count;

    std::vector<qint64> needs;
    for (const KvMp3FrameSpan &s : spans) {
        for (qint64 i = 0; i < s.count; ++i) {
            if (!keepsLayout(s, i, limit))
                needs.push_back(s.start + i);
        }
    }

    qint64 dropped = 0;
    SpanCursor cursor(spans);
    qint64 done = 0;   // frames before this are written
    size_t u = 0;
    while (u < needs.size()) {
        const qint64 from = std::max(done, needs[u] - kPlanMargin);
        qint64 to = std::min(total, needs[u] + kPlanMargin + 1);
        for (;;) {
            while (u < needs.size() && needs[u] - kPlanMargin <= to)
                to = std::min(total, std::max(to, needs[u++] + kPlanMargin + 1));
            // Frames before the stretch keep their source layout.
            for (qint64 k = done; k < from; ++k) {
                const KvMp3FrameSpan &s = cursor.at(k);
                writeSourceLayout(s, k - s.start, limit);
            }
            done = from;
            std::deque<KvMP3GainChangeInfo> standIns;
            std::vector<PlanFrame> frames;
            frames.reserve(size_t(to - from));
            for (qint64 k = from; k < to; ++k) {
                const KvMp3FrameSpan &s = cursor.at(k);
                frames.push_back(planFrame(s, k - s.start, limit));
                if (!frames.back().edit) {
                    standIns.emplace_back();
                    frames.back().edit = &standIns.back();
                }
            }
            int after = 0;
            if (to < total) {
                const KvMp3FrameSpan &s = cursor.at(to);
                after = planFrame(s, to - s.start, limit).target;
            }
            SourceLayoutPlan plan(frames, limit, after, from == 0);
            const qint64 lost = plan.run();
            if (to < total && !plan.settled(kSettledTail)) {
                // The stretch still reaches on: plan it further.
                to = std::min(total, to + kPlanMargin);
                continue;
            }
            dropped += lost;
            faults += plan.faults();
            planned += to - from;
            for (const PlanFrame &f : frames) {
                KvMP3GainChangeInfo &e = *f.edit;
                e.flags &= uint8_t(~(KvMp3EditFlag::Dropped | KvMp3EditFlag::ReservoirRestart));
                if (f.restart)
                    e.flags |= KvMp3EditFlag::ReservoirRestart;
                if (f.dropped)
                    e.flags |= KvMp3EditFlag::Silenced | KvMp3EditFlag::Dropped;
                e.setBitrateIndex(f.index);
                e.mainDataBegin = f.begin;
                e.capacity = int16_t(f.capacity());
            }
            done = to;
            break;
        }
    }
    for (qint64 k = done; k < total; ++k) {
        const KvMp3FrameSpan &s = cursor.at(k);
        writeSourceLayout(s, k - s.start, limit);
    }
    return dropped;
}

} // namespace

KvMP3RepackInfoPtrList::PlanReport KvMP3RepackInfoPtrList::lastPlanReport()
{
    return t_lastReport;
}

void KvMP3RepackInfoPtrList::setPlanWalkLimit(qint64 visits)
{
    t_walkLimit = visits;
}

void KvMP3RepackInfoPtrList::setPlanAroundSeamsOnly(bool on)
{
    t_aroundSeamsOnly = on;
}

int KvMP3RepackInfoPtrList::planReservoir(const KvRepackInfoPtrListPtr &document, bool startAtMax)
{
    PlanReport report;
    t_lastReport = report;
    if (!dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return 0;
    const boost::shared_ptr<KvFrameSizeInfo> format = document->firstSourceInfo();
    if (!format)
        return 0;
    const int limit = KvMp3MainDataBeginLimit(format->versionCode());
    const qint64 total = document->totalFrames();

    if (!startAtMax) {
        qint64 faults = 0;
        report.dropped = planFromSource(document, limit, faults, report.iterations);
        // Never expected: a plan with a fault is made sound rather than written.
        if (faults > 0)
            report.repaired = makeSound(document, limit, total, report.dropped);
        t_lastReport = report;
        return 0;
    }

    // Dropping is decided anew each time.
    {
        KvMP3FrameListIterator it(document, false);
        while (it.next())
            it.context().editRecord->flags &= uint8_t(~KvMp3EditFlag::Dropped);
    }

    bool first = true;
    qint64 checkpoint = 100;
    qint64 target = 0;
    Remembered remembered;
    int result = 0;
    const qint64 bound = t_walkLimit >= 0 ? t_walkLimit : kVisitsPerFrame * total + 1024;

    KvMP3FrameListIterator it(document, false);
    bool stepBack = false;
    for (;;) {
        if (report.iterations >= bound) {
            report.bounded = true;
            break;
        }
        // Move.
        if (stepBack) {
            stepBack = false;
            if (target > 0) {
                bool moved = true;
                while (moved && it.steps() > target)
                    moved = it.previous();
                target = 0;
                if (!moved)
                    break;
            } else if (it.steps() > 0 && !it.previous()) {
                break;
            }
            // At the first frame there is nothing before it: it is fitted again.
        } else if (!it.next()) {
            break;
        }
        ++report.iterations;

        KvMp3FrameContext &ctx = it.context();
        KvMP3GainChangeInfo &e = *ctx.editRecord;
        KvMP3GainChangeInfo &n = *ctx.nextEditRecord;
        const qint64 step = it.steps();

        if (startAtMax)
            e.setBitrateIndex(kTopBitrate);
        if (first) {
            // The stream starts with an empty reservoir.
            e.flags |= KvMp3EditFlag::ReservoirRestart;
            e.mainDataBegin = 0;
            first = false;
        } else if (startAtMax && step == checkpoint) {
            if (!remembered.edit) {
                remembered.edit = &e;
                remembered.restart = uint8_t(e.flags & KvMp3EditFlag::ReservoirRestart);
                remembered.begin = e.mainDataBegin;
            }
            e.flags |= KvMp3EditFlag::ReservoirRestart;
            e.mainDataBegin = 0;
        }
        if (n.flags & KvMp3EditFlag::ReservoirRestart)
            n.mainDataBegin = 0;

        // Fit.
        KvMp3FrameLayout l;
        int p = 0;
        for (int attempt = 0; attempt < kFitAttempts; ++attempt) {
            KvMp3UpdateLayout(ctx, &l);
            p = l.fill;
            const int f = l.lead;
            const int m = e.mainDataBegin;
            const int mNext = n.mainDataBegin;
            const int payload = payloadOf(ctx);
            if (p < 0 && outputIndex(ctx) < kTopBitrate) {
                raiseBitrate(ctx);
                continue;
            }
            if (p >= 0 && (p == 0 || (f >= 0 && m <= payload)))
                break;
            if (f < 0 && p > 0) {
                if (p > limit - mNext) {
                    e.mainDataBegin = 0;
                    stepBack = true;
                    break;
                }
                n.mainDataBegin = int16_t(mNext + p);
                continue;
            }
            if (p < 0 && p >= -mNext) {
                n.mainDataBegin = int16_t(mNext + p);
                continue;
            }
            if (m > payload && p > 0) {
                e.mainDataBegin = 0;
                stepBack = true;
            }
            break;
        }

        if (p >= 0) {
            if (startAtMax && step == checkpoint)
                result = int(checkpoint);
            continue;
        }
        if (startAtMax && step >= checkpoint && remembered.edit) {
            // No empty start here after all: try the next frame.
            remembered.giveBack();
            result = 0;
            target = checkpoint;
            ++checkpoint;
            stepBack = true;
            continue;
        }
        // The frame cannot be served: silenced, its payload dropped.
        e.setBitrateIndex(ctx.sourceRecord->bitrateIndex());
        if (!(e.flags & KvMp3EditFlag::Dropped)) {
            stepBack = true;
            ++report.dropped;
        }
        e.flags |= KvMp3EditFlag::Silenced | KvMp3EditFlag::Dropped;
        KvMp3UpdateLayout(ctx, &l);
        while (outputIndex(ctx) < kTopBitrate && l.fill < 0) {
            raiseBitrate(ctx);
            KvMp3UpdateLayout(ctx, &l);
        }
        if (l.fill < 0 && l.fill >= -n.mainDataBegin) {
            n.mainDataBegin = int16_t(n.mainDataBegin + l.fill);
            KvMp3UpdateLayout(ctx, &l);
        }
    }
    if (startAtMax)
        remembered.giveBack();

    report.repaired = makeSound(document, limit, total, report.dropped);
    t_lastReport = report;
    return result;
}
