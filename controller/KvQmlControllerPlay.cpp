// Playback control: play, pause, stop, looping, the play position and the
// volume, pitch and tempo of the running play thread.
#include "KvQmlController.h"

#include <KvPlayThread.h>

#include <cmath>

bool KvQmlController::actionPlay(bool bPlaySelection)
{
    // Not built yet.
    return false;
}

void KvQmlController::startPlay()
{
    // Not built yet.
}

void KvQmlController::resumePlay()
{
    // Not built yet.
}

void KvQmlController::playSelection()
{
    // Not built yet.
}

void KvQmlController::actionPause()
{
    // Not built yet.
}

void KvQmlController::stop()
{
    // Not built yet.
}

void KvQmlController::pitchTempoControlsUsed()
{
    // Not built yet.
}

void KvQmlController::volumeChanged(double value)
{
    // Not built yet.
}

void KvQmlController::pitchChanged(double value)
{
    // Not built yet.
}

void KvQmlController::tempoChanged(double value)
{
    // Not built yet.
}

void KvQmlController::PlayPositionChanged_triggered(double nNewPosition, short volLeft, short volRight)
{
    // Not built yet.
}

void KvQmlController::play_thread_finished()
{
    // Not built yet.
}

void KvQmlController::stopPlayThread(bool endPause)
{
    const bool wasPlaying = isPlaying();
    if (wasPlaying || (endPause && (m_playState == 3 || m_playState == 4))) {
        updateScrollFrame(std::trunc(m_scrollFrame));
        m_playState = 0;
        emit playStateChanged(0);
        if (wasPlaying)
            emit isPlayingChanged(false);
    }
    if (m_playThread) {
        m_playThread->StopPlay();
        m_playThread->wait();
        delete m_playThread;
        m_playThread = nullptr;
    }
}
