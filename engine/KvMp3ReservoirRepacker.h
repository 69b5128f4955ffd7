#pragma once
// State of the frame step: the input descriptor and the repack state with its
// main-data ring. The same state serves the source scan and the rebuilder.
#include "KvBitStream.h"
#include "KvMp3FrameContext.h"
#include "KvMp3FrameLayout.h"
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
    uint8_t payloadLost = 0;     // its payload could not be read: written as a silenced frame

    bool inUse() const { return context.editRecord != nullptr; }
    void clear();
};

class KvMp3ReservoirRepacker {
public:
    static constexpr int kRingSize = 16384;
    static constexpr int kRingMask = kRingSize - 1;
    // Frames wait in the slot ring until the FIFO holds their whole main-data
    // area. With a consistent plan the oldest waiting frame r is incomplete only
    // while a later frame t's payload starts inside r's area, so M_t exceeds the
    // areas of the t-r-1 frames between them: (t-r-1) x Cmin < 256 (MPEG-2 limit
    // 255, smallest area 1 byte: 8 kbit/s, 24 kHz stereo with CRC). At most 258
    // frames wait; MPEG-1 (limit 511, area >= 58) at most 11.
    static constexpr int kSlotCount = 512;
    static constexpr int kSlotMask = kSlotCount - 1;

    KvMp3ReservoirRepacker() { reset(); }
    KvMp3ReservoirRepacker(const KvMp3ReservoirRepacker &) = delete;
    KvMp3ReservoirRepacker &operator=(const KvMp3ReservoirRepacker &) = delete;

    // Empties the rings and counters and sets the first-frame flag again; the
    // output slots survive.
    void reset();

    // Appends main-data bytes to the ring, wrapping at its end.
    void appendMainData(const uint8_t *p, int n);
    int64_t refilled = 0;        // main-data bytes appended since the last reset
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
    KvMP3FrameRepackData scratchSlot;   // pre-roll frames are parsed here and never written

    // Ring position right after the last payload pushed from the ring (-1
    // after bytes of one value): where the source's bytes after it begin.
    int64_t fillFrom = -1;
    // Bytes of the output main-data stream already written by frames copied
    // whole from their source: the next pushes drop that many first.
    int64_t skipBytes = 0;

    // FIFO bytes not yet written out.
    int fifoFill() const { return int((fifoWrite - (fifoReadBits >> 3)) & kRingMask); }
    // Frames parsed but not yet completely written.
    int pendingFrames() const;
    // Pushes n payload bytes from the main-data ring, starting at ring byte `from`.
    void pushPayload(int64_t from, int n);
    // Pushes n bytes of one value (the payload of a silenced frame, fill bytes).
    void pushBytes(uint8_t value, int n);
    // Pushes the fill that follows the slot's payload in the output stream.
    void pushFill(KvMP3FrameRepackData &slot);

    // Writes the waiting frame at the read index as far as the FIFO allows and
    // repeats while it makes progress, at most up to one completed frame.
    // Returns 0 (a frame was completed, the FIFO is empty), -11 (completed,
    // FIFO bytes remain) or -8 (no frame completed). Without a writer it only
    // reports a completed frame.
    int emitFrame(KvBitWriter *writer, bool &emitted);
    // End of the document: completes the oldest waiting frame, missing FIFO
    // bytes written as zeros. True when a frame was completed.
    bool flush(KvBitWriter &writer);
    // Completes the oldest waiting frame with zeros for missing bytes; true when one was.
    bool completeOldest(KvBitWriter &writer);
    // Header with the planned bitrate index, CRC when the source frame had
    // one, side information with the planned main_data_begin and the gains.
    void writeHeaderAndSideInfo(KvBitWriter &writer, KvMP3FrameRepackData &slot) const;

    // Recomputes the slot's layout: C into its edit record, G, P, F, N into its context.
    static KvMp3FrameLayout slotLayout(KvMP3FrameRepackData &slot);

private:
    int writeFromFifo(KvBitWriter &writer, int n);
    // Takes up to n bytes off skipBytes; returns how many.
    int skipPushed(int n);
};
