#include "KvRepackInfoPtrList.h"

#include "KvEngineFactories.h"

#include <algorithm>
#include <vector>

namespace {

// The fragments of a list as they are now, so that a list can be inserted
// into itself.
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

KvRepackInfoPtrList::List::iterator KvRepackInfoPtrList::findFragment(qint64 position, qint64 &local) const
{
    if (position < 0)
        return m_list->end();
    qint64 s = 0;
    for (List::iterator it = m_list->begin(); it != m_list->end(); ++it) {
        const qint64 n = (*it)->frameCount();
        if (position < s + n) {
            local = position - s;
            return it;
        }
        s += n;
    }
    return m_list->end();
}

void KvRepackInfoPtrList::appendList(const Ptr &other)
{
    for (const KvRepackInfoPtr &f : snapshot(other))
        appendFragment(f);
}

void KvRepackInfoPtrList::appendFragment(const KvRepackInfoPtr &fragment)
{
    if (fragment && fragment->frameCount() > 0)
        m_list->push_back(fragment->clone());
}

void KvRepackInfoPtrList::insertList(qint64 position, const Ptr &other)
{
    // Inserting a list into itself cuts a fragment of the list being inserted:
    // take a copy of it first.
    const std::vector<KvRepackInfoPtr> items = snapshot(other.get() == this ? copyRange(0, -1) : other);
    qint64 local = 0;
    const List::iterator at = findFragment(std::max<qint64>(0, position), local);
    if (at == m_list->end()) {
        for (const KvRepackInfoPtr &f : items)
            appendFragment(f);
    } else {
        const KvRepackInfoPtr fragment = *at;
        const qint64 first = fragment->firstFrame();
        const qint64 count = fragment->frameCount();
        if (local > 0) {
            const KvRepackInfoPtr head = fragment->clone();
            head->setRange(first, local);
            m_list->insert(at, head);
            fragment->setRange(first + local, count - local);
        }
        for (const KvRepackInfoPtr &f : items) {
            if (f && f->frameCount() > 0)
                m_list->insert(at, f->clone());
        }
    }
    mergeAdjacent();
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
    qint64 local = 0;
    List::iterator it = (position >= 0 && count > 0) ? findFragment(position, local) : m_list->end();
    if (it != m_list->end()) {
        qint64 remaining = count;
        if (local > 0) {
            // The head stays in a clone; the fragment itself loses it with the range.
            const KvRepackInfoPtr fragment = *it;
            const KvRepackInfoPtr head = fragment->clone();
            head->setRange(fragment->firstFrame(), local);
            m_list->insert(it, head);
            remaining += local;
        }
        while (remaining > 0 && it != m_list->end()) {
            const KvRepackInfoPtr fragment = *it;
            const qint64 n = fragment->frameCount();
            if (n <= remaining) {
                it = m_list->erase(it);
                remaining -= n;
            } else {
                fragment->setRange(fragment->firstFrame() + remaining, n - remaining);
                remaining = 0;
            }
        }
    }
    mergeAdjacent();
}

bool KvRepackInfoPtrList::mergeAdjacent()
{
    bool merged = false;
    List::iterator it = m_list->begin();
    if (it == m_list->end())
        return false;
    List::iterator p = it++;
    QString pPath = (*p)->sourcePath();
    while (it != m_list->end()) {
        const KvRepackInfoPtr &c = *it;
        const QString cPath = c->sourcePath();
        const KvRepackInfoPtr &prev = *p;
        bool join;
        if (pPath.isEmpty())
            join = cPath.isEmpty();
        else
            join = !cPath.isEmpty() && prev->firstFrame() + prev->frameCount() == c->firstFrame() && pPath == cPath;
        if (join) {
            const qint64 total = prev->frameCount() + c->frameCount();
            prev->setRange(prev->firstFrame(), total, c);
            // A join the fragment refused (fragments of another kind) keeps both.
            if (prev->frameCount() == total) {
                it = m_list->erase(it);
                merged = true;
                continue;
            }
        }
        p = it;
        pPath = cPath;
        ++it;
    }
    return merged;
}

KvRepackInfoPtrList::Ptr KvRepackInfoPtrList::copyRange(qint64 start, qint64 count)
{
    const Ptr result = createEmptyLike();
    if (!result || count < -1 || m_list->empty())
        return result;
    start = std::max<qint64>(0, start);
    const bool hasEnd = count != -1;
    const qint64 end = start + count;
    qint64 s = 0;
    for (const KvRepackInfoPtr &f : *m_list) {
        if (hasEnd && s >= end)
            break;
        const qint64 n = f->frameCount();
        if (s + n > start && n > 0) {
            const qint64 o = std::max<qint64>(0, start - s);
            qint64 k = n - o;
            if (hasEnd && s + n > end)
                k = end - s - o;
            if (k <= 0)
                break;
            const KvRepackInfoPtr piece = f->clone();
            piece->setRange(f->firstFrame() + o, k);
            result->m_list->push_back(piece);
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
    qint64 total = 0;
    for (const KvRepackInfoPtr &f : *m_list)
        total += f->frameCount();
    return total;
}

boost::shared_ptr<KvFrameSizeInfo> KvRepackInfoPtrList::firstSourceInfo() const
{
    return m_list->empty() ? boost::shared_ptr<KvFrameSizeInfo>() : m_list->front()->sizeInfo();
}
