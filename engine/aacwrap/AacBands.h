#pragma once
// Scalefactor band layout of 1024-sample AAC frames.
#include <cstdint>

namespace kvaac {

struct BandLayout {
    int numSwb;
    const uint16_t *offsets; // numSwb + 1 entries, the last is the window length
};

// Long (1024) and short (128) window layouts for a table sampling index 0..11.
BandLayout longBands(int tableIndex);
BandLayout shortBands(int tableIndex);

// Highest band + 1 that may use prediction in AAC Main.
int predictionSfbMax(int tableIndex);

// The sampling-frequency table: rate of index 0..12, 0 for 13..15.
int samplingRate(int index);
// Index whose rate is exactly `rate`, or 15.
int samplingIndexOf(int rate);
// Index whose band tables serve `rate` (nearest by the standard's ranges), 0..11.
int tableIndexForRate(int rate);

} // namespace kvaac
