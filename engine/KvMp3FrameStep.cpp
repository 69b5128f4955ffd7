#include "KvMp3FrameStep.h"

#include "KvMP3FrameSizeInfo.h"
#include "KvMp3Crc16.h"
#include "KvMp3Records.h"
#include "KvMp3ReservoirRepacker.h"

namespace {

// The header a frame of a silent source would have: bitrate index 1 of its format.
KvMp3FrameHeader silentHeader(const KvMP3FrameSizeInfo &format)
{
    KvMp3FrameHeader h{};
    h.version = format.versionCode();
    h.layer = 3;
    h.sampling_frequency = format.rateCode();
    h.mode = format.modeCode();
    h.bitrate_index = 1;
    return h;
}

} // namespace

int KvMp3FrameStep(KvMp3InputBuffer &in, KvMp3ReservoirRepacker &st, KvBitWriter *writer,
                   KvMp3FrameContext &ctx, KvMP3FrameSizeInfo *format)
{
    if (writer)
        return KvMp3StepUnreadable;

    KvMP3GainFrameInfo scratch{};
    KvMP3GainFrameInfo *rec = ctx.sourceRecord ? ctx.sourceRecord : &scratch;
    const bool silent = ctx.silentSource != 0;

    const int64_t left = in.length - in.used;
    const uint8_t *base = in.data ? in.data + in.used : nullptr;
    const size_t avail = (base && left > 0) ? size_t(left) : 0;
    st.input = KvBitReader(base, avail);

    KvMp3FrameHeader h{};
    size_t start = 0;
    if (silent) {
        if (!format)
            return KvMp3StepUnreadable;
        h = silentHeader(*format);
    } else if (KvMp3DecodeHeader(base, avail, h, &start) != KvMp3SyntaxOk) {
        return KvMp3StepUnreadable;
    }

    if (st.firstFrame && format)
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

    KvMp3SideInfo si{};
    if (!silent) {
        if (h.error_protection)
            cur.setCrc(&crc);
        const int r = KvMp3ReadSideInfo(cur, h, si);
        cur.setCrc(nullptr);
        if (cur.overrun())
            return KvMp3StepFrameTooLong;
        if (r != KvMp3SyntaxOk)
            return KvMp3StepUnreadable;
    }

    const int nch = st.channels;
    const int ngr = KvMp3GranuleCount(h.version);
    int gain[2] = {0, 0};
    bool noAudio = true;
    for (int c = 0; c < nch; ++c) {
        for (int gr = 0; gr < ngr; ++gr) {
            const KvMp3GranuleInfo &g = si.ch[c].gr[gr];
            const int coded = g.global_gain + kKvMp3GainBias;
            if (coded > gain[c])
                gain[c] = coded;
            if (g.part2_3_length != 0)
                noAudio = false;
        }
    }
    // A mono frame shows its one channel in both entries, so that its level
    // (the mean of both) reads like a stereo frame of the same loudness.
    if (nch == 1)
        gain[1] = gain[0];

    const bool crcMismatch = !silent && h.error_protection && in.crcCheck && crc.value() != sentCrc;

    const int capacity = KvMp3MainDataCapacity(h);
    const int frameLength = KvMp3FrameLength(h.version, h.bitrate_index, h.sampling_frequency, h.padding);
    st.predictedFrameLength = frameLength;
    if (!silent) {
        if (start + size_t(frameLength) > avail)
            return KvMp3StepFrameTooLong;
        const size_t mainStart = start + (h.error_protection ? 6 : 4) + size_t(KvMp3SideInfoSize(h.version, h.mode));
        st.appendMainData(base + mainStart, capacity);
    }
    rec->ringFill = int16_t(st.ringFill());

    // Where this frame's payload starts relative to where the previous one ended.
    st.ringReadBits = (st.ringReadBits + 7) & ~int64_t(7);
    const int64_t mainDataEnd = st.ringReadBits >> 3;
    const int64_t discard = st.frameStart - si.main_data_begin - mainDataEnd;
    if (mainDataEnd > KvMp3ReservoirRepacker::kRingSize) {
        st.frameStart -= KvMp3ReservoirRepacker::kRingSize;
        st.ringReadBits -= int64_t(KvMp3ReservoirRepacker::kRingSize) * 8;
    }
    if (!silent)
        st.frameStart += capacity;

    rec->flags = uint8_t((h.bitrate_index & 0x0F) << 4);
    if (h.padding)
        rec->flags |= KvMp3FrameFlag::Padding;
    if (h.error_protection)
        rec->flags |= KvMp3FrameFlag::Crc;
    rec->mainDataBegin = uint16_t(si.main_data_begin);
    rec->capacity = int16_t(capacity);
    rec->stereoFlags = h.mode == 1 ? KvMp3StereoFlag::JointStereo : 0;
    rec->gain[0] = int16_t(gain[0]);
    rec->gain[1] = int16_t(gain[1]);

    const bool broken = discard < 0 || crcMismatch;
    if (broken) {
        if (crcMismatch) {
            rec->flags |= KvMp3FrameFlag::Broken;
        } else if (st.firstFrame) {
            // The reservoir it points into lies before the start of the scan.
            if (si.main_data_begin > 0) {
                rec->flags |= KvMp3FrameFlag::Broken;
                rec->mainDataBegin = 0;
            }
        } else {
            // Its payload overlaps the previous frame's: neither can be trusted.
            rec->flags |= KvMp3FrameFlag::Broken;
            rec->payloadLength = 0;
            if (rec != &scratch) {
                KvMP3GainFrameInfo *prev = rec - 1;
                prev->flags |= KvMp3FrameFlag::Broken;
                prev->payloadLength = 0;
            }
        }
    } else {
        st.ringReadBits += discard * 8;   // ancillary bytes between the payloads
    }

    if (noAudio)
        rec->flags |= KvMp3FrameFlag::NoAudio;

    const int64_t payloadStart = st.ringReadBits;
    if (!broken) {
        for (int gr = 0; gr < ngr; ++gr)
            for (int c = 0; c < nch; ++c)
                st.ringReadBits += si.ch[c].gr[gr].part2_3_length;
    }

    // Whatever follows the frame in the buffer is its ancillary data.
    const size_t consumed = silent ? 0 : avail;
    if (!silent)
        cur.skip(uint64_t(avail - start) * 8 - cur.position());

    rec->payloadLength = uint16_t((st.ringReadBits - payloadStart + 7) / 8);

    st.firstFrame = false;
    in.used += int64_t(consumed);
    in.totalBits += uint64_t(consumed) * 8;
    in.version = int16_t(h.version);
    in.sampleRate = KvMp3SampleRateHz(h.version, h.sampling_frequency);
    in.bitrate = KvMp3BitrateKbps(h.version, h.bitrate_index);

    if (format)
        format->countFrame(h);

    return in.used > in.length ? KvMp3StepNeedMore : KvMp3StepOk;
}
