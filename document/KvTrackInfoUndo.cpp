#include "KvTrackInfoUndo.h"

#include "KvEditContext.h"
#include "KvFileProperties.h"

KvTrackInfoUndo::KvTrackInfoUndo(KvFileProperties *trackList, int op, const QString &text,
                                 qint64 rangeStart, qint64 rangeEnd, qint64 insertStart,
                                 qint64 insertEnd, const KvTagInfo *tags, qint64 prevNewStart,
                                 qint64 prevNewEnd, qint64 trackNewStart, qint64 trackNewEnd,
                                 KvEditContext *controller, QUndoCommand *parent)
    : KvUndoBase(controller, parent)
    , m_trackList(trackList)
    , m_op(op)
    , m_rangeStart(rangeStart)
    , m_rangeEnd(rangeEnd)
    , m_insertStart(insertStart)
    , m_insertEnd(insertEnd)
    , m_newTags(tags ? *tags : KvTagInfo())
{
    m_newBounds.prevStart = prevNewStart;
    m_newBounds.prevEnd = prevNewEnd;
    m_newBounds.trackStart = trackNewStart;
    m_newBounds.trackEnd = trackNewEnd;
    if (controller)
        m_scrollFrame = qint64(controller->scrollFrame());
    setText(text);
}

void KvTrackInfoUndo::redo()
{
    if (m_trackList) {
        KvFileProperties &list = *m_trackList;
        switch (m_op) {
        case InsertTrack:
            list.applyInsertTrack(m_insertStart, m_insertEnd, &m_newTags, m_newBounds, &m_savedValues);
            break;
        case ChangeRange:
            list.applyTrackRange(m_rangeStart, m_rangeEnd, m_newBounds, &m_savedValues);
            break;
        case ChangeRangeAndTags:
            list.applyTrackTags(m_rangeStart, m_rangeEnd, &m_newTags, m_newBounds, &m_savedValues,
                                &m_savedTags);
            break;
        case Split:
            if (m_rangeStart == -1 && m_rangeEnd == -1) {
                list.applyInsertTrackStep(m_insertStart, m_insertEnd, m_newBounds, &m_savedValues);
            } else {
                list.applyInsertTrack(m_insertStart, m_insertEnd, nullptr, KvTrackBounds());
                list.applyInsertTrack(m_rangeStart, m_rangeEnd, nullptr, KvTrackBounds());
            }
            break;
        case DeleteTrack:
            list.applyDeleteTrack(m_rangeStart, m_rangeEnd, m_newBounds, &m_savedValues);
            break;
        }
    }
    redoChildren();
    finish();
}

void KvTrackInfoUndo::undo()
{
    if (m_trackList) {
        KvFileProperties &list = *m_trackList;
        // A changed track is found by the bounds its redo gave it.
        const qint64 changedStart = m_newBounds.trackStart != -1 ? m_newBounds.trackStart : m_rangeStart;
        const qint64 changedEnd = m_newBounds.trackEnd != -1 ? m_newBounds.trackEnd : m_rangeEnd;
        switch (m_op) {
        case InsertTrack:
            list.applyDeleteTrack(m_insertStart, m_insertEnd, m_savedValues);
            break;
        case ChangeRange:
            list.applyTrackRange(changedStart, changedEnd, m_savedValues);
            break;
        case ChangeRangeAndTags:
            list.applyTrackTags(changedStart, changedEnd, &m_savedTags, m_savedValues);
            break;
        case Split:
            if (m_rangeStart == -1 && m_rangeEnd == -1) {
                list.applyDeleteTrack(m_insertStart, m_insertEnd, m_savedValues);
            } else {
                list.applyDeleteTrack(m_insertStart, m_insertEnd, KvTrackBounds());
                list.applyDeleteTrack(m_rangeStart, m_rangeEnd, KvTrackBounds());
            }
            break;
        case DeleteTrack:
            list.applyInsertTrack(m_rangeStart, m_rangeEnd, &m_newTags, m_savedValues);
            break;
        }
    }
    undoChildren();
    finish();
}

void KvTrackInfoUndo::finish()
{
    if (!m_controller)
        return;
    m_controller->setScrollFrame(double(m_scrollFrame));
    m_controller->onTrackInfoUpdated();
    m_controller->requestWidgetUpdate();
}
