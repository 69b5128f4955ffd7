// The selection: its edges, the selection gestures and commands, and
// selection changes as undo entries.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvQmlModel.h>
#include <KvSelectionChange.h>

#include <QUndoStack>

#include <cstdlib>
#include <limits>

void KvQmlController::pushSelectionChange(qint64 oldScrollFrame, qint64 oldSelectionStart,
                                          qint64 oldSelectionEnd, const QString &text)
{
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr;
    const KvRepackInfoPtrListPtr document = cursor ? cursor->list() : nullptr;
    if (!document || document->fragmentCount() == 0)
        return;
    QUndoStack *stack = m_model->undoStack();
    auto *command = new KvSelectionChange(document, oldScrollFrame, oldSelectionStart,
                                          oldSelectionEnd, text, this);
    if (stack->canRedo()) {
        for (int i = stack->index(); i < stack->count(); ++i) {
            if (!dynamic_cast<const KvSelectionChange *>(stack->command(i))) {
                // Pushing would discard edits waiting to be redone: apply the
                // change without an entry.
                command->redo();
                delete command;
                return;
            }
        }
    }
    const bool clean = stack->isClean();
    // The stack never merges into the command at its clean state, which
    // after marking it clean again is every selection change: a change that
    // only moved the position is merged here instead.
    const auto *top = clean && !stack->canRedo() && stack->index() > 0
        ? dynamic_cast<const KvSelectionChange *>(stack->command(stack->index() - 1))
        : nullptr;
    if (top && top->newSelectionStart() == command->newSelectionStart()
        && top->newSelectionEnd() == command->newSelectionEnd()) {
        command->redo();
        delete command;
        return;
    }
    stack->push(command);
    if (clean)
        stack->setClean();
}

void KvQmlController::setSelectionStart(double frame)
{
    const qint64 v = kvFrameOf(frame);
    if (v == m_selectionStart)
        return;
    m_selectionStart = v;
    emit selectionStartChanged(double(v));
    refreshDocumentState();
}

void KvQmlController::setSelectionEnd(double frame)
{
    const qint64 v = kvFrameOf(frame);
    if (v == m_selectionEnd)
        return;
    m_selectionEnd = v;
    emit selectionEndChanged(int(v));
    refreshDocumentState();
}

void KvQmlController::resetSelection()
{
    if (m_selectionStart != -1) {
        m_selectionStart = -1;
        emit selectionStartChanged(-1.0);
        refreshDocumentState();
    }
    if (m_selectionEnd != -1) {
        m_selectionEnd = -1;
        emit selectionEndChanged(-1);
        refreshDocumentState();
    }
    // Directly: a reset is no drag the views need to hear of.
    m_mouseDragSelecting = 0;
}

void KvQmlController::extendSelection(double dbSelectedFrame)
{
    const qint64 n = kvFrameOf(dbSelectedFrame);
    if (n == -1) {
        m_selectionStart = -1;
        m_selectionEnd = -1;
    } else if (m_selectionStart == -1) {
        m_selectionStart = n;
        m_selectionEnd = n;
    } else if (m_mouseDragSelecting == 4) {
        m_selectionStart = n;
        if (n > m_selectionEnd)
            m_selectionEnd = n;
    } else if (m_mouseDragSelecting == 5) {
        m_selectionEnd = n;
        if (n < m_selectionStart)
            m_selectionStart = n;
    } else if (n < m_selectionStart) {
        m_selectionStart = n;
    } else if (n > m_selectionEnd) {
        m_selectionEnd = n;
    }
    refreshDocumentState();
}

void KvQmlController::adjustSelection(double dbFramesDelta)
{
    const qint64 d = kvFrameOf(dbFramesDelta);
    const qint64 p = kvFrameOf(m_scrollFrame);
    // Saturating: a delta from a script may be as large as a double allows.
    const qint64 sum = d > 0 ? (p > std::numeric_limits<qint64>::max() - d ? std::numeric_limits<qint64>::max() : p + d)
                             : (p < std::numeric_limits<qint64>::min() - d ? std::numeric_limits<qint64>::min() : p + d);
    const qint64 t = qBound<qint64>(0, sum, documentFrames());
    qint64 &start = m_selectionStart;
    qint64 &end = m_selectionEnd;
    if ((start == -1 && end == -1) || (p != start && p != end && (p < start || p > end))) {
        // No selection, or the position outside it: a new one from the position.
        if (d > 0) {
            start = p;
            end = t;
        } else {
            start = t;
            end = p;
        }
    } else if (p == start && p == end) {
        if (d > 0)
            end = t;
        else
            start = t;
    } else if (p == start) {
        if (t <= end) {
            start = t;
        } else {
            start = end;
            end = t;
        }
    } else if (p == end) {
        if (t >= start) {
            end = t;
        } else {
            end = start;
            start = t;
        }
    } else {
        // Inside: the edge nearer to the target moves.
        const qint64 toStart = std::abs(t - start);
        const qint64 toEnd = std::abs(t - end);
        if (toStart > toEnd || (toStart == toEnd && d > 0))
            end = t;
        else
            start = t;
    }
    refreshDocumentState();
}

void KvQmlController::takeSelectionSnapshot()
{
    m_snapshotScrollFrame = kvFrameOf(m_scrollFrame);
    m_snapshotSelectionStart = m_selectionStart;
    m_snapshotSelectionEnd = m_selectionEnd;
    m_snapshotPending = true;
}

void KvQmlController::pushSnapshotChange(const QString &text)
{
    if (!m_snapshotPending)
        return;
    m_snapshotPending = false;
    pushSelectionChange(m_snapshotScrollFrame, m_snapshotSelectionStart, m_snapshotSelectionEnd, text);
}

void KvQmlController::startNewSelection() { takeSelectionSnapshot(); }

void KvQmlController::endNewSelection(QString undoString) { pushSnapshotChange(undoString); }

void KvQmlController::actionSelectAll()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    const KvQmlModel::FragmentListPtr cursor = m_model->fragmentList();
    const KvRepackInfoPtrListPtr document = cursor ? cursor->list() : nullptr;
    if (!document || document->fragmentCount() == 0)
        return;
    takeSelectionSnapshot();
    if (m_selectionStart != 0) {
        m_selectionStart = 0;
        emit selectionStartChanged(0.0);
        refreshDocumentState();
    }
    setSelectionEnd(double(document->totalFrames()));
    pushSnapshotChange(tr("Select all"));
}

void KvQmlController::setSelectionEdge(bool isStart)
{
    qint64 p = kvFrameOf(m_scrollFrame);
    if (p == -1) {
        refreshDocumentState();
        return;
    }
    p = std::min(p, documentFrames());
    takeSelectionSnapshot();
    if (m_selectionStart == -1 && m_selectionEnd == -1) {
        setSelectionStart(double(p));
        setSelectionEnd(double(p));
    } else if (isStart) {
        setSelectionStart(double(p));
        if (m_selectionStart > m_selectionEnd)
            setSelectionEnd(double(m_selectionStart));
    } else {
        setSelectionEnd(double(p));
        if (m_selectionStart > m_selectionEnd)
            setSelectionStart(double(m_selectionEnd));
    }
    pushSnapshotChange(isStart ? tr("Selection start") : tr("Selection end"));
    refreshDocumentState();
}

void KvQmlController::actionSetBegin()
{
    KvEditLock lock(editMutex());
    if (!lock && editMutex())
        return;
    setSelectionEdge(true);
}

void KvQmlController::actionSetEnd()
{
    KvEditLock lock(editMutex());
    if (!lock && editMutex())
        return;
    setSelectionEdge(false);
}

void KvQmlController::keyboardSelect(qint64 frames)
{
    takeSelectionSnapshot();
    adjustSelection(double(frames));
    const qint64 q = frames + kvFrameOf(m_scrollFrame);
    if (!scrubPlayTo(q))
        moveScrollFrame(double(q));
    pushSnapshotChange(tr("Keyboard selection"));
}
