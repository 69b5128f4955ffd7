#include "KvFilePropFramesUndo.h"

#include "KvTrackInfoUndo.h"

#include <KvRepackInfoPtrList.h>

namespace {

qint64 framesOf(const KvUndoBase::ListPtr &list)
{
    return list ? list->totalFrames() : 0;
}

} // namespace

KvFilePropDelFramesUndo::KvFilePropDelFramesUndo(KvFileProperties *trackList, qint64 position,
                                                 qint64 count, const ListPtr &removed,
                                                 const ListPtr &inserted, const ListPtr &document,
                                                 bool *trackEndInRange, KvEditContext *controller,
                                                 QUndoCommand *parent)
    : KvUndoBase(controller, parent)
    , m_trackList(trackList)
    , m_trackEndInRange(trackEndInRange)
    , m_position(position)
    , m_count(count)
    , m_removed(removed)
    , m_inserted(inserted)
    , m_document(document)
{
}

void KvFilePropDelFramesUndo::redo()
{
    if (m_trackList) {
        // The parent has already changed the document: count back to its
        // length before the edit.
        const qint64 length = framesOf(m_removed) - framesOf(m_inserted) + framesOf(m_document);
        m_savedCommands =
            m_trackList->removeTracksInRange(m_position, m_count, length, m_trackEndInRange);
        for (const auto &command : m_savedCommands)
            command->redo();
    }
    redoChildren();
}

void KvFilePropDelFramesUndo::undo()
{
    for (auto it = m_savedCommands.rbegin(); it != m_savedCommands.rend(); ++it)
        (*it)->undo();
    undoChildren();
}

KvFilePropInsFramesUndo::KvFilePropInsFramesUndo(KvFileProperties *trackList, qint64 position,
                                                 qint64 count, bool *trackEndInRange,
                                                 KvEditContext *controller, QUndoCommand *parent)
    : KvUndoBase(controller, parent)
    , m_trackList(trackList)
    , m_trackEndInRange(trackEndInRange)
    , m_position(position)
    , m_count(count)
{
}

void KvFilePropInsFramesUndo::redo()
{
    m_marker = m_trackEndInRange && *m_trackEndInRange ? m_position : -1;
    if (!m_trackList)
        return;
    for (const KvTagPropertyPtr &t : m_trackList->tracks()) {
        if (!t)
            continue;
        const qint64 s = t->start();
        const qint64 e = t->end();
        if (s > m_position || s == m_marker)
            t->setStart(s + m_count);
        if ((e > m_position || e == m_marker) && e != KvTagProperty::EndMarker)
            t->setEnd(e + m_count);
    }
}

void KvFilePropInsFramesUndo::undo()
{
    if (!m_trackList)
        return;
    const auto moved = [this](qint64 bound) {
        return bound - m_count > m_position || (m_marker != -1 && bound - m_count == m_marker);
    };
    for (const KvTagPropertyPtr &t : m_trackList->tracks()) {
        if (!t)
            continue;
        const qint64 s = t->start();
        const qint64 e = t->end();
        if (moved(s))
            t->setStart(s - m_count);
        if (e != KvTagProperty::EndMarker && moved(e))
            t->setEnd(e - m_count);
    }
}
