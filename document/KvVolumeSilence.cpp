#include "KvVolumeSilence.h"

#include "KvEditContext.h"

#include <KvEngineFactories.h>
#include <KvFrameListIterator.h>
#include <KvRepackInfoPtrList.h>

#include <QObject>

KvVolumeSilence::KvVolumeSilence(const ListPtr &clip, const ListPtr &target, qint64 scrollFrame,
                                 qint64 position, KvEditContext *controller, bool removeSilencing,
                                 QUndoCommand *parent)
    : KvUndo(nullptr, clip, target, position, controller, parent)
    , m_removeSilencing(removeSilencing)
{
    m_scrollAfter = scrollFrame;
    setText(removeSilencing ? QObject::tr("Remove silencing") : QObject::tr("Silence"));
}

bool KvVolumeSilence::checkRange()
{
    if (!m_clip || !m_target)
        return true;
    const qint64 end = m_position + framesOf(m_clip);
    const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(m_target);
    for (qint64 i = 0; it && i < end && it->next(); ++i) {
        if (i >= m_position && it->isAudible() && it->isSilenced() == m_removeSilencing)
            return false;
    }
    return true;
}

void KvVolumeSilence::showRange()
{
    setScroll(m_scrollAfter);
    setSelection(m_position, m_position + framesOf(m_clip));
}

void KvVolumeSilence::redo()
{
    if (m_clip && m_target) {
        const qint64 end = m_position + framesOf(m_clip);
        const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(m_target);
        for (qint64 i = 0; it && i < end && it->next(); ++i) {
            if (i >= m_position && it->isAudible())
                it->setSilenced(!m_removeSilencing);
        }
        showRange();
    }
    redoChildren();
    compressLists();
    if (m_controller)
        m_controller->refreshAfterUndo();
}

void KvVolumeSilence::undo()
{
    if (m_clip && m_target) {
        // The copy brings back every per-frame value of the range.
        const qint64 length = framesOf(m_clip);
        m_target->deleteRange(m_position, length);
        m_target->insertList(m_position, m_clip);
        m_target->mergeAdjacent();
        showRange();
    }
    undoChildren();
    compressLists();
    if (m_controller)
        m_controller->refreshAfterUndo();
}
