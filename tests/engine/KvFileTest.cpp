// The open-file registry keeps the program from writing over files it reads.
#include "KvFile.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using kvtest::TempDir;

namespace {
const char *kInUse = "The file is already in use and cannot be overwritten.";

QString makeFile(const TempDir &dir, const QString &name, const QByteArray &data = "source bytes")
{
    const QString p = dir.file(name);
    EXPECT_TRUE(kvtest::writeFile(p, data));
    return p;
}
} // namespace

TEST(KvFile, ReadersShareAndBlockWritersUntilTheLastCloses)
{
    TempDir dir;
    const QString p = makeFile(dir, "a.mp3");
    const int before = KvFile::openFiles().size();

    KvFile r1, r2;
    r1.setFileName(p);
    r2.setFileName(p);
    ASSERT_TRUE(r1.openShared(QIODevice::ReadOnly));
    ASSERT_TRUE(r2.openShared(QIODevice::ReadOnly));
    EXPECT_EQ(KvFile::openFiles().size(), before + 2);
    EXPECT_EQ(r2.readAll(), QByteArray("source bytes"));

    r1.close();
    EXPECT_EQ(KvFile::openFiles().size(), before + 1);
    KvFile w;
    w.setFileName(p);
    EXPECT_FALSE(w.open(QIODevice::ReadWrite | QIODevice::Truncate));
    EXPECT_EQ(w.errorString(), kInUse);

    r2.close();
    EXPECT_EQ(KvFile::openFiles().size(), before);
    ASSERT_TRUE(w.open(QIODevice::ReadWrite | QIODevice::Truncate));
    EXPECT_EQ(w.write("new"), 3);
    w.close();
    EXPECT_EQ(kvtest::readFile(p), QByteArray("new"));
}

TEST(KvFile, OtherSpellingsOfAnOpenFileAreRefusedAndTheFileKeepsItsBytes)
{
    TempDir dir;
    const QString p = makeFile(dir, "song.mp3");
    QDir(dir.path()).mkdir("sub");
    ASSERT_TRUE(QFile::link(p, dir.file("link.mp3")));

    KvFile reader;
    reader.setFileName(p);
    ASSERT_TRUE(reader.openShared(QIODevice::ReadOnly));

    const QStringList spellings = {
        dir.path() + "//sub/../song.mp3",
        dir.path() + "/./song.mp3",
        dir.file("link.mp3"),
        QDir::current().relativeFilePath(p),
    };
    for (const QString &s : spellings) {
        SCOPED_TRACE(s.toStdString());
        KvFile writer;
        writer.setFileName(s);
        EXPECT_EQ(writer.fileName(), p);
        EXPECT_FALSE(writer.open(QIODevice::ReadWrite | QIODevice::Truncate));
        EXPECT_EQ(writer.errorString(), kInUse);
    }
    EXPECT_EQ(kvtest::readFile(p), QByteArray("source bytes"));
}

TEST(KvFile, WritingANewFileCreatesAndRegistersIt)
{
    TempDir dir;
    const QString p = dir.file("out.mp3");
    KvFile w;
    w.setFileName(p);
    ASSERT_TRUE(w.open(QIODevice::ReadWrite | QIODevice::Truncate));
    EXPECT_TRUE(KvFile::openFiles().contains(p));
    // A second writer on the same path is refused while the first holds it.
    KvFile w2;
    w2.setFileName(p);
    EXPECT_FALSE(w2.open(QIODevice::WriteOnly));
    // The descriptor of a ReadWrite open can read back what was written.
    ASSERT_EQ(w.write("abcdef"), 6);
    ASSERT_TRUE(w.seek(2));
    EXPECT_EQ(w.read(3), QByteArray("cde"));
    w.close();
    EXPECT_FALSE(KvFile::openFiles().contains(p));
}

TEST(KvFile, CloseRemovesTheKeyItAddedEvenAfterTheFileMoved)
{
    TempDir dir;
    const QString p = makeFile(dir, "moved.mp3");
    {
        KvFile r;
        r.setFileName(p);
        ASSERT_TRUE(r.openShared(QIODevice::ReadOnly));
        ASSERT_TRUE(QFile::rename(p, dir.file("elsewhere.mp3")));
        r.close();
    }
    EXPECT_FALSE(KvFile::openFiles().contains(p));
    // A new file at the old path can be written.
    KvFile w;
    w.setFileName(p);
    EXPECT_TRUE(w.open(QIODevice::WriteOnly | QIODevice::Truncate)) << w.errorString().toStdString();
}

TEST(KvFile, FailuresCarryTheSystemsMessage)
{
    TempDir dir;
    KvFile missing;
    missing.setFileName(dir.file("none.mp3"));
    EXPECT_FALSE(missing.openShared(QIODevice::ReadOnly));
    EXPECT_EQ(missing.errorString(), QString("No such file or directory"));

    KvFile folder;
    folder.setFileName(dir.path());
    EXPECT_FALSE(folder.openShared(QIODevice::ReadOnly));
    EXPECT_EQ(folder.errorString(), QString("Is a directory"));
    EXPECT_FALSE(folder.isOpen());

    KvFile unnamed;
    EXPECT_FALSE(unnamed.openShared(QIODevice::ReadOnly));
}

TEST(KvFile, ReadAtLeavesThePositionAlone)
{
    TempDir dir;
    const QString p = makeFile(dir, "r.bin", "0123456789");
    KvFile f;
    f.setFileName(p);
    ASSERT_TRUE(f.openShared(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(2), QByteArray("01"));
    char buf[8] = {};
    EXPECT_EQ(f.readAt(6, buf, 8), 4);
    EXPECT_EQ(QByteArray(buf, 4), QByteArray("6789"));
    EXPECT_EQ(f.read(2), QByteArray("23"));
    EXPECT_EQ(f.readAt(20, buf, 4), 0);
}

TEST(KvFilePaths, NormalisedForms)
{
    TempDir dir;
    const QString p = makeFile(dir, "x.mp3");
    const QString canonical = QFileInfo(p).canonicalFilePath();
    EXPECT_EQ(normalizeLongPath(dir.path() + "/./x.mp3"), canonical);
    EXPECT_EQ(normalizeLongPath(dir.path() + "//x.mp3"), canonical);
    // A missing file: absolute and cleaned, not resolved.
    EXPECT_EQ(normalizeLongPath(dir.path() + "/a/../missing.mp3"), QFileInfo(dir.path()).absoluteFilePath() + "/missing.mp3");
    EXPECT_EQ(normalizeLongPath("rel/none.mp3"), QDir::current().absoluteFilePath("rel/none.mp3"));
    EXPECT_TRUE(normalizeLongPath(QString()).isEmpty());
    EXPECT_EQ(nativeLongPath(dir.path() + "/./x.mp3"), canonical);
    EXPECT_EQ(fileNameOf("/a/b/c.mp3"), QString("c.mp3"));
    EXPECT_EQ(toNativeStdWString("C:\\music/a\\b.mp3"), std::wstring(L"C:/music/a/b.mp3"));
}
