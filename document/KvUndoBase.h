#pragma once
#include <QUndoCommand>

class KvEditContext;

// Base of every undo command of the document: it knows the controller whose
// view state it updates and runs its child commands.
class KvUndoBase : public QUndoCommand
{
public:
    explicit KvUndoBase(KvEditContext *controller, QUndoCommand *parent = nullptr);

    void undo() override = 0;
    void redo() override = 0;

    KvEditContext *controller() const { return m_controller; }

protected:
    // Children in order; the count is read afresh before each step.
    void redoChildren();
    // Children from the last to the first.
    void undoChildren();

    KvEditContext *m_controller;
};
