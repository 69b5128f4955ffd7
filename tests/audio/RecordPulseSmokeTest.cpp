// Records from a PulseAudio null sink's monitor through the real Qt audio input. A private
// PulseAudio server is started for the test and ended with it; without one the test skips.
#include <KvCaptureDevice.h>
#include <KvEncoderFactory.h>
#include <KvInputLevel.h>
#include <KvQtCapture.h>
#include <KvRecordThread.h>
#include <KvTestSupport.h>
#include <audio_lib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

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

PrivatePulse *g_pulse = nullptr;
QString g_skipWhy;

using kvtest::waitFor;

} // namespace

TEST(RecordPulse, TwoSecondsFromANullSinkMonitor)
{
    if (!g_pulse)
        GTEST_SKIP() << "PulseAudio could not be started: " << g_skipWhy.toStdString();
    KvQtCaptureProvider provider;
    KvCaptureDevice monitor;
    QStringList names;
    for (const KvCaptureDevice &d : provider.availableDevices()) {
        names << d.name;
        if (d.name == "kvnull.monitor")
            monitor = d;
    }
    ASSERT_FALSE(monitor.isNull()) << "devices: " << names.join(", ").toStdString();
    const QAudioFormat format = kvPcmFormat(44100, 2, 16);
    ASSERT_TRUE(provider.isFormatSupported(monitor, format));

    const QList<KvAudioLibPtr> encoders = createEncoders(KvAudioFrameReaderPtr(), true, QString());
    ASSERT_FALSE(encoders.isEmpty());
    KvRecordThread thread(monitor, format, encoders.first(), 2, 128000, -1, 1.0, 2, 44100);
    thread.start(QThread::HighPriority);
    const qint64 twoSeconds = 2 * 44100 * 4;
    const bool got = waitFor([&] { return thread.recordedSize() >= twoSeconds || thread.isFinished(); }, 20000);
    thread.setSuspendAudio(true);
    thread.StopAudioRecording();
    thread.exit(0);
    ASSERT_TRUE(thread.wait(10000));
    ASSERT_TRUE(got) << "recorded only " << thread.recordedSize() << " bytes";
    ASSERT_TRUE(thread.errorText().isEmpty()) << thread.errorText().toStdString();

    kvtest::TempDir dir;
    const QString out = dir.file("monitor.mp3");
    ASSERT_EQ(AudioInfo::saveToFile(thread.recording(), out, false, 44100, 2), QString());
    const double seconds = double(kvtest::decodeMpg123(out).size()) / 4 / 44100;
    const double taken = double(thread.recordedSize()) / 4 / 44100;
    EXPECT_GE(taken, 2.0);
    EXPECT_NEAR(seconds, taken, 2 * 1152.0 / 44100);
}

TEST(RecordPulse, InputLevelOfTheDefaultSourceThroughAlsa)
{
    if (!g_pulse)
        GTEST_SKIP() << "PulseAudio could not be started: " << g_skipWhy.toStdString();
    KvInputLevel level;
    level.setDevice("default");
    const float before = level.level();
    if (before < 0.0f)
        GTEST_SKIP() << "ALSA's default control is not PulseAudio here (no pulse ALSA plugin)";
    level.setLevel(0.5f);
    EXPECT_NEAR(level.level(), 0.5f, 0.01f);
    level.setLevel(before);
    EXPECT_NEAR(level.level(), before, 0.01f);
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    PrivatePulse pulse;
    if (pulse.start(&g_skipWhy)) {
        // Before the first audio call: Qt's PulseAudio back-end and ALSA's pulse plugin
        // both read the server from here.
        qputenv("PULSE_SERVER", pulse.server().toLocal8Bit());
        g_pulse = &pulse;
    }
    const int rc = RUN_ALL_TESTS();
    g_pulse = nullptr;
    return rc;
}
