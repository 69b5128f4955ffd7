#include "KvMp3Syntax.h"

#include "KvBitStream.h"
#include "KvMp3Crc16.h"

#include <cstring>

namespace {

const int kBitrates[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},  // MPEG-1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},      // MPEG-2 and 2.5
};
const int kRates[3][4] = {{44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};

// One description of the side-information syntax serves reading, writing and
// CRC computation: Io::field(value, bits) either fills or emits the value.
template <class Io>
int sideInfoSyntax(Io &io, const KvMp3FrameHeader &h, KvMp3SideInfo &si)
{
    const bool mpeg1 = h.version == 0;
    const int nch = KvMp3ChannelCount(h.mode);
    int result = KvMp3SyntaxOk;
    io.field(si.main_data_begin, mpeg1 ? 9 : 8);
    io.field(si.private_bits, mpeg1 ? (nch == 1 ? 5 : 3) : (nch == 1 ? 1 : 2));
    if (mpeg1) {
        for (int ch = 0; ch < nch; ++ch)
            for (int band = 0; band < 4; ++band)
                io.field(si.ch[ch].scfsi[band], 1);
    }
    const int ngr = KvMp3GranuleCount(h.version);
    for (int gr = 0; gr < ngr; ++gr) {
        for (int ch = 0; ch < nch; ++ch) {
            KvMp3GranuleInfo &g = si.ch[ch].gr[gr];
            io.field(g.part2_3_length, 12);
            io.field(g.big_values, 9);
            int32_t coded = g.global_gain + kKvMp3GainBias;
            io.field(coded, 8);
            g.global_gain = coded - kKvMp3GainBias;
            io.field(g.scalefac_compress, mpeg1 ? 4 : 9);
            io.field(g.window_switching_flag, 1);
            if (g.window_switching_flag) {
                io.field(g.block_type, 2);
                io.field(g.mixed_block_flag, 1);
                io.field(g.table_select[0], 5);
                io.field(g.table_select[1], 5);
                for (int w = 0; w < 3; ++w)
                    io.field(g.subblock_gain[w], 3);
                if (g.block_type == 0)
                    result = KvMp3BadBlockType;
            } else {
                for (int r = 0; r < 3; ++r)
                    io.field(g.table_select[r], 5);
                io.field(g.region0_count, 4);
                io.field(g.region1_count, 3);
            }
            if (mpeg1)
                io.field(g.preflag, 1);
            io.field(g.scalefac_scale, 1);
            io.field(g.count1table_select, 1);
        }
    }
    return result;
}

// Packs fields into whole bytes through one accumulator; side information is
// a whole number of bytes, so it reaches the writer in one copy.
class PackedFields {
public:
    void field(int32_t &v, int bits)
    {
        m_acc = (m_acc << bits) | (uint64_t(uint32_t(v)) & ((uint64_t(1) << bits) - 1));
        m_bits += bits;
        while (m_bits >= 8 && m_length < sizeof m_bytes) {
            m_bits -= 8;
            m_bytes[m_length++] = uint8_t(m_acc >> m_bits);
        }
    }
    void writeTo(KvBitWriter &out) const
    {
        out.writeBytes(m_bytes, m_length);
        if (m_bits > 0)
            out.write(uint32_t(m_acc & ((uint64_t(1) << m_bits) - 1)), m_bits);
    }

private:
    uint64_t m_acc = 0;
    int m_bits = 0;
    size_t m_length = 0;
    uint8_t m_bytes[32];   // the largest side information (MPEG-1 stereo)
};

struct CrcSink {
    KvMp3Crc16 &crc;
    void field(int32_t &v, int bits) { crc.add(uint32_t(v), bits); }
};

} // namespace

int KvMp3BitrateKbps(int version, int bitrateIndex)
{
    if (version < 0 || version > 2 || bitrateIndex < 0 || bitrateIndex > 15)
        return 0;
    return kBitrates[version == 0 ? 0 : 1][bitrateIndex];
}

int KvMp3SampleRateHz(int version, int samplingFrequency)
{
    if (version < 0 || version > 2 || samplingFrequency < 0 || samplingFrequency > 3)
        return 0;
    return kRates[version][samplingFrequency];
}

int KvMp3SideInfoSize(int version, int mode)
{
    const bool mono = mode == 3;
    return version == 0 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

int KvMp3FrameLength(int version, int bitrateIndex, int samplingFrequency, int padding)
{
    const int kbps = KvMp3BitrateKbps(version, bitrateIndex);
    const int rate = KvMp3SampleRateHz(version, samplingFrequency);
    if (kbps == 0 || rate == 0)
        return 0;
    return (version == 0 ? 144000 : 72000) * kbps / rate + (padding ? 1 : 0);
}

int KvMp3MainDataCapacity(int version, int bitrateIndex, int samplingFrequency, int padding, int mode,
                          bool crc)
{
    const int length = KvMp3FrameLength(version, bitrateIndex, samplingFrequency, padding);
    const int capacity = length - KvMp3SideInfoSize(version, mode) - (crc ? 6 : 4);
    return capacity > 0 ? capacity : 0;
}

int KvMp3MainDataCapacity(const KvMp3FrameHeader &h)
{
    return KvMp3MainDataCapacity(h.version, h.bitrate_index, h.sampling_frequency, h.padding, h.mode,
                                 h.error_protection != 0);
}

int KvMp3DecodeHeader(const uint8_t *data, size_t avail, KvMp3FrameHeader &h, size_t *start)
{
    if (avail < 4)
        return KvMp3NotEnoughData;
    size_t pos = 0;
    const auto isSync = [data](size_t p) { return data[p] == 0xFF && (data[p + 1] & 0xE0) == 0xE0; };
    if (!isSync(0)) {
        pos = 1;
        while (pos + 4 <= avail && !isSync(pos))
            ++pos;
        if (pos + 4 > avail)
            return KvMp3SyncLost;
    }
    if (start)
        *start = pos;
    const uint8_t *p = data + pos;
    const int versionBits = (p[1] >> 3) & 3;
    h.version = versionBits == 3 ? 0 : versionBits == 2 ? 1 : versionBits == 0 ? 2 : -1;
    h.layer = 4 - ((p[1] >> 1) & 3);
    h.error_protection = (p[1] & 1) ? 0 : 1;
    h.bitrate_index = p[2] >> 4;
    h.sampling_frequency = (p[2] >> 2) & 3;
    h.padding = (p[2] >> 1) & 1;
    h.extension = p[2] & 1;
    h.mode = p[3] >> 6;
    h.mode_extension = (p[3] >> 4) & 3;
    h.copyright = (p[3] >> 3) & 1;
    h.original_copy = (p[3] >> 2) & 1;
    h.emphasis = p[3] & 3;
    if (h.version < 0)
        return KvMp3ReservedVersion;
    if (h.bitrate_index == 0 || h.bitrate_index == 15 || h.sampling_frequency == 3)
        return KvMp3BadRateOrFreeFormat;
    return KvMp3SyntaxOk;
}

uint32_t KvMp3EncodeHeader(const KvMp3FrameHeader &h)
{
    const uint32_t versionBits = h.version == 0 ? 3 : h.version == 1 ? 2 : h.version == 2 ? 0 : 1;
    uint32_t w = 0x7FFu << 21;
    w |= versionBits << 19;
    w |= (uint32_t(4 - h.layer) & 3) << 17;
    w |= (h.error_protection ? 0u : 1u) << 16;
    w |= (uint32_t(h.bitrate_index) & 15) << 12;
    w |= (uint32_t(h.sampling_frequency) & 3) << 10;
    w |= (uint32_t(h.padding) & 1) << 9;
    w |= (uint32_t(h.extension) & 1) << 8;
    w |= (uint32_t(h.mode) & 3) << 6;
    w |= (uint32_t(h.mode_extension) & 3) << 4;
    w |= (uint32_t(h.copyright) & 1) << 3;
    w |= (uint32_t(h.original_copy) & 1) << 2;
    w |= uint32_t(h.emphasis) & 3;
    return w;
}

int KvMp3ReadSideInfo(KvBitReader &in, const KvMp3FrameHeader &h, KvMp3SideInfo &si)
{
    const uint64_t pos = in.position();
    const size_t size = h.version >= 0 && h.version <= 2 ? size_t(KvMp3SideInfoSize(h.version, h.mode)) : 0;
    if (in.hasCrc() || (pos & 7) != 0 || size == 0 || (pos >> 3) + size > in.size())
        return sideInfoSyntax(in, h, si);
    // The common case: the whole side information is there and no CRC is fed.
    // A zero-padded copy lets every field be one word load, far from the end.
    uint8_t bytes[48] = {};
    std::memcpy(bytes, in.data() + (pos >> 3), size);
    KvBitReader fields(bytes, sizeof bytes);
    const int r = sideInfoSyntax(fields, h, si);
    in.skip(fields.position());
    return r;
}

int KvMp3ReadScanFields(const uint8_t *p, const KvMp3FrameHeader &h, KvMp3SideInfo &si)
{
    // Zero-padded, so that every field is one word load.
    uint8_t bytes[40] = {};
    std::memcpy(bytes, p, size_t(KvMp3SideInfoSize(h.version, h.mode)));
    const auto bits = [&bytes](int at, int n) {
        uint64_t w;
        std::memcpy(&w, bytes + (at >> 3), 8);
        w = __builtin_bswap64(w);
        return int32_t((w << (at & 7)) >> (64 - n));
    };
    const bool mpeg1 = h.version == 0;
    si.main_data_begin = bits(0, mpeg1 ? 9 : 8);
    // window_switching_flag follows scalefac_compress: 4 bits for MPEG-1, 9 otherwise.
    const int switching = mpeg1 ? 33 : 38;
    int result = KvMp3SyntaxOk;
    for (int gr = 0; gr < KvMp3GranuleCount(h.version); ++gr) {
        for (int ch = 0; ch < KvMp3ChannelCount(h.mode); ++ch) {
            const int at = KvMp3GranuleBit(h.version, h.mode, gr, ch);
            KvMp3GranuleInfo &g = si.ch[ch].gr[gr];
            g.part2_3_length = bits(at, 12);
            g.big_values = bits(at + 12, 9);
            g.global_gain = bits(at + 21, 8) - kKvMp3GainBias;
            g.window_switching_flag = bits(at + switching, 1);
            if (g.window_switching_flag) {
                g.block_type = bits(at + switching + 1, 2);
                if (g.block_type == 0)
                    result = KvMp3BadBlockType;
            }
        }
    }
    return result;
}

void KvMp3WriteSideInfo(KvBitWriter &out, const KvMp3FrameHeader &h, const KvMp3SideInfo &si)
{
    KvMp3SideInfo copy = si;
    PackedFields fields;
    sideInfoSyntax(fields, h, copy);
    fields.writeTo(out);
}

void KvMp3SideInfoCrc(KvMp3Crc16 &crc, const KvMp3FrameHeader &h, const KvMp3SideInfo &si)
{
    KvMp3SideInfo copy = si;
    CrcSink sink{crc};
    sideInfoSyntax(sink, h, copy);
}

void KvMp3WriteHeader(KvBitWriter &out, const KvMp3FrameHeader &h, KvMp3Crc16 *crc)
{
    const uint32_t w = KvMp3EncodeHeader(h);
    out.write(w >> 16, 16);
    if (crc)
        crc->add(w & 0xFFFF, 16);
    out.write(w & 0xFFFF, 16);
}

int KvMp3ParseFrameStart(const uint8_t *data, size_t avail, KvMp3FrameHeader &h, KvMp3SideInfo &si)
{
    size_t start = 0;
    const int r = KvMp3DecodeHeader(data, avail, h, &start);
    if (r != KvMp3SyntaxOk)
        return r;
    if (start != 0)
        return KvMp3SyncLost;
    si = KvMp3SideInfo{};
    KvBitReader in(data + 4, avail - 4);
    if (h.error_protection)
        in.read(16);
    const int s = KvMp3ReadSideInfo(in, h, si);
    return in.overrun() ? int(KvMp3NotEnoughData) : s;
}
