#pragma once
// Appends bit fields most significant bit first, as MPEG bitstream syntax sends them.
#include <QByteArray>

#include <cstdint>

class KvBitWriter {
public:
    void put(uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            if ((m_bits & 7) == 0)
                m_bytes.append('\0');
            if ((value >> i) & 1u)
                m_bytes.data()[m_bytes.size() - 1] |= char(0x80u >> (m_bits & 7));
            ++m_bits;
        }
    }
    // Zero bits up to the next byte boundary.
    void alignByte()
    {
        while (m_bits & 7)
            put(0, 1);
    }
    int bitCount() const { return m_bits; }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_bits = 0;
};
