#pragma once
// Where playback sends its PCM: a pull-mode audio output. Two kinds exist: Qt's audio
// output on a real device (KvQtAudioOutput.h) and the null sink (KvNullAudioSink.h), which
// plays into memory on a clock. The device object negotiates formats and makes sinks.
#include <QAudio>
#include <QAudioFormat>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

class KvAudioSink : public QObject {
    Q_OBJECT
public:
    explicit KvAudioSink(QObject *parent = nullptr) : QObject(parent) {}

    virtual QAudioFormat format() const = 0;
    // Pull mode: the sink reads device (open for reading) as it plays.
    virtual void start(QIODevice *device) = 0;
    virtual void stop() = 0;
    virtual void setBufferSize(int bytes) = 0;
    virtual int bufferSize() const = 0;
    virtual void setNotifyInterval(int ms) = 0;
    virtual int notifyInterval() const = 0;
    // Audio played since start, in microseconds.
    virtual qint64 processedUSecs() const = 0;
    virtual QAudio::State state() const = 0;
    virtual QAudio::Error error() const = 0;

signals:
    // Every notify interval of played audio.
    void notify();
    void stateChanged(QAudio::State state);
};

// An output device: which formats it takes and the sinks that play on it.
class KvAudioOutputDevice {
public:
    virtual ~KvAudioOutputDevice();
    virtual QString deviceName() const = 0;
    virtual bool isFormatSupported(const QAudioFormat &format) const = 0;
    // The supported format closest to format (invalid when the device offers none).
    virtual QAudioFormat nearestFormat(const QAudioFormat &format) const = 0;
    // A new sink for format, owned by the caller, living on the calling thread.
    virtual KvAudioSink *createSink(const QAudioFormat &format) = 0;
};

typedef std::shared_ptr<KvAudioOutputDevice> KvAudioOutputDevicePtr;
typedef std::function<KvAudioOutputDevicePtr()> KvAudioOutputDeviceFactory;

// The device playback opens: what an installed factory makes, else the null sink on a real
// clock when the environment variable KV_AUDIO_OUTPUT is "null", else Qt's default output.
// Nothing falls back to the null sink on its own.
KvAudioOutputDevicePtr kvAudioOutputDevice();
// Installs a factory process-wide (start-up wiring and tests; an empty one restores the
// default); returns the previous one.
KvAudioOutputDeviceFactory setKvAudioOutputDeviceFactory(KvAudioOutputDeviceFactory factory);
