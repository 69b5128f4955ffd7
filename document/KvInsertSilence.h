#pragma once
#include "KvUndo.h"

// Inserts a run of silent frames (the clip) at the position; the tracks
// behind it move on, a track starting there grows at its front.
class KvInsertSilence : public KvUndo
{
public:
    KvInsertSilence(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &target,
                    qint64 position, KvEditContext *controller, QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

private:
    // Nothing is removed, so no track end can lie in a removed range.
    bool m_trackEndInRange = false;
};
