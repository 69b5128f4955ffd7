#pragma once
#include "KvTagInfo.h"
#include "KvTrackBounds.h"
#include "KvUndoBase.h"

class KvFileProperties;

// One undoable change of the track list: insert, change the range (and the
// record) of a track, split, or delete a track.
class KvTrackInfoUndo : public KvUndoBase
{
public:
    enum Op {
        InsertTrack = 1,
        ChangeRange = 2,
        ChangeRangeAndTags = 4,
        Split = 5,
        DeleteTrack = 6,
    };

    // rangeStart/rangeEnd name an existing track (for a split: the second
    // track to insert), insertStart/insertEnd a track to insert; the four new
    // bounds apply to the neighbour and to the changed track; -1 is unused.
    KvTrackInfoUndo(KvFileProperties *trackList, int op, const QString &text, qint64 rangeStart,
                    qint64 rangeEnd, qint64 insertStart, qint64 insertEnd, const KvTagInfo *tags,
                    qint64 prevNewStart, qint64 prevNewEnd, qint64 trackNewStart,
                    qint64 trackNewEnd, KvEditContext *controller, QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

    int op() const { return m_op; }
    qint64 rangeStart() const { return m_rangeStart; }
    qint64 rangeEnd() const { return m_rangeEnd; }
    qint64 insertStart() const { return m_insertStart; }
    qint64 insertEnd() const { return m_insertEnd; }
    const KvTrackBounds &newBounds() const { return m_newBounds; }
    const KvTrackBounds &savedValues() const { return m_savedValues; }
    const KvTagInfo &newTags() const { return m_newTags; }
    qint64 scrollFrame() const { return m_scrollFrame; }

private:
    void finish();

    KvFileProperties *m_trackList;
    int m_op;
    qint64 m_rangeStart;
    qint64 m_rangeEnd;
    qint64 m_insertStart;
    qint64 m_insertEnd;
    qint64 m_scrollFrame = 0;
    KvTagInfo m_newTags;
    KvTagInfo m_savedTags;
    KvTrackBounds m_newBounds;
    KvTrackBounds m_savedValues;
};
