// The shared decode and encode pipelines of the back-end base: volume, channel mapping,
// SoundTouch tempo and pitch, peaks, and the bounds of the encode path.
#include "AudioTestUtil.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kvaudiotest;

namespace {
constexpr int kRate = 44100;

// Runs PCM through decode() in frame-sized blocks, then the end-of-stream calls.
QByteArray decodeAll(audio_lib &lib, const QByteArray &pcm, int block)
{
    QByteArray result, out(256 * 1024, '\0');
    int outLen = 0;
    for (int off = 0; off < pcm.size(); off += block) {
        EXPECT_EQ(lib.decode(pcm.constData() + off, std::min(block, pcm.size() - off), out.data(),
                             out.size(), &outLen), 0);
        result.append(out.constData(), outLen);
    }
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(lib.decode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        if (outLen == 0)
            break;
        result.append(out.constData(), outLen);
    }
    return result;
}

QByteArray encodeAll(audio_lib &lib, const QByteArray &pcm, int block)
{
    QByteArray result, out(1024 * 1024, '\0');
    int outLen = 0;
    for (int off = 0; off < pcm.size(); off += block) {
        EXPECT_EQ(lib.encode(pcm.constData() + off, std::min(block, pcm.size() - off), out.data(),
                             out.size(), &outLen), 0);
        result.append(out.constData(), outLen);
    }
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(lib.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        if (outLen == 0)
            break;
        result.append(out.constData(), outLen);
    }
    return result;
}

double dB(double ratio) { return 20.0 * std::log10(ratio); }

struct PipelineCase {
    const char *name;
    int channelsIn, channelsOut;
    double leftAmp, rightAmp;  // input tone amplitudes (right only for stereo input)
    double volume, tempo, pitch;
    double levelDb;     // expected output level against the left input channel
    double seconds;     // expected duration
    double frequency;   // expected dominant frequency
};

void PrintTo(const PipelineCase &c, std::ostream *os) { *os << c.name; }

const PipelineCase kPipeline[] = {
    {"volume_half", 1, 1, 0.5, 0, 0.5, 1.0, 0, -30.0, 10.0, 440},
    {"volume_full", 1, 1, 0.5, 0, 1.0, 1.0, 0, 0.0, 10.0, 440},
    // 0.6 and 0.2 in phase average to 0.4: -3.52 dB against the left channel.
    {"two_to_one_averages", 2, 1, 0.6, 0.2, 1.0, 1.0, 0, dB(0.4 / 0.6), 10.0, 440},
    {"one_to_two_copies", 1, 2, 0.5, 0, 1.0, 1.0, 0, 0.0, 10.0, 440},
    {"tempo_1_5_keeps_pitch", 1, 1, 0.5, 0, 1.0, 1.5, 0, 0.0, 10.0 / 1.5, 440},
    {"pitch_up_octave_keeps_time", 1, 1, 0.5, 0, 1.0, 1.0, 12, 0.0, 10.0, 880},
};

class Pipeline : public ::testing::TestWithParam<PipelineCase> {};
} // namespace

TEST_P(Pipeline, DecodeAppliesVolumeChannelsTempoAndPitch)
{
    const PipelineCase c = GetParam();
    const QByteArray in = sine(kRate, c.channelsIn, 10.0, {440, 440}, 1.0);
    // Per-channel amplitudes.
    QByteArray pcm = in;
    auto *s = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < pcm.size() / 2; ++i)
        s[i] = qint16(std::lround(s[i] * ((i % c.channelsIn) == 0 ? c.leftAmp : c.rightAmp)));

    PcmPassthrough lib;
    ASSERT_TRUE(lib.open(c.channelsIn, 16, kRate, 1152, 1, 0, 0, 1.0, c.channelsOut, 0, false));
    lib.setVolume(c.volume);
    lib.setTempo(c.tempo);
    lib.setPitchSemiTones(c.pitch);
    const QByteArray out = decodeAll(lib, pcm, 1152 * 2 * c.channelsIn);

    kvtest::TempDir dir;
    const QString wav = dir.file("out.wav");
    ASSERT_TRUE(writeWav(wav, out, kRate, c.channelsOut));
    EXPECT_NEAR(soxDuration(wav), c.seconds, 0.05);
    EXPECT_NEAR(soxRoughFrequency(wav), c.frequency, c.frequency * 0.02);

    // Level of the middle 6 s (away from SoundTouch's ramps) against the left input.
    const int frames = out.size() / 2 / c.channelsOut;
    const int from = frames / 5, count = frames * 3 / 5;
    const QByteArray mid = out.mid(from * 2 * c.channelsOut, count * 2 * c.channelsOut);
    const double inLevel = c.leftAmp * 32767.0 / std::sqrt(2.0);
    EXPECT_NEAR(dB(rms(mid, c.channelsOut, 0) / inLevel), c.levelDb, 0.1);
    if (c.channelsOut == 2) {
        const QVector<qint16> v = samples(out);
        for (int i = 0; i + 1 < v.size(); i += 2)
            ASSERT_EQ(v[i], v[i + 1]) << "frame " << i / 2;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Pipeline, ::testing::ValuesIn(kPipeline),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(AudioLib, ChannelCombinationsAtSetUp)
{
    struct Row { int in, out; bool encode, ok; };
    const Row rows[] = {
        {1, 2, true, false}, {1, 2, false, true}, {2, 1, true, true}, {2, 1, false, true},
        {2, 0, true, true},  {0, 0, false, false}, {3, 3, false, false}, {1, 1, true, true},
    };
    for (const Row &r : rows) {
        PcmPassthrough lib;
        EXPECT_EQ(lib.open(r.in, 16, kRate, 1152, 2, 0, 0, 1.0, r.out, 0, r.encode), r.ok)
            << r.in << "->" << r.out << (r.encode ? " encode" : " decode");
    }
    PcmPassthrough closed;
    int outLen = 7;
    char buf[16];
    EXPECT_EQ(closed.decode(buf, 4, buf, 16, &outLen), -1);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(closed.encode(buf, 4, buf, 16, &outLen), -1);
    PcmPassthrough badRate;
    EXPECT_FALSE(badRate.open(1, 16, 0, 1152, 2, 0, 0, 1.0, 1, 0, false));
    EXPECT_FALSE(badRate.open(1, 16, kRate, 1152, 2, 0, 0, 0.0, 1, 0, false));
    EXPECT_FALSE(badRate.open(1, 16, kRate, 1152, 2, 0, 0, std::numeric_limits<double>::infinity(), 1, 0, false));
}

TEST(AudioLib, PeaksFullScaleNegativeAndMonoReadings)
{
    qint16 peaks[2] = {0, 0};
    const qint16 block[] = {100, -200, -32768, 5, 300, 7};
    audio_lib::scanPeaks(peaks, block, 2, sizeof block);
    EXPECT_EQ(peaks[0], 32767);
    EXPECT_EQ(peaks[1], 200);

    PcmPassthrough lib;
    ASSERT_TRUE(lib.open(1, 16, kRate, 1152, 1, 0, 0, 1.0, 1, 0, false));
    qint16 l = 0, r = 0;
    lib.takePeakLevels(&l, &r);
    EXPECT_EQ(l, -1);  // nothing measured yet
    QByteArray pcm = sine(kRate, 1, 0.1, {440}, 0.25);
    reinterpret_cast<qint16 *>(pcm.data())[10] = -32768;
    QByteArray out(64 * 1024, '\0');
    int outLen = 0;
    ASSERT_EQ(lib.decode(pcm.constData(), pcm.size(), out.data(), out.size(), &outLen), 0);
    lib.takePeakLevels(&l, &r);
    EXPECT_EQ(l, 32767);
    EXPECT_EQ(r, l);
    lib.takePeakLevels(&l, &r);
    EXPECT_EQ(l, -1);
    EXPECT_EQ(r, -1);
    lib.maxPeakLevels(&l, &r);
    EXPECT_EQ(l, 32767);
}

TEST(AudioLib, VolumeZeroIsSilenceAndFullScaleClampsSymmetrically)
{
    PcmPassthrough lib;
    ASSERT_TRUE(lib.open(1, 16, kRate, 1152, 1, 0, 0, 1.0, 1, 0, false));
    lib.setVolume(0.0);
    const QByteArray out = decodeAll(lib, sine(kRate, 1, 1.0, {440}, 0.9), 2304);
    ASSERT_GT(out.size(), 0);
    EXPECT_EQ(out, QByteArray(out.size(), '\0'));

    // A square wave at full scale: +32767 and -32768 in, never -32768 out.
    PcmPassthrough full;
    ASSERT_TRUE(full.open(1, 16, kRate, 1152, 1, 0, 0, 1.0, 1, 0, false));
    QByteArray sq(2 * kRate, '\0');
    auto *s = reinterpret_cast<qint16 *>(sq.data());
    for (int i = 0; i < kRate; ++i)
        s[i] = (i / 200) % 2 ? qint16(-32768) : qint16(32767);
    const QVector<qint16> v = samples(decodeAll(full, sq, 2304));
    ASSERT_FALSE(v.isEmpty());
    EXPECT_EQ(*std::min_element(v.begin(), v.end()), -32767);
    EXPECT_EQ(*std::max_element(v.begin(), v.end()), 32767);
}

TEST(AudioLib, AtUnityDecodingIsExactUntilTheFirstChangeEngagesSoundTouch)
{
    // Playback at unity must sound exactly like the decoded frames, in every channel mapping.
    const QByteArray stereo = sine(kRate, 2, 2.0, {440, 660}, 0.7);
    const QByteArray mono = sine(kRate, 1, 2.0, {440}, 0.7);
    {
        PcmPassthrough lib;
        ASSERT_TRUE(lib.open(2, 16, kRate, 1152, 1, 0, 0, 1.0, 2, 0, false));
        lib.setTempo(1.0);
        lib.setPitchSemiTones(0.0);
        EXPECT_EQ(decodeAll(lib, stereo, 4608), stereo);
        EXPECT_EQ(lib.samplesIn(), lib.samplesOut());
        EXPECT_EQ(lib.numUnprocessedSamples(), 0);
    }
    {
        PcmPassthrough lib;
        ASSERT_TRUE(lib.open(1, 16, kRate, 1152, 1, 0, 0, 1.0, 2, 0, false));
        const QVector<qint16> w = samples(decodeAll(lib, mono, 2304)), m = samples(mono);
        ASSERT_EQ(w.size(), 2 * m.size());
        for (int i = 0; i < m.size(); ++i)
            ASSERT_TRUE(w[2 * i] == m[i] && w[2 * i + 1] == m[i]) << "frame " << i;
    }
    {
        // Half of the stream at unity, then a tempo change: the first half comes out
        // untouched and nothing is lost at the switch (the rest in 1 / 1.5 of its time).
        PcmPassthrough lib;
        ASSERT_TRUE(lib.open(2, 16, kRate, 1152, 1, 0, 0, 1.0, 2, 0, false));
        const int half = stereo.size() / 2;
        QByteArray first = decodeAll(lib, stereo.left(half), 4608);
        // decodeAll ended with empty calls; at unity those hold nothing back.
        EXPECT_EQ(first, stereo.left(half));
        lib.setTempo(1.5);
        const QByteArray second = decodeAll(lib, stereo.mid(half), 4608);
        EXPECT_NEAR(double(second.size()) / half, 1.0 / 1.5, 0.02);
    }
}

TEST(AudioLibEncode, AtRatioOneTheCodecGetsTheInputUntouched)
{
    PcmPassthrough lib;
    ASSERT_TRUE(lib.open(2, 16, kRate, 0, 2, 0, 0, 1.0, 2, 0, true));
    lib.setVolume(0.5);
    lib.setTempo(2.0);
    lib.setPitchSemiTones(5);
    const QByteArray pcm = sine(kRate, 2, 0.5, {440, 660}, 0.5);
    const QByteArray out = encodeAll(lib, pcm, 9216);
    EXPECT_EQ(out, pcm);
    EXPECT_EQ(lib.bytesEncoded(), pcm.size());
    EXPECT_GE(lib.finishCalls, 1);
}

TEST(AudioLibEncode, TwoChannelsIntoOneAreAveragedNeverInterleaved)
{
    const QByteArray pcm = sine(kRate, 2, 1.0, {440, 660}, 0.5);
    const QVector<qint16> in = samples(pcm);
    {
        PcmPassthrough lib;
        ASSERT_TRUE(lib.open(2, 16, kRate, 0, 2, 0, 0, 1.0, 1, 0, true));
        encodeAll(lib, pcm, 9216);
        const QVector<qint16> got = samples(lib.received);
        ASSERT_EQ(got.size(), in.size() / 2);
        for (int i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], (int(in[2 * i]) + in[2 * i + 1]) / 2) << i;
    }
    {
        // Through SoundTouch: still one channel, at the resampled length.
        PcmPassthrough lib;
        ASSERT_TRUE(lib.open(2, 16, kRate, 0, 2, 0, 0, 48000.0 / kRate, 1, 48000, true));
        encodeAll(lib, pcm, 9216);
        EXPECT_NEAR(lib.received.size() / 2, 48000, 48000 * 0.01);
        kvtest::TempDir dir;
        ASSERT_TRUE(writeWav(dir.file("m.wav"), lib.received, 48000, 1));
        // 440 and 660 Hz averaged: sox's rough estimate lands between them.
        const double f = soxRoughFrequency(dir.file("m.wav"));
        EXPECT_GT(f, 400);
        EXPECT_LT(f, 700);
    }
}

TEST(AudioLibEncode, LargeWritesThroughSoundTouchAreSlicedAndComplete)
{
    // One call carrying far more than the work buffers hold; slowed down so the output side
    // is larger still.
    PcmPassthrough lib;
    ASSERT_TRUE(lib.open(2, 16, kRate, 0, 2, 0, 0, 1.001, 2, 0, true));
    lib.setTempo(0.5);
    const QByteArray pcm = sine(kRate, 2, 3.0, {440, 440}, 0.5);
    QByteArray out(8 * 1024 * 1024, '\0');
    int outLen = 0;
    ASSERT_EQ(lib.encode(pcm.constData(), pcm.size(), out.data(), out.size(), &outLen), 0);
    QByteArray all = out.left(outLen);
    ASSERT_EQ(lib.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);
    all.append(out.constData(), outLen);
    const double seconds = all.size() / 4.0 / (kRate * 1.001);
    EXPECT_NEAR(seconds, 6.0, 0.05);
    EXPECT_EQ(lib.received, all);
}

TEST(AudioLibEncode, CodecFailureResetsTheFillAndReuseReachesTheCodecAgain)
{
    PcmPassthrough lib;
    ASSERT_TRUE(lib.open(1, 16, kRate, 0, 2, 0, 0, 1.01, 1, 0, true));
    lib.failAfter = 0;
    const QByteArray pcm = sine(kRate, 1, 1.0, {440}, 0.5);
    QByteArray out(1024 * 1024, '\0');
    int outLen = 0;
    EXPECT_EQ(lib.encode(pcm.constData(), pcm.size(), out.data(), out.size(), &outLen), -1);
    lib.failAfter = -1;
    lib.received.clear();
    const QByteArray more = encodeAll(lib, pcm, 4096);
    EXPECT_EQ(lib.received, more);
    EXPECT_GT(more.size(), 0);

    // The same object opened again for a second stream: its end still reaches the codec.
    ASSERT_TRUE(lib.open(1, 16, kRate, 0, 2, 0, 0, 1.01, 1, 0, true));
    EXPECT_EQ(lib.bytesEncoded(), 0);
    const int finishesBefore = lib.finishCalls;
    lib.received.clear();
    const QByteArray second = encodeAll(lib, pcm, 4096);
    EXPECT_GT(lib.finishCalls, finishesBefore);
    EXPECT_NEAR(second.size() / 2, 1.01 * kRate, kRate * 0.01);
}
