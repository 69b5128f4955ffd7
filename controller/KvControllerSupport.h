#pragma once
// Small helpers shared by the controller's files; not for use outside controller/.
#include <QCursor>
#include <QGuiApplication>
#include <QMutex>
#include <QtGlobal>

#include <cmath>
#include <limits>

// Frames arrive as doubles from views and scripts: truncate toward zero and
// keep NaN and out-of-range values from becoming undefined conversions.
inline qint64 kvFrameOf(double value)
{
    if (std::isnan(value))
        return -1;
    constexpr double limit = 9.2e18;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value <= -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(value);
}

// Both edges set and apart; their order is not tested.
inline bool kvIsSelection(qint64 start, qint64 end) { return start != -1 && end != -1 && start != end; }

// The wait cursor for the lifetime of the object.
class KvWaitCursor
{
public:
    KvWaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~KvWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    KvWaitCursor(const KvWaitCursor &) = delete;
    KvWaitCursor &operator=(const KvWaitCursor &) = delete;
};

// The model's mutex for one command, taken only when it is free. The mutex
// is not recursive and stays held across modal dialogs and questions, while
// other commands can still arrive: those are refused, never left waiting
// for a lock that their own thread holds.
class KvEditLock
{
public:
    explicit KvEditLock(QMutex *mutex) : m_mutex(mutex && mutex->tryLock() ? mutex : nullptr) {}
    ~KvEditLock()
    {
        if (m_mutex)
            m_mutex->unlock();
    }
    KvEditLock(const KvEditLock &) = delete;
    KvEditLock &operator=(const KvEditLock &) = delete;
    explicit operator bool() const { return m_mutex != nullptr; }

private:
    QMutex *m_mutex;
};

// How many failures the audio services have shown in boxes so far (GUI thread).
int kvAudioFailuresShown();

class QClipboard;
// The application clipboard; null without a GUI application.
QClipboard *kvClipboard();
