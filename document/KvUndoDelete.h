#pragma once
#include "KvUndo.h"

// Removes a range of frames (its copy is the clip); undo puts it back,
// selected. A track child keeps the tracks in step.
class KvUndoDelete : public KvUndo
{
public:
    // clip: a copy of the frames [position, position + its length).
    KvUndoDelete(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &target,
                 qint64 position, KvEditContext *controller, QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

    // Whether the last redo found a track end inside the removed range.
    bool trackEndInRange() const { return m_trackEndInRange; }

protected:
    bool m_trackEndInRange = false;
};

// A delete whose frames the controller also put on the clipboard.
class KvUndoCut : public KvUndoDelete
{
public:
    KvUndoCut(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &target,
              qint64 position, KvEditContext *controller, QUndoCommand *parent = nullptr);
};
