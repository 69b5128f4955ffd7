#include "KvMp3Crc16.h"

namespace {

struct ByteTable {
    uint16_t entry[256];

    ByteTable()
    {
        for (int b = 0; b < 256; ++b) {
            uint32_t crc = uint32_t(b) << 8;
            for (int i = 0; i < 8; ++i)
                crc = (crc & 0x8000u) ? ((crc << 1) ^ 0x8005u) & 0xFFFFu : (crc << 1) & 0xFFFFu;
            entry[b] = uint16_t(crc);
        }
    }
};

} // namespace

void KvMp3Crc16::add(uint32_t value, int bits)
{
    for (int i = bits - 1; i >= 0; --i) {
        const uint32_t in = (value >> i) & 1u;
        const uint32_t top = (m_crc >> 15) & 1u;
        m_crc = (m_crc << 1) & 0xFFFFu;
        if (in ^ top)
            m_crc ^= 0x8005u;
    }
}

void KvMp3Crc16::addBytes(const uint8_t *p, size_t n)
{
    static const ByteTable table;
    for (size_t i = 0; i < n; ++i)
        m_crc = ((m_crc << 8) & 0xFFFFu) ^ table.entry[((m_crc >> 8) ^ p[i]) & 0xFFu];
}
