#pragma once
// An undo command that only holds fragment lists, as the frame edit
// commands do, for the searches of the undo history.
#include "KvUndoBase.h"

#include <KvRepackInfoPtrList.h>

#include <vector>

class KvHoldingCommand : public KvUndoBase
{
public:
    explicit KvHoldingCommand(std::vector<KvRepackInfoPtrListPtr> lists, QUndoCommand *parent = nullptr)
        : KvUndoBase(nullptr, parent), m_lists(std::move(lists))
    {
    }
    void undo() override {}
    void redo() override {}
    std::vector<KvRepackInfoPtrListPtr> heldLists() const override { return m_lists; }

private:
    std::vector<KvRepackInfoPtrListPtr> m_lists;
};
