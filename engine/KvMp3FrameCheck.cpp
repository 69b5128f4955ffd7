#include "KvMp3FrameCheck.h"

#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameStep.h"
#include "KvMp3Records.h"
#include "KvMp3Syntax.h"

bool KvMp3FrameMatchesRecord(const uint8_t *p, qint64 avail, const KvMP3GainFrameInfo &rec,
                             const KvMP3FrameSizeInfo &format)
{
    if (avail < 4)
        return false;
    KvMp3FrameHeader h{};
    const bool header = p[0] == 0xFF && KvMp3DecodeHeader(p, 4, h, nullptr) == KvMp3SyntaxOk;
    if (header && h.layer == 3 && h.version == format.versionCode() && h.sampling_frequency == format.rateCode() &&
        KvMp3ChannelCount(h.mode) == format.channelCount() && h.bitrate_index == rec.bitrateIndex() &&
        h.padding == ((rec.flags & KvMp3FrameFlag::Padding) ? 1 : 0) &&
        h.error_protection == ((rec.flags & KvMp3FrameFlag::Crc) ? 1 : 0) &&
        (h.mode == 1) == ((rec.stereoFlags & KvMp3StereoFlag::JointStereo) != 0))
        return true;
    // The scan recorded a frame outside the format as a silent frame of it.
    return (rec.flags & KvMp3FrameFlag::Broken) && KvMp3OutsideFormat(p, size_t(avail), format);
}

qint64 KvMp3FirstChangedFrame(const char *bytes, qint64 length, qint64 at, const KvMP3GainFrameInfo *table,
                              qint64 first, qint64 end, const KvMP3FrameSizeInfo &format)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(bytes);
    for (qint64 j = first; j < end; ++j) {
        const qint64 offset = qint64(table[j].offset);
        if (offset < at)
            continue;
        if (offset + 4 > at + length)
            break;
        // Up to the next frame: a foreign frame is judged on its own bytes.
        qint64 avail = at + length - offset;
        const qint64 next = qint64(table[j + 1].offset);
        if (next > offset)
            avail = qMin(avail, next - offset);
        if (!KvMp3FrameMatchesRecord(p + (offset - at), avail, table[j], format))
            return j;
    }
    return -1;
}
