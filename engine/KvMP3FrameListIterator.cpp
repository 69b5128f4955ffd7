#include "KvMP3FrameListIterator.h"

#include "KvMP3RepackInfo.h"
#include "KvMp3FrameLayout.h"

#include <algorithm>
#include <limits>

KvFrameListIterator::~KvFrameListIterator() = default;

namespace {

int32_t addSaturated(int32_t value, int delta)
{
    const qint64 sum = qint64(value) + delta;
    return int32_t(std::clamp<qint64>(sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

KvMP3RepackInfo *asMp3(const KvRepackInfoPtr &f)
{
    return dynamic_cast<KvMP3RepackInfo *>(f.get());
}

} // namespace

KvMP3FrameListIterator::KvMP3FrameListIterator(const KvRepackInfoPtrListPtr &document, bool preRoll)
    : m_preRoll(preRoll), m_document(document)
{
    if (m_document)
        m_list = m_document->list();
}

KvMP3FrameListIterator::~KvMP3FrameListIterator() = default;

KvMP3FrameListIterator::Position KvMP3FrameListIterator::nextUsable(Position from) const
{
    for (Position it = from; it != m_list->end(); ++it) {
        if (asMp3(*it) && (*it)->frameCount() > 0)
            return it;
    }
    return m_list->end();
}

KvMP3FrameListIterator::Position KvMP3FrameListIterator::previousUsable(Position from) const
{
    while (from != m_list->begin()) {
        --from;
        if (asMp3(*from) && (*from)->frameCount() > 0)
            return from;
    }
    return m_list->end();
}

void KvMP3FrameListIterator::setUpFragment(Position at)
{
    m_current = at;
    m_fragment = boost::dynamic_pointer_cast<KvMP3RepackInfo>(*at);
    m_followingPos = nextUsable(std::next(at));
    m_following = m_followingPos != m_list->end() ? boost::dynamic_pointer_cast<KvMP3RepackInfo>(*m_followingPos)
                                                  : boost::shared_ptr<KvMP3RepackInfo>();

    m_first = m_fragment->firstFrame();
    m_count = m_fragment->frameCount();
    const qint64 margin = m_fragment->gainRecordBase();
    m_preCount = m_preRoll ? margin : 0;
    m_start = m_first - m_preCount;

    KvMP3GainChangeInfo *edits = m_fragment->frameTable();
    m_sourceTable = m_fragment->sourceFrameTable();
    m_previousSilent = m_silent;
    m_silent = m_sourceTable == nullptr;
    m_firstSource = m_silent ? &m_synthetic[0] : m_sourceTable + m_start;
    // Edit records begin with the margin; without pre-roll the walk skips it.
    m_firstEdit = edits ? edits + (margin - m_preCount) : nullptr;

    // Source side: the record after the fragment's last frame in its own table.
    m_endSource = m_silent ? &m_synthetic[1] : m_sourceTable + m_first + m_count;
    // Output side: the next frame of the document.
    m_endEdit = nullptr;
    if (m_following) {
        if (KvMP3GainChangeInfo *next = m_following->frameTable())
            m_endEdit = next + m_following->gainRecordBase();
    } else if (edits) {
        m_endEdit = edits + m_fragment->lastRecord();
    }
    if (!m_endEdit) {
        m_scratch[1] = KvMP3GainChangeInfo{};
        m_endEdit = &m_scratch[1];
    }

    m_position = (m_steps - m_base) + m_start;
    m_ctx.sourceRecord = nullptr;
    m_ctx.editRecord = nullptr;
    m_ctx.nextSourceRecord = nullptr;
    m_ctx.nextEditRecord = nullptr;
    m_ctx.format = m_fragment->sourceSizeInfo();
}

void KvMP3FrameListIterator::fillContext()
{
    KvMp3FrameContext &c = m_ctx;
    const qint64 pos = m_position;
    const qint64 end = m_first + m_count;
    c.silentSource = m_silent ? 1 : 0;
    c.fragmentFirst = m_first;
    c.gap = c.fill = c.lead = c.tail = 0;

    c.preRoll = pos < m_first;
    c.firstPreRoll = m_preCount > 0 && pos == m_first - m_preCount;
    c.lastPreRoll = m_preCount > 0 && pos == m_first - 1;
    c.firstOfFragment = pos == m_first;
    c.lastOfFragment = pos == end - 1;
    c.fragmentStart = c.firstPreRoll || (m_preCount == 0 && pos == m_first);

    const qint64 offset = pos - m_start;
    c.sourceRecord = m_silent ? &m_synthetic[0] : m_firstSource + offset;
    if (m_firstEdit) {
        c.editRecord = m_firstEdit + offset;
    } else {
        m_scratch[0] = KvMP3GainChangeInfo{};
        c.editRecord = &m_scratch[0];
    }
    if (pos + 1 < end) {
        c.nextSourceRecord = m_silent ? &m_synthetic[1] : c.sourceRecord + 1;
        if (m_firstEdit) {
            c.nextEditRecord = c.editRecord + 1;
        } else {
            m_scratch[1] = KvMP3GainChangeInfo{};
            c.nextEditRecord = &m_scratch[1];
        }
    } else {
        c.nextSourceRecord = m_endSource;
        c.nextEditRecord = m_endEdit;
    }

    if (m_silent && m_synthetic[0].bitrateIndex() == 0) {
        // Silence reads as frames of the lowest bitrate that carry no payload.
        m_synthetic[0].flags = m_synthetic[1].flags = uint8_t(1 << 4);
        const int capacity = KvMp3OutputCapacity(c);
        m_synthetic[0].capacity = m_synthetic[1].capacity = int16_t(capacity);
    }
    c.gap = KvMp3ContextGap(c);
}

bool KvMP3FrameListIterator::next()
{
    m_entered = false;
    if (!m_list)
        return false;
    if (!m_started) {
        const Position at = nextUsable(m_list->begin());
        if (at == m_list->end())
            return false;
        m_started = true;
        m_steps = 0;
        m_base = 0;
        setUpFragment(at);
        m_entered = true;
        fillContext();
        return true;
    }
    if (m_position + 1 >= m_first + m_count) {
        if (m_followingPos == m_list->end())
            return false;
        ++m_steps;
        m_base += m_count + m_preCount;
        setUpFragment(m_followingPos);
        m_entered = true;
    } else {
        ++m_steps;
        ++m_position;
    }
    fillContext();
    return true;
}

bool KvMP3FrameListIterator::previous()
{
    if (!m_started || !m_fragment)
        return false;
    if (m_position - 1 < m_start) {
        const Position at = previousUsable(m_current);
        if (at == m_list->end())
            return false;
        const KvRepackInfoPtr &before = *at;
        --m_steps;
        m_base -= before->frameCount() + (m_preRoll ? before->gainRecordBase() : 0);
        setUpFragment(at);
        m_entered = true;
    } else {
        m_entered = false;
        --m_steps;
        --m_position;
    }
    fillContext();
    return true;
}

bool KvMP3FrameListIterator::advanceInFragment(qint64 n)
{
    if (!m_started || !m_fragment || n < 0 || m_position + n >= m_first + m_count)
        return false;
    m_entered = false;
    m_steps += n;
    m_position += n;
    fillContext();
    return true;
}

void KvMP3FrameListIterator::addGain(int delta)
{
    if (!hasFrame())
        return;
    m_ctx.editRecord->gain[0] = addSaturated(m_ctx.editRecord->gain[0], delta);
    m_ctx.editRecord->gain[1] = addSaturated(m_ctx.editRecord->gain[1], delta);
}

bool KvMP3FrameListIterator::isAudible()
{
    if (!hasFrame() || m_silent)
        return false;
    if (m_ctx.sourceRecord->flags & KvMp3FrameFlag::Broken)
        return false;
    return !(m_ctx.editRecord->flags & KvMp3EditFlag::Dropped);
}

bool KvMP3FrameListIterator::isSilenced()
{
    return hasFrame() && (m_ctx.editRecord->flags & KvMp3EditFlag::Silenced);
}

void KvMP3FrameListIterator::setSilenced(bool silenced)
{
    if (!hasFrame())
        return;
    if (silenced)
        m_ctx.editRecord->flags |= KvMp3EditFlag::Silenced;
    else
        m_ctx.editRecord->flags &= uint8_t(~KvMp3EditFlag::Silenced);
}

int KvMP3FrameListIterator::gain()
{
    if (!hasFrame())
        return 0;
    return int((qint64(m_ctx.editRecord->gain[0]) + m_ctx.editRecord->gain[1]) / 2);
}

KvRepackInfoPtr KvMP3FrameListIterator::currentFragment()
{
    return m_started ? KvRepackInfoPtr(m_fragment) : KvRepackInfoPtr();
}
