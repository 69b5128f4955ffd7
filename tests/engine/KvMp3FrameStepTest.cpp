// The Layer III frame step in scan mode, on frames built bit by bit.
#include "KvBitStream.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3Crc16.h"
#include "KvMp3FrameContext.h"
#include "KvMp3FrameStep.h"
#include "KvMp3Records.h"
#include "KvMp3ReservoirRepacker.h"
#include "KvMp3Syntax.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

KvMp3FrameHeader header(int version, int bitrateIndex, int sfi, int mode, bool crc = false, int padding = 0)
{
    KvMp3FrameHeader h{};
    h.version = version;
    h.layer = 3;
    h.error_protection = crc ? 1 : 0;
    h.bitrate_index = bitrateIndex;
    h.sampling_frequency = sfi;
    h.padding = padding;
    h.mode = mode;
    return h;
}

// Side information whose granules carry `payloadBits` in total (spread over
// the first granule and channel) and the given coded gains, granule-major.
KvMp3SideInfo sideInfo(const KvMp3FrameHeader &h, int mainDataBegin, int payloadBits, std::vector<int> gains = {})
{
    KvMp3SideInfo si{};
    si.main_data_begin = mainDataBegin;
    const int nch = KvMp3ChannelCount(h.mode), ngr = KvMp3GranuleCount(h.version);
    int k = 0;
    for (int gr = 0; gr < ngr; ++gr)
        for (int ch = 0; ch < nch; ++ch, ++k) {
            KvMp3GranuleInfo &g = si.ch[ch].gr[gr];
            g.global_gain = (k < int(gains.size()) ? gains[size_t(k)] : 150) - kKvMp3GainBias;
            g.big_values = 10;
            g.table_select[0] = 5;
        }
    // part2_3_length is 12 bits: spread the payload over the granules.
    int left = payloadBits;
    for (int gr = 0; gr < ngr && left > 0; ++gr)
        for (int ch = 0; ch < nch && left > 0; ++ch) {
            const int n = left < 4095 ? left : 4095;
            si.ch[ch].gr[gr].part2_3_length = n;
            left -= n;
        }
    return si;
}

// A whole frame: header, CRC (wrong on request), side information, main data.
Bytes frame(const KvMp3FrameHeader &h, const KvMp3SideInfo &si, bool breakCrc = false, uint8_t fill = 0x5A)
{
    const int length = KvMp3FrameLength(h.version, h.bitrate_index, h.sampling_frequency, h.padding);
    KvBitWriter w(size_t(length) + 64);
    KvMp3Crc16 crc;
    KvMp3WriteHeader(w, h, &crc);
    if (h.error_protection) {
        KvMp3SideInfoCrc(crc, h, si);
        w.write(uint32_t(crc.value() ^ (breakCrc ? 1 : 0)), 16);
    }
    KvMp3WriteSideInfo(w, h, si);
    while (w.size() < size_t(length))
        w.writeByte(fill);
    return Bytes(w.data(), w.data() + length);
}

// Runs the frame step over buffers the way the source scan does: one buffer
// per frame, one record per frame plus the terminating one.
struct Scan {
    std::unique_ptr<KvMp3ReservoirRepacker> state{new KvMp3ReservoirRepacker};
    KvMp3InputBuffer in{131072};
    KvMP3FrameSizeInfo format;
    std::vector<KvMP3GainFrameInfo> records = std::vector<KvMP3GainFrameInfo>(64, KvMP3GainFrameInfo{});
    size_t next = 0;

    int step(const Bytes &buffer, bool silent = false)
    {
        std::copy(buffer.begin(), buffer.end(), in.data);
        in.length = int64_t(buffer.size());
        in.used = 0;
        KvMp3FrameContext ctx;
        ctx.sourceRecord = &records[next];
        ctx.nextSourceRecord = &records[next + 1];
        ctx.silentSource = silent ? 1 : 0;
        const int r = KvMp3FrameStep(in, *state, nullptr, ctx, &format);
        ++next;
        return r;
    }
    const KvMP3GainFrameInfo &rec(size_t i) const { return records[i]; }
};

Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(KvMp3Crc16, KnownCheckValue)
{
    KvMp3Crc16 crc;
    for (char c : std::string("123456789"))
        crc.add(uint8_t(c), 8);
    EXPECT_EQ(crc.value(), 0xAEE7);   // CRC-16, polynomial 0x8005, initial 0xFFFF, not reflected
    crc.reset();
    crc.add(0x3132, 16);
    KvMp3Crc16 bytewise;
    bytewise.add('1', 8);
    bytewise.add('2', 8);
    EXPECT_EQ(crc.value(), bytewise.value());
}

TEST(KvMp3Crc16, BytesAndBitFieldsGiveOneSum)
{
    std::mt19937 rng(5);
    for (int n : {0, 1, 2, 9, 17, 34}) {
        std::vector<uint8_t> bytes(static_cast<size_t>(n));
        for (uint8_t &b : bytes)
            b = uint8_t(rng());
        KvMp3Crc16 bitwise, bytewise;
        for (uint8_t b : bytes)
            bitwise.add(b, 8);
        bytewise.addBytes(bytes.data(), bytes.size());
        EXPECT_EQ(bytewise.value(), bitwise.value()) << n << " bytes";
    }
}

TEST(KvBitStream, WriterAndReaderAgreeOnFieldsAtEveryAlignment)
{
    KvBitWriter w(64);
    const std::vector<std::pair<uint32_t, int>> fields = {
        {1, 1}, {0x7FF, 11}, {0, 3}, {0xABCDE, 20}, {0xFFFFFFFFu, 32}, {5, 3}, {0x12345678, 32}, {0x1FF, 9}};
    for (auto f : fields)
        w.write(f.first, f.second);
    KvBitReader r(w.data(), w.size());
    for (auto f : fields)
        EXPECT_EQ(r.read(f.second), f.first) << f.second;
    EXPECT_FALSE(r.overrun());
}

TEST(KvBitStream, ReaderStaysInsideItsBytes)
{
    const uint8_t bytes[3] = {0xFF, 0x00, 0xF0};
    KvBitReader r(bytes, 3);
    EXPECT_EQ(r.read(4), 0xFu);
    EXPECT_EQ(r.read(16), 0xF00Fu);
    EXPECT_FALSE(r.overrun());
    EXPECT_EQ(r.read(8), 0u);   // 4 real bits, then zeros
    EXPECT_TRUE(r.overrun());
    KvBitReader empty(nullptr, 0);
    EXPECT_EQ(empty.read(32), 0u);
    EXPECT_TRUE(empty.overrun());

    KvBitWriter small(2);
    small.write(0xABCDEF, 24);
    EXPECT_TRUE(small.overflow());
    EXPECT_EQ(small.data()[0], 0xAB);
    EXPECT_EQ(small.data()[1], 0xCD);
}

TEST(KvMp3Syntax, FrameLengthsAndCapacities)
{
    struct Case { int version, br, sfi, padding, mode; bool crc; int length, capacity; };
    const Case cases[] = {
        {0, 9, 0, 0, 1, false, 417, 381},    // 128 kbit/s 44.1 kHz stereo
        {0, 9, 0, 1, 1, false, 418, 382},
        {0, 9, 0, 0, 1, true, 417, 379},
        {0, 5, 0, 0, 3, false, 208, 187},    // 64 kbit/s mono: minus 17 + 4
        {0, 14, 2, 1, 0, false, 1441, 1405}, // 320 kbit/s at 32 kHz, the longest frame
        {1, 1, 0, 0, 3, false, 26, 13},      // 8 kbit/s at 22.05 kHz
        {1, 1, 1, 0, 0, false, 24, 3},       // 8 kbit/s at 24 kHz stereo
        {2, 1, 2, 0, 3, false, 72, 59},      // MPEG-2.5 8 kbit/s at 8 kHz
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KvMp3FrameLength(c.version, c.br, c.sfi, c.padding), c.length);
        EXPECT_EQ(KvMp3MainDataCapacity(c.version, c.br, c.sfi, c.padding, c.mode, c.crc), c.capacity);
    }
    EXPECT_EQ(KvMp3FrameLength(0, 0, 0, 0), 0);
    EXPECT_EQ(KvMp3FrameLength(0, 15, 0, 0), 0);
    EXPECT_EQ(KvMp3FrameLength(0, 9, 3, 0), 0);
}

TEST(KvMp3Syntax, HeaderDecodingAndSyncSearch)
{
    KvMp3FrameHeader h{};
    size_t start = 99;
    const uint8_t good[] = {0xFF, 0xFB, 0x90, 0x64};   // MPEG-1 L3 128k 44.1 joint, no CRC
    ASSERT_EQ(KvMp3DecodeHeader(good, 4, h, &start), KvMp3SyntaxOk);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(h.version, 0);
    EXPECT_EQ(h.layer, 3);
    EXPECT_EQ(h.error_protection, 0);
    EXPECT_EQ(h.bitrate_index, 9);
    EXPECT_EQ(h.mode, 1);
    EXPECT_EQ(h.mode_extension, 2);
    EXPECT_EQ(h.original_copy, 1);
    EXPECT_EQ(KvMp3EncodeHeader(h), 0xFFFB9064u);

    const uint8_t junkFirst[] = {0x00, 0x12, 0xFF, 0xF3, 0x14, 0xC4, 0x00};
    ASSERT_EQ(KvMp3DecodeHeader(junkFirst, sizeof junkFirst, h, &start), KvMp3SyntaxOk);
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.error_protection, 0);
    EXPECT_EQ(h.mode, 3);

    // A sync word too close to the end to hold a header is no header.
    const uint8_t lateSync[] = {0x00, 0x00, 0x00, 0xFF, 0xFB, 0x90};
    EXPECT_EQ(KvMp3DecodeHeader(lateSync, sizeof lateSync, h, &start), KvMp3SyncLost);
    EXPECT_EQ(KvMp3DecodeHeader(good, 3, h, &start), KvMp3NotEnoughData);

    struct Bad { uint8_t b1, b2; int result; };
    const Bad bad[] = {
        {0xEB, 0x90, KvMp3ReservedVersion},     // version bits 01
        {0xFB, 0x00, KvMp3BadRateOrFreeFormat}, // free format
        {0xFB, 0xF0, KvMp3BadRateOrFreeFormat}, // bitrate index 15
        {0xFB, 0x9C, KvMp3BadRateOrFreeFormat}, // sampling frequency 3
    };
    for (const Bad &b : bad) {
        const uint8_t bytes[] = {0xFF, b.b1, b.b2, 0x64};
        EXPECT_EQ(KvMp3DecodeHeader(bytes, 4, h, &start), b.result) << int(b.b1) << " " << int(b.b2);
    }
}

// The scan reads its fields at fixed places, the gain patch writes global_gain
// at one: both must agree with the field-by-field syntax whatever the bytes,
// for every version and channel count and both kinds of granule.
TEST(KvMp3Syntax, FieldsAtFixedPlacesAgreeWithTheFullSyntax)
{
    std::mt19937 rng(11);
    for (int version : {0, 1, 2}) {
        for (int mode : {0, 1, 2, 3}) {
            const KvMp3FrameHeader h = header(version, 5, 0, mode);
            const int size = KvMp3SideInfoSize(version, mode);
            for (int round = 0; round < 200; ++round) {
                std::vector<uint8_t> bytes(static_cast<size_t>(size));
                for (uint8_t &b : bytes)
                    b = uint8_t(rng());
                KvMp3SideInfo full{}, scan{};
                KvBitReader in(bytes.data(), bytes.size());
                const int fullResult = KvMp3ReadSideInfo(in, h, full);
                ASSERT_EQ(in.position(), uint64_t(size) * 8);
                ASSERT_EQ(KvMp3ReadScanFields(bytes.data(), h, scan), fullResult);
                ASSERT_EQ(scan.main_data_begin, full.main_data_begin);
                for (int gr = 0; gr < KvMp3GranuleCount(version); ++gr) {
                    for (int ch = 0; ch < KvMp3ChannelCount(mode); ++ch) {
                        const KvMp3GranuleInfo &f = full.ch[ch].gr[gr], &s = scan.ch[ch].gr[gr];
                        ASSERT_EQ(s.part2_3_length, f.part2_3_length);
                        ASSERT_EQ(s.big_values, f.big_values);
                        ASSERT_EQ(s.global_gain, f.global_gain);
                        ASSERT_EQ(s.window_switching_flag, f.window_switching_flag);
                        if (f.window_switching_flag) {
                            ASSERT_EQ(s.block_type, f.block_type);
                        }
                        const int bit = KvMp3GlobalGainBit(version, mode, gr, ch);
                        const int coded = ((bytes[size_t(bit / 8)] << 8 | bytes[size_t(bit / 8) + 1]) >> (8 - bit % 8)) & 0xFF;
                        ASSERT_EQ(coded, f.global_gain + kKvMp3GainBias);
                    }
                }
            }
        }
    }
}

TEST(KvMp3FrameStep, FirstFrameClaimingReservoirIsBrokenAndScanningGoesOn)
{
    const KvMp3FrameHeader h = header(0, 9, 0, 1);
    Scan s;
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 300, 800))), KvMp3StepOk);
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 0, 800))), KvMp3StepOk);
    EXPECT_TRUE(s.rec(0).flags & KvMp3FrameFlag::Broken);
    EXPECT_EQ(s.rec(0).mainDataBegin, 0);
    EXPECT_EQ(s.rec(0).payloadLength, 0);
    EXPECT_EQ(s.rec(0).capacity, 381);
    EXPECT_FALSE(s.rec(1).flags & KvMp3FrameFlag::Broken);
    EXPECT_EQ(s.rec(1).payloadLength, 100);
}

TEST(KvMp3FrameStep, OverlappingPayloadsBreakBothFrames)
{
    const KvMp3FrameHeader h = header(0, 9, 0, 1);
    Scan s;
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 0, 381 * 8))), KvMp3StepOk);   // fills its whole area
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 100, 800))), KvMp3StepOk);    // reaches 100 bytes back into it
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 0, 800))), KvMp3StepOk);
    for (size_t i : {0u, 1u}) {
        EXPECT_TRUE(s.rec(i).flags & KvMp3FrameFlag::Broken) << i;
        EXPECT_EQ(s.rec(i).payloadLength, 0) << i;
    }
    EXPECT_EQ(s.rec(1).mainDataBegin, 100);
    EXPECT_FALSE(s.rec(2).flags & KvMp3FrameFlag::Broken);
    EXPECT_EQ(s.rec(2).payloadLength, 100);
}

TEST(KvMp3FrameStep, ReservoirBookkeeping)
{
    // Frame 0 uses 100 of its 381 bytes; frame 1 starts 150 bytes back, so 131
    // ancillary bytes lie between the payloads; frame 2 starts in its own area.
    const KvMp3FrameHeader h = header(0, 9, 0, 1);
    Scan s;
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 0, 800))), KvMp3StepOk);
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 150, 1001))), KvMp3StepOk);
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 0, 8))), KvMp3StepOk);
    EXPECT_EQ(s.rec(0).ringFill, 381);
    EXPECT_EQ(s.rec(1).ringFill, 762 - 100);
    EXPECT_EQ(s.rec(1).payloadLength, 126);                 // 1001 bits
    EXPECT_EQ(s.rec(2).ringFill, 1143 - (231 + 125));      // frame 1 payload: byte 231 for 1001 bits
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FALSE(s.rec(i).flags & KvMp3FrameFlag::Broken) << i;
    EXPECT_EQ(s.rec(1).mainDataBegin, 150);
}

TEST(KvMp3FrameStep, FlagsGainsAndFormatFacts)
{
    const KvMp3FrameHeader joint = header(0, 9, 0, 1, false, 1);
    KvMp3FrameHeader stereo = header(0, 10, 0, 0);
    Scan s;
    ASSERT_EQ(s.step(frame(joint, sideInfo(joint, 0, 80, {100, 180, 140, 120}))), KvMp3StepOk);
    ASSERT_EQ(s.step(frame(stereo, sideInfo(stereo, 0, 0, {90, 91, 92, 93}))), KvMp3StepOk);
    const KvMP3GainFrameInfo &a = s.rec(0), &b = s.rec(1);
    EXPECT_EQ(a.gain[0], 140);   // largest over the granules of channel 0
    EXPECT_EQ(a.gain[1], 180);
    EXPECT_EQ(a.flags, uint8_t(9 << 4 | KvMp3FrameFlag::Padding));
    EXPECT_EQ(a.stereoFlags, KvMp3StereoFlag::JointStereo);
    EXPECT_EQ(uint32_t(a.offset), 0u);   // left to the caller
    EXPECT_EQ(b.flags, uint8_t(10 << 4 | KvMp3FrameFlag::NoAudio));
    EXPECT_EQ(b.payloadLength, 0);
    EXPECT_EQ(b.stereoFlags, 0);

    EXPECT_EQ(s.format.versionCode(), 0);
    EXPECT_EQ(s.format.sampleRate(), 44100);
    EXPECT_EQ(s.format.samplesPerFrame(), 1152);
    EXPECT_EQ(s.format.modeCode(), 1);
    EXPECT_TRUE(s.format.variableBitrate());
    EXPECT_TRUE(s.format.jointStereoSeen());
    EXPECT_EQ(s.format.firstBitrateIndex(), 9);
    EXPECT_EQ(s.format.bitrateSum(), 128u + 160u);
    EXPECT_EQ(s.in.bitrate, 160);
    EXPECT_EQ(s.in.channels, 2);

    // Mono: both entries show the one channel.
    const KvMp3FrameHeader mono = header(0, 5, 0, 3);
    Scan m;
    ASSERT_EQ(m.step(frame(mono, sideInfo(mono, 0, 80, {120, 170}))), KvMp3StepOk);
    EXPECT_EQ(m.rec(0).gain[0], 170);
    EXPECT_EQ(m.rec(0).gain[1], 170);
    EXPECT_EQ(m.rec(0).capacity, 208 - 17 - 4);
    EXPECT_EQ(m.format.channelCount(), 1);
    EXPECT_EQ(m.format.formatKey(), QString("MP3: ver:0 mode:3"));
    EXPECT_FALSE(m.format.variableBitrate());
}

TEST(KvMp3FrameStep, CrcIsCheckedOverHeaderAndSideInformation)
{
    const KvMp3FrameHeader h = header(0, 9, 0, 1, true);
    Scan s;
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 0, 800))), KvMp3StepOk);
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 0, 800), true)), KvMp3StepOk);
    ASSERT_EQ(s.step(frame(h, sideInfo(h, 0, 800))), KvMp3StepOk);
    EXPECT_EQ(s.rec(0).flags & (KvMp3FrameFlag::Broken | KvMp3FrameFlag::Crc), KvMp3FrameFlag::Crc);
    EXPECT_TRUE(s.rec(1).flags & KvMp3FrameFlag::Broken);
    EXPECT_EQ(s.rec(1).payloadLength, 0);
    EXPECT_FALSE(s.rec(2).flags & KvMp3FrameFlag::Broken);
    EXPECT_EQ(s.rec(0).capacity, 379);

    // With the check switched off a mismatch passes.
    Scan off;
    off.in.crcCheck = 0;
    ASSERT_EQ(off.step(frame(h, sideInfo(h, 0, 800), true)), KvMp3StepOk);
    EXPECT_FALSE(off.rec(0).flags & KvMp3FrameFlag::Broken);
}

TEST(KvMp3FrameStep, UnusableFramesGiveTheirCodes)
{
    const KvMp3FrameHeader good = header(0, 9, 0, 1);
    const Bytes ok = frame(good, sideInfo(good, 0, 80));
    struct Case { const char *what; Bytes bytes; int result; };
    Bytes layer2 = ok;
    layer2[1] = 0xFD;
    Bytes free = ok;
    free[2] = 0x00;
    Bytes br15 = ok;
    br15[2] = 0xF0;
    Bytes sf3 = ok;
    sf3[2] = 0x9C;
    Bytes blockType = ok;
    {
        KvMp3SideInfo si = sideInfo(good, 0, 80);
        si.ch[0].gr[0].window_switching_flag = 1;
        si.ch[0].gr[0].block_type = 0;
        blockType = frame(good, si);
    }
    const Case cases[] = {
        {"layer II", layer2, KvMp3StepNotLayer3},
        {"free format", free, KvMp3StepUnreadable},
        {"bitrate 15", br15, KvMp3StepUnreadable},
        {"rate 3", sf3, KvMp3StepUnreadable},
        {"window switching with block type 0", blockType, KvMp3StepUnreadable},
        {"no sync", Bytes(600, 0x00), KvMp3StepUnreadable},
        {"empty", Bytes(), KvMp3StepUnreadable},
        {"truncated frame", Bytes(ok.begin(), ok.begin() + 300), KvMp3StepFrameTooLong},
        {"truncated side information", Bytes(ok.begin(), ok.begin() + 20), KvMp3StepFrameTooLong},
    };
    for (const Case &c : cases) {
        Scan s;
        EXPECT_EQ(s.step(c.bytes), c.result) << c.what;
    }
}

TEST(KvMp3FrameStep, TinyFramesAndTrailingBytesAreRead)
{
    // 8 kbit/s MPEG-2 frames at 22.05 kHz are 26 bytes long.
    const KvMp3FrameHeader h = header(1, 1, 0, 3);
    Scan s;
    const Bytes f = frame(h, sideInfo(h, 0, 40));
    ASSERT_EQ(f.size(), 26u);
    ASSERT_EQ(s.step(f), KvMp3StepOk);
    EXPECT_EQ(s.rec(0).capacity, 13);
    EXPECT_EQ(s.rec(0).payloadLength, 5);
    // Bytes after the frame (a stray tag, say) are its ancillary data.
    ASSERT_EQ(s.step(f + Bytes(1000, 0x33)), KvMp3StepOk);
    EXPECT_EQ(s.in.used, 1026);
    EXPECT_EQ(s.in.version, 1);
    EXPECT_EQ(s.in.sampleRate, 22050);
    // Junk before the header is skipped by the sync search.
    ASSERT_EQ(s.step(Bytes(7, 0x00) + f), KvMp3StepOk);
    EXPECT_EQ(s.rec(2).payloadLength, 5);
    EXPECT_EQ(s.format.sampleRate(), 22050);
}

TEST(KvMp3FrameStep, SilentSourceFramesReadNothing)
{
    Scan s;
    s.format = KvMP3FrameSizeInfo(1, 0, 3);
    EXPECT_EQ(s.format.firstBitrateIndex(), -1);
    ASSERT_EQ(s.step(Bytes(), true), KvMp3StepOk);
    EXPECT_EQ(s.in.used, 0);
    EXPECT_EQ(s.rec(0).capacity, 13);   // bitrate index 1 of the format
    EXPECT_EQ(s.rec(0).bitrateIndex(), 1);
    EXPECT_TRUE(s.rec(0).flags & KvMp3FrameFlag::NoAudio);
    EXPECT_EQ(s.state->frameStart, 0);
    // Without format facts a silent frame cannot be built.
    Scan none;
    KvMp3FrameContext ctx;
    ctx.silentSource = 1;
    EXPECT_EQ(KvMp3FrameStep(none.in, *none.state, nullptr, ctx, nullptr), KvMp3StepUnreadable);
}

TEST(KvMp3FrameStep, ParseFrameStartReadsSideInformation)
{
    const KvMp3FrameHeader h = header(1, 8, 0, 1, true);
    const KvMp3SideInfo si = sideInfo(h, 77, 1234, {10, 255});
    const Bytes f = frame(h, si);
    KvMp3FrameHeader rh{};
    KvMp3SideInfo rs{};
    ASSERT_EQ(KvMp3ParseFrameStart(f.data(), f.size(), rh, rs), KvMp3SyntaxOk);
    EXPECT_EQ(rs.main_data_begin, 77);
    EXPECT_EQ(rs.ch[0].gr[0].global_gain + kKvMp3GainBias, 10);
    EXPECT_EQ(rs.ch[1].gr[0].global_gain + kKvMp3GainBias, 255);
    EXPECT_EQ(rs.ch[0].gr[0].part2_3_length, 1234);
    EXPECT_EQ(KvMp3ParseFrameStart(f.data(), 10, rh, rs), KvMp3NotEnoughData);
}
