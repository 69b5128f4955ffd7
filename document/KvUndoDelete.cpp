#include "KvUndoDelete.h"

#include "KvFileProperties.h"

#include <QObject>

KvUndoDelete::KvUndoDelete(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &target,
                           qint64 position, KvEditContext *controller, QUndoCommand *parent)
    : KvUndo(trackList, clip, target, position, controller, parent)
{
    setText(QObject::tr("Delete"));
    const qint64 length = framesOf(m_clip);
    const qint64 s = m_scrollBefore;
    // The view keeps showing the same audio, or the place where the range was.
    if (s > m_position + length)
        m_scrollAfter = s - length;
    else if (s > m_position)
        m_scrollAfter = m_position;
    else
        m_scrollAfter = s;
    if (m_trackList)
        m_trackList->makeDelFramesUndo(m_position, length, m_clip, m_replaced, m_target,
                                       &m_trackEndInRange, this);
}

void KvUndoDelete::redo()
{
    removeClip();
    finishEdit(m_scrollAfter, true);
}

void KvUndoDelete::undo()
{
    restoreClip();
    finishEdit(m_scrollBefore, false);
}

KvUndoCut::KvUndoCut(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &target,
                     qint64 position, KvEditContext *controller, QUndoCommand *parent)
    : KvUndoDelete(trackList, clip, target, position, controller, parent)
{
    setText(QObject::tr("Cut"));
}
