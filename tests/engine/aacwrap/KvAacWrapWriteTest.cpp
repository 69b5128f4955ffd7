#include "AacTestStreams.h"
#include "KvAacWrapTestUtil.h"
#include "KvTestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

using namespace aactest;

namespace {

QString probeErrors(const QString &path)
{
    QByteArray out, err;
    const int rc = kvtest::runProgram("ffprobe", {"-v", "error", "-show_entries", "format=duration",
                                                  "-of", "csv=p=0", path},
                                      &out, &err);
    return rc == 0 ? QString::fromLocal8Bit(err) : "ffprobe failed: " + QString::fromLocal8Bit(err);
}

// Output samples of one 1024-sample frame range in a decoded ADTS stream (no priming skip:
// decoded frame k is the overlap of source frames k-1 and k).
bool samePcm(const std::vector<float> &a, const std::vector<float> &b, int ch, size_t fromFrame,
             size_t toFrame)
{
    const size_t lo = fromFrame * 1024 * size_t(ch), hi = std::min(toFrame * 1024 * size_t(ch), a.size());
    if (hi > b.size())
        return false;
    for (size_t i = lo; i < hi; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

double peak(const std::vector<float> &pcm, int ch, size_t fromFrame, size_t toFrame)
{
    double p = 0;
    for (size_t i = fromFrame * 1024 * size_t(ch); i < std::min(toFrame * 1024 * size_t(ch), pcm.size()); ++i)
        p = std::max(p, double(std::fabs(pcm[i])));
    return p;
}

} // namespace

TEST(KvAacWrapWrite, UnchangedCopyKeepsEveryPacket)
{
    kvtest::TempDir dir;
    const struct {
        const char *in, *out;
    } cases[] = {{"aac_lc_stereo.m4a", "copy.m4a"}, {"aac_lc_mono.m4a", "copy.mp4"},
                 {"aac/surround51.m4a", "copy51.m4b"}, {"aac_lc_stereo.aac", "copy.aac"},
                 {"aac_lc_mono.aac", "copy_mono.aac"}, {"aac_lc_48k.m4a", "copy48.m4r"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in);
        const Scan s = scan(kvtest::fixture(c.in));
        ASSERT_GT(s.count, 0);
        const QString out = dir.file(c.out);
        ASSERT_EQ(writeFile(s, out, 0, s.count), 0);
        EXPECT_EQ(probeErrors(out), QString());
        EXPECT_EQ(packetDigests(out, true), packetDigests(kvtest::fixture(c.in), true));
        close_aac_handle(s.handle);
    }
    // Across containers the raw frames stay the same: MP4 -> ADTS gives ffmpeg's own ADTS.
    const Scan m = scan(kvtest::fixture("aac/clicks_stereo.m4a"));
    ASSERT_EQ(writeFile(m, dir.file("cross.aac"), 0, m.count), 0);
    EXPECT_EQ(kvtest::readFile(dir.file("cross.aac")), kvtest::readFile(kvtest::fixture("aac/clicks_stereo.aac")));
    close_aac_handle(m.handle);
    const Scan a = scan(kvtest::fixture("aac/clicks_stereo.aac"));
    ASSERT_EQ(writeFile(a, dir.file("cross.m4a"), 0, a.count), 0);
    const Scan back = scan(dir.file("cross.m4a"));
    ASSERT_EQ(back.count, a.count);
    EXPECT_EQ(writeMemory(back, 0, back.count), kvtest::readFile(kvtest::fixture("aac/clicks_stereo.aac")));
    close_aac_handle(a.handle);
    close_aac_handle(back.handle);
}

TEST(KvAacWrapWrite, GainStepsScaleBothChannels)
{
    kvtest::TempDir dir;
    for (const char *in : {"aac_lc_stereo.m4a", "aac/pns_is_low.aac"}) {
        SCOPED_TRACE(in);
        const QString src = kvtest::fixture(in);
        const Scan s = scan(src);
        int ch = 0;
        const std::vector<float> ref = decodeFloat(src, &ch);
        ASSERT_EQ(ch, 2);
        const QString ext = QString(in).section('.', -1);
        for (const auto &[steps, factor] : {std::pair{4, 2.0}, std::pair{-8, 0.25}, std::pair{1, std::pow(2.0, 0.25)}}) {
            const QString out = dir.file(QString("gain%1.%2").arg(steps).arg(ext));
            ASSERT_EQ(writeFile(s, out, 0, s.count, [steps = steps](int64_t) { return steps; }), 0);
            QString errors;
            const std::vector<float> pcm = decodeFloat(out, nullptr, &errors);
            EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
            ASSERT_EQ(pcm.size(), ref.size());
            for (int c = 0; c < 2; ++c)
                EXPECT_NEAR(rms(pcm, 2, c) / rms(ref, 2, c), factor, factor * 0.01) << "channel " << c;
        }
        close_aac_handle(s.handle);
    }
}

TEST(KvAacWrapWrite, ClampedGainsStillDecode)
{
    kvtest::TempDir dir;
    for (const char *in : {"aac_lc_stereo.aac", "aac/pns_is_low.aac", "aac/surround51.aac", "aac/main_pred.aac"}) {
        SCOPED_TRACE(in);
        const Scan s = scan(kvtest::fixture(in));
        for (int steps : {300, -300, 120, -120}) {
            const QString out = dir.file(QString("clamp%1.aac").arg(steps));
            ASSERT_EQ(writeFile(s, out, 0, s.count, [steps](int64_t i) { return i % 3 ? steps : -steps; }), 0);
            QString errors;
            const std::vector<float> pcm = decodeFloat(out, nullptr, &errors);
            EXPECT_TRUE(errors.isEmpty()) << steps << ": " << errors.toStdString();
            EXPECT_EQ(int64_t(pcm.size()), s.count * 1024 * s.info.field[KV_AAC_CHANNELS]);
        }
        close_aac_handle(s.handle);
    }
}

TEST(KvAacWrapWrite, SilencedFramesAndSilenceRunsDecodeSilentWithNeighboursUnchanged)
{
    kvtest::TempDir dir;
    const QString src = kvtest::fixture("aac/plain_tools_off.aac");
    const Scan s = scan(src);
    ASSERT_GT(s.count, 100);
    int ch = 0;
    const std::vector<float> ref = decodeFloat(src, &ch);
    const size_t n = size_t(s.count);

    // Frames 40..59 silenced in place.
    const QString out = dir.file("silenced.aac");
    ASSERT_EQ(writeFile(s, out, 0, s.count, {}, [](int64_t i) { return i >= 40 && i < 60; }), 0);
    const std::vector<float> pcm = decodeFloat(out);
    ASSERT_EQ(pcm.size(), ref.size());
    EXPECT_TRUE(samePcm(pcm, ref, ch, 0, 40));
    EXPECT_LT(peak(pcm, ch, 41, 60), 3.2e-5); // -90 dBFS
    EXPECT_TRUE(samePcm(pcm, ref, ch, 61, n));
    EXPECT_GT(peak(ref, ch, 41, 60), 0.01);

    // A document: frames 0..49, 30 frames of silence, frames 50.. with +2 steps, as the
    // saver queues it (one writer, one run per fragment).
    const QString doc = dir.file("document.m4a");
    const KvAacHandle w = init_aac_write_next_file_frames(0, s.handle, doc.toUtf8().constData(), 0, 50, 0, &s.info);
    ASSERT_NE(w, 0u);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(aac_write_next_frame(w, 0, 0, nullptr, 0, nullptr), KV_AAC_FRAME);
    ASSERT_EQ(init_aac_write_next_file_frames(w, 0, doc.toUtf8().constData(), 0, 30, 0, &s.info), w);
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(aac_write_next_frame(w, 0, 1, nullptr, 0, nullptr), KV_AAC_FRAME);
    ASSERT_EQ(init_aac_write_next_file_frames(w, s.handle, doc.toUtf8().constData(), 50, s.count - 50, 0, &s.info), w);
    for (int64_t i = 50; i < s.count; ++i)
        ASSERT_EQ(aac_write_next_frame(w, 2, 0, nullptr, 0, nullptr), KV_AAC_FRAME);
    EXPECT_EQ(aac_write_next_frame(w, 0, 0, nullptr, 0, nullptr), KV_AAC_END);
    ASSERT_EQ(close_aac_write(w), 0);
    EXPECT_EQ(probeErrors(doc), QString());
    EXPECT_EQ(ffprobePacketCount(doc), s.count + 30);
    // Decoded through an ADTS copy so that frame k of the output is decoded frame k.
    const Scan d = scan(doc);
    ASSERT_EQ(d.count, s.count + 30);
    const QByteArray adts = writeMemory(d, 0, d.count);
    ASSERT_TRUE(kvtest::writeFile(dir.file("document.aac"), adts));
    const std::vector<float> dp = decodeFloat(dir.file("document.aac"));
    ASSERT_EQ(dp.size(), ref.size() + 30 * 1024 * size_t(ch));
    EXPECT_TRUE(samePcm(dp, ref, ch, 0, 50));
    EXPECT_LT(peak(dp, ch, 51, 80), 3.2e-5);
    const std::vector<float> tail(dp.begin() + 30 * 1024 * ch, dp.end());
    for (int c = 0; c < ch; ++c)
        EXPECT_NEAR(rms(tail, ch, c, 52 * 1024) / rms(ref, ch, c, 52 * 1024), std::sqrt(2.0), 0.015);
    close_aac_handle(d.handle);
    close_aac_handle(s.handle);
}

TEST(KvAacWrapWrite, MemoryModeHandsBackOneAdtsFramePerCall)
{
    const QString src = kvtest::fixture("aac_lc_stereo.aac");
    const Scan s = scan(src);
    const QByteArray file = kvtest::readFile(src);
    EXPECT_EQ(writeMemory(s, 0, s.count), file);
    // A run from the middle, a buffer too small for a frame, the end of the queue.
    const KvAacHandle w = init_aac_write_next_file_frames(0, s.handle, "", 10, 3, 1, &s.info);
    ASSERT_NE(w, 0u);
    char buf[8192];
    int32_t len = -1;
    EXPECT_EQ(aac_write_next_frame(w, 0, 0, buf, 8, &len), KV_AAC_E_BUFFER);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(aac_write_next_frame(w, 0, 0, buf, sizeof buf, &len), KV_AAC_FRAME);
    const QByteArray frame11(buf, len);
    EXPECT_EQ(readAdts(src).frames[11], frame11.mid(7));
    EXPECT_EQ(aac_write_next_frame(w, 0, 1, buf, sizeof buf, &len), KV_AAC_FRAME);
    EXPECT_EQ(len, 7 + 7); // silent stereo frame behind its header
    EXPECT_EQ(aac_write_next_frame(w, 0, 0, buf, sizeof buf, &len), KV_AAC_END);
    EXPECT_EQ(aac_write_next_frame(w, 0, 0, buf, sizeof buf, &len), KV_AAC_END);
    EXPECT_EQ(close_aac_write(w), 0);
    close_aac_handle(s.handle);
}

// The encoder's path: a writer without a source or file that only wraps raw frames.
TEST(KvAacWrapWrite, WrapsRawEncodedFramesAsFfmpegWould)
{
    const QString src = kvtest::fixture("aac/rate_8000_mono.aac");
    const AdtsStream raw = readAdts(src);
    KvAACInfo block{};
    block.field[0] = 2;
    block.field[1] = 11;
    block.field[2] = 8000;
    block.field[9] = 1;
    block.field[11] = 1024;
    const KvAacHandle w = init_aac_write_next_file_frames(0, 0, "", 0, 2147483647, 0, &block);
    ASSERT_NE(w, 0u);
    QByteArray out;
    char buf[4096];
    for (const QByteArray &f : raw.frames) {
        int32_t len = 0;
        ASSERT_EQ(aac_write_frame(w, f.constData(), f.size(), buf, sizeof buf, &len), KV_AAC_FRAME);
        out.append(buf, len);
    }
    EXPECT_EQ(out, kvtest::readFile(src));
    int32_t len = 5;
    EXPECT_EQ(aac_write_frame(w, raw.frames[0].constData(), raw.frames[0].size(), buf, 8, &len), KV_AAC_E_BUFFER);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(aac_write_frame(w, nullptr, 10, buf, sizeof buf, &len), KV_AAC_E_ARGUMENT);
    // No output of its own: queued frames have nowhere to go, and say so.
    EXPECT_EQ(aac_write_next_frame(w, 0, 0, nullptr, 0, nullptr), KV_AAC_E_ARGUMENT);
    EXPECT_EQ(close_aac_handle(w), 0);
    EXPECT_EQ(aac_write_frame(w, raw.frames[0].constData(), raw.frames[0].size(), buf, sizeof buf, &len), KV_AAC_E_HANDLE);
    // A block that names no usable configuration opens no writer.
    KvAACInfo bad = block;
    bad.field[9] = 0;
    EXPECT_EQ(init_aac_write_next_file_frames(0, 0, "", 0, 10, 0, &bad), 0u);
    EXPECT_EQ(init_aac_write_next_file_frames(0, 0, "", 0, 10, 0, nullptr), 0u);
}

TEST(KvAacWrapWrite, FailuresAreReported)
{
    kvtest::TempDir dir;
    const Scan s = scan(kvtest::fixture("aac_lc_stereo.m4a"));
    ASSERT_GT(s.count, 0);
    // Outputs that cannot be opened: no writer.
    for (const QString &out : {dir.file("no/such/dir/x.m4a"), dir.file("x.wav"), dir.file("noext")})
        EXPECT_EQ(init_aac_write_next_file_frames(0, s.handle, out.toUtf8().constData(), 0, s.count, 0, &s.info), 0u)
            << out.toStdString();
    // A full disk: some write or the close reports it.
    ASSERT_EQ(symlink("/dev/full", dir.file("full.aac").toUtf8().constData()), 0);
    EXPECT_LT(writeFile(s, dir.file("full.aac"), 0, s.count), 0);
    // A run of another configuration is refused frame by frame; the rest is written.
    const Scan other = scan(kvtest::fixture("aac_lc_48k.m4a"));
    const QString out = dir.file("mixed.aac");
    const KvAacHandle w = init_aac_write_next_file_frames(0, s.handle, out.toUtf8().constData(), 0, 5, 0, &s.info);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(init_aac_write_next_file_frames(w, other.handle, "", 0, 3, 0, &other.info), w);
    EXPECT_EQ(init_aac_write_next_file_frames(w, 0x7777, "", 0, 2, 0, nullptr), w); // unknown source
    EXPECT_EQ(init_aac_write_next_file_frames(w, s.handle, "", s.count - 1, 4, 0, nullptr), w); // past the end
    std::vector<int> results;
    for (int i = 0; i < 14; ++i)
        results.push_back(aac_write_next_frame(w, 0, 0, nullptr, 0, nullptr));
    const std::vector<int> expected = {1, 1, 1, 1, 1, -4, -4, -4, -4, -4, 1, -4, -4, -4};
    EXPECT_EQ(results, expected);
    EXPECT_EQ(close_aac_write(w), 0);
    EXPECT_EQ(ffprobePacketCount(out), 6);
    close_aac_handle(other.handle);
    close_aac_handle(s.handle);
}
