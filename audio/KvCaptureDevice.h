#pragma once
// What recording needs of the platform's capture side, behind two small interfaces: a
// provider that lists devices and judges formats, and an input that captures in push mode.
// The real ones sit over Qt Multimedia; tests put in devices of their own.
#include <QAudio>
#include <QAudioFormat>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class QIODevice;

struct KvCaptureDevice {
    QString name;
    QList<int> sampleRates;
    QList<int> channelCounts;
    QList<int> sampleSizes;
    QVariant handle;  // the provider's own description of the device

    bool isNull() const { return name.isEmpty() && !handle.isValid(); }
};
Q_DECLARE_METATYPE(KvCaptureDevice)

// One capture stream of one device; push mode: start() hands out the device that the
// captured data arrive on (readyRead), or null when it did not start.
class KvCaptureInput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setBufferSize(int bytes) = 0;
    virtual void setNotifyInterval(int ms) = 0;
    virtual QIODevice *start() = 0;
    virtual qint64 bytesReady() const = 0;
    virtual QAudio::Error error() const = 0;
    virtual QAudio::State state() const = 0;
    virtual QAudioFormat format() const = 0;

public slots:
    virtual void stop() = 0;

signals:
    void notify();
    void stateChanged(QAudio::State state);
};

class KvCaptureProvider {
public:
    virtual ~KvCaptureProvider() = default;
    virtual QList<KvCaptureDevice> availableDevices() = 0;
    virtual KvCaptureDevice defaultDevice() = 0;
    virtual bool isFormatSupported(const KvCaptureDevice &device, const QAudioFormat &format) = 0;
    virtual QAudioFormat nearestFormat(const KvCaptureDevice &device, const QAudioFormat &format) = 0;
    // A new input without parent, owned by the caller; created on the thread that uses it.
    virtual KvCaptureInput *createInput(const KvCaptureDevice &device, const QAudioFormat &format) = 0;
};

typedef std::shared_ptr<KvCaptureProvider> KvCaptureProviderPtr;

// The process-wide provider (Qt Multimedia unless replaced).
KvCaptureProviderPtr kvCaptureProvider();
// Replaces it (tests); returns the previous one.
KvCaptureProviderPtr setKvCaptureProvider(const KvCaptureProviderPtr &provider);

// 16- or 24-bit signed little-endian PCM as recording captures it.
QAudioFormat kvPcmFormat(int sampleRate, int channels, int sampleSize);
