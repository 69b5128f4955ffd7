#include "KvMp3FrameStep.h"

#include "KvMP3FrameSizeInfo.h"
#include "KvMp3Crc16.h"
#include "KvMp3Records.h"
#include "KvMp3ReservoirRepacker.h"

#include <algorithm>

namespace {

// The header a frame of a silent source would have: bitrate index 1 of its
// format. The flag bits follow the format's first frame, so that silence
// between source frames does not look like a different stream to decoders
// that resynchronise on changed header bits.
KvMp3FrameHeader silentHeader(const KvMP3FrameSizeInfo &format)
{
    const KvMp3FrameHeader &like = format.firstHeader();
    KvMp3FrameHeader h{};
    h.version = format.versionCode();
    h.layer = 3;
    h.sampling_frequency = format.rateCode();
    h.mode = format.modeCode();
    h.bitrate_index = 1;
    h.copyright = like.copyright;
    h.original_copy = like.original_copy;
    h.emphasis = like.emphasis;
    return h;
}

// What parsing one frame found, besides its header and side information.
struct ParsedFrame {
    int capacity = 0;            // main-data bytes the frame carries
    int ringFill = 0;            // unread ring bytes right after its main data was appended
    int gain[2] = {0, 0};        // largest coded global_gain per channel
    bool noAudio = true;         // every part2_3_length is 0
    bool crcMismatch = false;
    bool broken = false;         // CRC mismatch, damaged, foreign, or its payload overlaps used bytes
    bool damaged = false;        // side information that cannot be true
    bool foreign = false;        // not a frame of the stream's format: stands as a silent one
    bool firstFrame = false;     // the first frame since the last reset
    int64_t payloadStartBits = 0;  // ring read position of its payload
    int64_t payloadBits = 0;       // bits of payload skipped (0 when broken)
    int64_t refilledBefore = 0;    // ring bytes appended since the reset, before this frame's
};

bool outsideFormat(int decoded, const KvMp3FrameHeader &h, const KvMP3FrameSizeInfo &format)
{
    return decoded != KvMp3SyntaxOk || h.layer != 3 || h.version != format.versionCode()
           || h.sampling_frequency != format.rateCode()
           || KvMp3ChannelCount(h.mode) != format.channelCount();
}

// Side information no encoder writes: more big values than a granule has lines.
bool plausibleSideInfo(const KvMp3FrameHeader &h, const KvMp3SideInfo &si)
{
    for (int c = 0; c < KvMp3ChannelCount(h.mode); ++c)
        for (int gr = 0; gr < KvMp3GranuleCount(h.version); ++gr)
            if (si.ch[c].gr[gr].big_values > 288)
                return false;
    return true;
}

// A frame outside the stream's format stands in the stream as a broken, silent
// frame of that format. Nothing of it reaches the main-data ring, and the
// reservoir before it cannot serve the frames after it: the ring is emptied.
int foreignFrame(KvMp3InputBuffer &in, KvMp3ReservoirRepacker &st, const KvMP3FrameSizeInfo &format,
                 KvMp3FrameHeader &h, KvMp3SideInfo &si, ParsedFrame &pf, size_t avail)
{
    h = silentHeader(format);
    si = KvMp3SideInfo{};
    pf.firstFrame = st.firstFrame;
    pf.foreign = true;
    pf.broken = true;
    pf.capacity = KvMp3MainDataCapacity(h);
    pf.refilledBefore = st.refilled;
    st.channels = KvMp3ChannelCount(h.mode);
    in.channels = int16_t(st.channels);
    st.predictedFrameLength = KvMp3FrameLength(h.version, h.bitrate_index, h.sampling_frequency, h.padding);
    st.ringReadBits = st.frameStart * 8;
    pf.ringFill = st.ringFill();
    pf.payloadStartBits = st.ringReadBits;
    st.input.skip(uint64_t(avail) * 8);
    st.firstFrame = false;
    in.used += int64_t(avail);
    in.totalBits += uint64_t(avail) * 8;
    return KvMp3StepOk;
}

// The steps scan and rebuild share: header, CRC, side information, main data
// into the ring, payload position against the ring. Writes no record and no
// format facts. In rebuild mode the first pre-roll frame of a fragment sets
// the ring's read position from its record, so that the ring holds as many
// unread bytes as it did at this frame during the scan.
int parseFrame(KvMp3InputBuffer &in, KvMp3ReservoirRepacker &st, const KvMp3FrameContext &ctx,
               KvMP3FrameSizeInfo *format, bool rebuild, KvMp3FrameHeader &h, KvMp3SideInfo &si,
               ParsedFrame &pf)
{
    const bool silent = ctx.silentSource != 0;

    const int64_t left = in.length - in.used;
    const uint8_t *base = in.data ? in.data + in.used : nullptr;
    const size_t avail = (base && left > 0) ? size_t(left) : 0;
    st.input = KvBitReader(base, avail);

    size_t start = 0;
    if (silent) {
        if (!format)
            return KvMp3StepUnreadable;
        h = silentHeader(*format);
    } else {
        const int decoded = KvMp3DecodeHeader(base, avail, h, &start);
        // The scan takes the format from its first frame; every later frame
        // (and every frame rebuilt) must share it. One that does not is damage
        // libmpg123 resynchronised on: kept in place as a broken frame.
        const bool formatKnown = format && (rebuild || !st.firstFrame);
        if (formatKnown && outsideFormat(decoded, h, *format))
            return foreignFrame(in, st, *format, h, si, pf, avail);
        if (decoded != KvMp3SyntaxOk)
            return KvMp3StepUnreadable;
    }
    pf.firstFrame = st.firstFrame;
    // The scan takes the source's format from its first frame.
    if (!rebuild && st.firstFrame && format)
        format->takeFirstFrame(h);

    st.channels = KvMp3ChannelCount(h.mode);
    in.channels = int16_t(st.channels);

    KvMp3Crc16 crc;
    uint32_t sentCrc = 0;
    KvBitReader &cur = st.input;
    if (!silent) {
        cur = KvBitReader(base + start, avail - start);
        cur.skip(32);
        if (h.error_protection) {
            crc.reset();
            crc.add(uint32_t(base[start + 2]) << 8 | base[start + 3], 16);
            sentCrc = cur.read(16);
        }
    }
    if (h.layer != 3)
        return KvMp3StepNotLayer3;

    si = KvMp3SideInfo{};
    if (!silent) {
        int r = KvMp3SyntaxOk;
        const size_t sideStart = start + (h.error_protection ? 6 : 4);
        const size_t side = size_t(KvMp3SideInfoSize(h.version, h.mode));
        if (!rebuild && sideStart + side <= avail) {
            // The scan records a few fields only: read at their places, the
            // CRC taken over the bytes.
            if (h.error_protection)
                crc.addBytes(base + sideStart, side);
            r = KvMp3ReadScanFields(base + sideStart, h, si);
            cur.skip(side * 8);
        } else {
            if (h.error_protection)
                cur.setCrc(&crc);
            r = KvMp3ReadSideInfo(cur, h, si);
            cur.setCrc(nullptr);
        }
        if (cur.overrun())
            return KvMp3StepFrameTooLong;
        // The first frame decides whether this is a Layer III stream at all.
        if (r != KvMp3SyntaxOk && st.firstFrame && !rebuild)
            return KvMp3StepUnreadable;
        pf.damaged = r != KvMp3SyntaxOk || !plausibleSideInfo(h, si);
    }

    const int nch = st.channels;
    const int ngr = KvMp3GranuleCount(h.version);
    for (int c = 0; c < nch; ++c) {
        for (int gr = 0; gr < ngr; ++gr) {
            const KvMp3GranuleInfo &g = si.ch[c].gr[gr];
            const int coded = g.global_gain + kKvMp3GainBias;
            if (coded > pf.gain[c])
                pf.gain[c] = coded;
            if (g.part2_3_length != 0)
                pf.noAudio = false;
        }
    }
    // A mono frame shows its one channel in both entries, so that its level
    // (the mean of both) reads like a stereo frame of the same loudness.
    if (nch == 1)
        pf.gain[1] = pf.gain[0];

    pf.crcMismatch = !silent && h.error_protection && in.crcCheck && crc.value() != sentCrc;

    const int frameLength = KvMp3FrameLength(h.version, h.bitrate_index, h.sampling_frequency, h.padding);
    // As KvMp3MainDataCapacity(h), from the length at hand.
    pf.capacity = std::max(0, frameLength - KvMp3SideInfoSize(h.version, h.mode) - (h.error_protection ? 6 : 4));
    st.predictedFrameLength = frameLength;
    pf.refilledBefore = st.refilled;
    if (!silent) {
        if (start + size_t(frameLength) > avail)
            return KvMp3StepFrameTooLong;
        const size_t mainStart = start + (h.error_protection ? 6 : 4) + size_t(KvMp3SideInfoSize(h.version, h.mode));
        // The scan follows positions in the ring only; its bytes are read when rebuilding.
        if (rebuild)
            st.appendMainData(base + mainStart, pf.capacity);
        else
            st.ringWrite += pf.capacity;
        st.refilled += pf.capacity;
    }
    if (rebuild && ctx.firstPreRoll && ctx.sourceRecord) {
        const int want = ctx.sourceRecord->ringFill;
        const bool short_ = st.ringFill() < want;
        st.ringReadBits = ((st.ringWrite - want) & KvMp3ReservoirRepacker::kRingMask) * 8;
        if (short_)
            st.frameStart += KvMp3ReservoirRepacker::kRingSize;
    }
    pf.ringFill = st.ringFill();

    // Where this frame's payload starts relative to where the previous one ended.
    st.ringReadBits = (st.ringReadBits + 7) & ~int64_t(7);
    const int64_t mainDataEnd = st.ringReadBits >> 3;
    const int64_t discard = st.frameStart - si.main_data_begin - mainDataEnd;
    if (mainDataEnd > KvMp3ReservoirRepacker::kRingSize) {
        st.frameStart -= KvMp3ReservoirRepacker::kRingSize;
        st.ringReadBits -= int64_t(KvMp3ReservoirRepacker::kRingSize) * 8;
    }
    if (!silent)
        st.frameStart += pf.capacity;

    int64_t payloadBits = 0;
    for (int gr = 0; gr < ngr; ++gr)
        for (int c = 0; c < nch; ++c)
            payloadBits += si.ch[c].gr[gr].part2_3_length;
    // A payload that runs past the end of its own frame's main data cannot exist.
    if (!silent && discard >= 0 && (st.ringReadBits + discard * 8 + payloadBits + 7) / 8 > st.frameStart)
        pf.damaged = true;

    pf.broken = discard < 0 || pf.crcMismatch || pf.damaged;
    if (!pf.broken)
        st.ringReadBits += discard * 8;   // ancillary bytes between the payloads

    pf.payloadStartBits = st.ringReadBits;
    if (!pf.broken)
        st.ringReadBits += payloadBits;
    pf.payloadBits = st.ringReadBits - pf.payloadStartBits;

    // Whatever follows the frame in the buffer is its ancillary data.
    const size_t consumed = silent ? 0 : avail;
    if (!silent)
        cur.skip(uint64_t(avail - start) * 8 - cur.position());

    st.firstFrame = false;
    in.used += int64_t(consumed);
    in.totalBits += uint64_t(consumed) * 8;
    in.version = int16_t(h.version);
    in.sampleRate = KvMp3SampleRateHz(h.version, h.sampling_frequency);
    in.bitrate = KvMp3BitrateKbps(h.version, h.bitrate_index);
    return in.used > in.length ? KvMp3StepNeedMore : KvMp3StepOk;
}

int scanStep(KvMp3InputBuffer &in, KvMp3ReservoirRepacker &st, KvMp3FrameContext &ctx, KvMP3FrameSizeInfo *format)
{
    KvMP3GainFrameInfo scratch{};
    KvMP3GainFrameInfo *rec = ctx.sourceRecord ? ctx.sourceRecord : &scratch;

    KvMp3FrameHeader h{};
    KvMp3SideInfo si;   // parseFrame clears it
    ParsedFrame pf;
    const int r = parseFrame(in, st, ctx, format, false, h, si, pf);
    if (r != KvMp3StepOk && r != KvMp3StepNeedMore)
        return r;

    rec->ringFill = int16_t(pf.ringFill);
    rec->flags = uint8_t((h.bitrate_index & 0x0F) << 4);
    if (h.padding)
        rec->flags |= KvMp3FrameFlag::Padding;
    if (h.error_protection)
        rec->flags |= KvMp3FrameFlag::Crc;
    rec->mainDataBegin = uint16_t(si.main_data_begin);
    rec->capacity = int16_t(pf.capacity);
    rec->stereoFlags = h.mode == 1 ? KvMp3StereoFlag::JointStereo : 0;
    rec->gain[0] = int16_t(pf.gain[0]);
    rec->gain[1] = int16_t(pf.gain[1]);

    if (pf.broken) {
        if (pf.crcMismatch || pf.damaged) {
            rec->flags |= KvMp3FrameFlag::Broken;
        } else if (pf.foreign) {
            rec->flags |= KvMp3FrameFlag::Broken;
            rec->mainDataBegin = 0;
        } else if (pf.firstFrame) {
            // The reservoir it points into lies before the start of the scan.
            if (si.main_data_begin > 0) {
                rec->flags |= KvMp3FrameFlag::Broken;
                rec->mainDataBegin = 0;
            }
        } else {
            // Its payload overlaps the previous frame's: neither can be trusted.
            rec->flags |= KvMp3FrameFlag::Broken;
            if (rec != &scratch) {
                KvMP3GainFrameInfo *prev = rec - 1;
                prev->flags |= KvMp3FrameFlag::Broken;
                prev->payloadLength = 0;
            }
        }
    }
    if (pf.noAudio)
        rec->flags |= KvMp3FrameFlag::NoAudio;
    rec->payloadLength = uint16_t((pf.payloadBits + 7) / 8);

    // A foreign frame says nothing about the stream's bitrates.
    if (format && !pf.foreign)
        format->countFrame(h);
    return r;
}

// Rebuild mode: the frame's header and side information wait in an output
// slot, its payload goes into the FIFO, and whatever output frame is complete
// is written.
int rebuildStep(KvMp3InputBuffer &in, KvMp3ReservoirRepacker &st, KvBitWriter &writer, KvMp3FrameContext &ctx,
                KvMP3FrameSizeInfo *format)
{
    const bool preRoll = ctx.preRoll != 0;
    if (!ctx.sourceRecord || (!preRoll && (!ctx.editRecord || !ctx.nextEditRecord)))
        return KvMp3StepUnreadable;

    // Pre-roll frames only refill the main-data ring: parsed into the scratch slot, never written.
    KvMP3FrameRepackData &parsed = st.scratchSlot;
    ParsedFrame pf;
    const int r = parseFrame(in, st, ctx, format, true, parsed.header, parsed.sideInfo, pf);
    if (r != KvMp3StepOk && r != KvMp3StepNeedMore)
        return r;
    if (preRoll) {
        bool emitted = false;
        const int e = st.emitFrame(&writer, emitted);
        return emitted ? e : KvMp3StepNeedMore;
    }

    // A full slot ring means the plan never lets its oldest frame complete; the
    // frame is finished with zero bytes so the ring cannot be overrun.
    bool forced = false;
    if (st.outputSlots[st.slotWrite].inUse())
        forced = st.completeOldest(writer);

    KvMP3FrameRepackData &slot = st.outputSlots[st.slotWrite];
    slot.clear();
    slot.context = ctx;
    if (!slot.context.format)
        slot.context.format = format;
    slot.header = parsed.header;
    slot.sideInfo = parsed.sideInfo;
    st.slotWrite = (st.slotWrite + 1) & KvMp3ReservoirRepacker::kSlotMask;

    const KvMP3GainFrameInfo &src = *ctx.sourceRecord;
    const uint8_t edit = ctx.editRecord->flags;
    const bool dropped = (edit & KvMp3EditFlag::Dropped) != 0;
    const bool silenced = (edit & KvMp3EditFlag::Silenced) != 0;
    const int payload = dropped ? 0 : src.payloadLength;
    // The payload is not there when the source frame is broken, or when it
    // starts before the bytes refilled since the fragment's start (pre-roll
    // too short): such a frame is written as silence.
    slot.payloadLost = !ctx.silentSource
                       && (pf.broken || (src.flags & KvMp3FrameFlag::Broken) != 0
                           || int64_t(parsed.sideInfo.main_data_begin) > pf.refilledBefore);
    if (!ctx.silentSource && !silenced && !dropped && !slot.payloadLost)
        st.pushPayload(pf.payloadStartBits >> 3, payload);
    else
        st.pushBytes(0, payload);
    st.pushFill(slot);

    if (forced)
        return st.fifoFill() > 0 ? KvMp3StepFifoPending : KvMp3StepOk;
    bool emitted = false;
    const int e = st.emitFrame(&writer, emitted);
    return emitted ? e : KvMp3StepNeedMore;
}

} // namespace

bool KvMp3OutsideFormat(const uint8_t *data, size_t avail, const KvMP3FrameSizeInfo &format)
{
    KvMp3FrameHeader h{};
    size_t start = 0;
    const int decoded = KvMp3DecodeHeader(data, avail, h, &start);
    return outsideFormat(decoded, h, format);
}

int KvMp3FrameStep(KvMp3InputBuffer &in, KvMp3ReservoirRepacker &st, KvBitWriter *writer,
                   KvMp3FrameContext &ctx, KvMP3FrameSizeInfo *format)
{
    return writer ? rebuildStep(in, st, *writer, ctx, format) : scanStep(in, st, ctx, format);
}
