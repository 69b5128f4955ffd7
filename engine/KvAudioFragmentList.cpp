#include "KvAudioFragmentList.h"

KvAudioFragmentList::KvAudioFragmentList() = default;
KvAudioFragmentList::~KvAudioFragmentList() = default;

qint64 KvAudioFragmentList::totalFrames() const
{
    return m_document ? m_document->totalFrames() : 0;
}

qint16 KvAudioFragmentList::frameLevelAt(qint64 position) const
{
    if (!m_document || position < 0)
        return -1;
    for (const KvRepackInfoPtr &f : *m_document->list()) {
        const qint64 n = f->frameCount();
        if (position < n)
            return f->frameLevel(position);
        position -= n;
    }
    return -1;
}

qint16 KvAudioFragmentList::seekFrame(qint64 position, bool *isFirst)
{
    m_valid = false;
    m_current.reset();
    if (isFirst)
        *isFirst = false;
    if (!m_document || position < 0)
        return -1;
    m_cursorList = m_document->list();
    qint64 local = position;
    for (m_cursor = m_cursorList->begin(); m_cursor != m_cursorList->end(); ++m_cursor) {
        m_count = (*m_cursor)->frameCount();
        if (local < m_count) {
            m_valid = true;
            m_local = local;
            m_current = *m_cursor;
            if (isFirst)
                *isFirst = local == 0;
            return m_current->frameLevel(local);
        }
        local -= m_count;
    }
    m_cursorList.reset();
    return -1;
}

qint16 KvAudioFragmentList::nextFrameLevel(bool *isFirst)
{
    if (isFirst)
        *isFirst = false;
    if (!m_valid)
        return 0;
    ++m_local;
    while (m_local >= m_count) {
        m_local -= m_count;
        if (++m_cursor == m_cursorList->end()) {
            m_valid = false;
            m_current.reset();
            m_cursorList.reset();
            return 0;
        }
        m_current = *m_cursor;
        m_count = m_current->frameCount();
    }
    if (isFirst)
        *isFirst = m_local == 0;
    return m_current->frameLevel(m_local);
}

qint64 KvAudioFragmentList::fragmentEnd(qint64 position) const
{
    if (!m_document || position < 0)
        return -1;
    qint64 s = 0;
    for (const KvRepackInfoPtr &f : *m_document->list()) {
        s += f->frameCount();
        if (s > position)
            return s;
    }
    return -1;
}

qint64 KvAudioFragmentList::fragmentStart(qint64 position) const
{
    if (!m_document || position <= 0)
        return -1;
    qint64 s = 0;
    for (const KvRepackInfoPtr &f : *m_document->list()) {
        const qint64 end = s + f->frameCount();
        if (end >= position)
            return s;
        s = end;
    }
    return -1;
}

boost::shared_ptr<KvFrameSizeInfo> KvAudioFragmentList::formatInfo() const
{
    if (!m_document || m_document->totalFrames() <= 0)
        return boost::shared_ptr<KvFrameSizeInfo>();
    return m_document->firstSourceInfo();
}

bool KvAudioFragmentList::isCompatible(const boost::shared_ptr<KvFrameSizeInfo> &format) const
{
    return m_document && m_document->isCompatible(format);
}

KvRepackInfoPtr KvAudioFragmentList::fragmentAt(qint64 position, qint64 *local, qint64 *index)
{
    qint64 dummyIndex = 0;
    if (!index)
        index = &dummyIndex;
    *index = 0;
    if (m_cached && m_cachedStart <= position && position - m_cachedStart < m_cached->frameCount()) {
        if (local)
            *local = position - m_cachedStart;
        *index = m_cachedIndex;
        return m_cached;
    }
    if (m_document && position >= 0) {
        qint64 s = 0;
        qint64 number = 1;
        for (const KvRepackInfoPtr &f : *m_document->list()) {
            const qint64 n = f->frameCount();
            if (position < s + n) {
                m_cached = f;
                m_cachedStart = s;
                m_cachedIndex = number;
                if (local)
                    *local = position - s;
                *index = number;
                return f;
            }
            s += n;
            ++number;
        }
    }
    resetCache();
    return KvRepackInfoPtr();
}

void KvAudioFragmentList::resetCache()
{
    m_cached.reset();
    m_cachedStart = 0;
    m_cachedIndex = 0;
}
