// Playback control: play, pause, stop, looping, the play position and the
// volume, pitch and tempo of the running play thread.
#include "KvQmlController.h"

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
