#include "KvWriteBehind.h"

#include <QFileDevice>

#include <fcntl.h>

#include <cerrno>


KvWriteBehind::KvWriteBehind(QFileDevice *file) : m_file(file)
{
    m_buffer.reserve(kChunk);
}

bool KvWriteBehind::write(const char *data, qint64 length)
{
    // Large pieces go to the file as they are, without a copy.
    if (m_buffer.isEmpty() && length >= kChunk / 2)
        return writeOut(data, length);
    while (length > 0) {
        const qint64 room = kChunk - m_buffer.size();
        const qint64 n = length < room ? length : room;
        m_buffer.append(data, int(n));
        data += n;
        length -= n;
        if (m_buffer.size() >= kChunk && !flush())
            return false;
    }
    return true;
}

bool KvWriteBehind::flush()
{
    if (m_buffer.isEmpty())
        return true;
    if (!writeOut(m_buffer.constData(), m_buffer.size()))
        return false;
    m_buffer.resize(0);
    return true;
}

bool KvWriteBehind::writeOut(const char *data, qint64 n)
{
    errno = 0;
    if (m_file->write(data, n) != n || !m_file->flush())
        return false;
    m_written += n;
#ifdef SYNC_FILE_RANGE_WRITE
    // Only a hint: a failure here shows again, and is reported, at the sync.
    if (m_written - m_started >= kWriteBehind) {
        const int fd = m_file->handle();
        if (fd >= 0)
            ::sync_file_range(fd, m_started, m_written - m_started, SYNC_FILE_RANGE_WRITE);
        m_started = m_written;
    }
#endif
    return true;
}
