#include "KvAudioStream.h"

#include "KvEngineFactories.h"
#include "KvRepackInfoPtrList.h"

#include <cstring>

KvAudioListFileIO::~KvAudioListFileIO() = default;

void KvAudioListFileIO::close()
{
    QIODevice::close();
}

qint64 KvAudioListFileIO::readFrames(char *data, qint64 maxSize, qint64 *frames)
{
    const qint64 n = readData(data, maxSize);
    *frames = n > 0 ? 1 : 0;
    return n;
}

QIODevice *KvAudioStreamOpen(const char *mode, boost::shared_ptr<KvRepackInfoPtrList> document, int chunkFrames)
{
    if (!mode || (std::strcmp(mode, "r") != 0 && std::strcmp(mode, "rb") != 0))
        return nullptr;
    if (!document || document->fragmentCount() == 0)
        return nullptr;
    KvAudioListFileIO *device = createAudioListFileIO(document);
    if (!device)
        return nullptr;
    if (!device->setSource(document, 0, chunkFrames)) {
        delete device;
        return nullptr;
    }
    return device;
}

int KvAudioStreamRead(void *buffer, int size, int count, QIODevice *handle)
{
    KvAudioListFileIO *device = qobject_cast<KvAudioListFileIO *>(handle);
    if (!device || device->finished())
        return 0;
    const qint32 want = qint32(quint32(size) * quint32(count));
    return int(device->readData(static_cast<char *>(buffer), want));
}

int KvAudioStreamEof(QIODevice *handle)
{
    if (!handle)
        return 1;
    KvAudioListFileIO *device = qobject_cast<KvAudioListFileIO *>(handle);
    if (!device)
        return 1;
    return device->finished() ? 1 : 0;
}

int KvAudioStreamClose(QIODevice *handle)
{
    KvAudioListFileIO *device = qobject_cast<KvAudioListFileIO *>(handle);
    if (!device)
        return -1;
    device->close();
    delete device;
    return 0;
}

KvAudioFrameReader::~KvAudioFrameReader() = default;

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
    KvAudioListFileIO *device = qobject_cast<KvAudioListFileIO *>(m_device);
    if (!device)
        return m_device->atEnd() ? 1 : 0;
    return device->finished() ? 1 : 0;
}

int KvAudioFrameReader::read(void *buffer, int size, int count)
{
    if (finished() != 0)
        return 0;
    const qint32 want = qint32(quint32(size) * quint32(count));
    KvAudioListFileIO *device = qobject_cast<KvAudioListFileIO *>(m_device);
    if (device)
        return int(device->readData(static_cast<char *>(buffer), want));
    return int(m_device->read(static_cast<char *>(buffer), want));
}
