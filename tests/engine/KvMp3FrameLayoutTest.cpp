// Output capacity and the layout of one output frame, from their numbers.
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameContext.h"
#include "KvMp3FrameLayout.h"
#include "KvMp3Records.h"

#include <gtest/gtest.h>

TEST(KvMp3FrameLayout, OutputCapacity)
{
    struct Case {
        int version, sfi, mode, index;
        bool padding, crc;
        int capacity;
    };
    const Case cases[] = {
        {0, 0, 1, 9, false, false, 381},   // 128 kbit/s, 44.1 kHz: 417-byte frame
        {0, 0, 1, 9, true, false, 382},
        {0, 0, 1, 9, false, true, 379},
        {0, 0, 3, 9, false, false, 396},   // mono side information is 17 bytes
        {0, 0, 1, 14, false, false, 1008}, // 320 kbit/s
        {1, 1, 0, 1, false, true, 1},      // 8 kbit/s, 24 kHz stereo with CRC: the smallest area
        {2, 2, 3, 1, false, false, 59},    // MPEG-2.5, 8 kHz mono, 8 kbit/s: 72-byte frame
        {0, 0, 1, 0, false, false, 0},     // free format: no area
    };
    for (const Case &c : cases)
        EXPECT_EQ(KvMp3OutputCapacity(c.version, c.sfi, c.mode, c.index, c.padding, c.crc), c.capacity)
            << c.version << " " << c.index;
}

TEST(KvMp3FrameLayout, OutputBitrateFallsBackToTheSource)
{
    KvMP3GainFrameInfo src{};
    src.flags = uint8_t(9 << 4);
    KvMP3GainChangeInfo edit{};
    edit.setBitrateIndex(12);
    EXPECT_EQ(KvMp3OutputBitrateIndex(edit, src), 12);
    edit.setBitrateIndex(0);
    EXPECT_EQ(KvMp3OutputBitrateIndex(edit, src), 9);
    edit.setBitrateIndex(15);
    EXPECT_EQ(KvMp3OutputBitrateIndex(edit, src), 9);
}

TEST(KvMp3FrameLayout, LayoutCases)
{
    struct Case {
        const char *what;
        KvMp3LayoutInput in;   // m, c, m', L, M, M', C
        int gap, fill, lead, tail;
    };
    const Case cases[] = {
        // The source's own plan without ancillary bytes: no fill.
        {"identity", {70, 382, 31, 421, 70, 31, 382}, 0, 0, 351, 31},
        // 40 payload bytes in the area, twelve fill bytes, then the next payload.
        {"fill inside", {0, 100, 48, 40, 0, 48, 100}, 12, 12, 40, 48},
        // A higher bitrate: the extra area is fill.
        {"more room", {70, 382, 31, 421, 70, 31, 1008}, 0, 626, 351, 31},
        // Ancillary bytes in the source count as gap and become fill.
        {"source gap", {10, 100, 20, 60, 10, 20, 100}, 30, 30, 50, 20},
        // No payload: the whole lead is fill.
        {"no payload", {0, 100, 0, 0, 0, 30, 100}, 100, 70, 0, 30},
        // The payload ended in earlier frames and the fill runs into this area.
        {"payload before the area", {201, 382, 0, 186, 201, 0, 382}, 397, 382, 0, 0},
        // The next frame's reservoir reaches past this whole area.
        {"long tail", {0, 13, 244, 2, 0, 244, 13}, 0, 0, -231, 244},
    };
    for (const Case &c : cases) {
        const KvMp3FrameLayout l = KvMp3LayoutFrame(c.in);
        EXPECT_EQ(l.gap, c.gap) << c.what;
        EXPECT_EQ(l.fill, c.fill) << c.what;
        EXPECT_EQ(l.lead, c.lead) << c.what;
        EXPECT_EQ(l.tail, c.tail) << c.what;
        EXPECT_EQ(l.lead + l.fill + l.tail, c.in.capacity) << c.what;
    }
}

// The context form reads the next record of the same source table, ignores
// the payload of a dropped frame and stores C in the edit record.
TEST(KvMp3FrameLayout, FromContext)
{
    KvMP3FrameSizeInfo format(0, 0, 1);
    KvMP3GainFrameInfo table[3]{};
    table[0].mainDataBegin = 70;
    table[0].capacity = 382;
    table[0].payloadLength = 421;
    table[0].flags = uint8_t(9 << 4) | KvMp3FrameFlag::Padding;
    table[1].mainDataBegin = 31;
    KvMP3GainChangeInfo edits[2]{};
    edits[0].setBitrateIndex(9);
    edits[0].mainDataBegin = 70;
    edits[1].mainDataBegin = 31;
    KvMp3FrameContext ctx;
    ctx.sourceRecord = &table[0];
    ctx.editRecord = &edits[0];
    ctx.nextEditRecord = &edits[1];
    ctx.format = &format;
    ASSERT_TRUE(KvMp3UpdateLayout(ctx));
    EXPECT_EQ(int(edits[0].capacity), 382);
    EXPECT_EQ(ctx.lead, 351);
    EXPECT_EQ(ctx.fill, 0);
    EXPECT_EQ(ctx.tail, 31);
    EXPECT_EQ(KvMp3ContextGap(ctx), 0);

    edits[0].flags |= KvMp3EditFlag::Dropped;
    ASSERT_TRUE(KvMp3UpdateLayout(ctx));
    EXPECT_EQ(ctx.gap, 70 - 31 + 382);
    EXPECT_EQ(ctx.lead, 0);
    EXPECT_EQ(ctx.fill + ctx.tail, 382);

    ctx.format = nullptr;
    EXPECT_FALSE(KvMp3UpdateLayout(ctx));
}
