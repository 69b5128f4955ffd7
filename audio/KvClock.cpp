#include "KvClock.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

class KvSystemClock : public KvClock {
public:
    KvSystemClock() { m_timer.start(); }
    qint64 elapsedMs() const override { return m_timer.elapsed(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }

private:
    QElapsedTimer m_timer;
};

} // namespace

KvClock::~KvClock() = default;

void KvClock::waitMs(int ms) { QThread::msleep(ms > 0 ? ulong(ms) : 0); }

KvClock &KvClock::system()
{
    static KvSystemClock clock;
    return clock;
}
