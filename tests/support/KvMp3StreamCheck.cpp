#include "KvMp3StreamCheck.h"

#include <algorithm>

namespace kvtest {
namespace {

class Bits {
public:
    Bits(const unsigned char *p, int len) : m_p(p), m_len(len) {}
    int position() const { return m_pos; }
    unsigned get(int n)
    {
        unsigned v = 0;
        while (n-- > 0) {
            const int byte = m_pos >> 3;
            const unsigned bit = byte < m_len ? (m_p[byte] >> (7 - (m_pos & 7))) & 1u : 0u;
            v = (v << 1) | bit;
            ++m_pos;
        }
        return v;
    }
private:
    const unsigned char *m_p;
    int m_len;
    int m_pos = 0;
};

const int kBitrates[2][15] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
const int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// Parses the header and side information at p; returns false if it is no Layer III frame.
bool parseFrame(const unsigned char *p, qint64 avail, Mp3FrameFacts &f)
{
    if (avail < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int vbits = (p[1] >> 3) & 3;
    if (vbits == 1 || ((p[1] >> 1) & 3) != 1)
        return false;
    f.version = vbits == 3 ? 0 : vbits == 2 ? 1 : 2;
    f.crc = !(p[1] & 1);
    f.bitrateIndex = p[2] >> 4;
    const int sf = (p[2] >> 2) & 3;
    if (f.bitrateIndex == 0 || f.bitrateIndex == 15 || sf == 3)
        return false;
    const int padding = (p[2] >> 1) & 1;
    f.mode = p[3] >> 6;
    f.sampleRate = kRates[f.version][sf];
    const int kbps = kBitrates[f.version == 0 ? 0 : 1][f.bitrateIndex];
    f.length = (f.version == 0 ? 144000 : 72000) * kbps / f.sampleRate + padding;
    const bool mono = f.mode == 3;
    const int side = f.sideInfoBytes = f.version == 0 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const int hdr = 4 + (f.crc ? 2 : 0);
    f.capacity = f.length - hdr - side;
    if (f.capacity < 0 || avail < hdr + side)
        return false;

    Bits b(p + hdr, side);
    const int nch = mono ? 1 : 2;
    const int ngr = f.version == 0 ? 2 : 1;
    f.mainDataBegin = int(b.get(f.version == 0 ? 9 : 8));
    b.get(f.version == 0 ? (mono ? 5 : 3) : (mono ? 1 : 2));
    if (f.version == 0)
        b.get(4 * nch);
    f.payloadBits = 0;
    f.globalGains.clear();
    f.globalGainBits.clear();
    for (int gr = 0; gr < ngr; ++gr) {
        for (int ch = 0; ch < nch; ++ch) {
            f.payloadBits += int(b.get(12));
            b.get(9);
            f.globalGainBits.push_back(hdr * 8 + b.position());
            f.globalGains.push_back(int(b.get(8)));
            b.get(f.version == 0 ? 4 : 9);
            if (b.get(1)) {
                b.get(2 + 1 + 10 + 9);
            } else {
                b.get(15 + 4 + 3);
            }
            b.get(f.version == 0 ? 3 : 2);
        }
    }
    return true;
}

qint64 skipId3v2(const QByteArray &d)
{
    if (d.size() < 10 || !d.startsWith("ID3"))
        return 0;
    const auto *u = reinterpret_cast<const unsigned char *>(d.constData());
    qint64 size = (qint64(u[6] & 0x7f) << 21) | ((u[7] & 0x7f) << 14) | ((u[8] & 0x7f) << 7) | (u[9] & 0x7f);
    return 10 + size + ((u[5] & 0x10) ? 10 : 0);
}

} // namespace

Mp3StreamReport checkMp3Stream(const QByteArray &file)
{
    Mp3StreamReport r;
    const auto *u = reinterpret_cast<const unsigned char *>(file.constData());
    const qint64 n = file.size();
    qint64 pos = skipId3v2(file);
    r.audioStart = pos;

    qint64 streamBytes = 0;   // main-data bytes delivered by all earlier frames
    qint64 prevDataEnd = 0;   // end of the previous frame's main data in that stream
    int limitVersion = -1;
    while (pos < n) {
        if (n - pos >= 3 && std::equal(u + pos, u + pos + 3, "TAG"))
            break;
        if (n - pos >= 8 && std::equal(u + pos, u + pos + 8, "APETAGEX"))
            break;
        Mp3FrameFacts f;
        if (!parseFrame(u + pos, n - pos, f)) {
            r.errors << QString("no frame header at byte %1").arg(pos);
            break;
        }
        f.offset = pos;
        if (pos + f.length > n) {
            r.errors << QString("frame %1 truncated").arg(r.frames.size());
            break;
        }
        if (limitVersion < 0)
            limitVersion = f.version;
        const int idx = int(r.frames.size());
        const int limit = f.version == 0 ? 511 : 255;
        const qint64 start = streamBytes - f.mainDataBegin;
        const qint64 end = start + (f.payloadBits + 7) / 8;
        if (f.mainDataBegin > limit)
            r.errors << QString("frame %1: main_data_begin %2 above %3").arg(idx).arg(f.mainDataBegin).arg(limit);
        if (start < 0)
            r.errors << QString("frame %1: main data begins before the stream").arg(idx);
        else if (f.payloadBits > 0 && start < prevDataEnd)
            r.errors << QString("frame %1: main data overlaps the previous frame's").arg(idx);
        if (end > streamBytes + f.capacity)
            r.errors << QString("frame %1: payload of %2 bits does not fit").arg(idx).arg(f.payloadBits);
        if (f.payloadBits > 0)
            prevDataEnd = end;
        streamBytes += f.capacity;
        r.frames.push_back(f);
        pos += f.length;
    }
    return r;
}

} // namespace kvtest
