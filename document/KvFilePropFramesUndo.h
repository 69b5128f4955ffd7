#pragma once
#include "KvFileProperties.h"
#include "KvUndoBase.h"

// Track children of the frame edits. The parent owns the flag both share:
// the delete child writes whether a track end lay in the removed range, the
// insert child, run after it, reads it.

// Keeps the tracks in step with removing [position, position + count). Runs
// after its parent changed the document.
class KvFilePropDelFramesUndo : public KvUndoBase
{
public:
    // removed: the frames taken out; inserted: those put in their place;
    // document: the live document.
    KvFilePropDelFramesUndo(KvFileProperties *trackList, qint64 position, qint64 count,
                            const ListPtr &removed, const ListPtr &inserted,
                            const ListPtr &document, bool *trackEndInRange,
                            KvEditContext *controller, QUndoCommand *parent);

    void redo() override;
    void undo() override;

    const KvFileProperties::CommandList &savedCommands() const { return m_savedCommands; }

private:
    KvFileProperties *m_trackList;
    bool *m_trackEndInRange;
    qint64 m_position;
    qint64 m_count;
    ListPtr m_removed;
    ListPtr m_inserted;
    ListPtr m_document;
    KvFileProperties::CommandList m_savedCommands;
};

// Moves the tracks behind the insertion of `count` frames at `position`.
// With the flag set, a track starting at the position moves behind the new
// frames and one ending there grows to take them; without it, a track
// starting there takes them at its front.
class KvFilePropInsFramesUndo : public KvUndoBase
{
public:
    KvFilePropInsFramesUndo(KvFileProperties *trackList, qint64 position, qint64 count,
                            bool *trackEndInRange, KvEditContext *controller,
                            QUndoCommand *parent);

    void redo() override;
    void undo() override;

private:
    KvFileProperties *m_trackList;
    bool *m_trackEndInRange;
    qint64 m_position;
    qint64 m_count;
    // The position when the last redo moved bounds lying on it, else -1.
    qint64 m_marker = 0;
};
