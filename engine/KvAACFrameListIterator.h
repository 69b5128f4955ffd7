#pragma once
#include "KvAacRecords.h"
#include "KvFrameListIterator.h"
#include "KvRepackInfoPtrList.h"

#include <QtGlobal>

class KvAACRepackInfo;

// Walks the frames of an AAC document, across its fragments, giving
// the current frame's edit record (gain delta, silenced) and source record.
// Fragments of another kind and fragments without frames are passed over.
// The document must not change while the iterator walks it.
class KvAACFrameListIterator : public KvFrameListIterator {
public:
    // The start argument is not used: the walk begins at the first frame.
    explicit KvAACFrameListIterator(const KvRepackInfoPtrListPtr &document, int start = 0);
    ~KvAACFrameListIterator() override;

    bool next() override;
    bool previous() override;
    void addGain(int delta) override;
    // False for silence; a silenced frame of a real source is audible.
    bool isAudible() override;
    bool isSilenced() override;
    void setSilenced(bool silenced) override;
    // The full 32-bit gain delta of the current record.
    int gain() override;
    bool enteredNewFragment() override { return m_entered; }
    KvRepackInfoPtr currentFragment() override;

    KvAACRepackInfo *aacFragment() const { return m_fragment.get(); }
    // The current frame's index in its fragment and in its source.
    qint64 localIndex() const { return m_local; }
    qint64 sourceFrame() const { return m_first + m_local; }
    // Frames stepped since the first (0 on the first frame).
    qint64 framesStepped() const { return m_steps; }
    // The current source record; a zero record for silence.
    const KvAACGainFrameInfo *sourceRecord() const;
    bool hasFrame() const { return m_started && !m_ended && m_fragment && m_edits; }

private:
    typedef KvRepackInfoPtrList::List::iterator Position;

    Position nextUsable(Position from) const;
    Position previousUsable(Position from) const;
    void enter(Position at);

    bool m_entered = false;
    KvRepackInfoPtrListPtr m_document;
    KvRepackInfoPtrList::ListPtr m_list;
    bool m_started = false;
    bool m_ended = false;
    Position m_current;
    Position m_followingPos;
    boost::shared_ptr<KvAACRepackInfo> m_fragment;

    KvAACGainChangeInfo *m_edits = nullptr;
    const KvAACGainFrameInfo *m_sources = nullptr;
    KvAACGainFrameInfo m_dummy{};
    qint64 m_first = 0;
    qint64 m_count = 0;
    qint64 m_local = 0;
    qint64 m_steps = 0;
    qint64 m_passed = 0;
};
