#pragma once
// A private PulseAudio server with one null sink, "kvnull", whose monitor
// ("kvnull.monitor") records what was played into it.
#include "KvTestSupport.h"

#include <QProcess>
#include <QString>

namespace kvtest {

class PulseServer {
public:
    // Every program started here runs under timeout(1) for this many
    // seconds: nothing outlives a crashed test.
    explicit PulseServer(int limitSeconds = 60) : m_limitSeconds(limitSeconds) {}
    ~PulseServer() { stop(m_server); }
    PulseServer(const PulseServer &) = delete;
    PulseServer &operator=(const PulseServer &) = delete;

    // Empty on success, else why the server is not there.
    QString start();
    // The value for PULSE_SERVER and --server=.
    QString address() const { return "unix:" + m_socket; }
    int limitSeconds() const { return m_limitSeconds; }

    // Terminates a process, killing it when it does not end.
    static void stop(QProcess &p);

private:
    const int m_limitSeconds;
    TempDir m_dir;
    QString m_socket;
    QProcess m_server;
};

} // namespace kvtest
