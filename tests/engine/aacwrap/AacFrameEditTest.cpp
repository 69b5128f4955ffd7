#include "AacBands.h"
#include "AacBits.h"
#include "AacFrameEdit.h"
#include "AacTestStreams.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

using namespace kvaac;

namespace {

AacConfig lcConfig(int channelConfig, int samplingIndex = 4)
{
    AacConfig c;
    c.objectType = c.signalledType = 2;
    c.samplingIndex = samplingIndex;
    c.sampleRate = samplingRate(samplingIndex);
    c.channelConfig = channelConfig;
    c.channels = channelsOfConfig(channelConfig);
    return c;
}

const uint8_t *bytes(const QByteArray &a) { return reinterpret_cast<const uint8_t *>(a.constData()); }

} // namespace

TEST(AacFrameEdit, SilentFramesAreCompleteForEveryChannelConfiguration)
{
    for (int config = 1; config <= 7; ++config) {
        SCOPED_TRACE(config);
        const AacConfig cfg = lcConfig(config);
        const std::vector<uint8_t> f = silentFrame(cfg);
        ASSERT_FALSE(f.empty());
        FrameWalk walk;
        ASSERT_EQ(walkRawFrame(f.data(), f.size(), cfg, WalkDepth::Full, &walk), WalkOk);
        EXPECT_TRUE(walk.complete);
        EXPECT_EQ((walk.endBit + 7) / 8, f.size());
        EXPECT_EQ(walk.streams, cfg.channels);
    }
    EXPECT_EQ(silentFrame(lcConfig(1)).size(), 4u);
    AacConfig none = lcConfig(1);
    none.channelConfig = 0;
    none.channels = 7; // no channel configuration carries 7 channels
    EXPECT_TRUE(silentFrame(none).empty());
}

TEST(AacFrameEdit, SilentFramesDecodeToDigitalSilence)
{
    kvtest::TempDir dir;
    for (int config : {1, 2, 6}) {
        SCOPED_TRACE(config);
        const AacConfig cfg = lcConfig(config, 3);
        const std::vector<uint8_t> f = silentFrame(cfg);
        QByteArray file;
        for (int i = 0; i < 30; ++i) {
            uint8_t h[kAdtsHeaderSize];
            ASSERT_TRUE(writeAdtsHeader(cfg, int(f.size()), h));
            file.append(reinterpret_cast<const char *>(h), kAdtsHeaderSize);
            file.append(reinterpret_cast<const char *>(f.data()), int(f.size()));
        }
        const QString path = dir.file(QString("silent%1.aac").arg(config));
        ASSERT_TRUE(kvtest::writeFile(path, file));
        int channels = 0;
        QString errors;
        const std::vector<float> pcm = aactest::decodeFloat(path, &channels, &errors);
        EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
        EXPECT_EQ(channels, cfg.channels);
        ASSERT_EQ(pcm.size(), size_t(30 * 1024 * cfg.channels));
        for (float v : pcm)
            ASSERT_EQ(v, 0.0f);
    }
}

TEST(AacFrameEdit, GainClampKeepsEveryFieldInRange)
{
    auto stream = [](int gain, int sfMin, int sfMax, bool noise = false, int nMin = 0, int nMax = 0) {
        ChannelStreamGain s;
        s.gain = uint8_t(gain);
        s.hasSf = sfMin >= 0;
        s.sfMin = sfMin;
        s.sfMax = sfMax;
        s.hasNoise = noise;
        s.noiseMin = nMin;
        s.noiseMax = nMax;
        return s;
    };
    struct Case {
        std::vector<ChannelStreamGain> streams;
        int delta, expected;
    } cases[] = {
        {{stream(100, 90, 140)}, 4, 4},
        {{stream(100, 90, 140)}, 200, 115},            // largest scalefactor reaches 255
        {{stream(100, 90, 140)}, -200, -90},           // smallest reaches 0
        {{stream(250, -1, -1)}, 10, 5},                // no bands: the 8-bit field itself
        {{stream(5, -1, -1)}, -10, -5},
        {{stream(100, 90, 140), stream(100, 60, 250)}, 10, 5}, // the whole frame moves alike
        {{stream(100, 90, 140, true, 10, 150)}, 20, 5},        // noise energy limit 155
        {{stream(100, 90, 140, true, -95, 20)}, -20, -5},      // and -100
        {{stream(100, 90, 140, true, 160, 170)}, 3, 0},        // already out: no worse
        {{stream(100, 90, 140, true, 160, 170)}, -3, -3},
    };
    for (const Case &c : cases) {
        FrameWalk w;
        w.streams = int(c.streams.size());
        for (size_t i = 0; i < c.streams.size(); ++i)
            w.stream[i] = c.streams[i];
        EXPECT_EQ(clampGainDelta(w, c.delta), c.expected) << c.delta;
    }
}

// A gain change rewrites exactly the global_gain fields: the walk still ends at the same
// bit, every scalefactor moved by the delta, and no other bit changed.
TEST(AacFrameEdit, GainChangeMovesOnlyTheGlobalGains)
{
    for (const char *name : {"clicks_stereo.aac", "pns_is_low.aac", "surround51.aac",
                             "main_pred.aac", "ltp.aac", "rate_8000_mono.aac"}) {
        SCOPED_TRACE(name);
        const aactest::AdtsStream s = aactest::readAdts(aactest::aacFixture(name));
        AacConfig cfg = lcConfig(s.channelConfig, s.samplingIndex);
        cfg.objectType = s.objectType;
        for (int delta : {4, -8, 300, -300}) {
            for (const QByteArray &orig : s.frames) {
                FrameWalk before;
                ASSERT_EQ(walkRawFrame(bytes(orig), size_t(orig.size()), cfg, WalkDepth::Full, &before), WalkOk);
                QByteArray f = orig;
                auto *data = reinterpret_cast<uint8_t *>(f.data());
                const GainResult r = changeFrameGain(data, size_t(f.size()), cfg, delta);
                ASSERT_EQ(r.error, WalkOk);
                EXPECT_EQ(r.applied, clampGainDelta(before, delta));
                FrameWalk after;
                ASSERT_EQ(walkRawFrame(data, size_t(f.size()), cfg, WalkDepth::Full, &after), WalkOk);
                EXPECT_EQ(after.endBit, before.endBit);
                QByteArray mask(f.size(), char(0xff));
                for (int i = 0; i < before.streams; ++i) {
                    EXPECT_EQ(after.stream[i].gain, before.stream[i].gain + r.applied);
                    if (before.stream[i].hasSf) {
                        EXPECT_EQ(after.stream[i].sfMin, before.stream[i].sfMin + r.applied);
                        EXPECT_EQ(after.stream[i].sfMax, before.stream[i].sfMax + r.applied);
                    }
                    putBitsAt(reinterpret_cast<uint8_t *>(mask.data()), before.stream[i].gainBit, 8, 0);
                }
                for (int i = 0; i < f.size(); ++i)
                    ASSERT_EQ(f[i] & mask[i], orig[i] & mask[i]);
            }
        }
    }
}

// What the writer keeps from the walk at indexing must edit a frame exactly as walking it
// again would: same bytes and the same result, for sound, damaged and cut-short frames,
// across indexes joined from parts and cut back.
TEST(AacFrameEdit, GainIndexEditsLikeAFreshWalk)
{
    for (const char *name : {"clicks_stereo.aac", "pns_is_low.aac", "surround51.aac", "ltp.aac",
                             "rate_8000_mono.aac"}) {
        SCOPED_TRACE(name);
        const aactest::AdtsStream s = aactest::readAdts(aactest::aacFixture(name));
        AacConfig cfg = lcConfig(s.channelConfig, s.samplingIndex);
        cfg.objectType = s.objectType;
        std::vector<QByteArray> frames;
        for (size_t i = 0; i < s.frames.size(); ++i) {
            QByteArray f = s.frames[i];
            if (i % 5 == 1)
                f[int(i) % f.size()] = char(f[int(i) % f.size()] ^ 0x5a); // damaged
            else if (i % 5 == 2)
                f.chop(f.size() / 2); // cut short
            frames.push_back(f);
        }
        FrameGainIndex head, tail;
        for (size_t i = 0; i < frames.size(); ++i) {
            FrameWalk walk;
            const int rc = walkRawFrame(bytes(frames[i]), size_t(frames[i].size()), cfg, WalkDepth::Gains, &walk);
            (i < frames.size() / 3 ? head : tail).add(rc, walk);
        }
        FrameGainIndex index = head;
        index.append(tail);
        index.append(head);
        index.truncate(frames.size());
        ASSERT_EQ(index.size(), frames.size());
        int failed = 0;
        for (int delta : {0, 2, -5, 300, -300}) {
            for (size_t i = 0; i < frames.size(); ++i) {
                QByteArray walked = frames[i], kept = frames[i];
                const GainResult a = changeFrameGain(reinterpret_cast<uint8_t *>(walked.data()),
                                                     size_t(walked.size()), cfg, delta);
                const GainResult b =
                    index.change(i, reinterpret_cast<uint8_t *>(kept.data()), size_t(kept.size()), delta);
                ASSERT_EQ(b.error, a.error) << "frame " << i << " delta " << delta;
                ASSERT_EQ(b.applied, a.applied) << "frame " << i << " delta " << delta;
                ASSERT_EQ(kept, walked) << "frame " << i << " delta " << delta;
                failed += a.error != WalkOk ? 1 : 0;
            }
        }
        EXPECT_GT(failed, 0); // the table holds frames the walker refuses
    }
}
