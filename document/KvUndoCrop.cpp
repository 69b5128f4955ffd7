#include "KvUndoCrop.h"

#include "KvEditContext.h"
#include "KvUndoDelete.h"

#include <KvRepackInfoPtrList.h>

#include <QObject>

KvUndoCrop::KvUndoCrop(KvFileProperties *trackList, const ListPtr &target, qint64 selectionStart,
                       qint64 selectionEnd, KvEditContext *controller, QUndoCommand *parent)
    : KvUndo(trackList, target, selectionStart, controller, parent), m_selectionEnd(selectionEnd)
{
    setText(QObject::tr("Crop"));
    const qint64 a = selectionStart;
    const qint64 b = selectionEnd;
    const qint64 s = m_scrollBefore;
    // The view stays on the same audio when it lay inside the kept frames.
    if (s < a)
        m_scrollAfter = 0;
    else if (s <= b)
        m_scrollAfter = s - a;
    else
        m_scrollAfter = b - a;

    if (!m_target)
        return;
    const qint64 total = m_target->totalFrames();
    if (a > 0)
        new KvUndoDelete(m_trackList, m_target->copyRange(0, a), m_target, 0, m_controller, this);
    if (total > b) {
        setScroll(m_scrollAfter);
        // Once the head is gone the tail starts at b - a.
        new KvUndoDelete(m_trackList, m_target->copyRange(b, total - b), m_target, b - a,
                         m_controller, this);
    }
}

void KvUndoCrop::redo()
{
    redoChildren();
    compressLists();
    setScroll(m_scrollAfter);
    setSelection(-1, -1);
    if (m_controller)
        m_controller->refreshAfterUndo();
}

void KvUndoCrop::undo()
{
    undoChildren();
    compressLists();
    setScroll(m_scrollBefore);
    setSelection(m_position, m_selectionEnd);
    if (m_controller)
        m_controller->refreshAfterUndo();
}
