#pragma once
// State of the frame step: the input descriptor and the repack state with its
// main-data ring. The same state serves the source scan and the rebuilder.
#include "KvBitStream.h"
#include "KvMp3FrameContext.h"
#include "KvMp3Syntax.h"

#include <cstdint>
#include <vector>

// The bytes the frame step parses: data[used, length) are still unread.
struct KvMp3InputBuffer {
    explicit KvMp3InputBuffer(int64_t capacity = 0);

    uint8_t *data = nullptr;     // input bytes (the own storage, or memory of the caller)
    int64_t length = 0;          // bytes held
    int64_t used = 0;            // bytes consumed
    int64_t maxLength = 0;       // 131072 for the scan, 32768 for the stream device

    int16_t channels = 0;        // of the last frame
    int16_t version = 0;
    int32_t sampleRate = 0;      // Hz
    int32_t bitrate = 0;         // kbps
    int32_t crcCheck = 1;        // a CRC mismatch marks the frame broken
    uint64_t totalBits = 0;

    std::vector<uint8_t> storage;
};

// One output slot of the rebuilder: a parsed frame waiting to be written.
struct KvMP3FrameRepackData {
    KvMp3FrameContext context;   // an edit record pointer marks the slot as used
    uint32_t written = 0;        // main-data bytes already written
    KvMp3FrameHeader header{};
    KvMp3SideInfo sideInfo{};
    uint8_t headerWritten = 0;

    bool inUse() const { return context.editRecord != nullptr; }
    void clear();
};

class KvMp3ReservoirRepacker {
public:
    static constexpr int kRingSize = 16384;
    static constexpr int kRingMask = kRingSize - 1;
    static constexpr int kSlotCount = 16;

    KvMp3ReservoirRepacker() { reset(); }
    KvMp3ReservoirRepacker(const KvMp3ReservoirRepacker &) = delete;
    KvMp3ReservoirRepacker &operator=(const KvMp3ReservoirRepacker &) = delete;

    // Empties the rings and counters and sets the first-frame flag again; the
    // output slots survive.
    void reset();

    // Appends main-data bytes to the ring, wrapping at its end.
    void appendMainData(const uint8_t *p, int n);
    // Unread bytes of the ring: write position minus read position (in whole bytes).
    int ringFill() const { return int((ringWrite - (ringReadBits >> 3)) & kRingMask); }

    // Parser part.
    int channels = 2;
    int predictedFrameLength = 0;
    int64_t frameStart = 0;      // main-data bytes appended before the current frame's
    uint8_t ring[kRingSize]{};
    int64_t ringWrite = 0;       // bytes, masked on use
    int64_t ringReadBits = 0;    // bits, byte index masked on use
    KvBitReader input;           // cursor over the current frame's bytes
    bool firstFrame = true;

    // Rebuilder part: payload FIFO, zero side information for silenced and
    // dropped frames, and the ring of output slots.
    uint8_t fifo[kRingSize]{};
    int64_t fifoWrite = 0;
    int64_t fifoReadBits = 0;
    KvMp3SideInfo zeroSideInfo{};
    uint8_t endOfStream = 0;
    uint8_t forceJointStereo = 0;
    KvMP3FrameRepackData outputSlots[kSlotCount];
    int slotRead = 0;
    int slotWrite = 0;
};
