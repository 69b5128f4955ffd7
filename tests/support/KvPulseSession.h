#pragma once
// A private PulseAudio server whose only output is a null sink, for tests
// that listen to what is played; recording from the default input hears it.
#include "KvTestSupport.h"

#include <QProcess>
#include <QString>

namespace kvtest {

class PulseSession {
public:
    PulseSession();
    ~PulseSession();
    PulseSession(const PulseSession &) = delete;
    PulseSession &operator=(const PulseSession &) = delete;

    bool isRunning() const { return m_server.state() == QProcess::Running && !m_address.isEmpty(); }
    // Why the server is not running, for a skipped test's message.
    QString failure() const { return m_failure; }
    // The value of PULSE_SERVER that reaches this server.
    QString address() const { return m_address; }
    // Ends the server, as when the sound server of a desktop goes away.
    void stop();

    // The playback streams the sink holds now; -1 when the server cannot be asked.
    int streamCount() const;
    // The largest sample magnitude the sink played during the next ms
    // milliseconds (16-bit); -1 when nothing could be recorded.
    int peakOfNext(int ms) const;

private:
    QProcessEnvironment clientEnvironment() const;

    TempDir m_dir;
    QProcess m_server;
    QString m_address;
    QString m_failure;
};

} // namespace kvtest
