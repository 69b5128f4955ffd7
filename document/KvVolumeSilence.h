#pragma once
#include "KvUndo.h"

// Silences the audible frames of a range ("Silence"), or takes the silencing
// off them ("Remove silencing"). The clip is the range as it was before, at
// `position`; undo puts that copy back, so every per-frame value returns.
class KvVolumeSilence : public KvUndo
{
public:
    KvVolumeSilence(const ListPtr &clip, const ListPtr &target, qint64 scrollFrame,
                    qint64 position, KvEditContext *controller, bool removeSilencing,
                    QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

    // True when redo would change no frame: the builder then drops it.
    virtual bool checkRange();

    bool removeSilencing() const { return m_removeSilencing; }

private:
    void showRange();

    bool m_removeSilencing;
};
