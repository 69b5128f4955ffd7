#pragma once
#include "KvUndo.h"

// Inserts the clip at the position, replacing the frames of `replaced` that
// lay there (the selection pasted over), and shows the position. Track
// children: the replaced range leaves, then the clip's frames come in.
class KvUndoPaste : public KvUndo
{
public:
    // replaced: a copy of the frames the paste replaces, or an empty list.
    KvUndoPaste(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &replaced,
                const ListPtr &target, qint64 position, KvEditContext *controller,
                QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

    bool trackEndInRange() const { return m_trackEndInRange; }

private:
    bool m_trackEndInRange = false;
};
