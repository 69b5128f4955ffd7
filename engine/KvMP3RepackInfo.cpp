#include "KvMP3RepackInfo.h"

#include "KvMP3FrameRepacker.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3PackedRecords.h"
#include "KvMp3Syntax.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

KvMP3GainChangeInfo freshSourceRecord(const KvMP3GainFrameInfo &src)
{
    KvMP3GainChangeInfo rec{};
    // A broken source frame starts silenced and restarts the reservoir.
    if (src.flags & KvMp3FrameFlag::Broken)
        rec.flags = KvMp3EditFlag::ReservoirRestart | KvMp3EditFlag::Silenced;
    rec.setBitrateIndex(src.bitrateIndex());
    rec.mainDataBegin = int16_t(src.mainDataBegin);
    rec.capacity = src.capacity;
    return rec;
}

} // namespace

KvMP3RepackInfo::KvMP3RepackInfo() = default;
KvMP3RepackInfo::~KvMP3RepackInfo() = default;

KvMP3RepackInfo::KvMP3RepackInfo(const boost::shared_ptr<KvFrameRepacker> &source, qint64 first, qint64 count)
    : m_source(source)
{
    if (!m_source)
        return;
    const qint64 total = std::max<qint64>(0, m_source->frameCount());
    first = std::clamp<qint64>(first, 0, total);
    if (isSilent()) {
        // Silence has no end to run to: a run needs an explicit length.
        first = 0;
        count = std::max<qint64>(0, count);
    } else if (count < 0 || count > total - first) {
        count = total - first;
    }
    m_first = first;
    m_count = count;
    m_gainRecordBase = isSilent() ? 0 : std::min(kMargin, first);
    m_records = sourceRecords(m_first - m_gainRecordBase, m_gainRecordBase + m_count);
    if (!m_records)
        m_gainRecordBase = 0;
    m_lastRecord = m_gainRecordBase + m_count;
}

KvMP3RepackInfo::KvMP3RepackInfo(const boost::shared_ptr<KvFrameSizeInfo> &format, qint64 count)
    : m_source(new KvMP3FrameRepacker(format))
{
    m_count = std::max<qint64>(0, count);
    m_records = sourceRecords(0, m_count);
    m_lastRecord = m_count;
}

boost::shared_array<KvMP3GainChangeInfo> KvMP3RepackInfo::sourceRecords(qint64 from, qint64 n) const
{
    const KvMP3GainFrameInfo *table = sourceFrameTable();
    const bool silent = isSilent();
    if (!m_source || n < 0 || (!table && !silent))
        return boost::shared_array<KvMP3GainChangeInfo>();
    if (table && (from < 0 || from + n > m_source->frameCount()))
        return boost::shared_array<KvMP3GainChangeInfo>();
    boost::shared_array<KvMP3GainChangeInfo> records(new KvMP3GainChangeInfo[size_t(n) + 1]());
    KvMP3GainChangeInfo *out = records.get();
    if (table) {
        for (qint64 r = 0; r < n; ++r)
            out[r] = freshSourceRecord(table[from + r]);
    } else {
        std::fill(out, out + n, silentRecord());
    }
    return records;
}

KvMP3GainChangeInfo KvMP3RepackInfo::silentRecord() const
{
    KvMP3GainChangeInfo rec{};
    rec.flags = KvMp3EditFlag::Silenced;
    rec.setBitrateIndex(1);
    if (const boost::shared_ptr<KvFrameSizeInfo> format = sizeInfo())
        rec.capacity = int16_t(KvMp3MainDataCapacity(format->versionCode(), 1, format->rateCode(), 0,
                                                     format->modeCode(), false));
    return rec;
}

qint64 KvMP3RepackInfo::sourceFrameCount() const
{
    return m_source ? m_source->frameCount() : 0;
}

QString KvMP3RepackInfo::sourcePath() const
{
    return m_source ? m_source->path() : QString();
}

boost::shared_ptr<KvFrameSizeInfo> KvMP3RepackInfo::sizeInfo() const
{
    return m_source ? m_source->sizeInfo() : boost::shared_ptr<KvFrameSizeInfo>();
}

KvMP3FrameRepacker *KvMP3RepackInfo::mp3Source() const
{
    return dynamic_cast<KvMP3FrameRepacker *>(m_source.get());
}

KvMP3GainFrameInfo *KvMP3RepackInfo::sourceFrameTable() const
{
    const KvMP3FrameRepacker *mp3 = mp3Source();
    return mp3 ? mp3->frameTable().get() : nullptr;
}

KvMP3FrameSizeInfo *KvMP3RepackInfo::sourceSizeInfo() const
{
    const KvMP3FrameRepacker *mp3 = mp3Source();
    return mp3 ? mp3->mp3SizeInfo() : nullptr;
}

KvMP3GainChangeInfo *KvMP3RepackInfo::frameTable()
{
    if (m_packed)
        unpack();
    return m_records.get();
}

KvMP3GainChangeInfo *KvMP3RepackInfo::record(qint64 i)
{
    if (!m_source || i < 0 || i >= m_count)
        return nullptr;
    KvMP3GainChangeInfo *table = frameTable();
    return table ? table + m_gainRecordBase + i : nullptr;
}

qint16 KvMP3RepackInfo::frameLevel(qint64 i)
{
    if (!m_source || i < 0 || i >= m_count)
        return 0;
    const KvMP3GainFrameInfo *sources = sourceFrameTable();
    if (!sources)
        return -3;
    const KvMP3GainFrameInfo &src = sources[m_first + i];
    if (src.flags & KvMp3FrameFlag::Broken)
        return -2;
    if (src.flags & KvMp3FrameFlag::NoAudio)
        return 0;
    const KvMP3GainChangeInfo *rec = record(i);
    if (!rec)
        return 0;
    if (rec->flags & KvMp3EditFlag::Silenced)
        return -1;
    const qint64 sum = qint64(src.gain[0]) + src.gain[1] + rec->gain[0] + rec->gain[1];
    return qint16(std::clamp<qint64>(sum / 2, std::numeric_limits<qint16>::min(),
                                      std::numeric_limits<qint16>::max()));
}

int KvMP3RepackInfo::frameGain(qint64 i)
{
    const KvMP3GainChangeInfo *rec = record(i);
    return rec ? int((qint64(rec->gain[0]) + rec->gain[1]) / 2) : 0;
}

void KvMP3RepackInfo::setFrameGain(qint64 i, qint16 gain)
{
    if (KvMP3GainChangeInfo *rec = record(i)) {
        rec->gain[0] = gain;
        rec->gain[1] = gain;
    }
}

bool KvMP3RepackInfo::isFrameSilenced(qint64 i)
{
    const KvMP3GainChangeInfo *rec = record(i);
    return rec && (rec->flags & KvMp3EditFlag::Silenced);
}

void KvMP3RepackInfo::setFrameSilenced(qint64 i, bool silenced)
{
    if (KvMP3GainChangeInfo *rec = record(i)) {
        if (silenced)
            rec->flags |= KvMp3EditFlag::Silenced;
        else
            rec->flags &= uint8_t(~KvMp3EditFlag::Silenced);
    }
}

void KvMP3RepackInfo::setRange(qint64 first, qint64 count, const boost::shared_ptr<KvRepackInfo> &following)
{
    KvMP3RepackInfo *next = nullptr;
    if (following) {
        next = dynamic_cast<KvMP3RepackInfo *>(following.get());
        if (!next)
            return;
    }
    if (first == m_first && count == m_count)
        return;

    const KvMP3GainChangeInfo *old = frameTable();
    const bool silent = isSilent();
    first = std::max<qint64>(0, first);
    count = std::max<qint64>(0, count);
    // Never reach past the source's last frame: the source records end there.
    if (m_source && count > m_source->frameCount() - first)
        count = std::max<qint64>(0, m_source->frameCount() - first);
    const qint64 margin = (old && !silent) ? std::min(kMargin, first) : 0;

    if (old) {
        const qint64 n = margin + count;
        boost::shared_array<KvMP3GainChangeInfo> records(new KvMP3GainChangeInfo[size_t(n) + 1]());
        KvMP3GainChangeInfo *out = records.get();
        // Record r of the old table holds source frame oldFrom + r, up to oldEnd.
        const qint64 oldFrom = m_first - m_gainRecordBase;
        const qint64 oldEnd = m_first + m_count;
        const KvMP3GainChangeInfo *nextTable = next ? next->frameTable() : nullptr;
        const qint64 from = first - margin;
        qint64 r = 0;
        // Frames the old table does not hold (the range only ever shrinks at
        // its start, but stay safe) come fresh from the source.
        if (from < oldFrom) {
            const qint64 k = std::min(n, oldFrom - from);
            const boost::shared_array<KvMP3GainChangeInfo> fresh = sourceRecords(from, k);
            for (; r < k; ++r)
                out[r] = fresh ? fresh[r] : KvMP3GainChangeInfo{};
        }
        for (; r < n && from + r < oldEnd; ++r)
            out[r] = old[from + r - oldFrom];
        // The new part continues into the following fragment, whose records
        // take over at its first frame.
        if (r < n) {
            const qint64 k0 = r;
            const qint64 available = nextTable ? next->m_count : 0;
            for (; r < n && r - k0 < available; ++r)
                out[r] = nextTable[next->m_gainRecordBase + (r - k0)];
            if (r < n) {
                const boost::shared_array<KvMP3GainChangeInfo> fresh = sourceRecords(from + r, n - r);
                for (qint64 j = 0; r < n; ++r, ++j)
                    out[r] = fresh ? fresh[j] : KvMP3GainChangeInfo{};
            }
        }
        out[n] = KvMP3GainChangeInfo{};
        m_records = records;
    }
    // Silence always starts at frame 0; its records were still taken from
    // the requested offset, so edits stay with the frames they were made on.
    m_first = silent ? 0 : first;
    m_gainRecordBase = margin;
    m_count = count;
    m_lastRecord = margin + count;
}

boost::shared_ptr<KvRepackInfo> KvMP3RepackInfo::clone() const
{
    return makeCopy();
}

boost::shared_ptr<KvRepackInfo> KvMP3RepackInfo::cloneRange(qint64 first, qint64 count) const
{
    if (first == m_first && count == m_count)
        return clone();
    const bool silent = isSilent();
    // Silence always starts at 0: `first` is then the offset into the run.
    const qint64 offset = silent ? first : first - m_first;
    if (m_packed || !m_records || count < 0 || offset < 0 || offset + count > m_count)
        return KvRepackInfo::cloneRange(first, count);
    const qint64 margin = silent ? 0 : std::min(kMargin, first);
    // Record of source frame first - margin in this table; the margin never
    // reaches before this fragment's own margin.
    const qint64 from = m_gainRecordBase + offset - margin;
    boost::shared_ptr<KvMP3RepackInfo> copy(new KvMP3RepackInfo);
    copy->m_source = m_source;
    copy->m_first = silent ? 0 : first;
    copy->m_gainRecordBase = margin;
    copy->m_count = count;
    copy->m_lastRecord = margin + count;
    copy->m_records.reset(new KvMP3GainChangeInfo[size_t(margin + count) + 1]);
    std::memcpy(copy->m_records.get(), m_records.get() + from, sizeof(KvMP3GainChangeInfo) * size_t(margin + count));
    copy->m_records[margin + count] = KvMP3GainChangeInfo{};
    return copy;
}

boost::shared_ptr<KvMP3RepackInfo> KvMP3RepackInfo::makeCopy() const
{
    boost::shared_ptr<KvMP3RepackInfo> copy(new KvMP3RepackInfo);
    copy->copyFrom(*this);
    return copy;
}

void KvMP3RepackInfo::copyFrom(const KvMP3RepackInfo &other)
{
    if (&other == this)
        return;
    m_gainRecordBase = other.m_gainRecordBase;
    m_first = other.m_first;
    m_count = other.m_count;
    m_lastRecord = other.m_lastRecord;
    m_source = other.m_source;
    m_packed = other.m_packed;
    m_packedText = other.m_packedText;
    if (other.m_packed) {
        m_records = other.m_records;
    } else if (m_lastRecord > 0) {
        m_records.reset();
        if (other.m_records) {
            m_records.reset(new KvMP3GainChangeInfo[size_t(m_lastRecord) + 1]);
            std::memcpy(m_records.get(), other.m_records.get(), sizeof(KvMP3GainChangeInfo) * size_t(m_lastRecord + 1));
        }
    }
}

void KvMP3RepackInfo::shareFrom(const KvMP3RepackInfo &other)
{
    m_gainRecordBase = other.m_gainRecordBase;
    m_first = other.m_first;
    m_count = other.m_count;
    m_lastRecord = other.m_lastRecord;
    m_source = other.m_source;
    m_packed = other.m_packed;
    m_packedText = other.m_packedText;
    m_records = other.m_records;
}

void KvMP3RepackInfo::compressFrameTable()
{
    // Nothing to pack without records: unpacking would invent a table.
    if (m_packed || !m_records || !m_source)
        return;
    boost::shared_ptr<KvMP3RepackInfo> view(new KvMP3RepackInfo);
    view->shareFrom(*this);
    QByteArray text = KvMp3PackRecords(view);
    if (text.isEmpty())
        return;
    m_packedText = std::move(text);
    m_records.reset();
    m_packed = true;
}

void KvMP3RepackInfo::unpack()
{
    if (!m_packedText.isEmpty())
        m_records = KvMp3UnpackRecords(m_packedText, *this);
    m_packedText.clear();
    m_packed = false;
}
