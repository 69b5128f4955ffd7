#pragma once
// The one bit reader and bit writer of the engine: big-endian bit fields, as
// MPEG audio headers and side information are laid out.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class KvMp3Crc16;

// Reads bit fields from a bounded byte range. Bits past the end read as 0 and
// mark the reader as overrun; it never touches memory outside the range.
class KvBitReader {
public:
    KvBitReader() = default;
    KvBitReader(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    // Up to 32 bits, most significant first. Fed to the CRC when one is set.
    inline uint32_t read(int bits);
    void skip(uint64_t bits);

    uint64_t position() const { return m_pos; }        // in bits
    size_t bytesUsed() const { return size_t((m_pos + 7) / 8); }
    size_t size() const { return m_size; }
    const uint8_t *data() const { return m_data; }
    bool overrun() const { return m_overrun; }

    void setCrc(KvMp3Crc16 *crc) { m_crc = crc; }
    bool hasCrc() const { return m_crc != nullptr; }

    // Field visitor form shared with the writer (see KvMp3Syntax.cpp).
    void field(int32_t &v, int bits) { v = int32_t(read(bits)); }

private:
    uint32_t readNearEnd(int bits);
    void feedCrc(uint32_t v, int bits);

    const uint8_t *m_data = nullptr;
    size_t m_size = 0;
    uint64_t m_pos = 0;
    bool m_overrun = false;
    KvMp3Crc16 *m_crc = nullptr;
};

uint32_t KvBitReader::read(int bits)
{
    if (bits <= 0)
        return 0;
    const size_t byte = size_t(m_pos >> 3);
    if (byte + 8 > m_size)
        return readNearEnd(bits);
    // Eight bytes hold any 32-bit field at any bit offset.
    uint64_t w;
    std::memcpy(&w, m_data + byte, 8);
    w = __builtin_bswap64(w);
    const uint32_t v = uint32_t((w << (m_pos & 7)) >> (64 - bits));
    m_pos += uint64_t(bits);
    if (m_crc)
        feedCrc(v, bits);
    return v;
}

// Writes bit fields into its own buffer of fixed capacity. Bytes beyond the
// capacity are dropped and mark the writer as overflowed.
class KvBitWriter {
public:
    explicit KvBitWriter(size_t capacity = 65536) : m_buf(capacity) {}

    void write(uint32_t value, int bits);
    void writeByte(uint8_t b) { write(b, 8); }
    void writeBytes(const uint8_t *p, size_t n);

    // Bytes written so far (a partly written byte counts).
    size_t size() const { return m_base + size_t((m_bitPos + 7) / 8); }
    uint64_t bitPosition() const { return m_bitPos; }
    const uint8_t *data() const { return m_buf.data(); }
    size_t capacity() const { return m_buf.size(); }
    bool overflow() const { return m_overflow; }
    // Starts again at byte `base` of the buffer.
    void clear(size_t base = 0) { m_base = base; m_bitPos = 0; m_overflow = false; }

    void setCrc(KvMp3Crc16 *crc) { m_crc = crc; }
    void field(int32_t &v, int bits) { write(uint32_t(v), bits); }

private:
    std::vector<uint8_t> m_buf;
    size_t m_base = 0;
    uint64_t m_bitPos = 0;
    bool m_overflow = false;
    KvMp3Crc16 *m_crc = nullptr;
};
