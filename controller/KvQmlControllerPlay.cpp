// Playback control: play, pause, stop, looping, the play position and the
// volume, pitch and tempo of the running play thread.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvConnect.h>
#include <KvPlayThread.h>
#include <KvPlayThreadFactory.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>

#include <QCoreApplication>

#include <cmath>

bool KvQmlController::actionPlay(bool bPlaySelection)
{
    KvEditLock lock(editMutex());
    if (!lock)
        return false;
    if (m_playThread || isPlaying())
        return false;
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : KvQmlModel::FragmentListPtr();
    const boost::shared_ptr<KvRepackInfoPtrList> document = cursor ? cursor->list() : boost::shared_ptr<KvRepackInfoPtrList>();
    if (!document || !document->list() || document->list()->empty())
        return false;
    const bool selected = m_selectionStart != -1 && m_selectionEnd != -1 && m_selectionStart < m_selectionEnd;
    if (bPlaySelection && !selected)
        return false;

    const qint64 position = kvFrameOf(m_scrollFrame);
    qint64 start = m_selectionStart;
    if (m_playState == 4 && position >= m_selectionStart && position < m_selectionEnd)
        start = position;
    qint64 count;
    if (bPlaySelection) {
        m_playStartFrame = start;
        moveScrollFrame(double(start));
        count = m_selectionEnd - start;
    } else {
        start = position;
        m_playStartFrame = start;
        count = document->totalFrames() - start;
    }

    m_playThread = playThreadFactory().create(document, start, count, m_volume, m_pitch, m_tempo);
    kvConnect(m_playThread, SIGNAL(finished()), this, SLOT(play_thread_finished()), Qt::QueuedConnection);
    kvConnect(m_playThread, SIGNAL(PlayFrameQueued(double, qint16, qint16)), this,
              SLOT(PlayPositionChanged_triggered(double, qint16, qint16)), Qt::QueuedConnection);
    setPlayState(bPlaySelection ? 2 : 1);
    m_playRangeStart = bPlaySelection ? start : -1;
    m_playRangeEnd = bPlaySelection ? m_selectionEnd : -1;
    m_audioFailuresBeforePlay = kvAudioFailuresShown();
    m_playThread->start(QThread::HighPriority);
    return true;
}

void KvQmlController::startPlay()
{
    if (!actionPlay(false))
        stop();
}

void KvQmlController::playSelection()
{
    if (!actionPlay(true))
        stop();
}

void KvQmlController::resumePlay()
{
    if (!actionPlay(m_playState == 4))
        stop();
}

void KvQmlController::actionPause()
{
    KvEditLock lock(editMutex());
    if (!lock && editMutex())
        return;
    if (m_playState == 1)
        setPlayState(3);
    else if (m_playState == 2)
        setPlayState(4);
    endPlayThread();
}

void KvQmlController::endPlayThread()
{
    if (!m_playThread)
        return;
    KvPlayThread *thread = m_playThread;
    m_playThread = nullptr;
    thread->StopPlay();
    thread->wait();
    delete thread;
}

void KvQmlController::stop()
{
    stopPlayThread(true);
    if (m_playStartFrame != -1)
        moveScrollFrame(double(m_playStartFrame));
    m_playStartFrame = -1;
    m_playRangeStart = -1;
    m_playRangeEnd = -1;
}

void KvQmlController::stopPlayThread(bool endPause)
{
    const bool wasPlaying = isPlaying();
    if (wasPlaying || (endPause && (m_playState == 3 || m_playState == 4))) {
        updateScrollFrame(std::trunc(m_scrollFrame));
        m_playState = 0;
        updateCanSaveDirtyProject();
        emit playStateChanged(0);
        if (wasPlaying)
            emit isPlayingChanged(false);
    }
    endPlayThread();
}

void KvQmlController::play_thread_finished()
{
    // The end of a thread that pause or stop already ended arrives queued,
    // maybe after the next play request started: that one plays on.
    if (m_playThread && !m_playThread->isFinished())
        return;
    const QString failure = m_playThread ? m_playThread->errorText() : QString();
    const int state = m_playState;
    stopPlayThread(false);
    if (!failure.isEmpty()) {
        // A thread that cannot play (no output device, say) would fail again
        // at once: looping would restart it without end. The player shows
        // some failures itself; those are not shown twice.
        if ((state == 1 || state == 2) && kvAudioFailuresShown() == m_audioFailuresBeforePlay)
            uiServices().message(m_messageBoxParent, KvUi::Critical, QCoreApplication::applicationName(), failure,
                                 KvUi::Ok, KvUi::Ok);
        return;
    }
    if (!m_loopAudio)
        return;
    if (state == 2 && m_selectionStart != -1 && m_selectionEnd != -1 && m_selectionStart != m_selectionEnd) {
        actionPlay(true);
    } else if (state == 1) {
        setScrollFrame(0);
        actionPlay(false);
    }
}

void KvQmlController::PlayPositionChanged_triggered(double nNewPosition, short volLeft, short volRight)
{
    if (!isPlaying() || m_appState != Qt::ApplicationActive)
        return;
    moveScrollFrame(nNewPosition);
    emit playPositionChangedViewUpdate(nNewPosition, volLeft, volRight);
}

void KvQmlController::pitchTempoControlsUsed() { setHelpUsage("PitchTempo"); }

void KvQmlController::volumeChanged(double value)
{
    m_volume = value;
    if (m_playThread)
        m_playThread->VolumeChanged(value);
}

void KvQmlController::pitchChanged(double value)
{
    m_pitch = value;
    if (m_playThread)
        m_playThread->PitchChanged(value);
}

void KvQmlController::tempoChanged(double value)
{
    m_tempo = value;
    if (m_playThread)
        m_playThread->TempoChanged(value);
}
