#pragma once
#include "KvRepackInfo.h"

#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

#include <list>
#include <mutex>
#include <vector>

class KvFrameSizeInfo;

// A document (or a clip, or an undo snapshot): an ordered list of fragments
// whose frames, read in order, form the output. Positions are document frame
// indexes counted from 0 across the fragments; ranges are half-open.
//
// Operations that bring fragments in from elsewhere insert clones; an
// operation that cuts a fragment puts a new clone in for the part before the
// cut and re-cuts the fragment itself in place for the part after it. Fragments
// without frames are never taken in. Inserting and deleting merge neighbours
// where they cut and insert, and the whole list when appends left joinable
// neighbours; fragments re-cut from outside are merged by mergeAdjacent().
class KvRepackInfoPtrList {
public:
    typedef std::list<KvRepackInfoPtr> List;
    typedef boost::shared_ptr<List> ListPtr;
    typedef boost::shared_ptr<KvRepackInfoPtrList> Ptr;

    virtual ~KvRepackInfoPtrList();

    // Clones of other's fragments at the end (no merging).
    virtual void appendList(const Ptr &other);
    virtual void appendFragment(const KvRepackInfoPtr &fragment);
    // Clones of other's fragments before document frame `position` (appended
    // at or past the end, at 0 below it), then neighbours are merged.
    virtual void insertList(qint64 position, const Ptr &other);
    virtual void insertFragment(qint64 position, const KvRepackInfoPtr &fragment);
    // Removes frames [position, position+count); out-of-range parts are
    // ignored. Neighbours are merged in every case.
    virtual void deleteRange(qint64 position, qint64 count);
    // Joins every fragment into the one before it when it continues it (same
    // source path and the next source frame, or both silence). True when any
    // were joined.
    virtual bool mergeAdjacent();
    // Whether c continues prev (mergeAdjacent would join them).
    static bool continues(const KvRepackInfo &prev, const KvRepackInfo &c);
    // A deep copy of frames [start, start+count) as a new list of this kind;
    // count -1 means to the end, below -1 gives an empty list.
    virtual Ptr copyRange(qint64 start, qint64 count);
    // A new fragment on the source of the first fragment with that path, or
    // empty when none has it or the range lies outside the source.
    virtual KvRepackInfoPtr createFragmentForSource(const QString &path, qint64 first, qint64 count) = 0;
    // Packs every fragment's records.
    virtual void compressAll();
    // The shared list itself: cursors, iterators and archive writers walk it.
    virtual ListPtr list() const { return m_list; }
    // Whether frames of that format may join this document.
    virtual bool isCompatible(const boost::shared_ptr<KvFrameSizeInfo> &format) = 0;
    virtual qint64 totalFrames() const;
    // Format of the first fragment's source; empty for an empty list.
    virtual boost::shared_ptr<KvFrameSizeInfo> firstSourceInfo() const;
    // Empty while every source file reads as it was indexed; else the reason
    // (KvFile::changedText) for the first one that another program changed.
    // Savers and players ask before they read a frame.
    QString changedSourceText() const;

    // Where a document frame lies: its fragment, the frame's index in it, the
    // fragment's number in the list (from 0) and the document frame the
    // fragment starts at.
    struct Location {
        List::iterator fragment;
        qint64 local = 0;
        qint64 index = 0;
        qint64 start = 0;
    };
    // False when no fragment holds position (negative, or at or past the end).
    bool locate(qint64 position, Location &where) const;
    // The fragment holding position and the frame's index in it; end() when none.
    List::iterator findFragment(qint64 position, qint64 &local) const;
    qint64 fragmentCount() const { return qint64(m_list->size()); }

protected:
    KvRepackInfoPtrList();
    KvRepackInfoPtrList(const KvRepackInfoPtrList &) = delete;
    KvRepackInfoPtrList &operator=(const KvRepackInfoPtrList &) = delete;

    // A new, empty list of this list's own kind.
    Ptr createEmptyLike() const;
    // The first fragment whose source is the file at path and still reads what
    // the path names now: a source that another program changed, or whose path
    // now names another file, is not shared with a new open of that path.
    KvRepackInfoPtr fragmentReadingPath(const QString &path) const;
    // Whether [first, first + count) lies in a source of n frames; a count of
    // -1 becomes the rest of the source.
    static bool fitSourceRange(qint64 n, qint64 first, qint64 &count);
    // Joins c into prev; false (nothing changed) when prev refuses it.
    static bool join(const KvRepackInfoPtr &prev, const KvRepackInfoPtr &c);

    ListPtr m_list;
    // No two neighbours are joinable, as far as this list's own operations
    // know (appends may leave joinable neighbours; full merges clear them).
    bool m_merged = true;

private:
    // Frame counts of the fragments in list order, beside the list, so that
    // positions are found by scanning an array instead of chasing the list.
    // Kept in step by this class's operations; rebuilt when the list's size
    // no longer matches (fragments added or removed through list()) and by
    // mergeAdjacent(), which also re-reads fragments re-cut through list().
    struct IndexEntry {
        List::iterator fragment;
        qint64 count;
    };
    const std::vector<IndexEntry> &index() const;
    void invalidateIndex() { m_indexValid = false; }
    // List and index together.
    List::iterator insertAt(size_t k, List::iterator before, const KvRepackInfoPtr &fragment);
    // Inserts the fragments in order before `before` (fragment number k).
    void insertAllAt(size_t k, List::iterator before, const std::vector<KvRepackInfoPtr> &fragments);
    List::iterator eraseAt(size_t k, List::iterator it);
    // Erases n fragments from `it` (fragment number k); returns the one after them.
    List::iterator eraseRun(size_t k, List::iterator it, size_t n);
    void recount(size_t k, List::iterator it);
    void mergeAround(size_t k, List::iterator from, List::iterator last);

    mutable std::vector<IndexEntry> m_index;
    mutable bool m_indexValid = false;
    // Readers on two threads (drawing and a streaming thread taking its copy)
    // may both find the index stale; they rebuild it one at a time.
    mutable std::mutex m_indexMutex;
};

typedef boost::shared_ptr<KvRepackInfoPtrList> KvRepackInfoPtrListPtr;
