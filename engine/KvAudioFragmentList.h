#pragma once
#include "KvRepackInfoPtrList.h"

// The cursor over a document for readers that walk it frame by frame or ask
// about positions (level display, navigation between fragment boundaries).
// A forward cursor serves runs of frame levels; a one-entry cache serves
// position queries that stay inside one fragment. Neither notices edits: seek
// again, and call resetCache(), after every change of the document.
class KvAudioFragmentList {
public:
    virtual ~KvAudioFragmentList();

    virtual qint64 totalFrames() const;
    // Level of the frame at position; -1 at or past the end.
    virtual qint16 frameLevelAt(qint64 position) const;
    // Puts the cursor on position and returns its level; -1 past the end.
    // isFirst: the frame is its fragment's first.
    virtual qint16 seekFrame(qint64 position, bool *isFirst = nullptr);
    // Moves the cursor one frame on; 0 with isFirst false past the end.
    virtual qint16 nextFrameLevel(bool *isFirst = nullptr);
    // The document frame just after the fragment holding position; -1 at or past the end.
    virtual qint64 fragmentEnd(qint64 position) const;
    // The nearest fragment start below position; -1 for 0 and past the end.
    virtual qint64 fragmentStart(qint64 position) const;
    // The first source's format when the document has frames.
    virtual boost::shared_ptr<KvFrameSizeInfo> formatInfo() const;
    virtual bool isCompatible(const boost::shared_ptr<KvFrameSizeInfo> &format) const;
    virtual KvRepackInfoPtrListPtr list() const { return m_document; }
    virtual void setList(const KvRepackInfoPtrListPtr &document) { m_document = document; }
    // The fragment holding position, with the frame's index in it (*local)
    // and the fragment's number counted from 1 (*index, 0 when none).
    virtual KvRepackInfoPtr fragmentAt(qint64 position, qint64 *local, qint64 *index);
    virtual void resetCache();

protected:
    KvAudioFragmentList();
    KvAudioFragmentList(const KvAudioFragmentList &) = delete;
    KvAudioFragmentList &operator=(const KvAudioFragmentList &) = delete;

    KvRepackInfoPtrListPtr m_document;

private:
    bool m_valid = false;
    KvRepackInfoPtrList::ListPtr m_cursorList;   // keeps the walked list alive
    KvRepackInfoPtrList::List::iterator m_cursor;
    qint64 m_local = 0;
    qint64 m_count = 0;
    KvRepackInfoPtr m_current;

    KvRepackInfoPtr m_cached;
    qint64 m_cachedStart = 0;
    qint64 m_cachedIndex = 0;
};

typedef boost::shared_ptr<KvAudioFragmentList> KvAudioFragmentListPtr;
