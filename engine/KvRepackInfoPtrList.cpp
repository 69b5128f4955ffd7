#include "KvRepackInfoPtrList.h"

#include "KvEngineFactories.h"
#include "KvFile.h"
#include "KvFrameRepacker.h"

#include <algorithm>
#include <set>

namespace {

// The fragments of a list as they are now.
std::vector<KvRepackInfoPtr> snapshot(const KvRepackInfoPtrList::Ptr &other)
{
    std::vector<KvRepackInfoPtr> items;
    if (other) {
        const KvRepackInfoPtrList::ListPtr l = other->list();
        if (l)
            items.assign(l->begin(), l->end());
    }
    return items;
}

} // namespace

KvRepackInfoPtrList::KvRepackInfoPtrList() : m_list(new List) {}
KvRepackInfoPtrList::~KvRepackInfoPtrList() = default;

KvRepackInfoPtrList::Ptr KvRepackInfoPtrList::createEmptyLike() const
{
    return createRepackInfoPtrList(this);
}

const std::vector<KvRepackInfoPtrList::IndexEntry> &KvRepackInfoPtrList::index() const
{
    if (!m_indexValid || m_index.size() != m_list->size()) {
        m_index.clear();
        m_index.reserve(m_list->size());
        for (List::iterator it = m_list->begin(); it != m_list->end(); ++it)
            m_index.push_back(IndexEntry{it, (*it)->frameCount()});
        m_indexValid = true;
    }
    return m_index;
}

KvRepackInfoPtrList::List::iterator KvRepackInfoPtrList::insertAt(size_t k, List::iterator before,
                                                                  const KvRepackInfoPtr &fragment)
{
    const bool valid = m_indexValid && m_index.size() == m_list->size();
    const List::iterator it = m_list->insert(before, fragment);
    if (valid)
        m_index.insert(m_index.begin() + std::ptrdiff_t(k), IndexEntry{it, fragment->frameCount()});
    else
        invalidateIndex();
    return it;
}

void KvRepackInfoPtrList::insertAllAt(size_t k, List::iterator before, const std::vector<KvRepackInfoPtr> &fragments)
{
    const bool valid = m_indexValid && m_index.size() == m_list->size();
    std::vector<IndexEntry> entries;
    if (valid)
        entries.reserve(fragments.size());
    for (const KvRepackInfoPtr &f : fragments) {
        const List::iterator it = m_list->insert(before, f);
        if (valid)
            entries.push_back(IndexEntry{it, f->frameCount()});
    }
    if (valid)
        m_index.insert(m_index.begin() + std::ptrdiff_t(k), entries.begin(), entries.end());
    else
        invalidateIndex();
}

KvRepackInfoPtrList::List::iterator KvRepackInfoPtrList::eraseRun(size_t k, List::iterator it, size_t n)
{
    const bool valid = m_indexValid && m_index.size() == m_list->size();
    for (size_t i = 0; i < n; ++i)
        it = m_list->erase(it);
    if (valid)
        m_index.erase(m_index.begin() + std::ptrdiff_t(k), m_index.begin() + std::ptrdiff_t(k + n));
    else
        invalidateIndex();
    return it;
}

KvRepackInfoPtrList::List::iterator KvRepackInfoPtrList::eraseAt(size_t k, List::iterator it)
{
    const bool valid = m_indexValid && m_index.size() == m_list->size();
    if (valid)
        m_index.erase(m_index.begin() + std::ptrdiff_t(k));
    else
        invalidateIndex();
    return m_list->erase(it);
}

void KvRepackInfoPtrList::recount(size_t k, List::iterator it)
{
    if (m_indexValid && k < m_index.size() && m_index[k].fragment == it)
        m_index[k].count = (*it)->frameCount();
    else
        invalidateIndex();
}

bool KvRepackInfoPtrList::locate(qint64 position, Location &where) const
{
    if (position < 0)
        return false;
    std::unique_lock<std::mutex> lock(m_indexMutex);
    const std::vector<IndexEntry> &entries = index();
    qint64 s = 0;
    for (size_t k = 0; k < entries.size(); ++k) {
        const qint64 n = entries[k].count;
        if (position < s + n) {
            // A fragment re-cut from outside: count again from the list itself.
            if ((*entries[k].fragment)->frameCount() != n) {
                m_indexValid = false;
                lock.unlock();
                return locate(position, where);
            }
            where.fragment = entries[k].fragment;
            where.local = position - s;
            where.index = qint64(k);
            where.start = s;
            return true;
        }
        s += n;
    }
    return false;
}

KvRepackInfoPtrList::List::iterator KvRepackInfoPtrList::findFragment(qint64 position, qint64 &local) const
{
    Location where;
    if (!locate(position, where))
        return m_list->end();
    local = where.local;
    return where.fragment;
}

void KvRepackInfoPtrList::appendList(const Ptr &other)
{
    for (const KvRepackInfoPtr &f : snapshot(other))
        appendFragment(f);
}

void KvRepackInfoPtrList::appendFragment(const KvRepackInfoPtr &fragment)
{
    if (!fragment || fragment->frameCount() <= 0)
        return;
    if (m_merged && !m_list->empty() && continues(*m_list->back(), *fragment))
        m_merged = false;
    insertAt(m_list->size(), m_list->end(), fragment->clone());
}

void KvRepackInfoPtrList::insertList(qint64 position, const Ptr &other)
{
    // Inserting a list into itself cuts a fragment of the list being inserted:
    // take a copy of it first.
    std::vector<KvRepackInfoPtr> items;
    for (const KvRepackInfoPtr &f : snapshot(other.get() == this ? copyRange(0, -1) : other)) {
        if (f && f->frameCount() > 0)
            items.push_back(f->clone());
    }
    Location where;
    if (!locate(std::max<qint64>(0, position), where)) {
        const size_t last = m_list->size();
        insertAllAt(last, m_list->end(), items);
        if (last > 0)
            mergeAround(last - 1, std::prev(m_list->end(), std::ptrdiff_t(m_list->size() - last + 1)), m_list->end());
        else if (!m_merged)
            mergeAdjacent();
        return;
    }
    List::iterator at = where.fragment;
    size_t k = size_t(where.index);
    // The fragment before the first new seam (at itself at the list's start).
    const bool atStart = k == 0;
    const List::iterator before = atStart ? at : std::prev(at);
    if (where.local > 0) {
        const KvRepackInfoPtr fragment = *at;
        const qint64 first = fragment->firstFrame();
        const qint64 count = fragment->frameCount();
        insertAt(k++, at, fragment->cloneRange(first, where.local));
        fragment->setRange(first + where.local, count - where.local);
        recount(k, at);
    }
    insertAllAt(k, at, items);
    if (atStart)
        mergeAround(0, m_list->begin(), at);
    else
        mergeAround(size_t(where.index) - 1, before, at);
}

void KvRepackInfoPtrList::insertFragment(qint64 position, const KvRepackInfoPtr &fragment)
{
    const Ptr one = createEmptyLike();
    if (!one)
        return;
    one->appendFragment(fragment);
    insertList(position, one);
}

void KvRepackInfoPtrList::deleteRange(qint64 position, qint64 count)
{
    Location where;
    if (position >= 0 && count > 0 && locate(position, where)) {
        List::iterator it = where.fragment;
        size_t k = size_t(where.index);
        qint64 remaining = count;
        if (where.local > 0) {
            // The head stays in a clone; the fragment itself loses it with the range.
            const KvRepackInfoPtr fragment = *it;
            insertAt(k++, it, fragment->cloneRange(fragment->firstFrame(), where.local));
            remaining += where.local;
        }
        // Whole fragments go in one run; the last one may only lose its start.
        List::iterator end = it;
        size_t whole = 0;
        while (remaining > 0 && end != m_list->end() && (*end)->frameCount() <= remaining) {
            remaining -= (*end)->frameCount();
            ++end;
            ++whole;
        }
        it = eraseRun(k, it, whole);
        if (remaining > 0 && it != m_list->end()) {
            const KvRepackInfoPtr fragment = *it;
            const qint64 n = fragment->frameCount();
            fragment->setRange(fragment->firstFrame() + remaining, n - remaining);
            recount(k, it);
        }
        // The one new seam: before the first fragment after the deleted frames.
        if (k > 0)
            mergeAround(k - 1, std::prev(it), it);
        else if (!m_merged)
            mergeAdjacent();
        return;
    }
    if (!m_merged)
        mergeAdjacent();
}

bool KvRepackInfoPtrList::continues(const KvRepackInfo &prev, const KvRepackInfo &c)
{
    const qint64 cFirst = c.firstFrame();
    const bool adjacent = prev.firstFrame() + prev.frameCount() == cFirst;
    // Only adjacent frames or silence (which always starts at 0) can join:
    // the paths are compared only then.
    if (!adjacent && cFirst != 0)
        return false;
    const QString pPath = prev.sourcePath();
    const QString cPath = c.sourcePath();
    if (pPath.isEmpty())
        return cPath.isEmpty();
    return adjacent && !cPath.isEmpty() && (prev.source() == c.source() || pPath == cPath);
}

bool KvRepackInfoPtrList::join(const KvRepackInfoPtr &prev, const KvRepackInfoPtr &c)
{
    const qint64 total = prev->frameCount() + c->frameCount();
    prev->setRange(prev->firstFrame(), total, c);
    // A join the fragment refused (fragments of another kind) keeps both.
    return prev->frameCount() == total;
}

bool KvRepackInfoPtrList::mergeAdjacent()
{
    bool merged = false;
    List::iterator it = m_list->begin();
    if (it != m_list->end()) {
        List::iterator p = it++;
        while (it != m_list->end()) {
            if (continues(**p, **it) && join(*p, *it)) {
                it = m_list->erase(it);
                merged = true;
                continue;
            }
            p = it;
            ++it;
        }
    }
    m_merged = true;
    invalidateIndex();
    return merged;
}

// Merges neighbours from `from` (fragment number k) on, up to and including
// the seam after `last` (end: to the end of the list). Edits only create
// joinable seams where they cut or insert, so in a list known to be merged
// elsewhere only those seams are looked at; otherwise the whole list is merged.
void KvRepackInfoPtrList::mergeAround(size_t k, List::iterator from, List::iterator last)
{
    if (!m_merged) {
        mergeAdjacent();
        return;
    }
    if (from == m_list->end())
        return;
    List::iterator p = from;
    for (;;) {
        const List::iterator c = std::next(p);
        if (c == m_list->end())
            break;
        if (continues(**p, **c) && join(*p, *c)) {
            if (c == last)
                last = p;
            eraseAt(k + 1, c);
            recount(k, p);
            continue;
        }
        if (p == last)
            break;
        p = c;
        ++k;
    }
}

KvRepackInfoPtrList::Ptr KvRepackInfoPtrList::copyRange(qint64 start, qint64 count)
{
    const Ptr result = createEmptyLike();
    if (!result || count < -1 || m_list->empty())
        return result;
    result->m_merged = m_merged;
    start = std::max<qint64>(0, start);
    const bool hasEnd = count != -1;
    const qint64 end = start + count;
    Location where;
    if (!locate(start, where))
        return result;
    qint64 s = where.start;
    for (List::iterator it = where.fragment; it != m_list->end(); ++it) {
        if (hasEnd && s >= end)
            break;
        const KvRepackInfoPtr &f = *it;
        const qint64 n = f->frameCount();
        if (s + n > start && n > 0) {
            const qint64 o = std::max<qint64>(0, start - s);
            qint64 k = n - o;
            if (hasEnd && s + n > end)
                k = end - s - o;
            if (k <= 0)
                break;
            result->m_list->push_back(f->cloneRange(f->firstFrame() + o, k));
        }
        s += n;
    }
    return result;
}

void KvRepackInfoPtrList::compressAll()
{
    for (const KvRepackInfoPtr &f : *m_list)
        f->compressFrameTable();
}

qint64 KvRepackInfoPtrList::totalFrames() const
{
    const std::lock_guard<std::mutex> lock(m_indexMutex);
    qint64 total = 0;
    for (const IndexEntry &e : index())
        total += e.count;
    return total;
}

boost::shared_ptr<KvFrameSizeInfo> KvRepackInfoPtrList::firstSourceInfo() const
{
    return m_list->empty() ? boost::shared_ptr<KvFrameSizeInfo>() : m_list->front()->sizeInfo();
}

KvRepackInfoPtr KvRepackInfoPtrList::fragmentReadingPath(const QString &path) const
{
    for (const KvRepackInfoPtr &f : *m_list) {
        if (f->sourcePath() != path)
            continue;
        const boost::shared_ptr<KvFrameRepacker> source = f->source();
        const KvFile *file = source ? source->device() : nullptr;
        if (!file || !file->isOpen() || file->pathNamesOpenedFile())
            return f;
    }
    return KvRepackInfoPtr();
}

bool KvRepackInfoPtrList::fitSourceRange(qint64 n, qint64 first, qint64 &count)
{
    if (count == -1 && first >= 0 && first < n)
        count = n - first;
    return first >= 0 && count >= 0 && first < n && first + count <= n;
}

QString KvRepackInfoPtrList::changedSourceText() const
{
    std::set<const KvFrameRepacker *> asked;
    for (const KvRepackInfoPtr &f : *m_list) {
        const boost::shared_ptr<KvFrameRepacker> source = f->source();
        if (!source || !asked.insert(source.get()).second)
            continue;
        const KvFile *file = source->device();
        if (file && file->changedSinceOpen())
            return KvFile::changedText(source->path());
    }
    return QString();
}
