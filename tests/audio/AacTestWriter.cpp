#include "AacTestWriter.h"

#include <cstring>

namespace kvaudiotest {

QByteArray adtsHeader(int objectType, int samplingIndex, int channels, int payloadBytes)
{
    const int length = payloadBytes + 7;
    if (objectType < 1 || objectType > 4 || samplingIndex < 0 || samplingIndex > 12
        || channels < 1 || channels > 7 || length > 8191)
        return QByteArray();
    const int profile = objectType - 1;
    unsigned char h[7];
    h[0] = 0xff;
    h[1] = 0xf1;  // MPEG-4, layer 0, no CRC
    h[2] = (unsigned char)((profile << 6) | (samplingIndex << 2) | ((channels >> 2) & 1));
    h[3] = (unsigned char)(((channels & 3) << 6) | ((length >> 11) & 3));
    h[4] = (unsigned char)((length >> 3) & 0xff);
    h[5] = (unsigned char)(((length & 7) << 5) | 0x1f);
    h[6] = 0xfc;
    return QByteArray(reinterpret_cast<const char *>(h), 7);
}

QVector<QByteArray> splitAdts(const QByteArray &stream)
{
    QVector<QByteArray> frames;
    const auto *d = reinterpret_cast<const unsigned char *>(stream.constData());
    int pos = 0;
    while (pos + 7 <= stream.size()) {
        if (d[pos] != 0xff || (d[pos + 1] & 0xf6) != 0xf0)
            break;
        const int length = ((d[pos + 3] & 3) << 11) | (d[pos + 4] << 3) | (d[pos + 5] >> 5);
        if (length < 7 || pos + length > stream.size())
            break;
        frames.append(stream.mid(pos, length));
        pos += length;
    }
    return frames;
}

KvAacFrameWriter AacTestWriter::calls()
{
    KvAacFrameWriter w;
    w.initWriteNextFileFrames = [this](KvAacWriterHandle writer, KvAacWriterHandle source,
                                       const char *path, qint64 first, qint64 count, qint32 mode,
                                       const KvAacStreamInfo *format) -> KvAacWriterHandle {
        Init i;
        i.writer = writer;
        i.source = source;
        i.path = path ? QByteArray(path) : QByteArray("(null)");
        i.firstFrame = first;
        i.frameCount = count;
        i.memoryMode = mode;
        i.hadFormat = format != nullptr;
        if (format)
            i.info = *format;
        inits.append(i);
        if (refuseInit || !format)
            return 0;
        const KvAacWriterHandle h = m_next++;
        m_open[h] = *format;
        return h;
    };
    w.writeFrame = [this](KvAacWriterHandle writer, const void *data, qint32 length, void *output,
                          qint32 capacity, qint32 *outputLength) -> qint32 {
        *outputLength = 0;
        const auto it = m_open.find(writer);
        if (it == m_open.end() || !data || length <= 0)
            return -1;
        if (failAfterFrames >= 0 && framesWritten >= failAfterFrames)
            return -5;
        const KvAacStreamInfo &f = it->second;
        const QByteArray header = adtsHeader(f.field[0], f.field[1], f.field[9], length);
        if (header.isEmpty() || capacity < header.size() + length)
            return -3;
        std::memcpy(output, header.constData(), size_t(header.size()));
        std::memcpy(static_cast<char *>(output) + header.size(), data, size_t(length));
        *outputLength = header.size() + length;
        ++framesWritten;
        return 1;
    };
    w.closeHandle = [this](KvAacWriterHandle handle) -> qint32 {
        closed.append(handle);
        return m_open.erase(handle) ? 0 : -1;
    };
    return w;
}

} // namespace kvaudiotest
