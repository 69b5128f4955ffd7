// The controller's internal recorder through the real capture path: a take from the default
// input of a private PulseAudio server (its null sink's monitor), opened as a document.
// Skips when PulseAudio cannot start.
#include <KvPulseSession.h>

#include <KvAudioFile.h>
#include <KvEngineFactories.h>
#include <KvFakeUiServices.h>
#include <KvQmlController.h>
#include <KvRecord.h>
#include <KvRecordThread.h>
#include <KvTestSupport.h>

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

kvtest::PulseSession *g_pulse = nullptr;
QString g_skipWhy;

} // namespace

TEST(ControllerRecordPulse, TakeFromTheDefaultInputOpensAsADocument)
{
    if (!g_pulse)
        GTEST_SKIP() << "PulseAudio could not be started: " << g_skipWhy.toStdString();
    kvtest::FakeUiServices ui;
    QPointer<KvRecord> recorder;
    ui.makeRecorder = [&](QObject *c, QWidget *parent) {
        recorder = new KvRecord(qobject_cast<KvQmlController *>(c), parent);
        return recorder.data();
    };
    KvControllerSeams seams;
    seams.ui = &ui;
    KvQmlController controller(nullptr, seams);
    controller.setRecordingFormat(0);
    controller.setRecordStereo(true);
    controller.setRecordingFrequency(1);
    controller.setRecordingQuality(2);

    ASSERT_EQ(controller.actionStartInternalRecording(), "");
    ASSERT_TRUE(recorder && recorder->recordThread());
    KvRecordThread *thread = recorder->recordThread();
    const qint64 oneSecond = 44100 * 4;
    kvtest::waitFor([&] { return thread->recordedSize() >= oneSecond || thread->isFinished(); }, 20000);
    const qint64 taken = thread->recordedSize();
    const QString threadError = thread->errorText();
    controller.actionStopInternalRecording();
    ASSERT_EQ(threadError, "");
    ASSERT_GE(taken, oneSecond);
    ASSERT_EQ(controller.recordedFiles().size(), 1);

    bool heAac = false;
    QString why;
    const boost::shared_ptr<KvAudioFile> take =
        createAudioFileByExtension(controller.recordedFiles().first(), heAac, why);
    ASSERT_TRUE(take) << why.toStdString();
    EXPECT_EQ(why, "");
    // The capture runs on until the stop: the take holds at least what was counted before it
    // and not seconds more.
    const double takenFrames = double(taken) / 4 / 1152;
    EXPECT_GE(double(take->frameCount()), takenFrames - 1);
    EXPECT_LE(double(take->frameCount()), takenFrames + 2.0 * 44100 / 1152);
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("KvTestOrg");
    QCoreApplication::setApplicationName("KvControllerRecordPulseTest");
    kvtest::PulseSession pulse;
    if (pulse.isRunning()) {
        // Before the first audio call: Qt's PulseAudio back-end reads the server from here.
        qputenv("PULSE_SERVER", pulse.address().toLocal8Bit());
        g_pulse = &pulse;
    } else {
        g_skipWhy = pulse.failure();
    }
    const int rc = RUN_ALL_TESTS();
    g_pulse = nullptr;
    return rc;
}
