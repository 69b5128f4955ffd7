#pragma once
// Write-only device that encodes the PCM written to it through an encoder back-end and
// appends the encoded stream to a temporary file, which saveToFile() then delivers.
#include "KvEncoderFactory.h"

#include <QAudioFormat>
#include <QIODevice>
#include <QMutex>
#include <QTemporaryFile>

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <functional>
#include <memory>

// The temporary encoded stream; it remembers which kind of encoder wrote it, so that a
// WAV stream gets its header whatever the destination is called.
class KvEncodedTempFile : public QTemporaryFile {
public:
    KvEncodedTempFile(const QString &templateName, const QString &encoderExtension)
        : QTemporaryFile(templateName), m_encoderExtension(encoderExtension) {}
    QString encoderExtension() const { return m_encoderExtension; }

private:
    QString m_encoderExtension;
};

typedef boost::shared_ptr<QTemporaryFile> KvTempFilePtr;

class AudioInfo : public QIODevice {
    Q_OBJECT
public:
    AudioInfo(const KvAudioLibPtr &encoder, const QAudioFormat &format, int mode, int bitrate,
              int vbrQuality, double resampleRatio, int channelsOut, int resampleRate,
              QObject *parent = nullptr);
    ~AudioInfo() override;

    bool openWrite();
    void setPaused(bool paused);
    // Finishes the encoder into the temporary file; closes the file and the device.
    void flush();
    // The same under the lock; then paused, and the encoder closed.
    void flushLocked();
    bool hasError() const;

    // Safe to read from another thread while the writer runs.
    qint64 pcmBytesWritten() const { return m_bytesWritten.load(); }
    qint64 pcmBytesEncoded() const { return m_bytesEncoded.load(); }
    qint64 encodedBytes() const { return m_encodedBytes.load(); }
    double level() const { return m_level.load(); }
    int errorCode() const { return m_errorCode; }
    // Read by other threads only under the sink's lock.
    QString errorMessage() const;
    KvTempFilePtr tempFile() const { return m_tempFile; }
    int maxAmplitude() const { return m_maxAmplitude; }

    // Delivers the temporary file to destination: copied (with the WAV header written over
    // the gap of a WAV stream), or with aacRewrap handed to the AAC writer. Empty on success.
    // A destination the program holds open is refused.
    static QString saveToFile(const KvTempFilePtr &tempFile, const QString &destination,
                              bool aacRewrap, int sampleRate, int channels);

    // The engine's file-to-file AAC writer (source path, destination path) -> error text.
    typedef std::function<QString(const QString &, const QString &)> AacRewrapper;
    static void setAacRewrapper(const AacRewrapper &rewrapper);

signals:
    void reportFatalError(QString errorMessage);

protected:
    qint64 readData(char *data, qint64 maxlen) override;
    qint64 writeData(const char *data, qint64 len) override;

private:
    void fail(int code, const QString &message);
    int peakOf(const char *data, qint64 len) const;
    bool appendToTempFile(const char *data, int len, const QString &failureMessage);

    std::atomic<qint64> m_bytesWritten{0};
    std::atomic<qint64> m_bytesEncoded{0};
    std::atomic<qint64> m_encodedBytes{0};
    KvTempFilePtr m_tempFile;
    QAudioFormat m_format;
    int m_maxAmplitude = 0;
    std::atomic<double> m_level{0.0};
    int m_errorCode = 0;
    QString m_errorMessage;
    KvAudioLibPtr m_encoder;
    int m_chunkSize = 9216;
    std::unique_ptr<char[]> m_inBuffer;
    int m_outCapacity = 0;
    std::unique_ptr<char[]> m_outBuffer;
    int m_bitrate = 0;
    double m_resampleRatio = 1.0;
    int m_channelsOut = 0;
    QMutex m_mutex;
    mutable QMutex m_errorLock;  // the error text, read by other threads
    bool m_paused = false;
};
