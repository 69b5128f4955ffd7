// Changes another program makes to an open source, for the tests of what the
// program does about them.
#include "KvSourceChanges.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

namespace kvtest {

namespace {

// The source with its middle 40,000 bytes replaced by the bytes that stand
// 10,007 bytes further on: the same kind of data, out of step with the index.
QByteArray rewrittenMiddle(const QByteArray &original)
{
    const int count = 40000;
    const int at = original.size() / 2 - count / 2;
    QByteArray changed = original;
    changed.replace(at, count, original.mid(at + 10007, count));
    return changed;
}

} // namespace

const char *nameOf(Change c)
{
    switch (c) {
    case Change::InPlace: return "changed in place";
    case Change::InPlaceOldTime: return "changed in place, old time restored";
    case Change::Truncated: return "truncated";
    case Change::Grown: return "grown";
    case Change::RenamedOver: return "another file renamed over it";
    }
    return "";
}

void change(Change c, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat before;
    ASSERT_EQ(::stat(name.constData(), &before), 0);
    const QByteArray original = readFile(path);
    switch (c) {
    case Change::InPlace:
    case Change::InPlaceOldTime: {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QByteArray changed = rewrittenMiddle(original);
        ASSERT_EQ(file.write(changed), changed.size());
        file.close();
        // A clock too coarse to tell the write from the open would hide it.
        struct stat after;
        ASSERT_EQ(::stat(name.constData(), &after), 0);
        if (c == Change::InPlace && after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
            after.st_mtim.tv_nsec == before.st_mtim.tv_nsec) {
            const struct timespec later[2] = {after.st_atim, {before.st_mtim.tv_sec + 1, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), later, 0), 0);
        }
        if (c == Change::InPlaceOldTime) {
            const struct timespec old[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), old, 0), 0);
        }
        break;
    }
    case Change::Truncated:
        ASSERT_TRUE(QFile::resize(path, original.size() * 6 / 10));
        break;
    case Change::Grown: {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        ASSERT_EQ(file.write(original.left(20000)), 20000);
        break;
    }
    case Change::RenamedOver:
        renameOver(path, rewrittenMiddle(original));
        break;
    }
}

void renameOver(const QString &path, const QByteArray &bytes)
{
    const QString other = QFileInfo(path).dir().filePath("other.tmp");
    ASSERT_TRUE(writeFile(other, bytes));
    ASSERT_EQ(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
}

QString changedSourceText(const QString &path)
{
    return QDir::toNativeSeparators(path) +
           " was changed by another program after it was opened. Open it again to use its new content.";
}

} // namespace kvtest
