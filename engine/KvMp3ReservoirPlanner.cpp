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
// raises its bitrate. An unedited stretch so comes out as it was.
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

// The frames of the document in order, each at its source layout. Fragments
// of another kind and empty ones are passed over, as the frame iterator does.
std::vector<PlanFrame> collectFrames(const KvRepackInfoPtrListPtr &document, int limit,
                                     std::deque<KvMP3GainChangeInfo> &standIns)
{
    std::vector<PlanFrame> frames;
    frames.reserve(size_t(std::max<qint64>(0, document->totalFrames())));
    for (const KvRepackInfoPtr &f : *document->list()) {
        KvMP3RepackInfo *mp3 = dynamic_cast<KvMP3RepackInfo *>(f.get());
        if (!mp3 || mp3->frameCount() <= 0)
            continue;
        const KvMP3FrameSizeInfo *format = mp3->sourceSizeInfo();
        const KvMP3GainFrameInfo *table = mp3->sourceFrameTable();
        KvMP3GainChangeInfo *edits = mp3->frameTable();
        const qint64 first = mp3->firstFrame();
        for (qint64 i = 0; i < mp3->frameCount(); ++i) {
            PlanFrame p;
            if (edits) {
                p.edit = edits + mp3->gainRecordBase() + i;
            } else {
                standIns.emplace_back();
                p.edit = &standIns.back();
            }
            if (format) {
                p.version = int8_t(format->versionCode());
                p.rate = int8_t(format->rateCode());
                p.mode = int8_t(format->modeCode());
            }
            if (table) {
                const KvMP3GainFrameInfo &src = table[first + i];
                const int own = src.bitrateIndex();
                p.sourceIndex = uint8_t(own >= 1 && own <= kTopBitrate ? own : 1);
                p.payload = src.payloadLength;
                p.padding = (src.flags & KvMp3FrameFlag::Padding) != 0;
                p.crc = (src.flags & KvMp3FrameFlag::Crc) != 0;
                p.restart = (src.flags & KvMp3FrameFlag::Broken) != 0;
                p.target = int16_t(p.restart ? 0 : std::min<int>(src.mainDataBegin, limit));
            }
            // Silence: frames of the lowest bitrate without payload, starting at 0.
            p.index = p.sourceIndex;
            frames.push_back(p);
        }
    }
    if (!frames.empty()) {
        frames.front().restart = true;
        frames.front().target = 0;
    }
    return frames;
}

class SourceLayoutPlan {
public:
    SourceLayoutPlan(std::vector<PlanFrame> &frames, int limit) : m_f(frames), m_limit(limit) {}

    // Plans every frame; returns the number of frames that had to be dropped.
    qint64 run()
    {
        qint64 dropped = 0;
        const size_t n = m_f.size();
        for (size_t k = 0; k < n; ++k) {
            PlanFrame &f = m_f[k];
            if (k == 0)
                f.begin = 0;
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
            if (room(k) < nextBegin(k) || begin < 0 || begin > m_limit || (k == 0 && begin != 0))
                ++bad;
        }
        return bad;
    }

private:
    // Bytes from the end of payload k to the end of frame k's area.
    int room(size_t k) const { return m_f[k].capacity() + m_f[k].begin - m_f[k].payload; }
    int nextTarget(size_t k) const { return k + 1 < m_f.size() ? m_f[k + 1].target : 0; }
    int nextBegin(size_t k) const { return k + 1 < m_f.size() ? m_f[k + 1].begin : 0; }
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
};

qint64 planFromSource(const KvRepackInfoPtrListPtr &document, int limit, qint64 &faults)
{
    std::deque<KvMP3GainChangeInfo> standIns;
    std::vector<PlanFrame> frames = collectFrames(document, limit, standIns);
    SourceLayoutPlan plan(frames, limit);
    const qint64 dropped = plan.run();
    faults = plan.faults();
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
        report.dropped = planFromSource(document, limit, faults);
        report.iterations = total;
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
