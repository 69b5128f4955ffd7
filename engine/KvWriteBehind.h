#pragma once
// Output of a save, gathered into large writes. Every few MiB the system is
// asked to start writing the finished range to disk, so that the sync before
// the final rename finds little left to wait for.
#include <QByteArray>

class QFileDevice;

class KvWriteBehind {
public:
    explicit KvWriteBehind(QFileDevice *file);
    KvWriteBehind(const KvWriteBehind &) = delete;
    KvWriteBehind &operator=(const KvWriteBehind &) = delete;

    // Queues the bytes; false when a write to the file failed (errno and the
    // file's error tell why).
    bool write(const char *data, qint64 length);
    // Writes what is queued; false on a failed write.
    bool flush();

private:
    // Hands the bytes to the file; false on a failed write.
    bool writeOut(const char *data, qint64 length);

    static constexpr int kChunk = 1 << 20;
    static constexpr qint64 kWriteBehind = 2 << 20;

    QFileDevice *m_file;
    QByteArray m_buffer;
    qint64 m_written = 0;   // bytes handed to the file
    qint64 m_started = 0;   // bytes whose writeback was requested
};
