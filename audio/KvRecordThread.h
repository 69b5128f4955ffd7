#pragma once
// Capture worker of one take: a thread with its own event loop that owns the capture input
// and the encoding sink while it runs. The thread object itself stays on the thread that
// made it; its slots run there and relay time, level and state to the recording dialog.
#include "AudioInfo.h"
#include "KvCaptureDevice.h"

#include <QByteArray>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

class KvRecordThread : public QThread {
    Q_OBJECT
public:
    KvRecordThread(const KvCaptureDevice &device, const QAudioFormat &format,
                   const KvAudioLibPtr &encoder, int mode, int bitrate, int vbrQuality,
                   double resampleRatio, int channelsOut, int resampleRate);
    ~KvRecordThread() override;

    virtual void stopInput();
    virtual bool startInput();

    // The sink's temporary file; empty while there is no sink.
    KvTempFilePtr recording() const;
    // PCM bytes the sink handed to its encoder; 0 while there is no sink.
    qint64 recordedSize() const;
    QString errorText() const;
    // Blocks until the started thread has opened its encoder and its input, or failed to;
    // returns at once when the thread is not running. errorText() then tells how it went.
    void waitForStartUp() const;
    KvAudioLibPtr encoder() const { return m_encoder; }
    QAudioFormat format() const { return m_format; }
    // Sample-frame bytes of the read buffer and of the input's own buffer.
    int bufferSize() const;

signals:
    void signalStateChanged(QAudio::State state);
    void processedAudio(qint64 processedUSecs, qint16 volumeLeft, qint16 volumeRight);

public slots:
    void notified();
    void stateChanged(QAudio::State state);
    void setSuspendAudio(bool suspend);
    void StopAudioRecording();
    bool errorCheck(QString errorMessage);

private slots:
    void readMore();

protected:
    void run() override;
    AudioInfo *sink() const;

private:
    void setErrorText(const QString &text);
    // Asks the input to stop on the thread that owns it.
    void requestInputStop();

    mutable QMutex m_lock;  // sink and input pointers, error text, start-up flag
    mutable QWaitCondition m_startUpDone;
    bool m_startedUp = false;
    AudioInfo *m_sink = nullptr;
    KvCaptureInput *m_input = nullptr;
    KvCaptureDevice m_device;
    QAudioFormat m_format;
    KvAudioLibPtr m_encoder;
    KvCaptureProviderPtr m_provider;
    QByteArray m_buffer;
    QPointer<QIODevice> m_inputDevice;
    int m_mode;
    int m_bitrate;
    int m_vbrQuality;
    double m_resampleRatio;
    int m_channelsOut;
    int m_resampleRate;
    QString m_errorText;
    std::atomic<bool> m_running{false};
    int m_lastState = -1;
    std::atomic<bool> m_suspended{false};
};
