// The selection: its edges, the selection gestures and commands, and
// selection changes as undo entries.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvQmlModel.h>
#include <KvSelectionChange.h>

#include <QUndoStack>

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
    // Not built yet.
}

void KvQmlController::extendSelection(double dbSelectedFrame)
{
    // Not built yet.
}

void KvQmlController::adjustSelection(double dbFramesDelta)
{
    // Not built yet.
}

void KvQmlController::startNewSelection()
{
    // Not built yet.
}

void KvQmlController::endNewSelection(QString undoString)
{
    // Not built yet.
}

void KvQmlController::actionSelectAll()
{
    // Not built yet.
}

void KvQmlController::actionSetBegin()
{
    // Not built yet.
}

void KvQmlController::actionSetEnd()
{
    // Not built yet.
}
