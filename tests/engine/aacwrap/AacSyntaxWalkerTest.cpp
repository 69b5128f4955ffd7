#include "AacSyntaxWalker.h"
#include "AacBands.h"
#include "AacTestStreams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kvaac;

namespace {

AacConfig configOf(const aactest::AdtsStream &s)
{
    AacConfig c;
    c.objectType = c.signalledType = s.objectType;
    c.samplingIndex = s.samplingIndex;
    c.sampleRate = samplingRate(s.samplingIndex);
    c.channelConfig = s.channelConfig;
    c.channels = s.channelConfig ? channelsOfConfig(s.channelConfig) : 2;
    return c;
}

const uint8_t *bytes(const QByteArray &a) { return reinterpret_cast<const uint8_t *>(a.constData()); }

class WalkFixture : public testing::TestWithParam<std::string> {};

std::vector<std::string> fixtureNames()
{
    std::vector<std::string> names;
    for (const QString &n : aactest::adtsFixtures())
        names.push_back(n.toStdString());
    return names;
}

} // namespace

// The strongest check of the walk: over every frame of every fixture it must end at the
// frame's last bit, with only zero byte-alignment padding after END.
TEST_P(WalkFixture, EveryFrameEndsAtItsLastBit)
{
    const aactest::AdtsStream s = aactest::readAdts(aactest::aacFixture(QString::fromStdString(GetParam())));
    ASSERT_GT(s.frames.size(), 20u);
    const AacConfig cfg = configOf(s);
    int index = 0;
    for (const QByteArray &f : s.frames) {
        SCOPED_TRACE(testing::Message() << "frame " << index++);
        FrameWalk walk;
        ASSERT_EQ(walkRawFrame(bytes(f), size_t(f.size()), cfg, WalkDepth::Full, &walk), WalkOk);
        ASSERT_TRUE(walk.complete);
        EXPECT_EQ((walk.endBit + 7) / 8, size_t(f.size()));
        const int pad = int(size_t(f.size()) * 8 - walk.endBit);
        if (pad > 0) {
            EXPECT_EQ(uint8_t(f.back()) & ((1 << pad) - 1), 0);
        }
        EXPECT_EQ(walk.streams, cfg.channels);
    }
}

// The shortened walks see the same fields as the full one.
TEST_P(WalkFixture, ShortWalksAgreeWithTheFullWalk)
{
    const aactest::AdtsStream s = aactest::readAdts(aactest::aacFixture(QString::fromStdString(GetParam())));
    const AacConfig cfg = configOf(s);
    for (const QByteArray &f : s.frames) {
        FrameWalk full, gains, first;
        ASSERT_EQ(walkRawFrame(bytes(f), size_t(f.size()), cfg, WalkDepth::Full, &full), WalkOk);
        ASSERT_EQ(walkRawFrame(bytes(f), size_t(f.size()), cfg, WalkDepth::Gains, &gains), WalkOk);
        ASSERT_EQ(walkRawFrame(bytes(f), size_t(f.size()), cfg, WalkDepth::FirstGain, &first),
                  WalkOk);
        ASSERT_EQ(gains.streams, full.streams);
        for (int i = 0; i < full.streams; ++i) {
            EXPECT_EQ(gains.stream[i].gainBit, full.stream[i].gainBit);
            EXPECT_EQ(gains.stream[i].gain, full.stream[i].gain);
            EXPECT_EQ(gains.stream[i].hasSf, full.stream[i].hasSf);
            EXPECT_EQ(gains.stream[i].sfMin, full.stream[i].sfMin);
            EXPECT_EQ(gains.stream[i].sfMax, full.stream[i].sfMax);
            EXPECT_EQ(gains.stream[i].noiseMin, full.stream[i].noiseMin);
            EXPECT_EQ(gains.stream[i].noiseMax, full.stream[i].noiseMax);
        }
        ASSERT_EQ(first.streams, 1);
        EXPECT_EQ(first.stream[0].gainBit, full.stream[0].gainBit);
        EXPECT_EQ(first.stream[0].gain, full.stream[0].gain);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WalkFixture, testing::ValuesIn(fixtureNames()),
                         [](const testing::TestParamInfo<std::string> &i) {
                             std::string n = i.param;
                             std::replace(n.begin(), n.end(), '.', '_');
                             return n;
                         });

// Cut frames and flipped bits end in an error or a walk, never a read past the buffer
// (the fuzz target does the same at scale under ASan).
TEST(AacSyntaxWalker, DamagedFramesFailCleanly)
{
    const aactest::AdtsStream s = aactest::readAdts(aactest::aacFixture("clicks_stereo.aac"));
    const AacConfig cfg = configOf(s);
    int truncatedOk = 0;
    for (size_t i = 0; i < s.frames.size(); i += 7) {
        const QByteArray &f = s.frames[i];
        for (int cut = 1; cut < f.size(); cut += 3) {
            FrameWalk walk;
            const int rc = walkRawFrame(bytes(f), size_t(cut), cfg, WalkDepth::Full, &walk);
            if (rc == WalkOk)
                ++truncatedOk; // only possible when the cut leaves a valid shorter frame
            else
                EXPECT_LT(rc, 0);
        }
        QByteArray flipped = f;
        for (int bit = 0; bit < flipped.size() * 8; bit += 5) {
            flipped[bit / 8] = char(flipped[bit / 8] ^ (0x80 >> (bit % 8)));
            FrameWalk walk;
            walkRawFrame(bytes(flipped), size_t(flipped.size()), cfg, WalkDepth::Full, &walk);
            EXPECT_LE(walk.endBit, size_t(flipped.size()) * 8);
        }
    }
    EXPECT_LT(truncatedOk, 5);
}

TEST(AacSyntaxWalker, RefusesWhatItDoesNotHandle)
{
    const uint8_t cce[] = {0x40, 0x00, 0x00, 0x00}; // element id 2 (coupling channel)
    AacConfig cfg;
    cfg.objectType = 2;
    cfg.samplingIndex = 4;
    cfg.channelConfig = 1;
    cfg.channels = 1;
    FrameWalk walk;
    EXPECT_EQ(walkRawFrame(cce, sizeof cce, cfg, WalkDepth::Full, &walk), WalkUnsupported);
    cfg.frameLengthFlag = 1;
    EXPECT_EQ(walkRawFrame(cce, sizeof cce, cfg, WalkDepth::Full, &walk), WalkUnsupported);
    cfg.frameLengthFlag = 0;
    cfg.objectType = 3;
    EXPECT_EQ(walkRawFrame(cce, sizeof cce, cfg, WalkDepth::Full, &walk), WalkUnsupported);
}
