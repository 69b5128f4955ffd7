#pragma once
#include "KvFrameListIterator.h"
#include "KvMp3FrameContext.h"
#include "KvMp3Records.h"
#include "KvRepackInfoPtrList.h"

#include <QtGlobal>

class KvMP3RepackInfo;

// Walks the frames of an MP3 document and keeps the current frame's context:
// its source record, edit record, the records of what follows it, the
// fragment's format and the fragment-boundary flags; the source gap is
// computed at every step.
//
// With pre-roll, each fragment's margin frames (the up to 10 source frames
// before its first frame, which refill the main-data ring) are visited before
// its first frame. The document must not change while the iterator walks it:
// the context points into the fragments' tables.
//
// What follows a frame: on the source side always the next record of the
// same source table (the all-zero terminator after the source's last frame);
// on the output side the next frame of the document, at a fragment's end the
// following fragment's first edit record, and after the document's last frame
// the fragment's zero terminator.
class KvMP3FrameListIterator : public KvFrameListIterator {
public:
    KvMP3FrameListIterator(const KvRepackInfoPtrListPtr &document, bool preRoll = false);
    ~KvMP3FrameListIterator() override;

    bool next() override;
    // Steps back one frame; false (and nothing changes) at the first frame.
    bool previous() override;
    // Steps n frames forward inside the current fragment, as n calls of
    // next() would; false (nothing changes) when that would leave it.
    bool advanceInFragment(qint64 n);
    void addGain(int delta) override;
    bool isAudible() override;
    bool isSilenced() override;
    void setSilenced(bool silenced) override;
    int gain() override;
    bool enteredNewFragment() override { return m_entered; }
    KvRepackInfoPtr currentFragment() override;

    KvMp3FrameContext &context() { return m_ctx; }
    const KvMp3FrameContext &context() const { return m_ctx; }
    // 0-based index of the current frame in the walk (pre-roll frames count).
    qint64 steps() const { return m_steps; }
    // The current frame's number in its source.
    qint64 sourcePosition() const { return m_position; }
    KvMP3RepackInfo *mp3Fragment() const { return m_fragment.get(); }
    bool previousFragmentSilent() const { return m_previousSilent; }
    bool hasFrame() const { return m_started && m_fragment && m_ctx.editRecord; }

private:
    typedef KvRepackInfoPtrList::List::iterator Position;

    // The MP3 fragment with frames at or after / before `from`; end() when none.
    Position nextUsable(Position from) const;
    Position previousUsable(Position from) const;
    void setUpFragment(Position at);
    void fillContext();

    bool m_preRoll;
    bool m_entered = false;
    KvMp3FrameContext m_ctx;

    KvRepackInfoPtrListPtr m_document;
    KvRepackInfoPtrList::ListPtr m_list;
    bool m_started = false;
    Position m_current;
    Position m_followingPos;
    boost::shared_ptr<KvMP3RepackInfo> m_fragment;
    boost::shared_ptr<KvMP3RepackInfo> m_following;

    // Of the current fragment.
    KvMP3GainFrameInfo *m_sourceTable = nullptr;
    KvMP3GainFrameInfo *m_firstSource = nullptr;
    KvMP3GainChangeInfo *m_firstEdit = nullptr;
    KvMP3GainFrameInfo *m_endSource = nullptr;
    KvMP3GainChangeInfo *m_endEdit = nullptr;
    qint64 m_first = 0;
    qint64 m_count = 0;
    qint64 m_preCount = 0;       // pre-roll frames visited before the first frame
    qint64 m_start = 0;          // source frame of the first visited frame
    bool m_silent = false;
    bool m_previousSilent = false;

    // Synthetic source records of silence (current, next), and stand-in edit
    // records for a fragment without a record table.
    KvMP3GainFrameInfo m_synthetic[2]{};
    KvMP3GainChangeInfo m_scratch[2]{};

    qint64 m_position = 0;
    qint64 m_steps = 0;
    qint64 m_base = 0;
};
