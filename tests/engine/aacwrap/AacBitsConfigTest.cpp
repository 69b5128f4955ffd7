#include "AacBits.h"
#include "AacConfig.h"
#include "AacTestStreams.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

using namespace kvaac;

TEST(AacBits, FieldsRoundTripAndReadsPastTheEndAreZero)
{
    const struct {
        uint32_t value;
        int bits;
    } fields[] = {{1, 1}, {5, 3}, {0xabc, 12}, {0, 7}, {0xffffffffu, 32}, {0x12345, 17},
                  {3, 2}, {0x7f, 7}, {0xdeadbeefu, 32}, {1, 1}};
    BitWriter bw;
    for (const auto &f : fields)
        bw.put(f.value, f.bits);
    const size_t total = bw.pos();
    BitReader br(bw.bytes().data(), bw.bytes().size());
    for (const auto &f : fields)
        EXPECT_EQ(br.read(f.bits), f.value);
    EXPECT_EQ(br.pos(), total);
    EXPECT_FALSE(br.overrun());
    br.alignByte();
    EXPECT_EQ(br.read(32), 0u);
    EXPECT_TRUE(br.overrun());
}

TEST(AacBits, PutBitsAtChangesOnlyItsField)
{
    for (size_t pos : {0u, 3u, 7u, 8u, 13u}) {
        uint8_t buf[4] = {0xa5, 0x5a, 0xc3, 0x3c};
        const uint8_t orig[4] = {0xa5, 0x5a, 0xc3, 0x3c};
        putBitsAt(buf, pos, 8, 0x96);
        BitReader br(buf, 4);
        BitReader ref(orig, 4);
        EXPECT_EQ(br.read(int(pos)), ref.read(int(pos)));
        EXPECT_EQ(br.read(8), 0x96u);
        ref.skip(8);
        EXPECT_EQ(br.read(int(24 - pos)), ref.read(int(24 - pos)));
    }
}

TEST(AacConfig, ParsesAudioSpecificConfigs)
{
    struct Case {
        std::vector<uint8_t> bytes;
        int type, rate, channels, sbr, extRate;
    } cases[] = {
        {{0x12, 0x10}, 2, 44100, 2, 0, 0},
        {{0x11, 0x90}, 2, 48000, 2, 0, 0},
        {{0x13, 0x88}, 2, 22050, 1, 0, 0},
        {{0x0a, 0x10}, 1, 44100, 2, 0, 0},
        {{0x22, 0x10}, 4, 44100, 2, 0, 0},
        {{0x11, 0xb0}, 2, 48000, 6, 0, 0},
        // backward-compatible SBR signalling: absent, then present with a 44.1 kHz output
        {{0x12, 0x10, 0x56, 0xe5, 0x00}, 2, 44100, 2, 0, 0},
        {{0x13, 0x90, 0x56, 0xe5, 0xa0}, 2, 22050, 2, 1, 44100},
    };
    for (const Case &c : cases) {
        AacConfig cfg;
        ASSERT_TRUE(parseAudioSpecificConfig(c.bytes.data(), c.bytes.size(), &cfg));
        EXPECT_EQ(cfg.objectType, c.type);
        EXPECT_EQ(cfg.sampleRate, c.rate);
        EXPECT_EQ(cfg.channels, c.channels);
        EXPECT_EQ(cfg.sbr, c.sbr);
        EXPECT_EQ(cfg.extSampleRate, c.extRate);
        EXPECT_EQ(cfg.samplesPerFrame(), 1024);
    }
    const uint8_t ssrLess[] = {0x12};
    AacConfig cfg;
    EXPECT_FALSE(parseAudioSpecificConfig(ssrLess, 0, &cfg));
    const uint8_t als[] = {0xf8, 0x80, 0x00, 0x00}; // object type 36
    EXPECT_FALSE(parseAudioSpecificConfig(als, sizeof als, &cfg));
}

TEST(AacConfig, BuiltConfigsParseBack)
{
    AacConfig in;
    in.objectType = in.signalledType = 2;
    in.channelConfig = 2;
    in.channels = 2;
    for (int rate : {7350, 8000, 44100, 48000, 96000, 50000}) {
        in.sampleRate = rate;
        in.samplingIndex = rate == 50000 ? 15 : -1;
        for (int sbr : {0, 1}) {
            in.sbr = sbr;
            in.extSampleRate = sbr ? 2 * rate : 0;
            const std::vector<uint8_t> asc = buildAudioSpecificConfig(in);
            AacConfig out;
            ASSERT_TRUE(parseAudioSpecificConfig(asc.data(), asc.size(), &out));
            EXPECT_EQ(out.objectType, 2);
            EXPECT_EQ(out.sampleRate, rate);
            EXPECT_EQ(out.channels, 2);
            EXPECT_EQ(out.sbr, sbr);
            EXPECT_EQ(out.extSampleRate, in.extSampleRate);
        }
    }
}

TEST(AacConfig, AdtsHeaderMatchesFfmpegsOwn)
{
    for (const char *name : {"rate_44100_stereo.aac", "rate_8000_mono.aac", "surround51.aac"}) {
        const QByteArray file = kvtest::readFile(aactest::aacFixture(name));
        ASSERT_GE(file.size(), 7);
        AdtsHeader h;
        ASSERT_TRUE(parseAdtsHeader(reinterpret_cast<const uint8_t *>(file.constData()),
                                    size_t(file.size()), &h));
        AacConfig cfg = configFromAdts(h);
        uint8_t mine[kAdtsHeaderSize];
        ASSERT_TRUE(writeAdtsHeader(cfg, h.frameLength - h.headerSize, mine));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(mine), 7), file.left(7)) << name;
    }
}

TEST(AacConfig, AdtsRefusesWhatItCannotExpress)
{
    AacConfig cfg;
    cfg.objectType = 2;
    cfg.samplingIndex = 4;
    cfg.channelConfig = 2;
    uint8_t h[kAdtsHeaderSize];
    EXPECT_TRUE(writeAdtsHeader(cfg, kAdtsMaxFrame - 7, h));
    EXPECT_FALSE(writeAdtsHeader(cfg, kAdtsMaxFrame - 6, h));
    cfg.samplingIndex = 15;
    EXPECT_FALSE(writeAdtsHeader(cfg, 100, h));
    cfg.samplingIndex = 4;
    cfg.objectType = 5;
    EXPECT_FALSE(writeAdtsHeader(cfg, 100, h));
}
