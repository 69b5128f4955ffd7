#pragma once
// The document as a byte stream of rebuilt frames: the stream device, the
// stdio-like functions that open, read and close it, and the frame reader
// that playback and decoding wrap around an open handle.
//
// Every successful read delivers exactly one whole output frame; a read never
// returns part of a frame. Callers offer 32768 bytes, more than any frame.
#include <QIODevice>
#include <QString>

#include <boost/shared_ptr.hpp>

class KvRepackInfoPtrList;

// A read-only sequential device over a document; each readData() call yields
// one rebuilt output frame (or 0: nothing this time, or the end).
class KvAudioListFileIO : public QIODevice {
    Q_OBJECT
public:
    ~KvAudioListFileIO() override;

    // Arms the device over the document; chunkFrames 0 streams the whole
    // (already prepared) document, a positive value plans and streams it in
    // chunks of about that many frames. The second argument is the caller's
    // own tag; the MP3 device does not read it.
    virtual bool setSource(const boost::shared_ptr<KvRepackInfoPtrList> &document, int tag, int chunkFrames) = 0;
    // True once the device closed itself (end of the document or a failure)
    // or was closed.
    virtual bool finished() = 0;
    // Source frames stepped since the last call (pre-roll included); resets.
    virtual quint64 takeFramesRead() = 0;
    // Empty while all went well; the reason after a failure closed the device.
    virtual QString errorText() const = 0;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 0; }
    void close() override;

    // Public so the stream functions can call it without opening the device.
    qint64 readData(char *data, qint64 maxSize) override = 0;
    // As many whole frames as fit into maxSize bytes (at least one, else -1
    // when the next one does not fit, 0 at the end); *frames gets their count.
    // Savers read this way: long unedited runs come in large pieces.
    virtual qint64 readFrames(char *data, qint64 maxSize, qint64 *frames);

protected:
    KvAudioListFileIO() = default;
    qint64 writeData(const char *, qint64) override { return 0; }
};

// Null unless mode is "r" or "rb" and the document holds a fragment of a known
// kind. chunkFrames as for KvAudioListFileIO::setSource.
QIODevice *KvAudioStreamOpen(const char *mode, boost::shared_ptr<KvRepackInfoPtrList> document, int chunkFrames);
// The byte length of the one frame read (size * count is the buffer size), -1
// when it does not fit, 0 at the end or for a handle of the wrong type.
int KvAudioStreamRead(void *buffer, int size, int count, QIODevice *handle);
// 1 for a null handle, else non-zero once the stream has ended.
int KvAudioStreamEof(QIODevice *handle);
// Closes and destroys the device: 0; -1 for a handle of the wrong type.
int KvAudioStreamClose(QIODevice *handle);

// Reads frames from an open stream device it does not own.
class KvAudioFrameReader {
public:
    explicit KvAudioFrameReader(QIODevice *device = nullptr) : m_device(device) {}
    // Leaves the device alone: the stream functions own it.
    virtual ~KvAudioFrameReader();
    // Closes and detaches the device (not destroyed); 0.
    virtual int close();
    // -1 without a device, else non-zero at the end of the stream.
    virtual int finished();
    // One frame of at most size * count bytes; 0 once finished, -1 when it does not fit.
    virtual int read(void *buffer, int size, int count);
    virtual void setDevice(QIODevice *device) { m_device = device; }

protected:
    QIODevice *m_device;
};
