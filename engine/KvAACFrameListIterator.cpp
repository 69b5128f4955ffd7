#include "KvAACFrameListIterator.h"

#include "KvAACRepackInfo.h"

#include <algorithm>
#include <limits>

namespace {

KvAACRepackInfo *asAac(const KvRepackInfoPtr &f)
{
    return dynamic_cast<KvAACRepackInfo *>(f.get());
}

} // namespace

KvAACFrameListIterator::KvAACFrameListIterator(const KvRepackInfoPtrListPtr &document, int start)
    : m_document(document)
{
    Q_UNUSED(start);
    if (m_document)
        m_list = m_document->list();
}

KvAACFrameListIterator::~KvAACFrameListIterator() = default;

KvAACFrameListIterator::Position KvAACFrameListIterator::nextUsable(Position from) const
{
    for (Position it = from; it != m_list->end(); ++it) {
        if (asAac(*it) && (*it)->frameCount() > 0)
            return it;
    }
    return m_list->end();
}

KvAACFrameListIterator::Position KvAACFrameListIterator::previousUsable(Position from) const
{
    while (from != m_list->begin()) {
        --from;
        if (asAac(*from) && (*from)->frameCount() > 0)
            return from;
    }
    return m_list->end();
}

void KvAACFrameListIterator::enter(Position at)
{
    m_current = at;
    m_fragment = boost::dynamic_pointer_cast<KvAACRepackInfo>(*at);
    m_followingPos = nextUsable(std::next(at));
    m_first = m_fragment->firstFrame();
    m_count = m_fragment->frameCount();
    m_local = 0;
    m_edits = m_fragment->frameTable();
    m_sources = m_fragment->sourceFrameTable();
}

bool KvAACFrameListIterator::next()
{
    m_entered = false;
    if (!m_list || m_ended)
        return false;
    if (!m_started) {
        const Position at = nextUsable(m_list->begin());
        if (at == m_list->end()) {
            m_ended = true;
            return false;
        }
        m_started = true;
        m_steps = 0;
        m_passed = 0;
        enter(at);
        m_entered = true;
        return true;
    }
    if (m_local + 1 >= m_count) {
        if (m_followingPos == m_list->end()) {
            m_ended = true;
            return false;
        }
        m_passed += m_count;
        ++m_steps;
        enter(m_followingPos);
        m_entered = true;
        return true;
    }
    ++m_steps;
    ++m_local;
    return true;
}

bool KvAACFrameListIterator::previous()
{
    m_entered = false;
    if (!m_started || !m_fragment)
        return false;
    if (m_local > 0) {
        --m_local;
    } else {
        const Position at = previousUsable(m_current);
        if (at == m_list->end())
            return false;
        enter(at);
        m_local = m_count - 1;
        m_passed -= m_count;
        m_entered = true;
    }
    --m_steps;
    // Stepping back from past the end lands on the frame before the last.
    m_ended = false;
    return true;
}

const KvAACGainFrameInfo *KvAACFrameListIterator::sourceRecord() const
{
    if (!hasFrame() || !m_sources)
        return &m_dummy;
    return m_sources + m_first + m_local;
}

void KvAACFrameListIterator::addGain(int delta)
{
    if (!hasFrame())
        return;
    KvAACGainChangeInfo &rec = m_edits[m_local];
    const qint64 sum = qint64(rec.gain) + delta;
    rec.gain = int32_t(std::clamp<qint64>(sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool KvAACFrameListIterator::isAudible()
{
    return hasFrame() && m_sources != nullptr;
}

bool KvAACFrameListIterator::isSilenced()
{
    return hasFrame() && m_edits[m_local].silenced != 0;
}

void KvAACFrameListIterator::setSilenced(bool silenced)
{
    if (hasFrame())
        m_edits[m_local].silenced = silenced ? 1 : 0;
}

int KvAACFrameListIterator::gain()
{
    return hasFrame() ? m_edits[m_local].gain : 0;
}

KvRepackInfoPtr KvAACFrameListIterator::currentFragment()
{
    return m_started ? KvRepackInfoPtr(m_fragment) : KvRepackInfoPtr();
}
