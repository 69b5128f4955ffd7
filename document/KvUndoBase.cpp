#include "KvUndoBase.h"

KvUndoBase::KvUndoBase(KvEditContext *controller, QUndoCommand *parent)
    : QUndoCommand(parent), m_controller(controller)
{
}

void KvUndoBase::redoChildren()
{
    for (int i = 0; i < childCount(); ++i)
        const_cast<QUndoCommand *>(child(i))->redo();
}

void KvUndoBase::undoChildren()
{
    for (int i = childCount() - 1; i >= 0; --i)
        const_cast<QUndoCommand *>(child(i))->undo();
}
