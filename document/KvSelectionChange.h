#pragma once
#include "KvUndo.h"

// A change of the selection and the view position, so that undo and redo
// step through them too. The new values are read from the controller when
// the command is built (after the controller has moved the selection).
// Changes that end in the same selection merge into one entry.
class KvSelectionChange : public KvUndo
{
public:
    KvSelectionChange(const ListPtr &target, qint64 oldScrollFrame, qint64 oldSelectionStart,
                      qint64 oldSelectionEnd, const QString &text, KvEditContext *controller,
                      QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand *other) override;

    qint64 oldSelectionStart() const { return m_oldSelectionStart; }
    qint64 oldSelectionEnd() const { return m_oldSelectionEnd; }
    qint64 newSelectionStart() const { return m_newSelectionStart; }
    qint64 newSelectionEnd() const { return m_newSelectionEnd; }

private:
    void show(qint64 scroll, qint64 start, qint64 end);

    qint64 m_oldSelectionStart;
    qint64 m_oldSelectionEnd;
    qint64 m_newSelectionStart = -1;
    qint64 m_newSelectionEnd = -1;
};
