// Two seconds through Qt's real audio output, on a private PulseAudio server with a null
// sink, recorded back from the sink's monitor. Skipped when no PulseAudio server can start.
#include "AudioTestUtil.h"
#include "KvQtAudioOutput.h"
#include "KvTestSupport.h"
#include "PlaybackTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

using namespace kvplaytest;

namespace {
// Every program this test starts runs under timeout(1): nothing outlives a crashed test.
constexpr const char *kLimitSeconds = "60";

class PulseServer {
public:
    // Empty on success, else why the server is not there.
    QString start()
    {
        if (QStandardPathsFindExecutable("pulseaudio").isEmpty())
            return "the pulseaudio program is not installed";
        QDir(m_dir.path()).mkpath("pulse");
        m_socket = m_dir.file("pulse/native");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        env.insert("HOME", m_dir.path());
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start("timeout", {kLimitSeconds, "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                   "--use-pid-file=no", "--log-target=stderr",
                                   "-L", "module-null-sink sink_name=kvnull rate=44100 channels=2",
                                   "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + m_socket});
        if (!m_server.waitForStarted(5000))
            return "pulseaudio did not start: " + m_server.errorString();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 8000) {
            if (m_server.state() != QProcess::Running)
                return "pulseaudio exited: " + QString::fromLocal8Bit(m_server.readAll()).trimmed();
            QByteArray out;
            if (QFile::exists(m_socket) &&
                kvtest::runProgram("timeout", {"5", "pactl", "--server=" + address(), "info"}, &out) == 0)
                return QString();
            QThread::msleep(100);
        }
        return "pulseaudio did not answer: " + QString::fromLocal8Bit(m_server.readAll()).trimmed();
    }
    QString address() const { return "unix:" + m_socket; }
    ~PulseServer() { stop(m_server); }

    static void stop(QProcess &p)
    {
        if (p.state() == QProcess::NotRunning)
            return;
        p.terminate();  // SIGTERM to its PID
        if (!p.waitForFinished(3000)) {
            p.kill();
            p.waitForFinished(3000);
        }
    }

private:
    static QString QStandardPathsFindExecutable(const QString &name)
    {
        for (const QString &dir : QProcessEnvironment::systemEnvironment().value("PATH").split(':'))
            if (QFileInfo(dir + "/" + name).isExecutable())
                return dir + "/" + name;
        return QString();
    }

    kvtest::TempDir m_dir;
    QString m_socket;
    QProcess m_server;
};
} // namespace

TEST(PulseSmoke, TwoSecondsPlayThroughQtOnAPulseAudioNullSink)
{
    PulseServer pulse;
    const QString why = pulse.start();
    if (!why.isEmpty())
        GTEST_SKIP() << "PulseAudio cannot start here (" << why.toStdString() << ")";
    // Before Qt's audio back-end first connects.
    qputenv("PULSE_SERVER", pulse.address().toLocal8Bit());
    qunsetenv("KV_AUDIO_OUTPUT");
    ASSERT_FALSE(KvQtAudioDevice().deviceName().isEmpty()) << "Qt sees no output device on the server";

    kvtest::TempDir dir;
    QProcess recorder;
    recorder.setStandardOutputFile(dir.file("monitor.raw"));
    recorder.start("timeout", {kLimitSeconds, "parec", "--server=" + pulse.address(), "-d", "kvnull.monitor", "--raw",
                               "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=20"});
    ASSERT_TRUE(recorder.waitForStarted(5000));
    QThread::msleep(300);

    const qint64 frames = 77;  // 77 x 1152 / 44100 = 2.01 s
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, frames);
    KvPlayThread thread(doc, 0, -1, 1.0, 0.0, 0.0);
    QVector<double> positions;
    QObject::connect(&thread, &KvPlayThread::PlayFrameQueued,
                     [&](double f, qint16, qint16) { positions.append(f); });
    QElapsedTimer wall;
    wall.start();
    thread.start(QThread::HighPriority);
    while (!thread.isFinished() && wall.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const qint64 took = wall.elapsed();
    ASSERT_TRUE(thread.wait(5000)) << "playback did not end";
    QCoreApplication::processEvents();
    QThread::msleep(300);
    PulseServer::stop(recorder);

    EXPECT_TRUE(thread.errorText().isEmpty()) << thread.errorText().toStdString();
    EXPECT_GE(took, 1800);  // in real time
    ASSERT_GT(positions.size(), 20);
    for (int i = 1; i < positions.size(); ++i)
        ASSERT_GT(positions[i], positions[i - 1]);
    EXPECT_GT(positions.last(), frames - 5);
    EXPECT_LE(positions.last(), double(frames));

    // The sink's monitor heard about two seconds of sound.
    const QByteArray heard = kvtest::readFile(dir.file("monitor.raw"));
    const QVector<qint16> v = kvaudiotest::samples(heard);
    int loud = 0;
    for (int i = 0; i + 1 < v.size(); i += 2)
        loud += std::abs(int(v[i])) > 200 || std::abs(int(v[i + 1])) > 200;
    EXPECT_GT(loud / 44100.0, 1.5) << heard.size() << " bytes recorded";
    EXPECT_LT(loud / 44100.0, 2.2);
}
