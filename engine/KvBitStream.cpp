#include "KvBitStream.h"

#include "KvMp3Crc16.h"

#include <algorithm>

void KvBitReader::feedCrc(uint32_t v, int bits)
{
    m_crc->add(v, bits);
}

uint32_t KvBitReader::readNearEnd(int bits)
{
    const uint64_t limit = uint64_t(m_size) * 8;
    if (m_pos + uint64_t(bits) > limit)
        m_overrun = true;
    // Five bytes hold any 32-bit field at any bit offset.
    const size_t byte = size_t(m_pos >> 3);
    uint64_t w = 0;
    for (size_t k = 0; k < 5; ++k) {
        w <<= 8;
        if (byte + k < m_size)
            w |= m_data[byte + k];
    }
    const int shift = 40 - int(m_pos & 7) - bits;
    const uint32_t v = uint32_t((w >> shift) & ((uint64_t(1) << bits) - 1));
    m_pos += uint64_t(bits);
    if (m_crc)
        m_crc->add(v, bits);
    return v;
}

void KvBitReader::skip(uint64_t bits)
{
    m_pos += bits;
    if (m_pos > uint64_t(m_size) * 8)
        m_overrun = true;
}

void KvBitWriter::write(uint32_t value, int bits)
{
    if (bits <= 0)
        return;
    if (m_crc)
        m_crc->add(value, bits);
    const size_t at = m_base + size_t(m_bitPos >> 3);
    if (bits <= 32 && at + 5 <= m_buf.size()) {
        // The field and the bits already in its first byte span at most five
        // bytes: assemble them in one word and store them whole.
        const int used = int(m_bitPos & 7);
        const uint64_t field = bits == 32 ? uint64_t(value) : uint64_t(value & ((1u << bits) - 1u));
        const uint64_t kept = used ? uint64_t(m_buf[at] >> (8 - used)) : 0;
        const int total = used + bits;
        const int bytes = (total + 7) >> 3;
        uint64_t word = ((kept << bits) | field) << (bytes * 8 - total);
        for (int i = bytes - 1; i >= 0; --i) {
            m_buf[at + size_t(i)] = uint8_t(word);
            word >>= 8;
        }
        m_bitPos += uint64_t(bits);
        return;
    }
    while (bits > 0) {
        const size_t byte = m_base + size_t(m_bitPos >> 3);
        const int used = int(m_bitPos & 7);
        const int room = 8 - used;
        const int n = bits < room ? bits : room;
        const uint32_t chunk = (value >> (bits - n)) & ((1u << n) - 1u);
        if (byte < m_buf.size()) {
            if (used == 0)
                m_buf[byte] = 0;
            m_buf[byte] = uint8_t(m_buf[byte] | (chunk << (room - n)));
        } else {
            m_overflow = true;
        }
        m_bitPos += uint64_t(n);
        bits -= n;
    }
}

void KvBitWriter::writeBytes(const uint8_t *p, size_t n)
{
    // Main data is written byte-aligned: copy it whole.
    if ((m_bitPos & 7) == 0 && !m_crc) {
        const size_t at = m_base + size_t(m_bitPos >> 3);
        const size_t fit = at < m_buf.size() ? std::min(n, m_buf.size() - at) : 0;
        if (fit > 0)
            std::memcpy(m_buf.data() + at, p, fit);
        if (fit < n)
            m_overflow = true;
        m_bitPos += uint64_t(n) * 8;
        return;
    }
    for (size_t i = 0; i < n; ++i)
        write(p[i], 8);
}
