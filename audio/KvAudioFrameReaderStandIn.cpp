#include "KvAudioFrameReaderStandIn.h"

#include <QIODevice>

int KvAudioFrameReader::close()
{
    if (m_device) {
        m_device->close();
        m_device = nullptr;
    }
    return 0;
}

int KvAudioFrameReader::finished()
{
    if (!m_device)
        return -1;
    return m_device->atEnd() ? 1 : 0;
}

int KvAudioFrameReader::read(void *buffer, int size, int count)
{
    if (finished() != 0)
        return 0;
    const qint64 want = qint64(size) * count;
    if (want <= 0 || want > 0x7fffffff)
        return -1;
    return int(m_device->read(static_cast<char *>(buffer), want));
}
