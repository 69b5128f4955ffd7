#pragma once
// Edits of raw AAC frames: gain through the global_gain fields, and silent frames.
#include "AacConfig.h"
#include "AacSyntaxWalker.h"

#include <cstdint>
#include <vector>

namespace kvaac {

// The part of `delta` that keeps every scalefactor within 0..255, every noise energy within
// the decoder's range and every global_gain within 8 bits, the same for all channel streams
// of the frame so that the channel balance stays.
int clampGainDelta(const FrameWalk &walk, int delta);

// Adds delta (already clamped) to the global_gain of every channel stream walked.
void applyGainDelta(uint8_t *frame, const FrameWalk &walk, int delta);

// Walks the frame and adds as much of delta as the frame allows. Returns the delta applied,
// or a WalkError (negative, frame unchanged) when the frame could not be walked; a delta of
// 0 is also returned for frames that need no change.
struct GainResult {
    int error = WalkOk;
    int applied = 0;
};
GainResult changeFrameGain(uint8_t *frame, size_t size, const AacConfig &cfg, int delta);

// The smallest frame that decodes to silence in this configuration: one element per channel
// element of the channel configuration, each with max_sfb = 0. Empty when the configuration
// has no channel layout.
std::vector<uint8_t> silentFrame(const AacConfig &cfg);

} // namespace kvaac
