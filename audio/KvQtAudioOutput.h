#pragma once
// Playback through Qt Multimedia on a real output device (PulseAudio or ALSA here).
#include "KvAudioSink.h"

#include <QAudioDeviceInfo>
#include <QAudioOutput>

// The QAudioOutput playback creates; Qt's own behaviour throughout.
class KvAudioOutput : public QAudioOutput {
    Q_OBJECT
public:
    KvAudioOutput(const QAudioDeviceInfo &device, const QAudioFormat &format, QObject *parent = nullptr)
        : QAudioOutput(device, format, parent)
    {
    }
};

// A KvAudioOutput behind the sink interface.
class KvQtAudioSink : public KvAudioSink {
    Q_OBJECT
public:
    KvQtAudioSink(const QAudioDeviceInfo &device, const QAudioFormat &format, QObject *parent = nullptr);
    ~KvQtAudioSink() override;

    QAudioFormat format() const override;
    void start(QIODevice *device) override;
    void stop() override;
    void setBufferSize(int bytes) override;
    int bufferSize() const override;
    void setNotifyInterval(int ms) override;
    int notifyInterval() const override;
    qint64 processedUSecs() const override;
    QAudio::State state() const override;
    QAudio::Error error() const override;

    KvAudioOutput *output() const { return m_output; }

private:
    KvAudioOutput *m_output;
};

// The system's default output device.
class KvQtAudioDevice : public KvAudioOutputDevice {
public:
    KvQtAudioDevice();
    explicit KvQtAudioDevice(const QAudioDeviceInfo &device);
    QString deviceName() const override;
    bool isFormatSupported(const QAudioFormat &format) const override;
    QAudioFormat nearestFormat(const QAudioFormat &format) const override;
    KvAudioSink *createSink(const QAudioFormat &format) override;

private:
    QAudioDeviceInfo m_device;
};
