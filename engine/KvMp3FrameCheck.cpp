#include "KvMp3FrameCheck.h"

#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameStep.h"
#include "KvMp3Records.h"

namespace {

// What every header of a source shares, in header bits.
struct SourceBits {
    uint8_t second = 0;   // the sync's last bits, version, Layer III; the CRC bit is the record's
    int rate = 0;
    bool mono = false;
    bool usable = false;

    explicit SourceBits(const KvMP3FrameSizeInfo &format)
    {
        const int version = format.versionCode();
        rate = format.rateCode();
        mono = format.channelCount() == 1;
        usable = version >= 0 && version <= 2 && rate >= 0 && rate <= 2;
        second = uint8_t(0xE2 | (version == 0 ? 3 : version == 1 ? 2 : 0) << 3);
    }
};

// The usual case straight from the bits: the sync word with the source's
// version, Layer III and the record's CRC bit; the record's bitrate index and
// padding with the source's sampling frequency; a channel mode of the
// record's kind (joint stereo or not) and the source's channel count.
inline bool headerBitsMatch(const uint8_t *p, const KvMP3GainFrameInfo &rec, const SourceBits &source)
{
    const int bitrate = rec.bitrateIndex();
    const int mode = p[3] >> 6;
    return source.usable && p[0] == 0xFF && p[1] == (source.second | ((rec.flags & KvMp3FrameFlag::Crc) ? 0 : 1)) &&
           bitrate >= 1 && bitrate <= 14 &&
           (p[2] & 0xFE) == (bitrate << 4 | source.rate << 2 | ((rec.flags & KvMp3FrameFlag::Padding) ? 2 : 0)) &&
           (mode == 1) == ((rec.stereoFlags & KvMp3StereoFlag::JointStereo) != 0) && (mode == 3) == source.mono;
}

} // namespace

qint64 KvMp3FirstChangedFrame(const char *bytes, qint64 length, qint64 at, const KvMP3GainFrameInfo *table,
                              qint64 first, qint64 end, const KvMP3FrameSizeInfo &format)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(bytes);
    const SourceBits source(format);
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
        const uint8_t *q = p + (offset - at);
        // The scan recorded a frame outside the format as a silent frame of it.
        if (avail < 4 || !(headerBitsMatch(q, table[j], source) || ((table[j].flags & KvMp3FrameFlag::Broken) &&
                                                                    KvMp3OutsideFormat(q, size_t(avail), format))))
            return j;
    }
    return -1;
}
