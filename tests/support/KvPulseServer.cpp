#include "KvPulseServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>

namespace kvtest {

namespace {

bool onPath(const QString &name)
{
    for (const QString &dir : QProcessEnvironment::systemEnvironment().value("PATH").split(':'))
        if (QFileInfo(dir + "/" + name).isExecutable())
            return true;
    return false;
}

} // namespace

QString PulseServer::start()
{
    if (!onPath("pulseaudio"))
        return "the pulseaudio program is not installed";
    QDir(m_dir.path()).mkpath("pulse");
    m_socket = m_dir.file("pulse/native");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_dir.path());
    env.insert("HOME", m_dir.path());
    m_server.setProcessEnvironment(env);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start("timeout", {QString::number(m_limitSeconds), "pulseaudio", "-n", "--daemonize=no",
                               "--exit-idle-time=-1", "--use-pid-file=no", "--log-target=stderr", "-L",
                               "module-null-sink sink_name=kvnull rate=44100 channels=2", "-L",
                               "module-native-protocol-unix auth-anonymous=1 socket=" + m_socket});
    if (!m_server.waitForStarted(5000))
        return "pulseaudio did not start: " + m_server.errorString();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 8000) {
        if (m_server.state() != QProcess::Running)
            return "pulseaudio exited: " + QString::fromLocal8Bit(m_server.readAll()).trimmed();
        QByteArray out;
        if (QFile::exists(m_socket) && runProgram("timeout", {"5", "pactl", "--server=" + address(), "info"}, &out) == 0)
            return QString();
        QThread::msleep(100);
    }
    return "pulseaudio did not answer: " + QString::fromLocal8Bit(m_server.readAll()).trimmed();
}

void PulseServer::stop(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

} // namespace kvtest
