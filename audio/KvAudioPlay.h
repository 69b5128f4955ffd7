#pragma once
// Plays a frame range of a document on the output device: builds the PCM format from the
// document's source format, negotiates it with the device (mono widened to stereo, the
// rate resampled when the device asks for it), creates the output and the generator, and
// turns the output's ticks into position-and-level reports. Lives on the play thread.
#include <QAudio>
#include <QAudioFormat>
#include <QObject>
#include <QString>

#include <boost/shared_ptr.hpp>

class KvAudioGenerator;
class KvAudioSink;
class KvFrameSizeInfo;
class KvRepackInfoPtrList;
class QTimer;

class KvAudioPlay : public QObject {
    Q_OBJECT
public:
    // document: an immutable copy; nobody edits it while it plays.
    explicit KvAudioPlay(const boost::shared_ptr<KvRepackInfoPtrList> &document);
    ~KvAudioPlay() override;

    virtual bool play(qint64 startFrame, qint64 frameCount);
    virtual bool startAudioOutput();
    virtual bool setupAudioFormat(const boost::shared_ptr<KvFrameSizeInfo> &formatInfo);
    virtual void stopAudioOutput();
    virtual bool createAudioOutput();
    virtual void emitPlayPosition();
    virtual double updatePlayPosition();

    // Why playback could not start or ended early; empty when it did not fail.
    QString errorText() const { return m_errorText; }
    QAudioFormat format() const { return m_format; }
    double resampleRatio() const { return m_resampleRatio; }
    KvAudioGenerator *generator() const { return m_generator; }
    KvAudioSink *output() const { return m_output; }

signals:
    void PlayPositionChanged(double nNewPosition, qint16 volLeft, qint16 volRight);
    void PlayFinished();

public slots:
    void ScrubPlayAudio(qint64 startFrame, qint64 numFrames);
    void StopAudioOutput();
    void VolumeChanged(double value);
    void PitchChanged(double value);
    void TempoChanged(double value);

private slots:
    void notified();
    void stateChanged(QAudio::State state);
    void finishedPlaying();
    void generatorFailed(const QString &text);
    void generatorRunDry();
    void endOverdue();

private:
    boost::shared_ptr<KvRepackInfoPtrList> m_document;
    int m_framesPerNotify = 1;
    double m_lastEmittedPosition = -1.0;
    qint16 m_samplesPerFrame = 0;
    boost::shared_ptr<KvFrameSizeInfo> m_formatInfo;
    double m_notifyIntervalMs = 0.0;
    double m_position = -1.0;
    KvAudioSink *m_output = nullptr;
    KvAudioGenerator *m_generator = nullptr;
    QAudioFormat m_format;
    qint64 m_rangeStart = 0;
    qint64 m_rangeCount = 0;
    qint16 m_levelLeft = -1;
    qint16 m_levelRight = -1;
    double m_resampleRatio = 1.0;
    QString m_errorText;
    // Ends playback when an output never reports the end of a range it was given.
    QTimer *m_endTimer = nullptr;
};
