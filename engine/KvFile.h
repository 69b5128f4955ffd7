#pragma once
#include <QFile>
#include <QString>
#include <QStringList>

#include <string>

// What a file was when a KvFile opened it: size and modification time, and
// which file it is (device and inode).
struct KvFileStamp {
    qint64 size = -1;
    qint64 mtimeNs = 0;
    quint64 device = 0;
    quint64 inode = 0;
};

// A QFile that opens its descriptor itself and keeps one process-wide list of
// the files any KvFile holds open, so that the program refuses to overwrite a
// file it is reading (an export onto one of its own sources, say).
class KvFile : public QFile {
    Q_OBJECT
public:
    KvFile();
    ~KvFile() override;

    // Stores the normalised path. Hides QFile::setFileName.
    void setFileName(const QString &path);
    QString fileName() const override { return m_name; }

    bool open(OpenMode mode) override;
    // The open itself: fails with "The file is already in use and cannot be
    // overwritten." when opening for writing a file that a KvFile holds open.
    bool openShared(OpenMode mode);
    void close() override;

    // Reads at a file position without moving the device's own position, so
    // that readers on other threads do not disturb each other. Returns the
    // bytes read or -1.
    qint64 readAt(qint64 position, char *data, qint64 maxSize) const;

    // The registry of open files: one key per successful open (any thread).
    static QStringList openFiles();

    // Whether the file held open has another size or modification time than
    // when it was opened: another program wrote to it. Asked of the held
    // descriptor, so a file renamed over the path changes nothing here.
    bool changedSinceOpen() const;
    // Whether the path names the file held open, unchanged: a new open of
    // the path would read what this one indexed.
    bool pathNamesOpenedFile() const;
    // "<path> was changed by another program after it was opened. ..."
    static QString changedText(const QString &path);

private:
    void release();

    int m_descriptor = -1;
    QString m_name;
    QString m_registryKey;   // the key this object added at open, removed at close
    KvFileStamp m_stamp;
};

// One canonical, absolute, native-separator form of a path: canonical for an
// existing file or folder, cleaned absolute otherwise. Empty stays empty.
QString normalizeLongPath(const QString &path);
QString nativeLongPath(const QString &path);
QString fileNameOf(const QString &path);
std::wstring toNativeStdWString(const QString &path);
