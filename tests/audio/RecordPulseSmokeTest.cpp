// Records from a PulseAudio null sink's monitor through the real Qt audio input. A private
// PulseAudio server is started for the test and ended with it; without one the test skips.
#include <KvCaptureDevice.h>
#include <KvEncoderFactory.h>
#include <KvInputLevel.h>
#include <KvQtCapture.h>
#include <KvRecordThread.h>
#include <KvPulseSession.h>
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

using kvtest::PulseSession;

PulseSession *g_pulse = nullptr;
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
    PulseSession pulse;
    if (pulse.isRunning()) {
        // Before the first audio call: Qt's PulseAudio back-end and ALSA's pulse plugin
        // both read the server from here.
        qputenv("PULSE_SERVER", pulse.address().toLocal8Bit());
        g_pulse = &pulse;
    } else {
        g_skipWhy = pulse.failure();
    }
    const int rc = RUN_ALL_TESTS();
    g_pulse = nullptr;
    return rc;
}
