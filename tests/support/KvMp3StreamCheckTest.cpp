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
    // Drop frames 200..299: frames after the cut that borrow from the reservoir
    // now point into data that belonged to the removed frames.
    const qint64 a = whole.frames[200].offset, b = whole.frames[300].offset;
    const QByteArray cut = data.left(a) + data.mid(b);
    const Mp3StreamReport r = checkMp3Stream(cut);
    EXPECT_FALSE(r.errors.isEmpty());
}
