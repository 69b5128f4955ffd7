#pragma once
#include <QUndoCommand>

#include <boost/shared_ptr.hpp>

#include <vector>

class KvEditContext;
class KvRepackInfoPtrList;

// Base of every undo command of the document: it knows the controller whose
// view state it updates and runs its child commands.
class KvUndoBase : public QUndoCommand
{
public:
    explicit KvUndoBase(KvEditContext *controller, QUndoCommand *parent = nullptr);

    void undo() override = 0;
    void redo() override = 0;

    KvEditContext *controller() const { return m_controller; }

    // The fragment lists this command holds (the document it edits, the
    // frames it removes or inserts): where a source file that is already
    // open can be found again. None by default.
    virtual std::vector<boost::shared_ptr<KvRepackInfoPtrList>> heldFragmentLists() const { return {}; }

protected:
    // Children in order; the count is read afresh before each step.
    void redoChildren();
    // Children from the last to the first.
    void undoChildren();

    KvEditContext *m_controller;
};
