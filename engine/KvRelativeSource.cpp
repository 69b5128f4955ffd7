#include "KvRelativeSource.h"

#include "KvFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

// A path split as the file system library splits it: the root name ("//host"),
// the root directory ("/"), then one item per name. A drive letter is an
// ordinary first name here, so it only ever matches the same drive letter.
struct PathItems {
    QStringList items;
    int rootItems = 0;
};

PathItems split(const QString &path)
{
    const QString p = QString::fromStdWString(toNativeStdWString(path)).replace(QLatin1Char('\\'), QLatin1Char('/'));
    PathItems r;
    int i = 0;
    if (p.startsWith(QLatin1String("//")) && !p.startsWith(QLatin1String("///")) && p.size() > 2) {
        int end = p.indexOf(QLatin1Char('/'), 2);
        if (end < 0)
            end = p.size();
        r.items << p.left(end);
        ++r.rootItems;
        i = end;
    }
    if (i < p.size() && p.at(i) == QLatin1Char('/')) {
        r.items << QStringLiteral("/");
        ++r.rootItems;
        while (i < p.size() && p.at(i) == QLatin1Char('/'))
            ++i;
    }
    for (const QString &name : p.mid(i).split(QLatin1Char('/'), Qt::SkipEmptyParts))
        r.items << name;
    return r;
}

// The folder a file lies in: its items without the last name.
PathItems folderOf(PathItems file)
{
    if (file.items.size() > file.rootItems)
        file.items.removeLast();
    return file;
}

QString join(const QStringList &items)
{
    QString s;
    for (const QString &item : items) {
        if (item == QLatin1String("/")) {
            s += item;
            continue;
        }
        if (!s.isEmpty() && !s.endsWith(QLatin1Char('/')))
            s += QLatin1Char('/');
        s += item;
    }
    return s;
}

} // namespace

QString findRelativeSource(const QString &savedProjectPath, const QString &currentProjectPath,
                           const QString &sourcePath)
{
    const PathItems source = split(sourcePath);
    if (source.items.size() <= source.rootItems)
        return QString();
    const QString name = source.items.last();
    const QStringList a = folderOf(split(savedProjectPath)).items;
    const QStringList f = folderOf(source).items;
    const PathItems b = folderOf(split(currentProjectPath));
    if (a.isEmpty() && f.isEmpty())
        return QString();

    // From the first item where the saved project's folder and the source's
    // folder part, the source's items are the way down and the project's
    // items the levels up.
    QStringList rel;
    int up = 0;
    bool parted = false;
    for (int i = 0; i < qMax(a.size(), f.size()); ++i) {
        if (!parted && i < a.size() && i < f.size() && a.at(i) == f.at(i))
            continue;
        if (i == 0)
            return QString(); // another drive or root
        parted = true;
        if (i < f.size())
            rel << f.at(i);
        if (i < a.size())
            ++up;
    }

    // How far the current folder can be walked up: to its root, or to its
    // first name when it has no root.
    const int depth = b.rootItems > 0 ? b.items.size() - b.rootItems : b.items.size() - 1;
    if (depth < up)
        return QString();
    QStringList candidate = b.items.mid(0, b.items.size() - up);
    candidate << rel << name;
    const QString path = QDir::fromNativeSeparators(join(candidate));
    return QFileInfo::exists(path) ? path : QString();
}
