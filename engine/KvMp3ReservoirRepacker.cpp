#include "KvMp3ReservoirRepacker.h"

#include <cstring>

KvMp3InputBuffer::KvMp3InputBuffer(int64_t capacity) : maxLength(capacity)
{
    if (capacity > 0) {
        storage.resize(size_t(capacity));
        data = storage.data();
    }
}

void KvMP3FrameRepackData::clear()
{
    context.clear();
    written = 0;
    sideInfo = KvMp3SideInfo{};
    headerWritten = 0;
    payloadLost = 0;
}

void KvMp3ReservoirRepacker::reset()
{
    predictedFrameLength = 0;
    frameStart = 0;
    ringWrite = 0;
    ringReadBits = 0;
    fifoWrite = 0;
    fifoReadBits = 0;
    endOfStream = 0;
    refilled = 0;
    fillFrom = -1;
    skipBytes = 0;
    input = KvBitReader();
    firstFrame = true;
}

void KvMp3ReservoirRepacker::appendMainData(const uint8_t *p, int n)
{
    // A frame never carries more than the ring holds; keep only the newest bytes if it did.
    if (n > kRingSize) {
        p += n - kRingSize;
        ringWrite += n - kRingSize;
        n = kRingSize;
    }
    const int at = int(ringWrite & kRingMask);
    const int first = n < kRingSize - at ? n : kRingSize - at;
    std::memcpy(ring + at, p, size_t(first));
    std::memcpy(ring, p + first, size_t(n - first));
    ringWrite += n;
}
