#include "KvAACRepackInfo.h"

#include "KvAACFrameRepacker.h"
#include "KvAACFrameSizeInfo.h"
#include "KvAacPackedRecords.h"

#include <algorithm>
#include <cstring>

KvAACRepackInfo::KvAACRepackInfo() = default;
KvAACRepackInfo::~KvAACRepackInfo() = default;

KvAACRepackInfo::KvAACRepackInfo(const boost::shared_ptr<KvFrameRepacker> &source, qint64 first, qint64 count)
    : m_source(source)
{
    if (!m_source)
        return;
    const qint64 total = std::max<qint64>(0, m_source->frameCount());
    first = std::clamp<qint64>(first, 0, total);
    if (isSilent()) {
        first = 0;
        count = std::max<qint64>(0, count);
    } else if (count < 0 || count > total - first) {
        count = total - first;
    }
    m_first = first;
    m_count = count;
    m_records = freshRecords(m_count);
}

KvAACRepackInfo::KvAACRepackInfo(const boost::shared_ptr<KvFrameSizeInfo> &format, qint64 count)
    : m_source(new KvAACFrameRepacker(format))
{
    m_count = std::max<qint64>(0, count);
    m_records = freshRecords(m_count);
}

boost::shared_array<KvAACGainChangeInfo> KvAACRepackInfo::freshRecords(qint64 n) const
{
    if (!m_source || n < 0)
        return boost::shared_array<KvAACGainChangeInfo>();
    boost::shared_array<KvAACGainChangeInfo> records(new KvAACGainChangeInfo[size_t(n)]());
    if (isSilent()) {
        KvAACGainChangeInfo *out = records.get();
        for (qint64 r = 0; r < n; ++r)
            out[r].silenced = 1;
    }
    return records;
}

qint64 KvAACRepackInfo::sourceFrameCount() const
{
    return m_source ? m_source->frameCount() : 0;
}

QString KvAACRepackInfo::sourcePath() const
{
    return m_source ? m_source->path() : QString();
}

boost::shared_ptr<KvFrameSizeInfo> KvAACRepackInfo::sizeInfo() const
{
    return m_source ? m_source->sizeInfo() : boost::shared_ptr<KvFrameSizeInfo>();
}

KvAACFrameRepacker *KvAACRepackInfo::aacRepacker() const
{
    return dynamic_cast<KvAACFrameRepacker *>(m_source.get());
}

KvAACFrameSizeInfo *KvAACRepackInfo::aacSizeInfo() const
{
    return m_source ? dynamic_cast<KvAACFrameSizeInfo *>(m_source->sizeInfo().get()) : nullptr;
}

const KvAACGainFrameInfo *KvAACRepackInfo::sourceFrameTable() const
{
    const KvAACFrameRepacker *aac = aacRepacker();
    return aac ? aac->frameTable().get() : nullptr;
}

KvAACGainChangeInfo *KvAACRepackInfo::frameTable()
{
    if (m_packed)
        unpack();
    return m_records.get();
}

KvAACGainChangeInfo *KvAACRepackInfo::record(qint64 i)
{
    if (!m_source || i < 0 || i >= m_count)
        return nullptr;
    KvAACGainChangeInfo *table = frameTable();
    return table ? table + i : nullptr;
}

qint16 KvAACRepackInfo::frameLevel(qint64 i)
{
    if (!m_source || i < 0 || i >= m_count)
        return 0;
    const KvAACGainFrameInfo *sources = sourceFrameTable();
    if (!sources)
        return -3;
    const KvAACGainChangeInfo *rec = record(i);
    if (!rec)
        return 0;
    if (rec->silenced)
        return -1;
    return qint16(uint16_t(sources[m_first + i].gain + uint16_t(rec->gain)));
}

int KvAACRepackInfo::frameGain(qint64 i)
{
    const KvAACGainChangeInfo *rec = record(i);
    return rec ? int(qint16(uint16_t(rec->gain))) : 0;
}

void KvAACRepackInfo::setFrameGain(qint64 i, qint16 gain)
{
    if (KvAACGainChangeInfo *rec = record(i))
        rec->gain = gain;
}

bool KvAACRepackInfo::isFrameSilenced(qint64 i)
{
    const KvAACGainChangeInfo *rec = record(i);
    return rec && rec->silenced;
}

void KvAACRepackInfo::setFrameSilenced(qint64 i, bool silenced)
{
    if (KvAACGainChangeInfo *rec = record(i))
        rec->silenced = silenced ? 1 : 0;
}

void KvAACRepackInfo::setRange(qint64 first, qint64 count, const boost::shared_ptr<KvRepackInfo> &following)
{
    KvAACRepackInfo *next = nullptr;
    if (following) {
        next = dynamic_cast<KvAACRepackInfo *>(following.get());
        if (!next)
            return;
    }
    if (first == m_first && count == m_count)
        return;

    const KvAACGainChangeInfo *old = frameTable();
    const bool silent = isSilent();
    first = std::max<qint64>(0, first);
    count = std::max<qint64>(0, count);
    // Never reach past the source's last frame.
    if (m_source && count > m_source->frameCount() - first)
        count = std::max<qint64>(0, m_source->frameCount() - first);

    if (old) {
        boost::shared_array<KvAACGainChangeInfo> records(new KvAACGainChangeInfo[size_t(count)]());
        KvAACGainChangeInfo *out = records.get();
        // Silence starts at 0: `first` is then the offset into the run.
        const qint64 oldFrom = silent ? 0 : m_first;
        const qint64 oldEnd = oldFrom + m_count;
        const KvAACGainChangeInfo *nextTable = next ? next->frameTable() : nullptr;
        qint64 r = 0;
        // Frames before the old range (the range only ever shrinks at its
        // start, but stay safe) come fresh.
        if (first < oldFrom) {
            const qint64 k = std::min(count, oldFrom - first);
            const boost::shared_array<KvAACGainChangeInfo> fresh = freshRecords(k);
            for (; r < k; ++r)
                out[r] = fresh ? fresh[r] : KvAACGainChangeInfo{};
        }
        for (; r < count && first + r < oldEnd; ++r)
            out[r] = old[first + r - oldFrom];
        // Past the old end the following fragment's records take over.
        if (r < count) {
            const qint64 k0 = r;
            const qint64 available = nextTable ? next->m_count : 0;
            for (; r < count && r - k0 < available; ++r)
                out[r] = nextTable[r - k0];
            if (r < count) {
                const boost::shared_array<KvAACGainChangeInfo> fresh = freshRecords(count - r);
                for (qint64 j = 0; r < count; ++r, ++j)
                    out[r] = fresh ? fresh[j] : KvAACGainChangeInfo{};
            }
        }
        m_records = records;
    }
    m_first = silent ? 0 : first;
    m_count = count;
}

boost::shared_ptr<KvRepackInfo> KvAACRepackInfo::clone() const
{
    return createCopy();
}

boost::shared_ptr<KvRepackInfo> KvAACRepackInfo::cloneRange(qint64 first, qint64 count) const
{
    if (first == m_first && count == m_count)
        return clone();
    const bool silent = isSilent();
    const qint64 offset = silent ? first : first - m_first;
    if (m_packed || !m_records || count < 0 || offset < 0 || offset + count > m_count)
        return KvRepackInfo::cloneRange(first, count);
    boost::shared_ptr<KvAACRepackInfo> copy(new KvAACRepackInfo);
    copy->m_source = m_source;
    copy->m_first = silent ? 0 : first;
    copy->m_count = count;
    copy->m_records.reset(new KvAACGainChangeInfo[size_t(count)]);
    std::memcpy(copy->m_records.get(), m_records.get() + offset, sizeof(KvAACGainChangeInfo) * size_t(count));
    return copy;
}

boost::shared_ptr<KvAACRepackInfo> KvAACRepackInfo::createCopy() const
{
    boost::shared_ptr<KvAACRepackInfo> copy(new KvAACRepackInfo);
    copy->copyFrom(*this);
    return copy;
}

void KvAACRepackInfo::copyFrom(const KvAACRepackInfo &other)
{
    if (&other == this)
        return;
    m_first = other.m_first;
    m_count = other.m_count;
    m_source = other.m_source;
    m_packed = other.m_packed;
    m_packedText = other.m_packedText;
    m_records.reset();
    if (other.m_packed) {
        m_records = other.m_records;
    } else if (m_count > 0 && other.m_records) {
        m_records.reset(new KvAACGainChangeInfo[size_t(m_count)]);
        std::memcpy(m_records.get(), other.m_records.get(), sizeof(KvAACGainChangeInfo) * size_t(m_count));
    }
}

void KvAACRepackInfo::shareFrom(const KvAACRepackInfo &other)
{
    m_first = other.m_first;
    m_count = other.m_count;
    m_source = other.m_source;
    m_packed = other.m_packed;
    m_packedText = other.m_packedText;
    m_records = other.m_records;
}

void KvAACRepackInfo::compressFrameTable()
{
    // Nothing to pack without records: unpacking would invent a table.
    if (m_packed || !m_records || !m_source)
        return;
    boost::shared_ptr<KvAACRepackInfo> view(new KvAACRepackInfo);
    view->shareFrom(*this);
    QByteArray text = KvAacPackRecords(view);
    if (text.isEmpty())
        return;
    m_packedText = std::move(text);
    m_records.reset();
    m_packed = true;
}

void KvAACRepackInfo::unpack()
{
    if (!m_packedText.isEmpty())
        m_records = KvAacUnpackRecords(m_packedText, *this);
    m_packedText.clear();
    m_packed = false;
}
