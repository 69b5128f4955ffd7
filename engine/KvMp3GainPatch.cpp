#include "KvMp3GainPatch.h"

#include "KvMp3Crc16.h"
#include "KvMp3Records.h"
#include "KvMp3Syntax.h"

bool KvMp3HasGainEdit(const KvMP3GainChangeInfo &edit)
{
    return edit.gain[0] != 0 || edit.gain[1] != 0;
}

void KvMp3PatchFrameGains(uint8_t *frame, const KvMP3GainChangeInfo &edit, const KvMP3GainFrameInfo &source)
{
    const int versionBits = (frame[1] >> 3) & 3;
    const int version = versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2;
    const int mode = frame[3] >> 6;
    const bool crc = (frame[1] & 1) == 0;
    uint8_t *side = frame + (crc ? 6 : 4);
    const bool noAudio = (source.flags & KvMp3FrameFlag::NoAudio) != 0;
    for (int gr = 0; gr < KvMp3GranuleCount(version); ++gr) {
        for (int ch = 0; ch < KvMp3ChannelCount(mode); ++ch) {
            // Eight bits at any bit offset: always within two bytes.
            const int bit = KvMp3GlobalGainBit(version, mode, gr, ch);
            uint8_t *p = side + bit / 8;
            const int shift = 8 - bit % 8;
            const uint32_t word = (uint32_t(p[0]) << 8) | p[1];
            const int coded = int((word >> shift) & 0xFF);
            const uint32_t edited = uint32_t(KvMp3EditedGlobalGain(coded, edit.gain[ch], noAudio));
            const uint32_t patched = (word & ~(0xFFu << shift)) | (edited << shift);
            p[0] = uint8_t(patched >> 8);
            p[1] = uint8_t(patched);
        }
    }
    if (crc) {
        KvMp3Crc16 sum;
        sum.addBytes(frame + 2, 2);
        sum.addBytes(side, size_t(KvMp3SideInfoSize(version, mode)));
        frame[4] = uint8_t(sum.value() >> 8);
        frame[5] = uint8_t(sum.value());
    }
}
