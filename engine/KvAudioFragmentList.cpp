#include "KvAudioFragmentList.h"

KvAudioFragmentList::KvAudioFragmentList() = default;
KvAudioFragmentList::~KvAudioFragmentList() = default;

qint64 KvAudioFragmentList::totalFrames() const
{
    return m_document ? m_document->totalFrames() : 0;
}

qint16 KvAudioFragmentList::frameLevelAt(qint64 position) const
{
    KvRepackInfoPtrList::Location where;
    if (!m_document || !m_document->locate(position, where))
        return -1;
    return (*where.fragment)->frameLevel(where.local);
}

qint16 KvAudioFragmentList::seekFrame(qint64 position, bool *isFirst)
{
    m_valid = false;
    m_current.reset();
    m_cursorList.reset();
    if (isFirst)
        *isFirst = false;
    KvRepackInfoPtrList::Location where;
    if (!m_document || !m_document->locate(position, where))
        return -1;
    m_cursorList = m_document->list();
    m_cursor = where.fragment;
    m_current = *m_cursor;
    m_count = m_current->frameCount();
    m_local = where.local;
    m_valid = true;
    if (isFirst)
        *isFirst = m_local == 0;
    return m_current->frameLevel(m_local);
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
    KvRepackInfoPtrList::Location where;
    if (!m_document || !m_document->locate(position, where))
        return -1;
    return where.start + (*where.fragment)->frameCount();
}

qint64 KvAudioFragmentList::fragmentStart(qint64 position) const
{
    // The fragment ending at or after position is the one holding the frame
    // before it: a position on a boundary gives the start of the fragment before.
    KvRepackInfoPtrList::Location where;
    if (!m_document || position <= 0 || !m_document->locate(position - 1, where))
        return -1;
    return where.start;
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
    KvRepackInfoPtrList::Location where;
    if (m_document && m_document->locate(position, where)) {
        m_cached = *where.fragment;
        m_cachedStart = where.start;
        m_cachedIndex = where.index + 1;
        if (local)
            *local = where.local;
        *index = m_cachedIndex;
        return m_cached;
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
