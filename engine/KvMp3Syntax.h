#pragma once
// MPEG audio Layer III frame header and side information (MPEG-1, MPEG-2 and
// MPEG-2.5): the decoded forms, the tables and the bit syntax.
#include <cstddef>
#include <cstdint>

class KvBitReader;
class KvBitWriter;
class KvMp3Crc16;

struct KvMp3FrameHeader {
    int32_t version;             // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5, -1 reserved
    int32_t layer;               // 3 = Layer III
    int32_t error_protection;    // 1: a CRC word follows the header
    int32_t bitrate_index;
    int32_t sampling_frequency;
    int32_t padding;
    int32_t extension;
    int32_t mode;                // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int32_t mode_extension;
    int32_t copyright;
    int32_t original_copy;
    int32_t emphasis;
};
static_assert(sizeof(KvMp3FrameHeader) == 48, "twelve 32-bit fields");

struct KvMp3GranuleInfo {
    int32_t part2_3_length;
    int32_t big_values;
    int32_t global_gain;         // coded value minus 210
    int32_t scalefac_compress;
    int32_t window_switching_flag;
    int32_t block_type;
    int32_t mixed_block_flag;
    int32_t table_select[3];
    int32_t subblock_gain[3];
    int32_t region0_count;
    int32_t region1_count;
    int32_t preflag;
    int32_t scalefac_scale;
    int32_t count1table_select;
};

struct KvMp3ChannelSideInfo {
    int32_t scfsi[4];
    KvMp3GranuleInfo gr[2];
};

struct KvMp3SideInfo {
    int32_t main_data_begin;
    int32_t private_bits;
    KvMp3ChannelSideInfo ch[2];
};

// Stored global_gain is the coded value minus this.
constexpr int kKvMp3GainBias = 210;

// Results of KvMp3DecodeHeader and KvMp3ReadSideInfo.
enum KvMp3SyntaxResult {
    KvMp3SyntaxOk = 0,
    KvMp3ReservedVersion = 1,
    KvMp3BadRateOrFreeFormat = 2,
    KvMp3BadBlockType = 7,
    KvMp3NotEnoughData = 11,
    KvMp3SyncLost = 12,
};

// Tables. Out-of-range arguments give 0.
int KvMp3BitrateKbps(int version, int bitrateIndex);
int KvMp3SampleRateHz(int version, int samplingFrequency);
inline int KvMp3SamplesPerFrame(int version) { return version == 0 ? 1152 : 576; }
inline int KvMp3ChannelCount(int mode) { return mode == 3 ? 1 : 2; }
inline int KvMp3GranuleCount(int version) { return version == 0 ? 2 : 1; }
// Side information bytes: MPEG-1 32 (17 mono), MPEG-2/2.5 17 (9 mono).
int KvMp3SideInfoSize(int version, int mode);
// Whole frame in bytes, padding slot included; 0 for an invalid combination.
int KvMp3FrameLength(int version, int bitrateIndex, int samplingFrequency, int padding);
// Main-data bytes of a frame: length minus header, CRC word and side information; never below 0.
int KvMp3MainDataCapacity(int version, int bitrateIndex, int samplingFrequency, int padding, int mode,
                          bool crc);
int KvMp3MainDataCapacity(const KvMp3FrameHeader &h);
// Largest main_data_begin the format can code: 511 for MPEG-1, 255 otherwise.
inline int KvMp3MainDataBeginLimit(int version) { return version == 0 ? 511 : 255; }
// Bit position of a granule's and channel's fields from the start of the side
// information. Every field has a fixed width (both kinds of granule carry 22
// bits between window_switching_flag and preflag), so each one has a fixed
// place: part2_3_length at the granule's start, big_values 12 bits on,
// global_gain 21 bits on.
inline int KvMp3GranuleBit(int version, int mode, int gr, int ch)
{
    const int nch = KvMp3ChannelCount(mode);
    const int prefix = version == 0 ? 9 + (nch == 1 ? 5 : 3) + 4 * nch : 8 + (nch == 1 ? 1 : 2);
    const int granuleBits = version == 0 ? 59 : 63;
    return prefix + (gr * nch + ch) * granuleBits;
}
inline int KvMp3GlobalGainBit(int version, int mode, int gr, int ch)
{
    return KvMp3GranuleBit(version, mode, gr, ch) + 21;
}

// Finds and decodes a frame header in data[0, avail). The header must begin at
// byte 0; otherwise the first position holding 11 set sync bits and a whole
// header is taken. *start receives that position. Never reads past avail.
int KvMp3DecodeHeader(const uint8_t *data, size_t avail, KvMp3FrameHeader &h, size_t *start);
// The 32-bit form of a header (sync bits included); version -1 codes as 01.
uint32_t KvMp3EncodeHeader(const KvMp3FrameHeader &h);

// Side information in the syntax of the header's version and mode. The reader
// stores global_gain minus 210; fields of absent channels and granules are left
// as they are. A CRC set on the reader or writer sees every field.
int KvMp3ReadSideInfo(KvBitReader &in, const KvMp3FrameHeader &h, KvMp3SideInfo &si);
void KvMp3WriteSideInfo(KvBitWriter &out, const KvMp3FrameHeader &h, const KvMp3SideInfo &si);
// The fields a source scan records, read from their fixed places in the side
// information at p (KvMp3SideInfoSize bytes of the header's version and mode):
// main_data_begin and, per granule and channel, part2_3_length, big_values,
// global_gain (minus 210), window_switching_flag and block_type. Other fields
// are left as they are. Returns what KvMp3ReadSideInfo returns for the bytes.
int KvMp3ReadScanFields(const uint8_t *p, const KvMp3FrameHeader &h, KvMp3SideInfo &si);
// Feeds the side information to a CRC without writing it anywhere.
void KvMp3SideInfoCrc(KvMp3Crc16 &crc, const KvMp3FrameHeader &h, const KvMp3SideInfo &si);
// Writes the 32 header bits; with a CRC, its last 16 bits are fed to it.
void KvMp3WriteHeader(KvBitWriter &out, const KvMp3FrameHeader &h, KvMp3Crc16 *crc);

// Header, CRC word and side information of one frame at data[0], for tools and
// tests. Returns 0, a syntax result, or KvMp3NotEnoughData when the side
// information runs past avail.
int KvMp3ParseFrameStart(const uint8_t *data, size_t avail, KvMp3FrameHeader &h, KvMp3SideInfo &si);
