// The rebuilder part of the repack state. Every frame that is not pre-roll
// waits in an output slot; its payload (zeros when silenced) and then the fill
// up to the next frame's payload go into the FIFO, which so holds the output
// main-data stream in order. A waiting frame is written as soon as the FIFO
// holds its whole main-data area. Where the plan keeps each fill inside its
// own frame this puts lead F, fill P and tail N where the layout says; it also
// stays right where a payload ends inside an earlier frame's area and its fill
// runs on from there.
//
// The fill of a sound frame starts with the bytes that lay between its payload
// and the next one in its source (0x55 beyond them), so that frames laid out
// as in their source come out byte for byte as they were there.
#include "KvMp3ReservoirRepacker.h"

#include "KvMp3Crc16.h"
#include "KvMp3FrameLayout.h"
#include "KvMp3FrameStep.h"
#include "KvMp3GainPatch.h"
#include "KvMp3Records.h"

#include <algorithm>
#include <cstring>

// The layout of a waiting frame. Its area is sized from the header it is
// written with, so the frame always has the length its header announces.
KvMp3FrameLayout KvMp3ReservoirRepacker::slotLayout(KvMP3FrameRepackData &slot)
{
    KvMp3FrameContext &ctx = slot.context;
    const KvMP3GainFrameInfo &src = *ctx.sourceRecord;
    KvMP3GainChangeInfo &edit = *ctx.editRecord;
    KvMp3LayoutInput in;
    in.sourceBegin = src.mainDataBegin;
    in.sourceCapacity = src.capacity;
    in.sourceNextBegin = ctx.silentSource ? 0 : (&src)[1].mainDataBegin;
    in.payload = (edit.flags & KvMp3EditFlag::Dropped) ? 0 : src.payloadLength;
    in.begin = edit.mainDataBegin;
    in.nextBegin = ctx.nextEditRecord->mainDataBegin;
    const KvMp3FrameHeader &h = slot.header;
    in.capacity = KvMp3OutputCapacity(h.version, h.sampling_frequency, h.mode, KvMp3OutputBitrateIndex(edit, src),
                                      h.padding != 0, h.error_protection != 0);
    const KvMp3FrameLayout l = KvMp3LayoutFrame(in);
    edit.capacity = int16_t(l.capacity);
    ctx.gap = l.gap;
    ctx.fill = l.fill;
    ctx.lead = l.lead;
    ctx.tail = l.tail;
    return l;
}

namespace {

bool writtenSilent(const KvMP3FrameRepackData &slot)
{
    const uint8_t flags = slot.context.editRecord->flags;
    return (flags & (KvMp3EditFlag::Silenced | KvMp3EditFlag::Dropped)) != 0 || slot.payloadLost;
}

} // namespace

int KvMp3ReservoirRepacker::pendingFrames() const
{
    const int n = (slotWrite - slotRead) & kSlotMask;
    return n == 0 && outputSlots[slotRead].inUse() ? kSlotCount : n;
}

int KvMp3ReservoirRepacker::skipPushed(int n)
{
    const int skip = int(std::min<int64_t>(n, skipBytes));
    skipBytes -= skip;
    return skip;
}

void KvMp3ReservoirRepacker::pushPayload(int64_t from, int n)
{
    fillFrom = n >= 0 ? from + n : -1;
    const int skip = skipPushed(std::max(0, n));
    from += skip;
    n -= skip;
    if (n <= 0)
        return;
    // A consistent plan keeps the FIFO far below its size; should it not, the
    // oldest bytes give way rather than the ring being overrun.
    const int room = kRingMask - fifoFill();
    if (n > room)
        fifoReadBits += int64_t(n - room) * 8;
    // Both rings have the same size: copy in the pieces where either wraps.
    int done = 0;
    while (done < n) {
        const int src = int((from + done) & kRingMask);
        const int dst = int((fifoWrite + done) & kRingMask);
        const int piece = std::min({n - done, kRingSize - src, kRingSize - dst});
        std::memcpy(fifo + dst, ring + src, size_t(piece));
        done += piece;
    }
    fifoWrite += n;
}

void KvMp3ReservoirRepacker::pushBytes(uint8_t value, int n)
{
    fillFrom = -1;
    n -= skipPushed(std::max(0, n));
    if (n <= 0)
        return;
    const int room = kRingMask - fifoFill();
    if (n > room)
        fifoReadBits += int64_t(n - room) * 8;
    // One value throughout: a run longer than the ring fills all of it.
    const int span = std::min(n, int(kRingSize));
    const int at = int(fifoWrite & kRingMask);
    const int first = std::min(span, kRingSize - at);
    std::memset(fifo + at, value, size_t(first));
    std::memset(fifo, value, size_t(span - first));
    fifoWrite += n;
}

void KvMp3ReservoirRepacker::pushFill(KvMP3FrameRepackData &slot)
{
    const KvMp3FrameLayout l = slotLayout(slot);
    const KvMP3GainChangeInfo &edit = *slot.context.editRecord;
    const KvMP3GainFrameInfo &src = *slot.context.sourceRecord;
    const int payload = (edit.flags & KvMp3EditFlag::Dropped) ? 0 : src.payloadLength;
    // From the end of this payload to the start of the next one. Negative only
    // when the plan overlaps two payloads; the next payload then follows at once.
    const int fill = l.capacity - slot.context.nextEditRecord->mainDataBegin + edit.mainDataBegin - payload;
    if (fill <= 0)
        return;
    const bool silent = writtenSilent(slot);
    int copied = 0;
    if (!silent && fillFrom >= 0) {
        // The source's own bytes between this payload and the next one.
        copied = std::min({fill, l.gap, int((ringWrite - fillFrom) & kRingMask)});
        pushPayload(fillFrom, copied);
    }
    pushBytes(silent ? 0x00 : 0x55, fill - copied);
}

int KvMp3ReservoirRepacker::writeFromFifo(KvBitWriter &writer, int n)
{
    if (n <= 0)
        return 0;
    const int take = std::min(n, fifoFill());
    if (take > 0) {
        const int at = int((fifoReadBits >> 3) & kRingMask);
        const int first = std::min(take, kRingSize - at);
        writer.writeBytes(fifo + at, size_t(first));
        writer.writeBytes(fifo, size_t(take - first));
        fifoReadBits += int64_t(take) * 8;
    }
    if (take == n || !endOfStream)
        return take;
    // At the end of the stream missing payload bytes are zeros.
    for (int i = take; i < n; ++i)
        writer.writeByte(0);
    return n;
}

void KvMp3ReservoirRepacker::writeHeaderAndSideInfo(KvBitWriter &writer, KvMP3FrameRepackData &slot) const
{
    const KvMP3GainFrameInfo &src = *slot.context.sourceRecord;
    const KvMP3GainChangeInfo &edit = *slot.context.editRecord;

    KvMp3FrameHeader h = slot.header;
    h.bitrate_index = KvMp3OutputBitrateIndex(edit, src);
    const bool protect = h.error_protection != 0;
    KvMp3Crc16 crc;
    crc.reset();
    KvMp3WriteHeader(writer, h, protect ? &crc : nullptr);

    KvMp3SideInfo si = writtenSilent(slot) ? zeroSideInfo : slot.sideInfo;
    si.main_data_begin = edit.mainDataBegin;
    const bool noAudio = (src.flags & KvMp3FrameFlag::NoAudio) != 0;
    const int nch = KvMp3ChannelCount(h.mode);
    const int ngr = KvMp3GranuleCount(h.version);
    for (int gr = 0; gr < ngr; ++gr) {
        for (int ch = 0; ch < nch; ++ch) {
            int32_t &g = si.ch[ch].gr[gr].global_gain;
            g = KvMp3EditedGlobalGain(g + kKvMp3GainBias, edit.gain[ch], noAudio) - kKvMp3GainBias;
        }
    }
    if (protect) {
        KvMp3SideInfoCrc(crc, h, si);
        writer.write(crc.value(), 16);
    }
    KvMp3WriteSideInfo(writer, h, si);
}

int KvMp3ReservoirRepacker::emitFrame(KvBitWriter *writer, bool &emitted)
{
    emitted = false;
    if (!writer) {
        emitted = true;
        return KvMp3StepOk;
    }
    KvMP3FrameRepackData &slot = outputSlots[slotRead];
    if (!slot.inUse())
        return KvMp3StepNeedMore;

    const KvMp3FrameLayout l = slotLayout(slot);
    if (!slot.headerWritten) {
        if (forceJointStereo && slot.header.mode == 0 && slot.header.mode_extension == 0)
            slot.header.mode = 1;
        writeHeaderAndSideInfo(*writer, slot);
        slot.headerWritten = 1;
    }

    // Main data: the next bytes of the stream of payloads and fills.
    int c = int(slot.written);
    if (c < l.capacity)
        c += writeFromFifo(*writer, l.capacity - c);
    slot.written = uint32_t(c);

    if (c < l.capacity)
        return KvMp3StepNeedMore;
    slot.clear();
    slotRead = (slotRead + 1) & kSlotMask;
    emitted = true;
    return fifoFill() > 0 ? KvMp3StepFifoPending : KvMp3StepOk;
}

bool KvMp3ReservoirRepacker::flush(KvBitWriter &writer)
{
    // Any waiting frame is completed, whether or not its header went out yet.
    if (!outputSlots[slotRead].inUse())
        return false;
    endOfStream = 1;
    bool emitted = false;
    emitFrame(&writer, emitted);
    return emitted;
}

bool KvMp3ReservoirRepacker::completeOldest(KvBitWriter &writer)
{
    const uint8_t atEnd = endOfStream;
    endOfStream = 1;
    bool emitted = false;
    emitFrame(&writer, emitted);
    endOfStream = atEnd;
    return emitted;
}
