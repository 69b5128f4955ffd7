#pragma once
// Fixed-layout per-frame records of AAC sources and fragments.
#include <cstdint>

#pragma pack(push, 1)

// One frame of an AAC source, as the wrapper library indexed it.
struct KvAACGainFrameInfo {
    uint16_t gain;     // the first channel's global_gain (0-255)
    uint16_t length;   // raw frame bytes, modulo 65536
};

// The edit record of one frame of an AAC fragment.
struct KvAACGainChangeInfo {
    int32_t gain;      // gain change in global_gain steps
    uint8_t silenced;  // 1: written as a silent frame
};

#pragma pack(pop)

static_assert(sizeof(KvAACGainFrameInfo) == 4, "AAC source frame record is 4 bytes");
static_assert(sizeof(KvAACGainChangeInfo) == 5, "AAC edit record is 5 bytes");
