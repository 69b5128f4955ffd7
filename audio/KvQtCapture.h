#pragma once
// Capture through Qt Multimedia (PulseAudio or ALSA underneath).
#include "KvCaptureDevice.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>

class KvQtCaptureInput : public KvCaptureInput {
    Q_OBJECT
public:
    KvQtCaptureInput(const QAudioDeviceInfo &device, const QAudioFormat &format);
    ~KvQtCaptureInput() override;

    void setBufferSize(int bytes) override { m_input->setBufferSize(bytes); }
    void setNotifyInterval(int ms) override { m_input->setNotifyInterval(ms); }
    QIODevice *start() override { return m_input->start(); }
    qint64 bytesReady() const override { return m_input->bytesReady(); }
    QAudio::Error error() const override { return m_input->error(); }
    QAudio::State state() const override { return m_input->state(); }
    QAudioFormat format() const override { return m_input->format(); }

public slots:
    void stop() override { m_input->stop(); }

private:
    QAudioInput *m_input;
};

class KvQtCaptureProvider : public KvCaptureProvider {
public:
    QList<KvCaptureDevice> availableDevices() override;
    KvCaptureDevice defaultDevice() override;
    bool isFormatSupported(const KvCaptureDevice &device, const QAudioFormat &format) override;
    QAudioFormat nearestFormat(const KvCaptureDevice &device, const QAudioFormat &format) override;
    KvCaptureInput *createInput(const KvCaptureDevice &device, const QAudioFormat &format) override;

    static KvCaptureDevice describe(const QAudioDeviceInfo &info);
};
