#pragma once
#include <cstddef>
#include <cstdint>

// CRC-16 of MPEG audio frames: polynomial x^16 + x^15 + x^2 + 1, initial value
// 0xFFFF, bits taken most significant first. Covers the last 16 header bits and
// the side information of a protected Layer III frame.
class KvMp3Crc16 {
public:
    void reset() { m_crc = 0xFFFF; }
    // Feeds the low `bits` bits of value (at most 32), most significant first.
    void add(uint32_t value, int bits);
    // Feeds whole bytes, a byte at a time.
    void addBytes(const uint8_t *p, size_t n);
    uint16_t value() const { return uint16_t(m_crc); }

private:
    uint32_t m_crc = 0xFFFF;
};
