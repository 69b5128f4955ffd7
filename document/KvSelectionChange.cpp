#include "KvSelectionChange.h"

#include "KvEditContext.h"

KvSelectionChange::KvSelectionChange(const ListPtr &target, qint64 oldScrollFrame,
                                     qint64 oldSelectionStart, qint64 oldSelectionEnd,
                                     const QString &text, KvEditContext *controller,
                                     QUndoCommand *parent)
    : KvUndo(nullptr, target, 0, controller, parent)
    , m_oldSelectionStart(oldSelectionStart)
    , m_oldSelectionEnd(oldSelectionEnd)
{
    m_scrollBefore = oldScrollFrame;
    if (m_controller) {
        m_scrollAfter = qint64(m_controller->scrollFrame());
        m_newSelectionStart = qint64(m_controller->selectionStart());
        m_newSelectionEnd = qint64(m_controller->selectionEnd());
    }
    setText(text);
}

void KvSelectionChange::show(qint64 scroll, qint64 start, qint64 end)
{
    setScroll(scroll);
    setSelection(start, end);
}

void KvSelectionChange::redo()
{
    show(m_scrollAfter, m_newSelectionStart, m_newSelectionEnd);
    redoChildren();
    compressLists();
    if (m_controller)
        m_controller->requestWidgetUpdate();
}

void KvSelectionChange::undo()
{
    show(m_scrollBefore, m_oldSelectionStart, m_oldSelectionEnd);
    undoChildren();
    compressLists();
    if (m_controller)
        m_controller->requestWidgetUpdate();
}

bool KvSelectionChange::mergeWith(const QUndoCommand *other)
{
    // A following change that only moved the view: keep this entry as it is.
    if (other->id() != id())
        return false;
    const auto *change = dynamic_cast<const KvSelectionChange *>(other);
    return change && change->m_newSelectionStart == m_newSelectionStart
        && change->m_newSelectionEnd == m_newSelectionEnd;
}
