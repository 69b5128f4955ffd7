// Navigation: moving the position by frames, time, edit points and track
// boundaries, and the boundaries around the position.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvClock.h>
#include <KvDocumentFrames.h>
#include <KvFrameSizeInfo.h>
#include <KvPlayThread.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>

#include <QSettings>

#include <cmath>

void KvQmlController::updateEditPoints()
{
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr;
    double previous = -1.0;
    double next = -1.0;
    if (cursor && cursor->totalFrames() > 0) {
        const qint64 p = kvFrameOf(m_scrollFrame);
        previous = double(cursor->fragmentStart(p));
        next = double(cursor->fragmentEnd(p));
    }
    if (previous != m_previousEditPoint) {
        m_previousEditPoint = previous;
        emit previousEditPointChanged(previous);
    }
    if (next != m_nextEditPoint) {
        m_nextEditPoint = next;
        emit nextEditPointChanged(next);
    }
}

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

void KvQmlController::moveScrollFrame(double frame)
{
    const double total = double(documentFrames());
    const double x = std::isnan(frame) ? 0.0 : qBound(0.0, frame, total);
    if (x == m_scrollFrame)
        return;
    // Leaving the played selection plays on to the end of the document.
    if (m_playState == 2 && (x < double(m_playRangeStart) || x > double(m_playRangeEnd))) {
        m_playState = 1;
        m_flingVelocity = 0.0;
        updateCanSaveDirtyProject();
        emit playStateChanged(1);
    }
    updateScrollFrame(x);
}

bool KvQmlController::scrubPlayTo(qint64 frame)
{
    const qint64 q = std::max<qint64>(0, frame);
    if (q >= documentFrames()) {
        if (isPlaying())
            stop();
        return false;
    }
    if (!m_playThread)
        return false;
    if (m_playState == 2) {
        qint64 n = m_playRangeEnd - q;
        if (n <= 0)
            n = -1;
        m_playThread->ScrubPlayAudio(q, n);
    } else if (m_playState == 1) {
        m_playThread->ScrubPlayAudio(q, -1);
    }
    return true;
}

void KvQmlController::stepFrames(qint64 frames)
{
    const qint64 q = frames + kvFrameOf(m_scrollFrame);
    if (!scrubPlayTo(q))
        moveScrollFrame(double(q));
}

qint64 KvQmlController::frameAtTime(double secs) const
{
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr;
    const boost::shared_ptr<KvFrameSizeInfo> format =
        cursor && cursor->totalFrames() > 0 ? cursor->formatInfo() : nullptr;
    if (!format || format->samplesPerFrame() <= 0 || !std::isfinite(secs))
        return 0;
    // Half a frame rounds away from zero, backward as forward.
    return kvFrameOf(std::round(secs * format->sampleRate() / format->samplesPerFrame()));
}

void KvQmlController::rewindBeginning()
{
    stopPlayThread(true);
    moveScrollFrame(0.0);
    m_playStartFrame = -1;
    m_playRangeStart = -1;
    m_playRangeEnd = -1;
}

void KvQmlController::fowardEnd()
{
    stopPlayThread(true);
    moveScrollFrame(double(documentFrames()));
    m_playStartFrame = -1;
    m_playRangeStart = -1;
    m_playRangeEnd = -1;
}

void KvQmlController::gotoSelStart()
{
    if (m_selectionStart == -1)
        return;
    if (!scrubPlayTo(m_selectionStart))
        moveScrollFrame(double(m_selectionStart));
}

void KvQmlController::gotoSelEnd()
{
    if (m_selectionEnd == -1)
        return;
    if (!scrubPlayTo(m_selectionEnd))
        moveScrollFrame(double(m_selectionEnd));
}

void KvQmlController::navigateControlsUsed() { setHelpUsage("Navigate"); }

void KvQmlController::actionMoveFramesForTime(double secs, bool select)
{
    // A step that is no finite time moves nothing.
    if (!std::isfinite(secs))
        return;
    KvEditLock lock(editMutex());
    if (!lock && editMutex())
        return;
    const qint64 p = kvFrameOf(m_scrollFrame);
    if (p == m_timeMoveEnd && m_timeMoveAnchor != -1 && m_timeMoveSecs != 0.0
        && m_timeMoveAnchor + frameAtTime(m_timeMoveSecs) == p) {
        m_timeMoveSecs += secs;
        const qint64 target = m_timeMoveAnchor + frameAtTime(m_timeMoveSecs);
        m_timeMoveEnd = target;
        if (select) {
            takeSelectionSnapshot();
            adjustSelection(double(target - p));
            stepFrames(target - p);
            pushSnapshotChange(tr("Keyboard selection"));
        } else {
            stepFrames(target - p);
        }
        return;
    }
    const qint64 d = frameAtTime(secs);
    if (select) {
        takeSelectionSnapshot();
        adjustSelection(double(d));
    }
    const qint64 q = kvFrameOf(m_scrollFrame) + d;
    if (!scrubPlayTo(q))
        moveScrollFrame(double(q));
    if (select)
        pushSnapshotChange(tr("Keyboard selection"));
    m_timeMoveAnchor = p;
    m_timeMoveSecs = secs;
    m_timeMoveEnd = kvFrameOf(m_scrollFrame);
}

void KvQmlController::actionNextTrack()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    const qint64 p = kvFrameOf(m_scrollFrame);
    const KvQmlModel::FilePropertiesPtr list = m_model->trackList();
    qint64 t = list ? list->nextTrackPoint(p) : -1;
    m_lastPreviousTrackPoint = -1;
    m_lastPreviousEditPoint = -1;
    if (t == KvTagProperty::EndMarker) {
        const qint64 total = documentFrames();
        t = p < total ? total : -1;
    }
    if (t != -1)
        scrollToFrame(double(t), false, false);
}

void KvQmlController::actionNextEdit()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    const KvQmlModel::FragmentListPtr cursor = m_model->fragmentList();
    const qint64 e = cursor ? cursor->fragmentEnd(kvFrameOf(m_scrollFrame)) : -1;
    m_lastPreviousTrackPoint = -1;
    m_lastPreviousEditPoint = -1;
    if (e != -1)
        scrollToFrame(double(e), false, false);
}

void KvQmlController::jumpToPrevious(bool track)
{
    const KvQmlModel::FragmentListPtr cursor = m_model->fragmentList();
    const KvQmlModel::FilePropertiesPtr list = m_model->trackList();
    const auto previousOf = [&](qint64 p) -> qint64 {
        if (track)
            return list ? list->previousTrackPoint(p) : -1;
        return cursor ? cursor->fragmentStart(p) : -1;
    };
    qint64 &last = track ? m_lastPreviousTrackPoint : m_lastPreviousEditPoint;
    qint64 target = previousOf(kvFrameOf(m_scrollFrame));
    // On the monotonic clock: a wall clock that steps back, or midnight,
    // would make any earlier press look recent.
    const qint64 now = clock().elapsedMs();
    if (last != -1 && m_lastPreviousJumpMs != -1 && now - m_lastPreviousJumpMs >= 0
        && now - m_lastPreviousJumpMs < 500)
        target = previousOf(last);
    m_lastPreviousJumpMs = now;
    last = target;
    (track ? m_lastPreviousEditPoint : m_lastPreviousTrackPoint) = -1;
    if (target != -1)
        scrollToFrame(double(target), false, false);
}

void KvQmlController::actionPreviousTrack()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    jumpToPrevious(true);
}

void KvQmlController::actionPreviousEdit()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    jumpToPrevious(false);
}
