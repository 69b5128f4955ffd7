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
    using ListPtr = boost::shared_ptr<KvRepackInfoPtrList>;

    explicit KvUndoBase(KvEditContext *controller, QUndoCommand *parent = nullptr);

    void undo() override = 0;
    void redo() override = 0;

    KvEditContext *controller() const { return m_controller; }

    // The fragment lists this command holds, in the order a search for an
    // already loaded source asks them (document, clip, replaced frames); not
    // those of its children. Empty for commands that hold none.
    virtual std::vector<ListPtr> heldLists() const { return {}; }

protected:
    // Children in order; the count is read afresh before each step.
    void redoChildren();
    // Children from the last to the first.
    void undoChildren();

    KvEditContext *m_controller;
};
