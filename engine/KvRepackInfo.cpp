#include "KvRepackInfo.h"

KvRepackInfo::KvRepackInfo() = default;
KvRepackInfo::~KvRepackInfo() = default;

void KvRepackInfo::clearCounters()
{
    m_counters.fill(0);
}

qint64 KvRepackInfo::counter(int bin) const
{
    return bin >= 0 && bin < kCounterCount ? m_counters[size_t(bin)] : 0;
}
