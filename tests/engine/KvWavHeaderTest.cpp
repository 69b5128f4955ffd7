#include "KvWavHeader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {
uint32_t le32(const unsigned char *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const unsigned char *p) { return uint16_t(p[0] | p[1] << 8); }
}

TEST(KvWavHeader, DefaultsAndPositionAfterRewrite)
{
    FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    KvWriteWavHeader(f, 0, 0, 0);
    const char samples[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::fwrite(samples, 1, sizeof samples, f);
    KvWriteWavHeader(f, sizeof samples, 0, 0);
    EXPECT_EQ(std::ftell(f), 44);

    unsigned char h[52];
    std::rewind(f);
    ASSERT_EQ(std::fread(h, 1, sizeof h, f), sizeof h);
    std::fclose(f);
    EXPECT_EQ(std::memcmp(h, "RIFF", 4), 0);
    EXPECT_EQ(le32(h + 4), 36u + 8u);
    EXPECT_EQ(std::memcmp(h + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(le32(h + 16), 16u);
    EXPECT_EQ(le16(h + 20), 1);
    EXPECT_EQ(le16(h + 22), 2);
    EXPECT_EQ(le32(h + 24), 44100u);
    EXPECT_EQ(le32(h + 28), 176400u);
    EXPECT_EQ(le16(h + 32), 4);
    EXPECT_EQ(le16(h + 34), 16);
    EXPECT_EQ(std::memcmp(h + 36, "data", 4), 0);
    EXPECT_EQ(le32(h + 40), 8u);
    EXPECT_EQ(std::memcmp(h + 44, samples, 8), 0);
}

TEST(KvWavHeader, SizeClampsInsteadOfWrapping)
{
    unsigned char h[44];
    KvFillWavHeader(h, 0xFFFFFFF0ull, 22050, 1);
    EXPECT_EQ(le32(h + 4), 0xFFFFFFFFu);
    EXPECT_EQ(le32(h + 40), 0xFFFFFFF0u);
    EXPECT_EQ(le32(h + 28), 44100u);
    KvFillWavHeader(h, 5ull << 32, 22050, 1);
    EXPECT_EQ(le32(h + 40), 0xFFFFFFFFu);
    EXPECT_EQ(KvWavHeaderSize(), 44);
}
