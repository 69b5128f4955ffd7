#include "AacTestStreams.h"
#include "KvAacWrapTestUtil.h"
#include "KvTestSupport.h"

#include <QLibrary>

#include <gtest/gtest.h>

#include <thread>

using namespace aactest;

namespace {

struct IndexCase {
    const char *file;
    const char *adtsTwin; // the same frames as ADTS, for the independent gain check
    int rate, channels, container;
};

const IndexCase kIndexCases[] = {
    {"aac_lc_stereo.m4a", nullptr, 44100, 2, 1},
    {"aac_lc_mono.m4a", nullptr, 44100, 1, 1},
    {"aac_lc_48k.m4a", nullptr, 48000, 2, 1},
    {"aac_lc_stereo.aac", "aac_lc_stereo.aac", 44100, 2, 2},
    {"aac_lc_mono.aac", "aac_lc_mono.aac", 44100, 1, 2},
    {"aac/clicks_stereo.m4a", "aac/clicks_stereo.aac", 44100, 2, 1},
    {"aac/clicks_mono_48k.aac", "aac/clicks_mono_48k.aac", 48000, 1, 2},
    {"aac/surround51.m4a", "aac/surround51.aac", 48000, 6, 1},
};

// The first channel stream's global_gain, read with the fewest syntax rules: enough for
// single elements and for pairs whose windows are shared (LC, no prediction).
int firstGlobalGain(const QByteArray &f)
{
    const auto *p = reinterpret_cast<const uint8_t *>(f.constData());
    size_t pos = 0;
    auto bits = [&](int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++pos)
            v = (v << 1) | ((p[pos / 8] >> (7 - pos % 8)) & 1u);
        return v;
    };
    const uint32_t id = bits(3);
    bits(4);
    if (id == 0 || id == 3)
        return int(bits(8));
    if (id != 1)
        return -1;
    if (bits(1)) { // common window: ics_info, then the M/S mask
        bits(1);
        const uint32_t seq = bits(2);
        bits(1);
        int maxSfb, groups = 1;
        if (seq == 2) {
            maxSfb = int(bits(4));
            const uint32_t grouping = bits(7);
            for (int i = 0; i < 7; ++i)
                groups += !((grouping >> i) & 1u);
        } else {
            maxSfb = int(bits(6));
            if (bits(1))
                return -1;
        }
        if (bits(2) == 1)
            pos += size_t(groups * maxSfb);
    }
    return int(bits(8));
}

} // namespace

TEST(KvAacWrapIndex, FrameCountsOffsetsAndGainsMatchIndependentReaders)
{
    ASSERT_EQ(init_aac_libav_library(), 1);
    for (const IndexCase &c : kIndexCases) {
        SCOPED_TRACE(c.file);
        const QString path = kvtest::fixture(c.file);
        const Scan s = scan(path);
        ASSERT_NE(s.handle, 0u);
        EXPECT_EQ(s.count, ffprobePacketCount(path));
        const int32_t *f = s.info.field;
        EXPECT_EQ(f[KV_AAC_OBJECT_TYPE], 2);
        EXPECT_EQ(f[KV_AAC_SAMPLE_RATE], c.rate);
        EXPECT_EQ(f[KV_AAC_SAMPLING_INDEX], c.rate == 44100 ? 4 : 3);
        EXPECT_EQ(f[KV_AAC_CHANNELS], c.channels);
        EXPECT_EQ(f[KV_AAC_SAMPLES_PER_FRAME], 1024);
        EXPECT_EQ(f[KV_AAC_SBR], 0);
        EXPECT_EQ(f[KV_AAC_EXT_SAMPLE_RATE], 0);
        EXPECT_EQ(f[KV_AAC_CONTAINER], c.container);

        // Offsets: running sums of the raw frame sizes that ffmpeg's demuxer reports.
        const QStringList packets = packetDigests(path);
        ASSERT_EQ(qsizetype(s.count), packets.size());
        int64_t sum = 0;
        for (int i = 0; i < packets.size(); ++i) {
            sum += packets[i].section(' ', 0, 0).toLongLong() - (c.container == 2 ? 7 : 0);
            const int32_t offset = s.entries[size_t(i)].offset; // packed: read by value
            ASSERT_EQ(offset, int32_t(sum)) << "frame " << i;
        }
        if (c.adtsTwin) {
            const AdtsStream twin = readAdts(kvtest::fixture(c.adtsTwin));
            ASSERT_EQ(int64_t(twin.frames.size()), s.count);
            int checked = 0;
            for (size_t i = 0; i < twin.frames.size(); ++i) {
                const int g = firstGlobalGain(twin.frames[i]);
                if (g < 0)
                    continue;
                ++checked;
                ASSERT_EQ(s.entries[i].globalGain, g) << "frame " << i;
            }
            EXPECT_GT(checked, int(s.count) * 9 / 10);
        }
        EXPECT_EQ(close_aac_handle(s.handle), 0);
    }
}

TEST(KvAacWrapIndex, UnusableFilesReportNoFramesAndNoHandle)
{
    kvtest::TempDir dir;
    kvtest::writeFile(dir.file("junk.m4a"), QByteArray(5000, 'x'));
    kvtest::writeFile(dir.file("empty.aac"), QByteArray());
    for (const QString &path : {dir.file("missing.m4a"), dir.file("junk.m4a"), dir.file("empty.aac"),
                                kvtest::fixture("plain.wav"), kvtest::fixture("cbr128_joint.mp3")}) {
        SCOPED_TRACE(path.toStdString());
        KvAACGainOffsetEntry *entries = reinterpret_cast<KvAACGainOffsetEntry *>(&dir);
        KvAACInfo info{};
        int64_t count = 99;
        EXPECT_EQ(find_aac_gains_offsets2(path.toUtf8().constData(), &entries, &info, &count, nullptr),
                  0u);
        EXPECT_LT(count, 0);
        EXPECT_EQ(entries, nullptr);
        free_aac_gains_offsets(entries);
    }
    int64_t count = 0;
    EXPECT_EQ(find_aac_gains_offsets2(nullptr, nullptr, nullptr, &count, nullptr), 0u);
    EXPECT_LT(count, 0);
}

TEST(KvAacWrapIndex, CancelStopsTheScan)
{
    const Scan s = scan(kvtest::fixture("aac_lc_stereo.m4a"), [] { return 1; });
    EXPECT_EQ(s.handle, 0u);
    EXPECT_EQ(s.count, KV_AAC_E_CANCELLED);
    const Scan t = scan(kvtest::fixture("aac_lc_stereo.m4a"), [] { return 0; });
    EXPECT_GT(t.count, 0);
    close_aac_handle(t.handle);
}

TEST(KvAacWrapHandles, WritersAreDistinctAndStaleHandlesAreRefused)
{
    const Scan s = scan(kvtest::fixture("aac_lc_stereo.aac"));
    ASSERT_GT(s.count, 0);
    // A source handle given as the writer opens a new writer; it never becomes one.
    const KvAacHandle w1 = init_aac_write_next_file_frames(s.handle, s.handle, "", 0, s.count, 1, &s.info);
    const KvAacHandle w2 = init_aac_write_next_file_frames(s.handle, s.handle, "", 0, s.count, 1, &s.info);
    ASSERT_NE(w1, 0u);
    ASSERT_NE(w2, 0u);
    EXPECT_NE(w1, s.handle);
    EXPECT_NE(w2, s.handle);
    EXPECT_NE(w1, w2);
    int32_t len = 0;
    char buf[8192];
    EXPECT_EQ(aac_write_next_frame(s.handle, 0, 0, buf, sizeof buf, &len), KV_AAC_E_HANDLE);
    EXPECT_EQ(close_aac_write(s.handle), KV_AAC_E_HANDLE); // not a writer: the source stays
    // The two writers keep their own place in the same source.
    const QByteArray file = kvtest::readFile(kvtest::fixture("aac_lc_stereo.aac"));
    QByteArray a, b;
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(aac_write_next_frame(w1, 0, 0, buf, sizeof buf, &len), KV_AAC_FRAME);
        a.append(buf, len);
        if (i % 2) {
            ASSERT_EQ(aac_write_next_frame(w2, 0, 0, buf, sizeof buf, &len), KV_AAC_FRAME);
            b.append(buf, len);
        }
    }
    EXPECT_EQ(a, file.left(a.size()));
    EXPECT_EQ(b, file.left(b.size()));
    // Releasing the source does not pull it from under a writer.
    EXPECT_EQ(close_aac_handle(s.handle), 0);
    ASSERT_EQ(aac_write_next_frame(w1, 0, 0, buf, sizeof buf, &len), KV_AAC_FRAME);
    a.append(buf, len);
    EXPECT_EQ(a, file.left(a.size()));
    EXPECT_EQ(close_aac_write(w1), 0);
    EXPECT_EQ(close_aac_handle(w2), 0);
    // Everything released is refused from now on.
    for (KvAacHandle h : {s.handle, w1, w2}) {
        EXPECT_EQ(aac_write_next_frame(h, 0, 0, buf, sizeof buf, &len), KV_AAC_E_HANDLE);
        EXPECT_EQ(close_aac_handle(h), KV_AAC_E_HANDLE);
        EXPECT_EQ(init_aac_write_next_file_frames(h, 0, "", 0, 10, 1, &s.info), 0u);
    }
    EXPECT_EQ(close_aac_handle(0), KV_AAC_E_HANDLE);
}

TEST(KvAacWrapLoader, LoadsByBareNameFromItsFolderWithAllNineEntryPoints)
{
    QLibrary lib(QString(KV_AACWRAP_LIBRARY_DIR) + "/" + KV_AACWRAP_LIBRARY_NAME);
    ASSERT_TRUE(lib.load()) << lib.errorString().toStdString();
    for (const char *name : {"init_aac_libav_library", "find_aac_gains_offsets",
                             "find_aac_gains_offsets2", "free_aac_gains_offsets",
                             "init_aac_write_next_file_frames", "aac_write_next_frame",
                             "aac_write_frame", "close_aac_write", "close_aac_handle"})
        EXPECT_NE(lib.resolve(name), nullptr) << name;
    auto init = reinterpret_cast<KvAacInitLibraryFn>(lib.resolve("init_aac_libav_library"));
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(init(), 1);
    QLibrary missing(QString(KV_AACWRAP_LIBRARY_DIR) + "/no-such-aac-library");
    EXPECT_FALSE(missing.load());
}

// Playback streams a document while the GUI saves it: two writers on two threads over one
// source must not disturb each other.
TEST(KvAacWrapHandles, WritersOnTwoThreadsShareASource)
{
    const QString src = kvtest::fixture("aac/clicks_stereo.aac");
    const Scan s = scan(src);
    ASSERT_GT(s.count, 0);
    QByteArray outs[2];
    std::thread threads[2];
    for (int t = 0; t < 2; ++t)
        threads[t] = std::thread([&, t] {
            for (int round = 0; round < 5; ++round)
                outs[t] = writeMemory(s, 0, s.count);
        });
    for (std::thread &th : threads)
        th.join();
    const QByteArray file = kvtest::readFile(src);
    EXPECT_EQ(outs[0], file);
    EXPECT_EQ(outs[1], file);
    close_aac_handle(s.handle);
}

// ADTS files at the edges of what is read without FFmpeg's demuxer: whatever the path, the
// frames are FFmpeg's packets, and a copy gives those packets back unchanged (a frame cut
// short gets a header that tells its true length).
TEST(KvAacWrapIndex, AdtsFilesWithAndWithoutExtrasIndexAsFfmpegReadsThem)
{
    ASSERT_EQ(init_aac_libav_library(), 1);
    const QByteArray plain = kvtest::readFile(kvtest::fixture("aac/clicks_stereo.aac"));
    const AdtsStream frames = readAdts(kvtest::fixture("aac/clicks_stereo.aac"));
    auto firstFrames = [&](int n) {
        int bytes = 0;
        for (int i = 0; i < n; ++i)
            bytes += frames.frames[size_t(i)].size() + 7;
        return plain.left(bytes);
    };
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"plain", plain},
        {"ID3v2 tag first", QByteArray("ID3\x03\x00\x00\x00\x00\x00\x20", 10) + QByteArray(32, '\0') + plain},
        {"ID3v1 tag last", plain + "TAG" + QByteArray(125, 'x')},
        {"last frame cut short", plain.left(plain.size() - 100)},
        {"ten frames", firstFrames(10)},
        {"twenty frames", firstFrames(20)},
    };
    kvtest::TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.file("in.aac");
        ASSERT_TRUE(kvtest::writeFile(path, c.bytes));
        const Scan s = scan(path);
        ASSERT_GT(s.count, 0);
        const QStringList packets = packetDigests(path);
        ASSERT_EQ(qsizetype(s.count), packets.size());
        int64_t sum = 0;
        for (int i = 0; i < packets.size(); ++i) {
            sum += packets[i].section(' ', 0, 0).toLongLong() - 7;
            const int32_t offset = s.entries[size_t(i)].offset;
            ASSERT_EQ(offset, int32_t(sum)) << "frame " << i;
        }
        const QString out = dir.file("out.aac");
        ASSERT_EQ(writeFile(s, out, 0, s.count), 0);
        const QStringList copied = packetDigests(out);
        ASSERT_EQ(copied.size(), packets.size());
        EXPECT_EQ(copied.mid(0, packets.size() - 1), packets.mid(0, packets.size() - 1));
        if (std::string(c.name) != "last frame cut short") {
            EXPECT_EQ(copied.last(), packets.last());
        }
        close_aac_handle(s.handle);
    }
}
