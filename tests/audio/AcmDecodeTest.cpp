// MP3 decoding through the installed-codec back-end, one file frame per call as the
// document stream delivers them, judged against whole-file decodes.
#include "AudioTestUtil.h"
#include "KvTestSupport.h"
#include "audio_acmlib.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kvaudiotest;

namespace {
struct DecodeCase {
    const char *file;
    int version;
    int channels;
};

void PrintTo(const DecodeCase &c, std::ostream *os) { *os << c.file; }

const DecodeCase kCases[] = {
    {"cbr128_joint.mp3", 0, 2},      {"cbr64_mono.mp3", 0, 1},
    {"vbr_v2.mp3", 0, 2},            {"vbr_v2_notag.mp3", 0, 2},
    {"cbr128_crc.mp3", 0, 2},        {"mpeg2_mono_22k.mp3", 1, 1},
    {"mpeg2_vbr_16k.mp3", 1, 2},     {"mpeg25_mono_8k.mp3", 2, 1},
    {"mpeg25_stereo_11k.mp3", 2, 2},
};

class AcmDecode : public ::testing::TestWithParam<DecodeCase> {};

QByteArray decodeMpg123Program(const QString &path)
{
    QByteArray out;
    kvtest::runProgram("mpg123", {"-q", "--no-gapless", "--no-infoframe", "-s", path}, &out);
    return out;
}

bool hasInfoFrame(const QByteArray &file, const Mp3Frame &f)
{
    const QByteArray head = file.mid(int(f.pos), f.size);
    return head.contains("Info") || head.contains("Xing");
}
} // namespace

TEST_P(AcmDecode, FramePerCallEqualsWholeFileDecode)
{
    const DecodeCase c = GetParam();
    const QString path = kvtest::fixture(c.file);
    const QByteArray file = kvtest::readFile(path);
    const QVector<Mp3Frame> frames = splitFrames(file);
    ASSERT_GT(frames.size(), 10);
    const Mp3Frame first = frames.first();
    ASSERT_EQ(first.version, c.version);
    ASSERT_EQ(first.channels, c.channels);
    const int frameBytes = first.samplesPerFrame * c.channels * 2;

    audio_acmlib acm;
    ASSERT_TRUE(acm.open(c.channels, 16, first.sampleRate, first.samplesPerFrame, 1, 0, 0, 1.0,
                         c.channels, 0, false));
    QByteArray pcm;
    QByteArray out(2 * 9216, '\0');
    for (const Mp3Frame &f : frames) {
        int outLen = -1;
        ASSERT_EQ(acm.decodeChunk(file.constData() + f.pos, f.size, out.data(), out.size(), &outLen), 0);
        // Every whole frame comes out at once: N frames in, N frames of samples out.
        ASSERT_EQ(outLen, frameBytes) << "frame at " << f.pos;
        pcm.append(out.constData(), outLen);
    }
    int outLen = -1;
    ASSERT_EQ(acm.decodeChunk(nullptr, 0, out.data(), out.size(), &outLen), 0);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(acm.pendingBytes(), 0);
    EXPECT_EQ(pcm.size(), qint64(frames.size()) * frameBytes);

    const QByteArray whole =
        decodeWholeFile(path, KvMpegFeedDecoder::decoderFlags(), first.sampleRate, c.channels);
    ASSERT_EQ(pcm.size(), whole.size());
    EXPECT_TRUE(pcm == whole);

    // The mpg123 program, told to decode the Info frame too, is the outside judge. Its output
    // stage rounds on its own, so equal length and samples within one step.
    const QByteArray cli = decodeMpg123Program(path);
    ASSERT_EQ(pcm.size(), cli.size());
    const QVector<qint16> a = samples(pcm), b = samples(cli);
    int worst = 0;
    for (int i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    EXPECT_LE(worst, 1);
    if (hasInfoFrame(file, first)) {
        EXPECT_EQ(pcm.left(frameBytes), QByteArray(frameBytes, '\0'));
    }
}

TEST_P(AcmDecode, OurFrameSplitAgreesWithFfprobe)
{
    const DecodeCase c = GetParam();
    const QString path = kvtest::fixture(c.file);
    const QByteArray file = kvtest::readFile(path);
    const QVector<Mp3Frame> frames = splitFrames(file);
    const auto packets = ffprobePackets(path);
    ASSERT_FALSE(packets.isEmpty());
    const int skip = hasInfoFrame(file, frames.first()) ? 1 : 0;
    ASSERT_EQ(frames.size() - skip, packets.size());
    for (int i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(frames[i + skip].pos, packets[i].first);
        EXPECT_EQ(frames[i + skip].size, packets[i].second);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AcmDecode, ::testing::ValuesIn(kCases),
                         [](const auto &info) {
                             QString n = QString(info.param.file).section('.', 0, 0);
                             return n.toStdString();
                         });

TEST(AcmDecodeStream, PartialFramesStayPendingAndOverflowConsumesNothing)
{
    const QString path = kvtest::fixture("cbr128_joint.mp3");
    const QByteArray file = kvtest::readFile(path);
    const QVector<Mp3Frame> frames = splitFrames(file);
    ASSERT_GT(frames.size(), 20);
    audio_acmlib acm;
    ASSERT_TRUE(acm.open(2, 16, 44100, 1152, 1, 0, 0, 1.0, 2, 0, false));
    QByteArray out(9216, '\0');
    int outLen = -1;

    // Half a frame: nothing out, the bytes wait.
    const Mp3Frame &f0 = frames[0];
    const int half = f0.size / 2;
    ASSERT_EQ(acm.decodeChunk(file.constData() + f0.pos, half, out.data(), out.size(), &outLen), 0);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(acm.pendingBytes(), half);

    // More than fits beside the pending bytes: refused, nothing taken.
    const QByteArray tooMuch(9216 - half + 1, '\x55');
    EXPECT_EQ(acm.decodeChunk(tooMuch.constData(), tooMuch.size(), out.data(), out.size(), &outLen), -1);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(acm.pendingBytes(), half);

    // The rest of the frame completes it.
    ASSERT_EQ(acm.decodeChunk(file.constData() + f0.pos + half, f0.size - half, out.data(), out.size(), &outLen), 0);
    EXPECT_EQ(outLen, 1152 * 4);
    EXPECT_EQ(acm.pendingBytes(), 0);

    // Three frames at once give one output block now and the rest on the drain.
    const qint64 from = frames[1].pos;
    const int len = int(frames[4].pos - from);
    ASSERT_EQ(acm.decodeChunk(file.constData() + from, len, out.data(), out.size(), &outLen), 0);
    EXPECT_EQ(outLen, 9216);
    QByteArray big(3 * 9216, '\0');
    ASSERT_EQ(acm.decodeChunk(nullptr, 0, big.data(), big.size(), &outLen), 0);
    EXPECT_EQ(outLen, 3 * 1152 * 4 - 9216);
    ASSERT_EQ(acm.decodeChunk(nullptr, 0, big.data(), big.size(), &outLen), 0);
    EXPECT_EQ(outLen, 0);
}

TEST(AcmDecodeStream, ThroughThePipelineAtUnityKeepsLengthAndLevel)
{
    const QString path = kvtest::fixture("cbr64_mono.mp3");
    const QByteArray file = kvtest::readFile(path);
    const QVector<Mp3Frame> frames = splitFrames(file);
    audio_acmlib acm;
    ASSERT_TRUE(acm.open(1, 16, 44100, 1152, 1, 0, 0, 1.0, 1, 0, false));
    QByteArray pcm, out(64 * 1024, '\0');
    int outLen = 0;
    for (const Mp3Frame &f : frames) {
        ASSERT_EQ(acm.decode(file.constData() + f.pos, f.size, out.data(), out.size(), &outLen), 0);
        pcm.append(out.constData(), outLen);
    }
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(acm.decode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        if (outLen == 0)
            break;
        pcm.append(out.constData(), outLen);
    }
    const QByteArray whole = decodeWholeFile(path, KvMpegFeedDecoder::decoderFlags(), 44100, 1);
    ASSERT_EQ(pcm.size(), whole.size());
    // SoundTouch time-stretches even at unity (a short delay, spliced blocks), so the
    // judge is the length after the flush and the level.
    const double dB = 20 * std::log10(rms(pcm, 1, 0) / rms(whole, 1, 0));
    EXPECT_NEAR(dB, 0.0, 0.2);
    qint16 l = 0, r = 0;
    acm.maxPeakLevels(&l, &r);
    EXPECT_GT(l, 1000);
    EXPECT_EQ(acm.samplesIn(), qint64(frames.size()) * 1152);
}
