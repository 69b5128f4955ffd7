#include "KvFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The one list of open files, behind its lock: sources are indexed on a
// worker thread while the GUI thread may open or close others.
QStringList &registry()
{
    static QStringList list;
    return list;
}

QMutex &registryMutex()
{
    static QMutex mutex;
    return mutex;
}

KvFileStamp stampOf(const struct stat &st)
{
    KvFileStamp stamp;
    stamp.size = qint64(st.st_size);
    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + qint64(st.st_mtim.tv_nsec);
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    return stamp;
}

bool sameContentStamp(const KvFileStamp &a, const KvFileStamp &b)
{
    return a.size == b.size && a.mtimeNs == b.mtimeNs;
}

bool registryHolds(const QString &key)
{
    const QMutexLocker lock(&registryMutex());
    return registry().contains(key);
}

// Empty when the file does not exist (its canonical folder is then empty).
QString registryKey(const QString &name)
{
    if (name.isEmpty())
        return QString();
    const QFileInfo info(name);
    const QString dir = info.canonicalPath();
    if (dir.isEmpty())
        return QString();
    return dir + QDir::separator() + info.fileName();
}

} // namespace

KvFile::KvFile() = default;

KvFile::~KvFile()
{
    release();
}

void KvFile::setFileName(const QString &path)
{
    m_name = normalizeLongPath(path);
    QFile::setFileName(m_name);
}

bool KvFile::open(OpenMode mode)
{
    return openShared(mode);
}

bool KvFile::openShared(OpenMode mode)
{
    if (isOpen() || m_descriptor != -1)
        release();
    m_descriptor = -1;
    const bool writing = mode & QIODevice::WriteOnly;
    if (writing) {
        const QString key = registryKey(m_name);
        if (!key.isEmpty() && registryHolds(key)) {
            setErrorString(tr("The file is already in use and cannot be overwritten."));
            return false;
        }
    }

    // Linux has no deny-write sharing mode; the registry above is what keeps
    // the program from writing over its own open files.
    int flags = O_CLOEXEC;
    if ((mode & QIODevice::ReadWrite) == QIODevice::ReadWrite)
        flags |= O_RDWR;
    else
        flags |= writing ? O_WRONLY : O_RDONLY;
    if (writing)
        flags |= O_CREAT;
    if (mode & QIODevice::Truncate)
        flags |= O_TRUNC;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;

    const QByteArray path = QFile::encodeName(QDir::toNativeSeparators(m_name));
    int fd = path.isEmpty() ? -1 : ::open(path.constData(), flags, 0666);
    if (fd < 0) {
        if (path.isEmpty())
            errno = ENOENT;
        setErrorString(qt_error_string(-1));
        return false;
    }
    // A folder opens on Linux, but holds no bytes to read or write.
    struct stat st;
    const int statError = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (statError != 0) {
        ::close(fd);
        setErrorString(qt_error_string(statError));
        return false;
    }
    m_descriptor = fd;
    m_stamp = stampOf(st);

    const bool ok = QFile::open(fd, mode, QFileDevice::DontCloseHandle);
    if (ok) {
        m_registryKey = registryKey(m_name);
        if (!m_registryKey.isEmpty()) {
            const QMutexLocker lock(&registryMutex());
            registry().prepend(m_registryKey);
        }
    }
    return ok;
}

void KvFile::close()
{
    release();
}

void KvFile::release()
{
    if (!m_registryKey.isEmpty()) {
        const QMutexLocker lock(&registryMutex());
        registry().removeOne(m_registryKey);
        m_registryKey.clear();
    }
    if (isOpen())
        QFileDevice::close();
    if (m_descriptor != -1) {
        ::close(m_descriptor);
        m_descriptor = -1;
    }
    m_stamp = KvFileStamp();
}

bool KvFile::changedSinceOpen() const
{
    if (m_descriptor < 0)
        return false;
    struct stat st;
    return ::fstat(m_descriptor, &st) != 0 || !sameContentStamp(stampOf(st), m_stamp);
}

bool KvFile::pathNamesOpenedFile() const
{
    if (m_descriptor < 0 || changedSinceOpen())
        return false;
    struct stat st;
    if (::stat(QFile::encodeName(m_name).constData(), &st) != 0)
        return false;
    const KvFileStamp now = stampOf(st);
    return now.device == m_stamp.device && now.inode == m_stamp.inode;
}

QString KvFile::changedText(const QString &path)
{
    return tr("%1 was changed by another program after it was opened. Open it again to use its new content.")
        .arg(QDir::toNativeSeparators(path));
}

qint64 KvFile::readAt(qint64 position, char *data, qint64 maxSize) const
{
    if (m_descriptor < 0 || position < 0 || maxSize < 0)
        return -1;
    qint64 total = 0;
    while (total < maxSize) {
        const ssize_t n = ::pread(m_descriptor, data + total, size_t(maxSize - total), off_t(position + total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return total > 0 ? total : -1;
        }
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

QStringList KvFile::openFiles()
{
    const QMutexLocker lock(&registryMutex());
    return registry();
}

QString normalizeLongPath(const QString &path)
{
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    if (info.exists()) {
        const QString canonical = info.canonicalFilePath();
        if (!canonical.isEmpty())
            return QDir::toNativeSeparators(canonical);
    }
    return QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
}

QString nativeLongPath(const QString &path)
{
    return QDir::toNativeSeparators(normalizeLongPath(path));
}

QString fileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

std::wstring toNativeStdWString(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::toNativeSeparators(p).toStdWString();
}
