// The bit-reservoir planner of MP3 documents. It walks the document's edit
// records only (no frame data is read) and decides every frame's output
// bitrate index and main_data_begin; the rebuilder follows the plan.
//
// The output main-data stream holds, frame after frame, each payload followed
// by its fill up to the next payload: fill = C - M' + M - L. A plan is sound
// when every fill is at least 0, the first frame begins at 0, the last frame's
// successor begins at 0 and no main_data_begin exceeds the format's limit. The
// walk below looks for such a plan, stepping back where a seam forces an
// earlier frame to change; a closing forward pass makes sure the result is
// sound even where the walk gave up at its iteration bound.
#include "KvMP3RepackInfoPtrList.h"

#include "KvMP3FrameListIterator.h"
#include "KvMp3FrameContext.h"
#include "KvMp3FrameLayout.h"
#include "KvMp3Records.h"
#include "KvFrameSizeInfo.h"

#include <algorithm>

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
