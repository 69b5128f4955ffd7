#include "KvPulseSession.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kvtest {

namespace {
const char sinkName[] = "kvnull";
constexpr int rate = 44100;
constexpr int channels = 2;
} // namespace

PulseSession::PulseSession()
{
    const QString socket = m_dir.file("native");
    const QString script = m_dir.file("server.pa");
    writeFile(script, QStringLiteral("load-module module-null-sink sink_name=%1 rate=%2 channels=%3\n"
                                     "set-default-source %1.monitor\n"
                                     "load-module module-native-protocol-unix socket=%4 auth-anonymous=1\n")
                          .arg(sinkName)
                          .arg(rate)
                          .arg(channels)
                          .arg(socket)
                          .toUtf8());
    // Its own home and runtime folders: nothing of a desktop's sound set-up is seen or touched.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
        env.insert(name, m_dir.path());
    env.remove("PULSE_SERVER");
    m_server.setProcessEnvironment(env);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.setStandardOutputFile(m_dir.file("server.log"));
    m_server.start(QStringLiteral("pulseaudio"),
                   {"-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                    "--disable-shm=yes"});
    if (!m_server.waitForStarted()) {
        m_failure = QStringLiteral("pulseaudio did not start: ") + m_server.errorString();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && m_server.state() == QProcess::Running) {
        if (QFileInfo::exists(socket)) {
            m_address = QStringLiteral("unix:") + socket;
            if (streamCount() >= 0)
                return;
            m_address.clear();
        }
        QThread::msleep(100);
    }
    m_failure = m_server.state() == QProcess::Running ? QStringLiteral("pulseaudio answered nothing within 20 s")
                                                       : QStringLiteral("pulseaudio ended at once");
}

PulseSession::~PulseSession() { stop(); }

void PulseSession::stop() { endProcess(m_server, 10000); }

QProcessEnvironment PulseSession::clientEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", m_address);
    env.insert("HOME", m_dir.path());
    return env;
}

int PulseSession::streamCount() const
{
    if (m_address.isEmpty())
        return -1;
    QProcess pactl;
    pactl.setProcessEnvironment(clientEnvironment());
    pactl.start(QStringLiteral("pactl"), {"list", "short", "sink-inputs"});
    if (!pactl.waitForStarted() || !pactl.waitForFinished(10000) || pactl.exitStatus() != QProcess::NormalExit ||
        pactl.exitCode() != 0)
        return -1;
    const QByteArray out = pactl.readAllStandardOutput().trimmed();
    return out.isEmpty() ? 0 : out.count('\n') + 1;
}

int PulseSession::peakOfNext(int ms) const
{
    if (m_address.isEmpty())
        return -1;
    QProcess parec;
    parec.setProcessEnvironment(clientEnvironment());
    parec.start(QStringLiteral("parec"), {"-d", QStringLiteral("%1.monitor").arg(sinkName), "--format=s16le",
                                          QStringLiteral("--rate=%1").arg(rate),
                                          QStringLiteral("--channels=%1").arg(channels)});
    if (!parec.waitForStarted())
        return -1;
    const qint64 wanted = qint64(ms) * rate / 1000 * channels * 2;
    QByteArray pcm;
    QElapsedTimer clock;
    clock.start();
    while (pcm.size() < wanted && clock.elapsed() < ms + 10000 && parec.state() == QProcess::Running) {
        parec.waitForReadyRead(100);
        pcm += parec.readAllStandardOutput();
    }
    parec.kill();
    parec.waitForFinished();
    if (pcm.size() < 2)
        return -1;
    int peak = 0;
    for (int i = 0; i + 1 < pcm.size(); i += 2) {
        qint16 v;
        std::memcpy(&v, pcm.constData() + i, 2);
        peak = std::max(peak, std::abs(int(v)));
    }
    return peak;
}

} // namespace kvtest
