#include "KvFileProperties.h"

#include "KvEditContext.h"
#include "KvFilePropFramesUndo.h"
#include "KvTrackInfoUndo.h"

#include <QCoreApplication>

namespace {

constexpr qint64 kEnd = KvTagProperty::EndMarker;

QString tr(const char *text) { return QCoreApplication::translate("KvFileProperties", text); }

// Sets one bound unless the new value is -1, keeping the old one in `saved`.
template<class Get, class Set>
void changeBound(qint64 value, Get get, Set set, qint64 *saved)
{
    if (value == -1)
        return;
    if (saved)
        *saved = get();
    set(value);
}

} // namespace

KvFileProperties::KvFileProperties(KvEditContext *owner) : m_owner(owner) {}

KvFileProperties::~KvFileProperties() = default;

bool KvFileProperties::hasTracks() const
{
    for (const auto &t : m_tracks)
        if (t)
            return true;
    return false;
}

int KvFileProperties::trackCount() const
{
    int n = 0;
    for (const auto &t : m_tracks)
        if (t)
            ++n;
    return n;
}

bool KvFileProperties::appendTrack(const KvTagPropertyPtr &track)
{
    if (!track)
        return false;
    m_tracks.push_back(track);
    return true;
}

KvTagPropertyPtr KvFileProperties::trackIndexAt(qint64 pos, int *index) const
{
    int n = 0;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        ++n;
        if (t->start() > pos)
            break;
        if (pos < t->end()) {
            if (index)
                *index = n;
            return t;
        }
    }
    if (index)
        *index = 0;
    return KvTagPropertyPtr();
}

qint64 KvFileProperties::trackStartAt(qint64 pos) const
{
    const KvTagPropertyPtr t = trackIndexAt(pos);
    return t ? t->start() : -1;
}

qint64 KvFileProperties::nextTrackPoint(qint64 pos) const
{
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t->start() > pos)
            return t->start();
        if (t->end() > pos)
            return t->end();
    }
    return -1;
}

qint64 KvFileProperties::previousTrackPoint(qint64 pos) const
{
    for (auto it = m_tracks.rbegin(); it != m_tracks.rend(); ++it) {
        const auto &t = *it;
        if (!t)
            continue;
        if (t->end() < pos)
            return t->end();
        if (t->start() < pos)
            return t->start();
    }
    return -1;
}

KvTagPropertyPtr KvFileProperties::nextTrack(const KvTagProperty *track) const
{
    if (!track)
        return KvTagPropertyPtr();
    bool found = false;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (found)
            return t;
        found = t.get() == track;
    }
    return KvTagPropertyPtr();
}

KvTagPropertyPtr KvFileProperties::previousTrack(const KvTagProperty *track) const
{
    if (!track)
        return KvTagPropertyPtr();
    KvTagPropertyPtr previous;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t.get() == track)
            return previous;
        previous = t;
    }
    return KvTagPropertyPtr();
}

bool KvFileProperties::canDeleteTrack(qint64 pos) const
{
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t->start() > pos)
            break;
        if (t->end() > pos || t->start() == t->end())
            return true;
    }
    return false;
}

bool KvFileProperties::canSetTrackEnd(qint64 pos) const
{
    for (auto it = m_tracks.rbegin(); it != m_tracks.rend(); ++it) {
        const auto &t = *it;
        if (!t)
            continue;
        if (t->end() == pos)
            return false;
        if (t->end() < pos)
            return true;
    }
    return pos > 0;
}

bool KvFileProperties::canSetTrackStart(qint64 pos) const
{
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t->start() == pos)
            return false;
        if (t->start() > pos)
            return true;
    }
    return pos != kEnd;
}

bool KvFileProperties::canSplitTrack(qint64 pos) const
{
    KvTagPropertyPtr previous;
    KvTagPropertyPtr lastBefore;
    bool first = true;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t->start() == pos) {
            if (previous && previous->end() == pos)
                return false;
            if (first && pos == 0)
                return false;
        }
        if (t->start() < pos)
            lastBefore = t;
        previous = t;
        first = false;
    }
    if (pos == kEnd && lastBefore && lastBefore->end() == kEnd)
        return false;
    return true;
}

KvTrackInfoUndo *KvFileProperties::makeCommand(int op, const QString &text, qint64 rangeStart,
                                               qint64 rangeEnd, qint64 insertStart,
                                               qint64 insertEnd, const KvTagInfo *tags,
                                               const KvTrackBounds &b) const
{
    return new KvTrackInfoUndo(const_cast<KvFileProperties *>(this), op, text, rangeStart, rangeEnd,
                               insertStart, insertEnd, tags, b.prevStart, b.prevEnd, b.trackStart,
                               b.trackEnd, m_owner);
}

namespace {
KvTrackBounds withPrevEnd(qint64 v) { KvTrackBounds b; b.prevEnd = v; return b; }
KvTrackBounds withTrackStart(qint64 v) { KvTrackBounds b; b.trackStart = v; return b; }
KvTrackBounds withTrackEnd(qint64 v) { KvTrackBounds b; b.trackEnd = v; return b; }
} // namespace

KvTrackInfoUndo *KvFileProperties::setTrackEnd(qint64 pos, bool alternative)
{
    const QString text = tr("Set track end");
    KvTagPropertyPtr previous;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t->end() == pos)
            return nullptr;
        if (t->start() >= pos)
            break;
        previous = t;
    }
    if (!previous) {
        if (pos <= 0)
            return nullptr;
        return makeCommand(KvTrackInfoUndo::InsertTrack, text, -1, -1, 0, pos, nullptr, {});
    }
    const qint64 ps = previous->start(), pe = previous->end();
    if (pe > pos) {
        if (alternative)
            return makeCommand(KvTrackInfoUndo::InsertTrack, text, -1, -1, pos, pe, nullptr,
                               withPrevEnd(pos));
        return makeCommand(KvTrackInfoUndo::ChangeRange, text, ps, pe, -1, -1, nullptr,
                           withTrackEnd(pos));
    }
    if (alternative)
        return makeCommand(KvTrackInfoUndo::InsertTrack, text, -1, -1, pe, pos, nullptr, {});
    return makeCommand(KvTrackInfoUndo::ChangeRange, text, ps, pe, -1, -1, nullptr, withTrackEnd(pos));
}

KvTrackInfoUndo *KvFileProperties::setTrackStart(qint64 pos, bool alternative, const KvTagInfo *tags)
{
    const QString text = tags ? tr("Add track information") : tr("Set track start");
    KvTagPropertyPtr previous;
    KvTagPropertyPtr next;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t->start() == pos)
            return nullptr;
        if (t->start() > pos) {
            next = t;
            break;
        }
        previous = t;
    }
    if (!next && (!previous || previous->end() <= pos))
        return makeCommand(KvTrackInfoUndo::InsertTrack, text, -1, -1, pos, kEnd, tags, {});
    if (previous && previous->end() > pos) {
        if (alternative)
            return makeCommand(KvTrackInfoUndo::InsertTrack, text, -1, -1, pos, previous->end(),
                               tags, withPrevEnd(pos));
        return makeCommand(KvTrackInfoUndo::ChangeRange, text, previous->start(), previous->end(),
                           -1, -1, tags, withTrackStart(pos));
    }
    // A next track exists and nothing before it reaches pos.
    if (alternative)
        return makeCommand(KvTrackInfoUndo::InsertTrack, text, -1, -1, pos, next->start(), tags, {});
    return makeCommand(KvTrackInfoUndo::ChangeRange, text, next->start(), next->end(), -1, -1, tags,
                       withTrackStart(pos));
}

KvTrackInfoUndo *KvFileProperties::deleteTrack(qint64 pos, bool alternative)
{
    for (auto it = m_tracks.begin(); it != m_tracks.end(); ++it) {
        const KvTagPropertyPtr &t = *it;
        if (!t)
            continue;
        if (t->start() > pos)
            break;
        if (!(t->end() > pos || t->start() == t->end()))
            continue;
        KvTrackBounds bounds;
        if (alternative && it != m_tracks.begin()) {
            const KvTagPropertyPtr &before = *std::prev(it);
            // The track before absorbs the deleted frames.
            if (before && before->end() == t->start())
                bounds.prevEnd = t->end();
        }
        return makeCommand(KvTrackInfoUndo::DeleteTrack, tr("Delete track"), t->start(), t->end(), -1,
                           -1, &t->tagInfo(), bounds);
    }
    return nullptr;
}

KvTrackInfoUndo *KvFileProperties::splitTrack(qint64 pos, qint64 total)
{
    const QString text = tr("Split track");
    KvTagPropertyPtr previous;
    KvTagPropertyPtr next;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t->start() >= pos) {
            if (t->start() == pos && previous && previous->end() == pos)
                return nullptr;
            next = t;
            break;
        }
        previous = t;
    }
    const auto insert = [&](qint64 s, qint64 e) {
        return makeCommand(KvTrackInfoUndo::InsertTrack, text, -1, -1, s, e, nullptr, {});
    };
    // Two new tracks: [s1, e1) and then [s2, e2) before it.
    const auto insertTwo = [&](qint64 s1, qint64 e1, qint64 s2, qint64 e2) {
        return makeCommand(KvTrackInfoUndo::Split, text, s2, e2, s1, e1, nullptr, {});
    };

    if (previous) {
        const qint64 pe = previous->end();
        if (pe > pos) {
            KvTrackBounds b;
            b.prevStart = previous->start();
            b.prevEnd = pos;
            return makeCommand(KvTrackInfoUndo::Split, text, -1, -1, pos, pe, nullptr, b);
        }
        if (pe == pos)
            return insert(pos, next ? next->start() : kEnd);
        if (next && next->start() == pos)
            return insert(pe, pos);
        if (next)
            return insertTwo(pos, next->start(), pe, pos);
        if (pos == total)
            return insert(pe, kEnd);
        return insertTwo(pos, kEnd, pe, pos);
    }
    if (next) {
        if (next->start() == pos)
            return pos == 0 ? nullptr : insert(0, pos);
        if (pos == 0)
            return insert(0, next->start());
        return insertTwo(pos, next->start(), 0, pos);
    }
    if (pos == 0 || pos == total)
        return insert(0, kEnd);
    return insertTwo(pos, kEnd, 0, pos);
}

KvTrackInfoUndo *KvFileProperties::modifyTrackInfo(qint64 start, const KvTagInfo *tags)
{
    const KvTagInfo given = tags ? *tags : KvTagInfo();
    KvTagPropertyPtr target;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        if (t->start() > start)
            break;
        if (t->start() != start)
            continue;
        if (t->tagInfo() == given)
            return nullptr;
        target = t;
    }
    if (!target)
        return nullptr;
    return makeCommand(KvTrackInfoUndo::ChangeRangeAndTags, tr("Modify track information"),
                       target->start(), target->end(), -1, -1, &given, {});
}

KvFileProperties::CommandList KvFileProperties::removeTracksInRange(qint64 P, qint64 N, qint64 L,
                                                                    bool *trackEndInRange)
{
    CommandList commands;
    if (trackEndInRange)
        *trackEndInRange = false;
    for (const auto &t : m_tracks) {
        if (!t)
            continue;
        const qint64 s = t->start();
        const qint64 e = t->end();
        const qint64 endOrLength = e == kEnd ? L : e;
        if (e > P && endOrLength <= P + N && trackEndInRange)
            *trackEndInRange = true;

        KvTrackBounds b;
        int op = 0;
        if (s > P + N) {
            op = KvTrackInfoUndo::ChangeRange;
            b.trackStart = s - N;
            if (e != kEnd)
                b.trackEnd = e - N;
        } else if (e < P) {
            continue;
        } else if (s >= P && endOrLength <= P + N) {
            op = KvTrackInfoUndo::DeleteTrack;
        } else {
            if (s <= P && e == kEnd)
                continue;
            op = KvTrackInfoUndo::ChangeRange;
            if (s > P)
                b.trackStart = P;
            if (e != kEnd)
                b.trackEnd = e <= P + N ? P : e - N;
        }
        const KvTagInfo *tags = op == KvTrackInfoUndo::DeleteTrack ? &t->tagInfo() : nullptr;
        commands.push_back(boost::shared_ptr<KvTrackInfoUndo>(
            makeCommand(op, QString(), s, e, -1, -1, tags, b)));
    }
    return commands;
}

KvFilePropDelFramesUndo *KvFileProperties::makeDelFramesUndo(qint64 position, qint64 count,
                                                              const ListPtr &removed,
                                                              const ListPtr &inserted,
                                                              const ListPtr &document,
                                                              bool *trackEndInRange,
                                                              QUndoCommand *parent)
{
    if (count == 0)
        return nullptr;
    return new KvFilePropDelFramesUndo(this, position, count, removed, inserted, document,
                                       trackEndInRange, m_owner, parent);
}

KvFilePropInsFramesUndo *KvFileProperties::makeInsFramesUndo(qint64 position, qint64 count,
                                                              bool *trackEndInRange,
                                                              QUndoCommand *parent)
{
    if (count == 0)
        return nullptr;
    return new KvFilePropInsFramesUndo(this, position, count, trackEndInRange, m_owner, parent);
}

KvFileProperties::TrackList::iterator KvFileProperties::findExact(qint64 start, qint64 end)
{
    for (auto it = m_tracks.begin(); it != m_tracks.end(); ++it)
        if (*it && (*it)->start() == start && (*it)->end() == end)
            return it;
    return m_tracks.end();
}

KvTagPropertyPtr KvFileProperties::lastTrackBefore(TrackList::iterator it) const
{
    KvTagPropertyPtr previous;
    for (auto i = m_tracks.begin(); i != it; ++i)
        if (*i)
            previous = *i;
    return previous;
}

void KvFileProperties::applyBounds(const KvTagPropertyPtr &previous, const KvTagPropertyPtr &track,
                                   const KvTrackBounds &b, KvTrackBounds *saved)
{
    if (previous) {
        KvTagProperty *p = previous.get();
        changeBound(b.prevStart, [p] { return p->start(); }, [p](qint64 v) { p->setStart(v); },
                    saved ? &saved->prevStart : nullptr);
        changeBound(b.prevEnd, [p] { return p->end(); }, [p](qint64 v) { p->setEnd(v); },
                    saved ? &saved->prevEnd : nullptr);
    }
    if (track) {
        KvTagProperty *t = track.get();
        changeBound(b.trackStart, [t] { return t->start(); }, [t](qint64 v) { t->setStart(v); },
                    saved ? &saved->trackStart : nullptr);
        changeBound(b.trackEnd, [t] { return t->end(); }, [t](qint64 v) { t->setEnd(v); },
                    saved ? &saved->trackEnd : nullptr);
    }
}

void KvFileProperties::applyTrackRange(qint64 start, qint64 end, const KvTrackBounds &bounds,
                                       KvTrackBounds *saved)
{
    applyTrackTags(start, end, nullptr, bounds, saved, nullptr);
}

void KvFileProperties::applyTrackTags(qint64 start, qint64 end, const KvTagInfo *tags,
                                      const KvTrackBounds &bounds, KvTrackBounds *saved,
                                      KvTagInfo *savedTags)
{
    const auto it = findExact(start, end);
    if (it == m_tracks.end())
        return;
    const KvTagPropertyPtr track = *it;
    applyBounds(lastTrackBefore(it), track, bounds, saved);
    if (tags) {
        if (savedTags)
            *savedTags = track->tagInfo();
        track->setTagInfo(*tags);
    }
}

void KvFileProperties::applyInsertTrack(qint64 start, qint64 end, const KvTagInfo *tags,
                                        const KvTrackBounds &bounds, KvTrackBounds *saved)
{
    auto next = m_tracks.begin();
    while (next != m_tracks.end() && !(*next && (*next)->start() >= start))
        ++next;
    const KvTagPropertyPtr nextTrack = next != m_tracks.end() ? *next : KvTagPropertyPtr();
    applyBounds(lastTrackBefore(next), nextTrack, bounds, saved);
    if (start != -1 && end != -1)
        m_tracks.insert(next, KvTagPropertyPtr(new KvTagProperty(start, end, tags ? *tags : KvTagInfo())));
}

void KvFileProperties::applyDeleteTrack(qint64 start, qint64 end, const KvTrackBounds &bounds,
                                        KvTrackBounds *saved)
{
    const auto it = findExact(start, end);
    if (it == m_tracks.end())
        return;
    applyBounds(lastTrackBefore(it), *it, bounds, saved);
    m_tracks.erase(it);
}

void KvFileProperties::applyInsertTrackStep(qint64 start, qint64 end, const KvTrackBounds &bounds,
                                            KvTrackBounds *saved)
{
    applyInsertTrack(start, end, nullptr, bounds, saved);
}
