#pragma once
// Reader of one rebuilt frame per read over a stream device. Stand-in with the engine
// reader's interface until the engine's own class is linked in (see KvAudioFrameSource.h).
class QIODevice;

class KvAudioFrameReader {
public:
    explicit KvAudioFrameReader(QIODevice *device = nullptr) : m_device(device) {}
    // Leaves the device alone: the stream functions own it.
    virtual ~KvAudioFrameReader() = default;
    // Closes and detaches the device; 0.
    virtual int close();
    // -1 without a device, else non-zero at the end of the stream.
    virtual int finished();
    // One frame of at most size * count bytes; 0 once finished, -1 when it does not fit.
    virtual int read(void *buffer, int size, int count);
    virtual void setDevice(QIODevice *device) { m_device = device; }

protected:
    QIODevice *m_device;
};
