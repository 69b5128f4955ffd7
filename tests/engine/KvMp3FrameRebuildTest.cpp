// The frame rebuilder over real files: parse and rebuild every frame with a
// hand-made plan, then judge the output with mpg123, ffmpeg and the
// independent stream checker.
#include "KvMp3FrameLayout.h"
#include "KvMp3StreamCheck.h"
#include "KvMp3Syntax.h"
#include "KvTestSupport.h"
#include "Mp3RebuildDriver.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kvtest;

namespace {

const char *const kMp3Fixtures[] = {
    "cbr128_joint.mp3",    "cbr128_stereo.mp3",   "cbr160_dual.mp3",        "cbr64_mono.mp3",
    "vbr_v2.mp3",          "vbr_v2_notag.mp3",    "cbr128_crc.mp3",         "vbr_crc_48k.mp3",
    "cbr96_32k.mp3",       "mpeg2_mono_22k.mp3",  "mpeg2_vbr_16k.mp3",      "mpeg25_mono_8k.mp3",
    "mpeg25_mono_11k.mp3", "mpeg25_stereo_11k.mp3", "mpeg2_vbr_quiet_22k.mp3", "id3v2_art_v1.mp3",
};

QString writeTemp(const TempDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.file(name);
    EXPECT_TRUE(writeFile(path, bytes));
    return path;
}

// Header, CRC word and side information of the frame at p.
int frameStartBytes(const Mp3FrameFacts &f)
{
    const bool mono = f.mode == 3;
    return 4 + (f.crc ? 2 : 0) + (f.version == 0 ? (mono ? 17 : 32) : (mono ? 9 : 17));
}

// The checker finds exactly the frames the rebuilder says it wrote, and no fault.
void expectSoundStream(const RebuildResult &r, size_t frames)
{
    ASSERT_EQ(r.failure, 0);
    const Mp3StreamReport report = checkMp3Stream(r.bytes);
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join("\n").toStdString();
    ASSERT_EQ(report.frames.size(), frames);
    ASSERT_EQ(r.frameStarts.size(), frames);
    for (size_t i = 0; i < frames; ++i)
        ASSERT_EQ(report.frames[i].offset, r.frameStarts[i]) << "frame " << i;
    EXPECT_EQ(qint64(r.bytes.size()), report.frames.back().offset + report.frames.back().length);
}

class RebuildIdentity : public ::testing::TestWithParam<const char *> {};

} // namespace

// The source's own plan gives the source's headers and side information back
// (frames without audio get global_gain 0) and decodes to the same PCM.
TEST_P(RebuildIdentity, SameSideInfoAndSamePcm)
{
    const std::unique_ptr<Mp3Source> src = loadMp3Source(fixture(GetParam()));
    std::vector<Mp3Fragment> doc{sourceFragment(*src, 0, src->count)};
    const RebuildResult r = rebuild(doc);
    expectSoundStream(r, size_t(src->count));
    EXPECT_EQ(r.flushed, 0);

    const Mp3StreamReport out = checkMp3Stream(r.bytes);
    for (qint64 i = 0; i < src->count; ++i) {
        const Mp3FrameFacts &f = out.frames[size_t(i)];
        const int n = frameStartBytes(f);
        const QByteArray want = src->bytes.mid(int(src->table()[i].offset), n);
        const QByteArray got = r.bytes.mid(int(f.offset), n);
        if (src->table()[i].flags & KvMp3FrameFlag::NoAudio) {
            EXPECT_EQ(f.payloadBits, 0);
            for (int g : f.globalGains)
                EXPECT_EQ(g, 0) << "frame " << i;
            EXPECT_EQ(got.left(4), want.left(4));
        } else {
            ASSERT_EQ(got.toHex().toStdString(), want.toHex().toStdString()) << "frame " << i;
        }
    }

    TempDir dir;
    const QString path = writeTemp(dir, "out.mp3", r.bytes);
    const QByteArray pcmOut = decodeMpg123(path);
    const QByteArray pcmSrc = decodeMpg123(src->path);
    ASSERT_FALSE(pcmSrc.isEmpty());
    EXPECT_EQ(pcmOut.size(), pcmSrc.size());
    EXPECT_TRUE(pcmOut == pcmSrc);
    std::printf("%s: %lld frames, at most %d waiting\n", GetParam(), src->count, r.maxPending);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RebuildIdentity, ::testing::ValuesIn(kMp3Fixtures));
