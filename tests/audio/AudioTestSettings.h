#pragma once
// Settings of the test process live in a folder of their own (set up before any test runs),
// so tests can write the keys the back-ends read without touching the user's settings.
#include <QString>

namespace kvaudiotest {

// Writes "Settings/LameAppLocation"; an empty location removes the key.
void setLameLocation(const QString &location);

// Sets the LAME location for one scope and removes it again at the end.
class ScopedLameLocation {
public:
    explicit ScopedLameLocation(const QString &location) { setLameLocation(location); }
    ~ScopedLameLocation() { setLameLocation(QString()); }
};

} // namespace kvaudiotest
