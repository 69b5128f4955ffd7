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

// The deltas clampGainDelta lets through unchanged: [lo, hi], which always holds 0.
struct GainRange {
    int lo, hi;
};
GainRange gainDeltaRange(const FrameWalk &walk);

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

// What gain changes need of each frame of a source, kept from the one walk of each frame
// when the source is indexed, so that writing never walks a frame again.
class FrameGainIndex {
public:
    // Appends the next frame, whose walk at depth Gains returned walkResult.
    void add(int walkResult, const FrameWalk &walk);
    // Appends every frame of another index.
    void append(const FrameGainIndex &other);
    void truncate(size_t frames);
    void reserve(size_t frames, size_t sites);
    void clear(); // keeps the memory
    size_t size() const { return m_frames.size(); }
    size_t siteCount() const { return m_sites.size(); }

    // changeFrameGain() of frame i, given the same bytes that were walked.
    GainResult change(size_t i, uint8_t *frame, size_t size, int delta) const;
    // Whether the frame's bytes still hold the global_gain values found when frame i was
    // walked (true for a frame that could not be walked: nothing is known of it).
    bool holdsWalkedGains(size_t i, const uint8_t *frame, size_t size) const;

private:
    struct Frame {
        int32_t lo, hi;     // the frame's GainRange
        uint32_t firstSite; // its first global_gain position in m_sites
        uint16_t sites;
        int16_t walkResult;
    };
    std::vector<Frame> m_frames;
    std::vector<uint32_t> m_sites; // bit positions of the global_gain fields
    std::vector<uint8_t> m_gains;  // the value found at each site
};

// The smallest frame that decodes to silence in this configuration: one element per channel
// element of the channel configuration, each with max_sfb = 0. Empty when the configuration
// has no channel layout.
std::vector<uint8_t> silentFrame(const AacConfig &cfg);

} // namespace kvaac
