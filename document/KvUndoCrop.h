#pragma once
#include "KvUndo.h"

// Keeps only the selected frames [position, selectionEnd): its children are
// deletes of the head and of the tail (none for a selection covering the
// document). Redo clears the selection; undo selects the kept frames again.
class KvUndoCrop : public KvUndo
{
public:
    // Moves the controller's view to where it stands after the crop when a
    // tail is cut, so that the tail's delete records that view.
    KvUndoCrop(KvFileProperties *trackList, const ListPtr &target, qint64 selectionStart,
               qint64 selectionEnd, KvEditContext *controller, QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

    qint64 selectionEnd() const { return m_selectionEnd; }

private:
    qint64 m_selectionEnd;
};
