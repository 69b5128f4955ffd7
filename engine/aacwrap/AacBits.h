#pragma once
// Bit reader and writer for AAC syntax: MSB-first, as the bitstream is sent.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kvaac {

// Reads past the end as zero bits and remembers that it did (overrun()), so a walker
// over arbitrary bytes can check once per syntax element instead of per field.
class BitReader {
public:
    BitReader(const uint8_t *data, size_t size) : m_data(data), m_size(size), m_bits(size * 8) {}

    // Next n bits (0..32) without consuming them.
    uint32_t peek(int n) const
    {
        if (n == 0)
            return 0;
        const uint64_t w = load64(m_pos >> 3) << (m_pos & 7);
        return uint32_t(w >> (64 - n));
    }
    // At least the next 57 bits, first bit in the word's top bit.
    uint64_t window() const { return load64(m_pos >> 3) << (m_pos & 7); }
    static constexpr int kWindowBits = 57;

    uint32_t read(int n)
    {
        const uint32_t v = peek(n);
        m_pos += size_t(n);
        return v;
    }
    bool readBit() { return read(1) != 0; }
    void skip(size_t n) { m_pos += n; }
    void alignByte() { m_pos = (m_pos + 7) & ~size_t(7); }

    size_t pos() const { return m_pos; }
    size_t sizeBits() const { return m_bits; }
    bool overrun() const { return m_pos > m_bits; }
    size_t bitsLeft() const { return m_pos >= m_bits ? 0 : m_bits - m_pos; }

private:
    uint64_t load64(size_t byte) const
    {
        if (byte + 8 <= m_size) {
            uint64_t w;
            std::memcpy(&w, m_data + byte, 8);
            return __builtin_bswap64(w);
        }
        uint64_t w = 0;
        for (size_t i = 0; i < 8; ++i)
            w = (w << 8) | (byte + i < m_size ? m_data[byte + i] : 0u);
        return w;
    }

    const uint8_t *m_data;
    size_t m_size;
    size_t m_bits;
    size_t m_pos = 0;
};

// Appends bits to a byte vector.
class BitWriter {
public:
    void put(uint32_t value, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            if ((m_pos & 7) == 0)
                m_bytes.push_back(0);
            if ((value >> i) & 1u)
                m_bytes.back() |= uint8_t(0x80u >> (m_pos & 7));
            ++m_pos;
        }
    }
    void alignByte()
    {
        while (m_pos & 7)
            put(0, 1);
    }
    size_t pos() const { return m_pos; }
    const std::vector<uint8_t> &bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_pos = 0;
};

// Overwrites n bits (n <= 32) at bit position pos of buf in place.
inline void putBitsAt(uint8_t *buf, size_t pos, int n, uint32_t value)
{
    for (int i = n - 1; i >= 0; --i, ++pos) {
        const uint8_t mask = uint8_t(0x80u >> (pos & 7));
        if ((value >> i) & 1u)
            buf[pos >> 3] |= mask;
        else
            buf[pos >> 3] &= uint8_t(~mask);
    }
}

} // namespace kvaac
