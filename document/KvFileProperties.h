#pragma once
#include "KvTagProperty.h"
#include "KvTrackBounds.h"

#include <boost/shared_ptr.hpp>

#include <list>

class KvEditContext;
class KvFilePropDelFramesUndo;
class KvFilePropInsFramesUndo;
class KvRepackInfoPtrList;
class KvTrackInfoUndo;
class QUndoCommand;

// The track list of a document, in ascending order of track start. Entries
// may be null; every walk skips them and they are never counted. Builders
// turn a request into an undoable KvTrackInfoUndo (null when nothing would
// change); the appliers are what those commands run.
class KvFileProperties
{
public:
    using TrackList = std::list<KvTagPropertyPtr>;
    using CommandList = std::list<boost::shared_ptr<KvTrackInfoUndo>>;

    // The owner becomes the controller of every command built here.
    explicit KvFileProperties(KvEditContext *owner);
    ~KvFileProperties();

    KvFileProperties(const KvFileProperties &) = delete;
    KvFileProperties &operator=(const KvFileProperties &) = delete;

    KvEditContext *owner() const { return m_owner; }
    const TrackList &tracks() const { return m_tracks; }
    void clearTracks() { m_tracks.clear(); }
    bool hasTracks() const;
    // Number of non-null entries.
    int trackCount() const;
    // Appends a track read from a project; a null entry is refused (false).
    bool appendTrack(const KvTagPropertyPtr &track);

    // Queries; -1 means none.
    KvTagPropertyPtr trackIndexAt(qint64 pos, int *index = nullptr) const;
    qint64 trackStartAt(qint64 pos) const;
    qint64 nextTrackPoint(qint64 pos) const;
    qint64 previousTrackPoint(qint64 pos) const;
    KvTagPropertyPtr nextTrack(const KvTagProperty *track) const;
    KvTagPropertyPtr previousTrack(const KvTagProperty *track) const;
    bool canDeleteTrack(qint64 pos) const;
    bool canSetTrackEnd(qint64 pos) const;
    bool canSetTrackStart(qint64 pos) const;
    bool canSplitTrack(qint64 pos) const;

    // Builders: a new command without parent, or null. `alternative` is the
    // caller's second mode (Shift held).
    KvTrackInfoUndo *setTrackEnd(qint64 pos, bool alternative);
    KvTrackInfoUndo *setTrackStart(qint64 pos, bool alternative, const KvTagInfo *tags = nullptr);
    KvTrackInfoUndo *deleteTrack(qint64 pos, bool alternative);
    KvTrackInfoUndo *splitTrack(qint64 pos, qint64 total);
    KvTrackInfoUndo *modifyTrackInfo(qint64 start, const KvTagInfo *tags);

    // Commands that keep the tracks in step with removing [position,
    // position + count) from a document of `length` frames; `trackEndInRange`
    // tells whether a track end (or the document end) lay inside the range.
    CommandList removeTracksInRange(qint64 position, qint64 count, qint64 length,
                                    bool *trackEndInRange);

    // Track children of the frame edits (see KvFilePropFramesUndo.h), added
    // to `parent`, with this list's owner as controller; null for count 0.
    // removed, inserted: the frames the edit takes out and puts in their
    // place; document: the live document.
    using ListPtr = boost::shared_ptr<KvRepackInfoPtrList>;
    KvFilePropDelFramesUndo *makeDelFramesUndo(qint64 position, qint64 count,
                                               const ListPtr &removed, const ListPtr &inserted,
                                               const ListPtr &document, bool *trackEndInRange,
                                               QUndoCommand *parent);
    KvFilePropInsFramesUndo *makeInsFramesUndo(qint64 position, qint64 count,
                                               bool *trackEndInRange, QUndoCommand *parent);

    // Appliers: tracks are found by their exact (start, end), first match in
    // list order; previous is the last non-null track before it. Old values of
    // changed bounds go to `saved` when given.
    void applyTrackRange(qint64 start, qint64 end, const KvTrackBounds &bounds,
                         KvTrackBounds *saved = nullptr);
    void applyTrackTags(qint64 start, qint64 end, const KvTagInfo *tags,
                        const KvTrackBounds &bounds, KvTrackBounds *saved = nullptr,
                        KvTagInfo *savedTags = nullptr);
    // Here the track bounds apply to the next track: the first with start at
    // or after `start`, before which the new track goes.
    void applyInsertTrack(qint64 start, qint64 end, const KvTagInfo *tags,
                          const KvTrackBounds &bounds, KvTrackBounds *saved = nullptr);
    void applyDeleteTrack(qint64 start, qint64 end, const KvTrackBounds &bounds,
                          KvTrackBounds *saved = nullptr);
    void applyInsertTrackStep(qint64 start, qint64 end, const KvTrackBounds &bounds,
                              KvTrackBounds *saved = nullptr);

private:
    TrackList::iterator findExact(qint64 start, qint64 end);
    KvTagPropertyPtr lastTrackBefore(TrackList::iterator it) const;
    void applyBounds(const KvTagPropertyPtr &previous, const KvTagPropertyPtr &track,
                     const KvTrackBounds &bounds, KvTrackBounds *saved);
    KvTrackInfoUndo *makeCommand(int op, const QString &text, qint64 rangeStart, qint64 rangeEnd,
                                 qint64 insertStart, qint64 insertEnd, const KvTagInfo *tags,
                                 const KvTrackBounds &bounds) const;

    TrackList m_tracks;
    KvEditContext *m_owner;
};
