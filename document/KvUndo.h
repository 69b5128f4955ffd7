#pragma once
#include "KvUndoBase.h"

#include <QtGlobal>

class KvFileProperties;

// Base of the commands that edit the document's frames. It holds its own
// deep copies of the frames it removes or inserts (`clip`) and of the frames
// a paste replaces (`replaced`), shares the document list itself (`target`),
// and remembers where the edit happens and which frame the views showed
// before and show after it.
class KvUndo : public KvUndoBase
{
public:
    // Copies of clip and replaced are taken; null lists stay null.
    KvUndo(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &replaced,
           const ListPtr &target, qint64 position, KvEditContext *controller,
           QUndoCommand *parent = nullptr);
    // Nothing replaced: an empty list of the document's kind.
    KvUndo(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &target,
           qint64 position, KvEditContext *controller, QUndoCommand *parent = nullptr);
    // Clip and replaced both empty lists of the document's kind.
    KvUndo(KvFileProperties *trackList, const ListPtr &target, qint64 position,
           KvEditContext *controller, QUndoCommand *parent = nullptr);

    // Only the children and the packing of the own lists.
    void redo() override;
    void undo() override;

    std::vector<ListPtr> heldLists() const override { return {m_target, m_clip, m_replaced}; }

    const ListPtr &clip() const { return m_clip; }
    const ListPtr &replaced() const { return m_replaced; }
    const ListPtr &target() const { return m_target; }
    KvFileProperties *trackList() const { return m_trackList; }
    qint64 position() const { return m_position; }
    qint64 scrollBefore() const { return m_scrollBefore; }
    qint64 scrollAfter() const { return m_scrollAfter; }

    // Frame count of a list, 0 for none.
    static qint64 framesOf(const ListPtr &list);

protected:
    // Takes clip frames out at the position and puts replaced frames back,
    // which end up selected (else the selection collapses at the position).
    void removeClip();
    // Takes replaced frames out and puts the clip in, selected.
    void restoreClip();
    // As restoreClip, with the selection collapsed behind the clip.
    void insertClip();

    // The common end of a frame edit: scroll, children (in order on redo, in
    // reverse on undo), packing of the own lists and the controller refresh.
    void finishEdit(qint64 scroll, bool redoing);
    void compressLists();
    void setScroll(qint64 frame);
    void setSelection(qint64 start, qint64 end);

    ListPtr m_clip;
    ListPtr m_replaced;
    ListPtr m_target;
    qint64 m_position = 0;
    qint64 m_scrollBefore = 0;
    qint64 m_scrollAfter = 0;
    KvFileProperties *m_trackList = nullptr;

private:
    void putClip(bool collapse);
    void init(KvFileProperties *trackList, const ListPtr &clip, const ListPtr &replaced,
              const ListPtr &target, qint64 position);
};
