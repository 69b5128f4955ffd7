#include "KvPlayThread.h"

#include "KvAudioPlay.h"
#include "KvRepackInfoPtrList.h"

#include <KvConnect.h>
#include <QMetaType>

#include <memory>

KvPlayThread::KvPlayThread(const boost::shared_ptr<KvRepackInfoPtrList> &document, qint64 startFrame,
                           qint64 numFrames, double volume, double pitch, double tempo)
    : m_document(document ? document->copyRange(0, -1) : document), m_startFrame(startFrame),
      m_numFrames(numFrames), m_volume(volume), m_pitch(pitch), m_tempo(tempo)
{
    qRegisterMetaType<qint16>("qint16");
}

KvPlayThread::~KvPlayThread()
{
    // Owners stop and wait first; one that did not must not leave the thread running
    // over freed members. The player never outlives run().
    StopPlay();
    wait();
}

QString KvPlayThread::errorText() const { return m_errorText; }

void KvPlayThread::run()
{
    std::unique_ptr<KvAudioPlay> player(new KvAudioPlay(m_document));
    kvConnect(this, SIGNAL(ScrubPlayAudioSignal(qint64, qint64)), player.get(), SLOT(ScrubPlayAudio(qint64, qint64)),
              Qt::QueuedConnection);
    kvConnect(this, SIGNAL(StopPlaySignal()), player.get(), SLOT(StopAudioOutput()), Qt::QueuedConnection);
    kvConnect(this, SIGNAL(VolumeChangedSignal(double)), player.get(), SLOT(VolumeChanged(double)),
              Qt::QueuedConnection);
    kvConnect(this, SIGNAL(PitchChangedSignal(double)), player.get(), SLOT(PitchChanged(double)),
              Qt::QueuedConnection);
    kvConnect(this, SIGNAL(TempoChangedSignal(double)), player.get(), SLOT(TempoChanged(double)),
              Qt::QueuedConnection);
    kvConnect(player.get(), SIGNAL(PlayPositionChanged(double, qint16, qint16)), this,
              SLOT(PlayFrameQueuedSlot(double, qint16, qint16)));
    kvConnect(player.get(), SIGNAL(PlayFinished()), this, SLOT(PlayFinishedSlot()), Qt::DirectConnection);
    m_player.storeRelease(player.get());

    if (m_stopRequested.loadAcquire()) {
        // Stopped before it began: nothing to play, nothing to report.
    } else if (!player->play(m_startFrame, m_numFrames)) {
        m_errorText = player->errorText().isEmpty() ? tr("Unable to open output audio device.") : player->errorText();
    } else {
        player->VolumeChanged(m_volume);
        player->PitchChanged(m_pitch);
        player->TempoChanged(m_tempo);
        if (player->startAudioOutput()) {
            exec();
            m_errorText = player->errorText();
        } else {
            m_errorText = tr("Unable to open output audio device.");
        }
    }
    // Stops and deletes the output and the generator here, on their own thread.
    m_player.storeRelease(nullptr);
    player->disconnect(this);
    player.reset();
}

void KvPlayThread::ScrubPlayAudio(qint64 startFrame, qint64 numFrames)
{
    if (m_player.loadAcquire())
        emit ScrubPlayAudioSignal(startFrame, numFrames);
}

void KvPlayThread::StopPlay()
{
    m_stopRequested.storeRelease(1);
    if (m_player.loadAcquire())
        emit StopPlaySignal();
}

void KvPlayThread::VolumeChanged(double value)
{
    if (m_player.loadAcquire())
        emit VolumeChangedSignal(value);
}

void KvPlayThread::PitchChanged(double value)
{
    if (m_player.loadAcquire())
        emit PitchChangedSignal(value);
}

void KvPlayThread::TempoChanged(double value)
{
    if (m_player.loadAcquire())
        emit TempoChangedSignal(value);
}

void KvPlayThread::PlayFinishedSlot() { exit(0); }

void KvPlayThread::PlayFrameQueuedSlot(double frame, qint16 volLeft, qint16 volRight)
{
    emit PlayFrameQueued(frame, volLeft, volRight);
}
