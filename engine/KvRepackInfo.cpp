#include "KvRepackInfo.h"

KvRepackInfo::KvRepackInfo() = default;
KvRepackInfo::~KvRepackInfo() = default;

void KvRepackInfo::clearCounters()
{
    m_counters.reset();
}

qint64 KvRepackInfo::counter(int bin) const
{
    return m_counters && bin >= 0 && bin < kCounterCount ? (*m_counters)[size_t(bin)] : 0;
}

void KvRepackInfo::incrementCounter(int bin)
{
    if (bin < 0 || bin >= kCounterCount)
        return;
    if (!m_counters)
        m_counters.reset(new std::array<qint64, kCounterCount>{});
    ++(*m_counters)[size_t(bin)];
}

boost::shared_ptr<KvRepackInfo> KvRepackInfo::cloneRange(qint64 first, qint64 count) const
{
    const boost::shared_ptr<KvRepackInfo> copy = clone();
    copy->setRange(first, count);
    return copy;
}
