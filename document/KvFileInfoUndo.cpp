#include "KvFileInfoUndo.h"

#include "KvTagProperty.h"

KvFileInfoUndo::KvFileInfoUndo(const QString &text, const KvTagInfo *newTags, KvTagProperty *target,
                               KvEditContext *controller, QUndoCommand *parent)
    : KvUndoBase(controller, parent)
    , m_target(target)
    , m_newTags(newTags ? *newTags : KvTagInfo())
{
    if (m_target)
        m_oldTags = static_cast<const KvTagProperty *>(m_target)->tagInfo();
    setText(text);
}

void KvFileInfoUndo::redo()
{
    if (m_target)
        m_target->setTagInfo(m_newTags);
    redoChildren();
}

void KvFileInfoUndo::undo()
{
    if (m_target)
        m_target->setTagInfo(m_oldTags);
    undoChildren();
}
