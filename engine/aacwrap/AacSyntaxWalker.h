#pragma once
// Walks the syntax of one raw AAC frame (raw_data_block) without decoding audio: finds
// the global_gain field of every channel stream, the range of its scalefactors and noise
// energies, and where the frame's syntax ends.
#include "AacConfig.h"

#include <cstddef>
#include <cstdint>

namespace kvaac {

enum class WalkDepth {
    FirstGain, // stop at the first channel stream's global_gain
    Gains,     // stop after the scalefactors of the last channel stream the configuration has
    Full,      // walk to the END element
};

enum WalkError {
    WalkOk = 0,
    WalkOverrun = -1,     // the syntax runs past the frame's bytes
    WalkInvalid = -2,     // a reserved or out-of-range value
    WalkUnsupported = -3, // valid syntax this walker does not handle (CCE, gain control, ...)
    WalkTooMany = -4,     // more channel streams than kMaxStreams
};

struct ChannelStreamGain {
    uint32_t gainBit = 0; // bit position of the 8-bit global_gain
    uint8_t gain = 0;
    bool hasSf = false;    // at least one scalefactor band
    int sfMin = 0, sfMax = 0;
    bool hasNoise = false; // at least one noise (PNS) band
    int noiseMin = 0, noiseMax = 0;
};

struct FrameWalk {
    static constexpr int kMaxStreams = 64;
    int streams = 0;
    ChannelStreamGain stream[kMaxStreams];
    bool complete = false; // the END element was reached
    size_t endBit = 0;     // bit position just after END (when complete)
};

// Object types 1 (Main), 2 (LC) and 4 (LTP), 1024-sample frames.
bool walkerSupports(const AacConfig &cfg);

int walkRawFrame(const uint8_t *data, size_t size, const AacConfig &cfg, WalkDepth depth,
                 FrameWalk *out);

} // namespace kvaac
