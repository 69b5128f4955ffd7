#pragma once
// The time the controller reads: a steady count of milliseconds (double
// presses, flings, scroll timing) and the wall-clock time (names of
// recordings). Tests hand the controller a clock they drive.
#include <QDateTime>
#include <QtGlobal>

class KvClock {
public:
    virtual ~KvClock();
    // Milliseconds since an arbitrary start; never goes back.
    virtual qint64 elapsedMs() const = 0;
    virtual QDateTime now() const = 0;
    // Lets the time pass (recording names wait for the next second); a test's clock
    // moves itself on instead.
    virtual void waitMs(int ms);

    // The system's clocks; lives as long as the process.
    static KvClock &system();
};
