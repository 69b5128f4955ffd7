// `kvbench export OUT EDITLIST` as a program: exit codes, error texts, and a
// disk that fills up mid-export.
#include "KvMp3StreamCheck.h"
#include "KvTestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace kvtest;

namespace {

int kvbench(const QStringList &args, QByteArray *err)
{
    QByteArray out;
    return runProgram(KVBENCH_PATH, args, &out, err);
}

QString src(const QString &name, qint64 first, qint64 count)
{
    return QStringLiteral("src %1 %2 %3\n").arg(fixture(name)).arg(first).arg(count);
}

} // namespace

TEST(KvBenchExport, WritesTheEditListsDocument)
{
    TempDir dir;
    const QString list = dir.file("list.txt");
    ASSERT_TRUE(writeFile(list, ("# two ranges and silence\n" + src("cbr128_joint.mp3", 10, 100) +
                                 "silence 20   # trailing comment\n\n" + src("cbr128_joint.mp3", 300, 50) +
                                 "gain 0 10 -3\nmute 5 2\ndelete 0 5\n")
                                    .toUtf8()));
    QByteArray err;
    ASSERT_EQ(kvbench({"export", dir.file("out.mp3"), list}, &err), 0) << err.toStdString();
    const Mp3StreamReport r = checkMp3Stream(readFile(dir.file("out.mp3")));
    EXPECT_TRUE(r.errors.isEmpty());
    EXPECT_EQ(r.frames.size(), size_t(1 + 165));
    EXPECT_EQ(decodeMpg123(dir.file("out.mp3")).size(), 165 * 4608);
}

TEST(KvBenchExport, BadListsFailWithTheLineOnStderr)
{
    TempDir dir;
    struct Case {
        QString list;
        QByteArray expected;
    };
    const Case cases[] = {
        {src("cbr128_joint.mp3", 0, 10) + "shuffle 1 2\n", "line 2: unknown command \"shuffle\""},
        {src("cbr128_joint.mp3", 0, 100000), "line 1: frames 0..99999 are not in"},
        {src("cbr128_joint.mp3", 0, 10) + "delete 5 10\n", "line 2: frames 5..14 are not in the document"},
        {"silence 10\n", "silence needs a source"},
        {src("cbr128_joint.mp3", 0, 10) + src("mpeg2_mono_22k.mp3", 0, 10), "line 2: "},
        {"src /no/such/file.mp3 0 1\n", "line 1: /no/such/file.mp3"},
        {"# nothing\n", "empty document"},
    };
    int k = 0;
    for (const Case &c : cases) {
        const QString list = dir.file(QString("bad%1.txt").arg(++k));
        ASSERT_TRUE(writeFile(list, c.list.toUtf8()));
        QByteArray err;
        EXPECT_NE(kvbench({"export", dir.file("out.mp3"), list}, &err), 0) << c.list.toStdString();
        EXPECT_TRUE(err.contains(c.expected)) << err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.file("out.mp3")));
    }
    QByteArray err;
    EXPECT_NE(kvbench({"export", dir.file("out.mp3"), dir.file("missing.txt")}, &err), 0);
    EXPECT_FALSE(err.isEmpty());
    ASSERT_TRUE(writeFile(dir.file("ok.txt"), src("cbr128_joint.mp3", 0, 10).toUtf8()));
    EXPECT_NE(kvbench({"export", dir.file("out.wav"), dir.file("ok.txt")}, &err), 0);
    EXPECT_TRUE(err.contains("cannot save a mp3 document as .wav")) << err.toStdString();
}

TEST(KvBenchExport, FullDiskIsAnErrorAndLeavesNothingBehind)
{
    // A file size limit stands in for a full disk: writes past it fail.
    TempDir dir;
    const QString list = dir.file("list.txt");
    ASSERT_TRUE(writeFile(list, src("vbr_v0_long.mp3", 0, -1).toUtf8()));
    const QString out = dir.file("out.mp3");
    ASSERT_TRUE(writeFile(out, "old"));
    QByteArray so, err;
    const QString script = QString("trap '' XFSZ; ulimit -f 64; exec '%1' export '%2' '%3'").arg(KVBENCH_PATH, out, list);
    EXPECT_NE(runProgram("bash", {"-c", script}, &so, &err), 0);
    EXPECT_FALSE(err.trimmed().isEmpty());
    EXPECT_EQ(readFile(out), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
