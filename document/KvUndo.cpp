#include "KvUndo.h"

#include "KvEditContext.h"

#include <KvEngineFactories.h>
#include <KvRepackInfoPtrList.h>

namespace {

// A new list of the given list's kind holding clones of its fragments.
KvUndoBase::ListPtr ownCopy(const KvUndoBase::ListPtr &list)
{
    KvUndoBase::ListPtr copy = createRepackInfoPtrList(list);
    if (copy)
        copy->appendList(list);
    return copy;
}

} // namespace

KvUndo::KvUndo(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &replaced,
               const ListPtr &target, qint64 position, KvEditContext *controller,
               QUndoCommand *parent)
    : KvUndoBase(controller, parent)
{
    init(trackList, clip, replaced, target, position);
}

KvUndo::KvUndo(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &target,
               qint64 position, KvEditContext *controller, QUndoCommand *parent)
    : KvUndoBase(controller, parent)
{
    init(trackList, clip, createRepackInfoPtrList(target), target, position);
}

KvUndo::KvUndo(KvFileProperties *trackList, const ListPtr &target, qint64 position,
               KvEditContext *controller, QUndoCommand *parent)
    : KvUndoBase(controller, parent)
{
    init(trackList, createRepackInfoPtrList(target), createRepackInfoPtrList(target), target,
         position);
}

void KvUndo::init(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &replaced,
                  const ListPtr &target, qint64 position)
{
    m_trackList = trackList;
    m_target = target;
    m_position = position;
    // Own copies: the caller's fragments may change or be shared elsewhere.
    m_clip = ownCopy(clip);
    m_replaced = ownCopy(replaced);
    m_scrollBefore = m_scrollAfter = m_controller ? qint64(m_controller->scrollFrame()) : 0;
}

qint64 KvUndo::framesOf(const ListPtr &list)
{
    return list ? list->totalFrames() : 0;
}

void KvUndo::redo()
{
    redoChildren();
    compressLists();
}

void KvUndo::undo()
{
    undoChildren();
    compressLists();
}

void KvUndo::removeClip()
{
    if (m_clip && m_target) {
        m_target->deleteRange(m_position, framesOf(m_clip));
        m_target->mergeAdjacent();
    }
    if (m_replaced && m_replaced->fragmentCount() > 0 && m_target) {
        m_target->insertList(m_position, m_replaced);
        m_target->mergeAdjacent();
        setSelection(m_position, m_position + framesOf(m_replaced));
    } else {
        setSelection(m_position, m_position);
    }
}

void KvUndo::restoreClip()
{
    putClip(false);
}

void KvUndo::insertClip()
{
    putClip(true);
}

void KvUndo::putClip(bool collapse)
{
    if (m_replaced && m_replaced->fragmentCount() > 0 && m_target) {
        m_target->deleteRange(m_position, framesOf(m_replaced));
        m_target->mergeAdjacent();
    }
    if (m_clip && m_target) {
        m_target->insertList(m_position, m_clip);
        m_target->mergeAdjacent();
        const qint64 end = m_position + framesOf(m_clip);
        setSelection(collapse ? end : m_position, end);
    } else {
        setSelection(m_position, m_position);
    }
}

void KvUndo::finishEdit(qint64 scroll, bool redoing)
{
    setScroll(scroll);
    if (redoing)
        redoChildren();
    else
        undoChildren();
    // Track children scroll to where the view stood when they were built,
    // which on undo is the position after the edit: show the command's own.
    if (childCount() > 0)
        setScroll(scroll);
    compressLists();
    if (m_controller)
        m_controller->refreshAfterUndo();
}

void KvUndo::compressLists()
{
    if (m_clip)
        m_clip->compressAll();
    if (m_replaced)
        m_replaced->compressAll();
}

void KvUndo::setScroll(qint64 frame)
{
    if (m_controller)
        m_controller->setScrollFrame(double(frame));
}

void KvUndo::setSelection(qint64 start, qint64 end)
{
    if (!m_controller)
        return;
    m_controller->setSelectionStart(double(start));
    m_controller->setSelectionEnd(double(end));
}
