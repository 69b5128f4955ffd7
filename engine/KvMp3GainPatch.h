#pragma once
// Gain edits written straight into a source frame's bytes: a frame that keeps
// its layout changes only in its global_gain fields and, when it has one, its
// CRC word.
#include <cstdint>

struct KvMP3GainChangeInfo;
struct KvMP3GainFrameInfo;

// The coded global_gain (0-255) a frame is written with after a gain edit of
// delta steps. A frame without audio data has no gain to speak of: once its
// gain is edited it is written as 0, else as it was.
inline int KvMp3EditedGlobalGain(int coded, int64_t delta, bool noAudio)
{
    if (noAudio)
        return delta != 0 ? 0 : coded;
    const int64_t g = int64_t(coded) + delta;
    return int(g < 0 ? 0 : g > 255 ? 255 : g);
}

// Whether the edit record changes the frame's global_gain fields.
bool KvMp3HasGainEdit(const KvMP3GainChangeInfo &edit);

// Applies the edit's gains to the whole Layer III frame at `frame` (its
// header already checked) and recomputes its CRC word when it has one.
void KvMp3PatchFrameGains(uint8_t *frame, const KvMP3GainChangeInfo &edit, const KvMP3GainFrameInfo &source);
