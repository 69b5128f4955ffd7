#pragma once
// The worker thread of one play request. The player, its generator and its output are
// created inside run(), so they live on this thread and are served by its event loop; the
// thread object itself lives on the GUI thread and relays requests to the player by queued
// signals, and the player's positions and its end back.
#include <QAtomicInt>
#include <QAtomicPointer>
#include <QString>
#include <QThread>

#include <boost/shared_ptr.hpp>

class KvAudioPlay;
class KvRepackInfoPtrList;

class KvPlayThread : public QThread {
    Q_OBJECT
public:
    // Takes a copy of the document now, on the caller's thread: the GUI may edit, undo or
    // paste into the document while this plays. Not started here.
    KvPlayThread(const boost::shared_ptr<KvRepackInfoPtrList> &document, qint64 startFrame, qint64 numFrames,
                 double volume, double pitch, double tempo);
    ~KvPlayThread() override;

    // Why playback did not start or ended early; empty otherwise. Read it after finished().
    QString errorText() const;
    // The copy this thread plays.
    boost::shared_ptr<KvRepackInfoPtrList> document() const { return m_document; }
    // Whether StopPlay() was called; a thread that plays without a player polls it.
    bool stopRequested() const { return m_stopRequested.loadAcquire() != 0; }

signals:
    void ScrubPlayAudioSignal(qint64 startFrame, qint64 numFrames);
    void VolumeChangedSignal(double value);
    void PitchChangedSignal(double value);
    void TempoChangedSignal(double value);
    void StopPlaySignal();
    void PlayFrameQueued(double frame, qint16 volLeft, qint16 volRight);

public slots:
    void ScrubPlayAudio(qint64 startFrame, qint64 numFrames);
    void StopPlay();
    void VolumeChanged(double value);
    void PitchChanged(double value);
    void TempoChanged(double value);
    void PlayFinishedSlot();
    void PlayFrameQueuedSlot(double frame, qint16 volLeft, qint16 volRight);

protected:
    void run() override;

private:
    boost::shared_ptr<KvRepackInfoPtrList> m_document;
    qint64 m_startFrame;
    qint64 m_numFrames;
    double m_volume;
    double m_pitch;
    double m_tempo;
    // Set on the play thread while the player exists, tested by the relaying slots.
    QAtomicPointer<KvAudioPlay> m_player;
    // A stop asked for before the player existed is not lost: run() ends at once.
    QAtomicInt m_stopRequested;
    QString m_errorText;
};
