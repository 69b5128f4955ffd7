#pragma once
#include "KvTagInfo.h"
#include "KvUndoBase.h"

class KvTagProperty;

// Replaces the tag record of one track or of the whole-file tag property.
class KvFileInfoUndo : public KvUndoBase
{
public:
    // A null record stands for the default record; the target's current
    // record is kept for undo.
    KvFileInfoUndo(const QString &text, const KvTagInfo *newTags, KvTagProperty *target,
                   KvEditContext *controller, QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

private:
    KvTagProperty *m_target;
    KvTagInfo m_newTags;
    KvTagInfo m_oldTags;
};
