// `kvbench scan` and `kvbench export` on AAC sources and outputs: the same
// commands and edit-list format as for MP3, judged by ffprobe and ffmpeg.
#include "KvAacTestUtil.h"

#include <gtest/gtest.h>

#include <QFileInfo>

using namespace aacengine;

namespace {

int kvbench(const QStringList &args, QByteArray *out, QByteArray *err)
{
    return kvtest::runProgram(KVBENCH_PATH, args, out, err);
}

} // namespace

TEST(KvBenchAac, ScanSummaryAndCsv)
{
    for (const char *name : {"aac_lc_stereo.m4a", "aac_lc_mono.aac"}) {
        SCOPED_TRACE(name);
        const QString path = kvtest::fixture(name);
        const bool adts = QString(name).endsWith(".aac");
        QByteArray out, err;
        ASSERT_EQ(kvbench({"scan", path}, &out, &err), 0) << err.toStdString();
        const qint64 packets = countPackets(path);
        EXPECT_TRUE(out.contains("frames: " + QByteArray::number(packets) + "\n")) << out.toStdString();
        EXPECT_TRUE(out.contains(adts ? "AAC LC, 44100 Hz, 1 channels, 1024 samples/frame, ADTS"
                                      : "AAC LC, 44100 Hz, 2 channels, 1024 samples/frame, MP4"))
            << out.toStdString();
        EXPECT_TRUE(out.contains("he_aac: no\n"));
        EXPECT_TRUE(out.contains("description: AAC LC - ")) << out.toStdString();

        ASSERT_EQ(kvbench({"scan", "--csv", path}, &out, &err), 0) << err.toStdString();
        QList<QByteArray> lines = out.split('\n');
        ASSERT_EQ(lines.takeLast(), QByteArray());
        ASSERT_EQ(lines.takeFirst(), QByteArray("index,bytes,global_gain"));
        ASSERT_EQ(lines.size(), packets);
        QByteArray sizes;
        kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", "packet=size", "-of",
                                       "csv=p=0", path},
                           &sizes);
        QList<int> probed;
        for (const QByteArray &l : sizes.split('\n')) {
            const QByteArray f = l.split(',').first().trimmed();
            if (!f.isEmpty())
                probed << f.toInt() - (adts ? 7 : 0);
        }
        ASSERT_EQ(probed.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i) {
            const QList<QByteArray> cols = lines[i].split(',');
            ASSERT_EQ(cols.size(), 3);
            ASSERT_EQ(cols[0].toInt(), i);
            ASSERT_EQ(cols[1].toInt(), probed[i]) << "frame " << i;
            ASSERT_LE(cols[2].toInt(), 255);
        }
    }
}

TEST(KvBenchAac, ExportsAnEditListToMp4AndAdts)
{
    const QString a = kvtest::fixture("aac_lc_stereo.m4a");
    const QString b = kvtest::fixture("aac_lc_stereo.aac");
    const QString list = QStringLiteral("src %1 0 -1   # 518 frames\n"
                                        "src %2 100 50\n"
                                        "delete 10 20\n"
                                        "silence 12\n"
                                        "gain 40 30 4\n"
                                        "mute 100 10\n")
                             .arg(a, b);
    kvtest::TempDir tmp;
    const QString listFile = tmp.file("edits.txt");
    ASSERT_TRUE(kvtest::writeFile(listFile, list.toUtf8()));
    const QStringList srcA = packetHashes(a);
    const QStringList srcB = packetHashes(b);
    for (const char *ext : {".m4a", ".aac"}) {
        SCOPED_TRACE(ext);
        const QString out = tmp.file(QStringLiteral("out") + QLatin1String(ext));
        QByteArray stdoutText, err;
        ASSERT_EQ(kvbench({"export", out, listFile}, &stdoutText, &err), 0) << err.toStdString();
        const qint64 total = 518 - 20 + 50 + 12;
        EXPECT_EQ(countPackets(out), total);
        const QStringList hashes = packetHashes(out);
        ASSERT_EQ(hashes.size(), total);
        EXPECT_EQ(hashes.mid(0, 10), srcA.mid(0, 10));
        EXPECT_EQ(hashes.mid(70, 30), srcA.mid(90, 30));
        EXPECT_NE(hashes[40], srcA[60]);
        EXPECT_EQ(hashes.mid(498, 50), srcB.mid(100, 50));
        const std::vector<int16_t> pcm = decodeUntrimmed(out);
        EXPECT_LE(peakOf(pcm, 2, 101, 110), 1);
        EXPECT_LE(peakOf(pcm, 2, 549, 560), 1);
    }
}

TEST(KvBenchAac, IncompatibleSourcesAreRefused)
{
    kvtest::TempDir tmp;
    const QString list = QStringLiteral("src %1 0 10\nsrc %2 0 10\n")
                             .arg(kvtest::fixture("aac_lc_stereo.m4a"), kvtest::fixture("aac_lc_mono.m4a"));
    const QString out = tmp.file("out.m4a");
    QByteArray stdoutText, err;
    kvtest::writeFile(tmp.file("edits.txt"), list.toUtf8());
    EXPECT_EQ(kvbench({"export", out, tmp.file("edits.txt")}, &stdoutText, &err), 1);
    EXPECT_TRUE(err.contains("does not match the document's format")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));
    // An AAC document is not written as MP3.
    kvtest::writeFile(tmp.file("one.txt"), QStringLiteral("src %1 0 10\n").arg(kvtest::fixture("aac_lc_mono.aac")).toUtf8());
    EXPECT_EQ(kvbench({"export", tmp.file("out.mp3"), tmp.file("one.txt")}, &stdoutText, &err), 1);
    EXPECT_TRUE(err.contains("cannot save a aac document as .mp3")) << err.toStdString();
}
