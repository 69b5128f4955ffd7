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
    const qint64 n = m_buffer.size();
    errno = 0;
    if (m_file->write(m_buffer.constData(), n) != n || !m_file->flush())
        return false;
    m_buffer.resize(0);
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
