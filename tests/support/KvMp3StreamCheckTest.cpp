// The stream checker judges exported files; make sure it agrees with the
// encoder's own output and notices a broken reservoir.
#include "KvMp3StreamCheck.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

using namespace kvtest;

TEST(KvMp3StreamCheck, EncoderOutputIsValidAndCountsMatchFfprobe)
{
    for (const char *name : {"cbr128_joint.mp3", "vbr_v2.mp3", "cbr128_crc.mp3", "mpeg2_mono_22k.mp3",
                             "mpeg25_mono_8k.mp3", "id3v2_art_v1.mp3"}) {
        SCOPED_TRACE(name);
        const QString path = fixture(name);
        const QByteArray data = readFile(path);
        const Mp3StreamReport r = checkMp3Stream(data);
        ASSERT_FALSE(r.frames.empty());
        EXPECT_TRUE(r.errors.isEmpty()) << r.errors.join("\n").toStdString();
        QByteArray out;
        runProgram("ffprobe", {"-v", "error", "-count_packets", "-select_streams", "a:0", "-show_entries",
                               "stream=nb_read_packets", "-of", "csv=p=0", path},
                   &out);
        // ffprobe hides the Xing/Info frame (at 8 kbit/s it does not fit, so there is none);
        // the checker sees it as a frame.
        const QByteArray first = data.mid(int(r.frames[0].offset), r.frames[0].length);
        const int tagFrames = first.contains("Xing") || first.contains("Info") ? 1 : 0;
        EXPECT_EQ(qint64(r.frames.size()) - tagFrames, out.trimmed().toLongLong());
    }
}

TEST(KvMp3StreamCheck, DetectsFramesWhoseReservoirWasCutAway)
{
    const QByteArray data = readFile(fixture("vbr_v2_notag.mp3"));
    const Mp3StreamReport whole = checkMp3Stream(data);
    ASSERT_GT(whole.frames.size(), 400u);
    // Unused bytes after each frame's payload in the stream delivered so far.
    std::vector<qint64> tail;
    qint64 delivered = 0;
    for (const Mp3FrameFacts &f : whole.frames) {
        const qint64 start = delivered - f.mainDataBegin;
        delivered += f.capacity;
        tail.push_back(delivered - (start + (f.payloadBits + 7) / 8));
    }
    // Cut after the frame j (100..199) that leaves the fewest unused bytes, up to
    // a later frame k that borrows more than that: after the cut, frame k's
    // payload reaches back into frame j's.
    size_t j = 100;
    for (size_t i = 100; i < 200; ++i)
        if (tail[i] < tail[j])
            j = i;
    size_t k = j + 50;
    while (k < whole.frames.size() && !(whole.frames[k].mainDataBegin > tail[j] && whole.frames[k].payloadBits > 0))
        ++k;
    ASSERT_LT(k, whole.frames.size());
    const QByteArray cut = data.left(int(whole.frames[j + 1].offset)) + data.mid(int(whole.frames[k].offset));
    const Mp3StreamReport r = checkMp3Stream(cut);
    EXPECT_FALSE(r.errors.isEmpty());
}
