#include "KvClock.h"

#include <QElapsedTimer>

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

KvClock &KvClock::system()
{
    static KvSystemClock clock;
    return clock;
}
