#include "KvUndoPaste.h"

#include "KvFileProperties.h"

#include <QObject>

KvUndoPaste::KvUndoPaste(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &replaced,
                         const ListPtr &target, qint64 position, KvEditContext *controller,
                         QUndoCommand *parent)
    : KvUndo(trackList, clip, replaced, target, position, controller, parent)
{
    setText(QObject::tr("Paste"));
    if (m_trackList) {
        // The delete child runs first on redo and leaves the flag for the insert child.
        m_trackList->makeDelFramesUndo(m_position, framesOf(m_replaced), m_replaced, m_clip,
                                       m_target, &m_trackEndInRange, this);
        m_trackList->makeInsFramesUndo(m_position, framesOf(m_clip), &m_trackEndInRange, this);
    }
}

void KvUndoPaste::redo()
{
    insertClip();
    finishEdit(m_position, true);
}

void KvUndoPaste::undo()
{
    removeClip();
    finishEdit(m_scrollBefore, false);
}
