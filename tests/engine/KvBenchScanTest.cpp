// `kvbench scan`: the summary, the per-frame CSV that tests and benchmarks
// read, and the failure path.
#include "KvMp3StreamCheck.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace kvtest;

namespace {

int kvbench(const QStringList &args, QByteArray *out, QByteArray *err)
{
    return runProgram(KVBENCH_PATH, args, out, err);
}

qint64 ffprobePackets(const QString &path)
{
    QByteArray out;
    runProgram("ffprobe", {"-v", "error", "-count_packets", "-select_streams", "a:0", "-show_entries",
                           "stream=nb_read_packets", "-of", "csv=p=0", path},
               &out);
    return out.trimmed().toLongLong();
}

} // namespace

TEST(KvBenchScan, SummaryNamesTheFrameCountAndFormat)
{
    const QString path = fixture("mpeg2_mono_22k.mp3");
    QByteArray out, err;
    ASSERT_EQ(kvbench({"scan", path}, &out, &err), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(QByteArray("frames: ") + QByteArray::number(ffprobePackets(path)) + "\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("MPEG-2 Layer III, 22050 Hz, mono")) << out.toStdString();
    EXPECT_TRUE(out.contains("time: ")) << out.toStdString();
}

TEST(KvBenchScan, CsvHasOneLinePerFrameWithTheBitstreamsValues)
{
    for (const char *name : {"vbr_v2.mp3", "cbr128_crc.mp3", "mpeg2_vbr_16k.mp3", "cbr64_mono.mp3", "id3v2_art_v1.mp3"}) {
        SCOPED_TRACE(name);
        const QString path = fixture(name);
        QByteArray out, err;
        ASSERT_EQ(kvbench({"scan", "--csv", path}, &out, &err), 0) << err.toStdString();
        QList<QByteArray> lines = out.split('\n');
        ASSERT_EQ(lines.takeLast(), QByteArray());
        ASSERT_EQ(lines.takeFirst(), QByteArray("index,offset,bytes,main_data_begin,gains"));
        ASSERT_EQ(lines.size(), ffprobePackets(path));

        const Mp3StreamReport report = checkMp3Stream(readFile(path));
        std::map<qint64, const Mp3FrameFacts *> byOffset;
        for (const Mp3FrameFacts &f : report.frames)
            byOffset[f.offset] = &f;
        for (int i = 0; i < lines.size(); ++i) {
            const QList<QByteArray> cols = lines[i].split(',');
            ASSERT_EQ(cols.size(), 5) << lines[i].toStdString();
            EXPECT_EQ(cols[0].toInt(), i);
            const qint64 offset = cols[1].toLongLong();
            ASSERT_TRUE(byOffset.count(offset)) << lines[i].toStdString();
            const Mp3FrameFacts &f = *byOffset[offset];
            EXPECT_EQ(cols[2].toInt(), f.length);
            EXPECT_EQ(cols[3].toInt(), f.mainDataBegin);
            QStringList gains;
            for (int g : f.globalGains)
                gains << QString::number(g);
            EXPECT_EQ(QString(cols[4]), gains.join(';')) << "frame " << i;
        }
    }
}

TEST(KvBenchScan, FailuresExitNonZeroWithTheSourcesText)
{
    TempDir dir;
    writeFile(dir.file("noise.mp3"), QByteArray(5000, 'x'));
    struct Case { QString path; QByteArray text; };
    const Case cases[] = {
        {dir.file("missing.mp3"), "Failed to open MP3 audio file: No such file or directory\n"},
        {dir.file("noise.mp3"), "The file is not recognized as a supported MP3 file format\n"},
        {fixture("plain.wav"), "Internal error: unsupported file extension\n"},
    };
    for (const Case &c : cases) {
        for (const QStringList &args : {QStringList{"scan", c.path}, QStringList{"scan", "--csv", c.path}}) {
            QByteArray out, err;
            EXPECT_EQ(kvbench(args, &out, &err), 1) << args.join(' ').toStdString();
            EXPECT_EQ(err, c.text);
            EXPECT_TRUE(out.isEmpty());
        }
    }
    QByteArray out, err;
    EXPECT_EQ(kvbench({"scan"}, &out, &err), 2);
}
