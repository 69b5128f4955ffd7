#include "KvAacFrameWriter.h"

#include <QMutex>

namespace {
QMutex g_mutex;

KvAacFrameWriter &current()
{
    static KvAacFrameWriter writer;
    return writer;
}
} // namespace

KvAacWriterHandle KvAacFrameWriter::init(const KvAacStreamInfo &format) const
{
    if (!initWriteNextFileFrames)
        return 0;
    return initWriteNextFileFrames(0, 0, "", 0, 2147483647, 0, &format);
}

qint32 KvAacFrameWriter::write(KvAacWriterHandle writer, const void *data, qint32 length,
                               void *output, qint32 capacity, qint32 *outputLength) const
{
    *outputLength = 0;
    if (!writeFrame)
        return -1;
    return writeFrame(writer, data, length, output, capacity, outputLength);
}

void KvAacFrameWriter::close(KvAacWriterHandle handle) const
{
    if (closeHandle)
        closeHandle(handle);
}

KvAacFrameWriter kvAacFrameWriter()
{
    QMutexLocker lock(&g_mutex);
    return current();
}

KvAacFrameWriter setKvAacFrameWriter(const KvAacFrameWriter &writer)
{
    QMutexLocker lock(&g_mutex);
    KvAacFrameWriter previous = current();
    current() = writer;
    return previous;
}
