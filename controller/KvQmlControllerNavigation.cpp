// Navigation: moving the position by frames, time, edit points and track
// boundaries, and the boundaries around the position.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvDocumentFrames.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>

void KvQmlController::updateTrackPoints()
{
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const qint64 p = kvFrameOf(m_scrollFrame);
    const qint64 total = documentFrames();
    double next = -1.0;
    double previous = -1.0;
    if (list) {
        qint64 n = list->nextTrackPoint(p);
        if (n == KvTagProperty::EndMarker)
            n = p < total ? total : -1;
        next = double(n);
        previous = double(list->previousTrackPoint(p));
    }
    if (next != m_nextTrackPoint) {
        m_nextTrackPoint = next;
        emit nextTrackPointChanged(next);
    }
    if (previous != m_previousTrackPoint) {
        m_previousTrackPoint = previous;
        emit previousTrackPointChanged(previous);
    }
}

void KvQmlController::rewindBeginning()
{
    // Not built yet.
}

void KvQmlController::fowardEnd()
{
    // Not built yet.
}

void KvQmlController::gotoSelStart()
{
    // Not built yet.
}

void KvQmlController::gotoSelEnd()
{
    // Not built yet.
}

void KvQmlController::navigateControlsUsed()
{
    // Not built yet.
}

void KvQmlController::actionMoveFramesForTime(double secs, bool select)
{
    // Not built yet.
}

void KvQmlController::actionNextTrack()
{
    // Not built yet.
}

void KvQmlController::actionPreviousTrack()
{
    // Not built yet.
}

void KvQmlController::actionNextEdit()
{
    // Not built yet.
}

void KvQmlController::actionPreviousEdit()
{
    // Not built yet.
}
