#pragma once
// A private PulseAudio server for the recording smoke tests: a null sink (its monitor is
// the default source) and a socket in a private folder. Header only.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace kvtest {

// A PulseAudio daemon of our own: a null sink and a socket in a private folder. Runs as
// root too (it warns and carries on), never daemonises, and is ended by its process id.
class PrivatePulse {
public:
    bool start(QString *why)
    {
        const QString program = QStandardPaths::findExecutable("pulseaudio");
        if (program.isEmpty()) {
            *why = "pulseaudio is not installed";
            return false;
        }
        if (!m_dir.isValid()) {
            *why = "no temporary folder";
            return false;
        }
        m_socket = m_dir.filePath("native");
        QFile script(m_dir.filePath("test.pa"));
        if (!script.open(QIODevice::WriteOnly)) {
            *why = "cannot write the start script";
            return false;
        }
        script.write("load-module module-null-sink sink_name=kvnull rate=44100 channels=2\n");
        // What records from "the default input" hears the null sink.
        script.write("set-default-source kvnull.monitor\n");
        script.write(QString("load-module module-native-protocol-unix socket=%1 auth-anonymous=1\n")
                         .arg(m_socket).toUtf8());
        script.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        env.insert("XDG_CONFIG_HOME", m_dir.path());
        env.remove("PULSE_SERVER");
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, {"-n", "-F", script.fileName(), "--daemonize=no", "--exit-idle-time=-1",
                                  "--use-pid-file=no", "--log-target=stderr", "--disable-shm=yes"});
        if (!m_process.waitForStarted(5000)) {
            *why = "pulseaudio did not start: " + m_process.errorString();
            return false;
        }
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(m_socket) && t.elapsed() < 10000) {
            if (m_process.state() != QProcess::Running) {
                *why = "pulseaudio ended at once: " + QString::fromLocal8Bit(m_process.readAll()).right(400);
                return false;
            }
            m_process.waitForReadyRead(100);
        }
        if (!QFile::exists(m_socket)) {
            *why = "pulseaudio opened no socket within 10 s";
            return false;
        }
        return true;
    }
    QString server() const { return "unix:" + m_socket; }
    ~PrivatePulse()
    {
        if (m_process.state() == QProcess::Running) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_process;
};

} // namespace kvtest
