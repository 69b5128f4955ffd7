#include "KvMp3Crc16.h"

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
