#include "KvInsertSilence.h"

#include "KvFileProperties.h"

#include <QObject>

KvInsertSilence::KvInsertSilence(KvFileProperties *trackList, const ListPtr &clip,
                                 const ListPtr &target, qint64 position,
                                 KvEditContext *controller, QUndoCommand *parent)
    : KvUndo(trackList, clip, target, position, controller, parent)
{
    setText(QObject::tr("Insert Silence"));
    const qint64 added = framesOf(m_clip) - framesOf(m_replaced);
    // A view behind the insertion keeps showing the same audio.
    m_scrollAfter = m_scrollBefore > m_position ? m_scrollBefore + added : m_scrollBefore;
    if (m_trackList)
        m_trackList->makeInsFramesUndo(m_position, framesOf(m_clip), &m_trackEndInRange, this);
}

void KvInsertSilence::redo()
{
    insertClip();
    finishEdit(m_scrollAfter, true);
}

void KvInsertSilence::undo()
{
    removeClip();
    finishEdit(m_scrollBefore, false);
}
