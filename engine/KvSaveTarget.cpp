#include "KvSaveTarget.h"

#include "KvFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

KvSaveTarget::KvSaveTarget(const QString &target) : m_target(normalizeLongPath(target)) {}

KvSaveTarget::~KvSaveTarget()
{
    if (!m_done)
        discard();
}

bool KvSaveTarget::isOpenInProgram(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    const QString dir = info.canonicalPath();
    const QString key = dir.isEmpty() ? QString() : dir + QDir::separator() + info.fileName();
    for (const QString &open : KvFile::openFiles()) {
        if ((!key.isEmpty() && open == key) || (!canonical.isEmpty() && QFileInfo(open).canonicalFilePath() == canonical))
            return true;
    }
    return false;
}

QString KvSaveTarget::prepare()
{
    if (m_target.isEmpty())
        return tr("No file name was given.");
    if (isOpenInProgram(m_target))
        return tr("The file is already in use and cannot be overwritten.");
    const QFileInfo info(m_target);
    if (info.isDir())
        return qt_error_string(EISDIR);
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    // The writer picks its container by extension: the temporary name keeps it.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.part%3")
                                 .arg(info.completeBaseName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
                                 .arg(suffix);
        const QString candidate = info.dir().filePath(name);
        if (QFileInfo::exists(candidate))
            continue;
        KvFile file;
        file.setFileName(candidate);
        if (!file.openShared(QIODevice::ReadWrite | QIODevice::Truncate))
            return file.errorString();
        file.close();
        m_temp = file.fileName();
        return QString();
    }
    return qt_error_string(EEXIST);
}

QString KvSaveTarget::commit()
{
    if (m_temp.isEmpty())
        return tr("No file name was given.");
    if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_target).constData()) != 0) {
        const QString error = qt_error_string(errno);
        discard();
        return error;
    }
    m_done = true;
    return QString();
}

void KvSaveTarget::discard()
{
    if (!m_temp.isEmpty())
        QFile::remove(m_temp);
    m_temp.clear();
    m_done = true;
}
