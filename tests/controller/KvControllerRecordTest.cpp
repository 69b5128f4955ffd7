// The controller's recording commands: the internal recorder (a recording dialog that is
// never shown) over a fake capture device, with the real encoders or stand-ins, and the
// recording-name clock under the test's control.
#include "KvFakeCapture.h"
#include "KvRecordTestSupport.h"

#include <KvClock.h>
#include <KvFakeUiServices.h>
#include <KvMessageBox.h>
#include <KvQmlController.h>
#include <KvRecord.h>
#include <KvRecordThread.h>
#include <KvTestSupport.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using namespace kvrectest;

namespace {

// Wall-clock time that stands still until the controller waits.
class StillClock : public KvClock {
public:
    QDateTime time = QDateTime(QDate(2026, 3, 7), QTime(21, 5, 9));
    int waits = 0;
    qint64 elapsedMs() const override { return 0; }
    QDateTime now() const override { return time; }
    void waitMs(int ms) override
    {
        ++waits;
        time = time.addMSecs(ms);
    }
};

QString recordingFolder() { return KvQmlController::defaultFilesPath() + "/mp3Morvelta_Rec"; }

void clearRecordingFolder()
{
    QDir(recordingFolder()).removeRecursively();
    QFile::remove(recordingFolder());
}

QStringList filesInRecordingFolder()
{
    return QDir(recordingFolder()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

FakeDeviceSpec defaultInput()
{
    FakeDeviceSpec s;
    s.name = "Default Input";
    return s;
}

// A controller whose internal recorder is a real recording dialog over a fake default
// input; message boxes of the recorder are taken down, not shown.
struct Rig {
    std::shared_ptr<FakeCaptureProvider> provider = std::make_shared<FakeCaptureProvider>(
        QList<FakeDeviceSpec>{defaultInput()});
    ScopedCaptureProvider scope{provider};
    ScopedEncoders encoders;
    StillClock clock;
    kvtest::FakeUiServices ui;
    QStringList boxes;
    KvScopedMessageBoxAnswerer answerer{[this](QMessageBox &box) {
        boxes << box.text();
        return int(QMessageBox::Ok);
    }};
    QPointer<KvRecord> recorder;
    std::unique_ptr<KvQmlController> controller;

    explicit Rig(ScopedEncoders::Set set) : encoders(set)
    {
        clearRecordingFolder();
        ui.makeRecorder = [this](QObject *c, QWidget *parent) {
            recorder = new KvRecord(qobject_cast<KvQmlController *>(c), parent);
            return recorder.data();
        };
        KvControllerSeams seams;
        seams.ui = &ui;
        seams.clock = &clock;
        controller.reset(new KvQmlController(nullptr, seams));
    }
    ~Rig()
    {
        controller.reset();
        clearRecordingFolder();
    }

    void configure(int format, bool stereo, int frequency, int quality)
    {
        controller->setRecordingFormat(format);
        controller->setRecordStereo(stereo);
        controller->setRecordingFrequency(frequency);
        controller->setRecordingQuality(quality);
    }

    // Starts a take and feeds it `seconds` of sine; true once the recorder holds all of it.
    bool record(double seconds)
    {
        const QString error = controller->actionStartInternalRecording();
        EXPECT_EQ(error, "");
        if (!error.isEmpty() || !recorder || !recorder->recordThread())
            return false;
        FakeCaptureInput *input = provider->waitForStartedInput();
        if (!input)
            return false;
        input->feedSeconds(seconds);
        const QAudioFormat f = input->format();
        const qint64 bytes = qint64(seconds * f.sampleRate()) * f.channelCount() * (f.sampleSize() / 8);
        return waitFor([&] { return recorder && recorder->recordThread()->recordedSize() == bytes; });
    }
};

QString probe(const QString &path, const QString &entries)
{
    QByteArray out;
    kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", entries, "-of",
                                   "default=noprint_wrappers=1", path},
                       &out);
    return QString::fromUtf8(out).trimmed();
}

} // namespace

// Format, channels, rate and quality settings × what the saved take holds; MP3 through the
// LAME library and, where that is missing, through the installed codecs.
TEST(ControllerRecord, TakeHasTheFormatLengthAndNameOfTheSettings)
{
    struct Case {
        ScopedEncoders::Set encoders;
        int format;
        bool stereo;
        int frequency;
        int quality;
        const char *suffix, *codec;
        int rate, channels, kbps;  // kbps 0: not checked (the AAC encoder's rate follows the signal)
    };
    const Case cases[] = {
        {ScopedEncoders::Program, 0, false, 1, 1, ".mp3", "mp3", 44100, 1, 96},
        {ScopedEncoders::Program, 0, true, 2, 2, ".mp3", "mp3", 48000, 2, 128},
        {ScopedEncoders::Program, 0, true, 1, 4, ".mp3", "mp3", 44100, 2, 192},
        {ScopedEncoders::Program, 0, false, 0, 0, ".mp3", "mp3", 48000, 1, 224},
        {ScopedEncoders::BuiltIn, 0, true, 1, 2, ".mp3", "mp3", 44100, 2, 128},
        {ScopedEncoders::BuiltIn, 0, false, 2, 3, ".mp3", "mp3", 48000, 1, 160},
        {ScopedEncoders::Program, 1, false, 2, 3, ".m4a", "aac", 48000, 1, 0},
        {ScopedEncoders::Program, 1, true, 1, 1, ".m4a", "aac", 44100, 2, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString("encoders %5 format %1 stereo %2 frequency %3 quality %4")
                         .arg(c.format).arg(c.stereo).arg(c.frequency).arg(c.quality).arg(int(c.encoders))
                         .toStdString());
        Rig rig(c.encoders);
        rig.configure(c.format, c.stereo, c.frequency, c.quality);
        ASSERT_TRUE(rig.record(1.0));
        rig.controller->actionStopInternalRecording();
        EXPECT_FALSE(rig.recorder) << "the recorder is deleted after the stop";

        const QString name = recordingFolder() + "/20260307_210509" + c.suffix;
        ASSERT_EQ(rig.controller->recordedFiles(), QStringList{name});
        ASSERT_TRUE(QFileInfo(name).isFile());
        EXPECT_EQ(filesInRecordingFolder(), QStringList{QFileInfo(name).fileName()}) << "nothing else left";
        EXPECT_EQ(probe(name, "stream=codec_name,sample_rate,channels"),
                  QString("codec_name=%1\nsample_rate=%2\nchannels=%3").arg(c.codec).arg(c.rate).arg(c.channels));
        if (c.kbps) {
            EXPECT_EQ(probe(name, "stream=bit_rate"), QString("bit_rate=%1").arg(c.kbps * 1000));
        }

        const QByteArray pcm = c.format == 0 ? kvtest::decodeMpg123(name) : kvtest::decodeFfmpeg(name);
        const double frames = double(pcm.size()) / (2 * c.channels);
        const double codecFrame = c.format == 0 ? 1152 : 1024;
        EXPECT_NEAR(frames, double(c.rate), 3 * codecFrame) << "one second of audio";
        EXPECT_TRUE(rig.boxes.isEmpty()) << rig.boxes.join("|").toStdString();
    }
}

TEST(ControllerRecord, TakesAreListedNewestLastAndAStartInTheSameSecondWaits)
{
    Rig rig(ScopedEncoders::LameOnly);
    rig.configure(0, false, 1, 1);
    ASSERT_TRUE(rig.record(0.3));
    rig.controller->actionStopInternalRecording();
    ASSERT_TRUE(rig.record(0.3));  // the clock still reads the same second
    rig.controller->actionStopInternalRecording();
    rig.clock.time = rig.clock.time.addSecs(60);
    ASSERT_TRUE(rig.record(0.3));
    rig.controller->actionStopInternalRecording();

    const QString folder = recordingFolder() + "/";
    EXPECT_EQ(rig.controller->recordedFiles(),
              QStringList({folder + "20260307_210509.mp3", folder + "20260307_210510.mp3",
                           folder + "20260307_210610.mp3"}));
    EXPECT_EQ(rig.clock.waits, 1);
    for (const QString &name : rig.controller->recordedFiles())
        EXPECT_EQ(QFileInfo(name).size(), 44100 * 3 / 10 * 2) << "the stand-in encoder copies the PCM";
}

TEST(ControllerRecord, StartWhileRecordingIsRefusedAndTheRunningTakeIsKept)
{
    Rig rig(ScopedEncoders::LameOnly);
    rig.configure(0, true, 1, 1);
    ASSERT_TRUE(rig.record(0.5));
    KvRecord *first = rig.recorder;
    rig.clock.time = rig.clock.time.addSecs(5);

    EXPECT_EQ(rig.controller->actionStartInternalRecording(), "A recording is already running.");
    EXPECT_EQ(rig.provider->inputsCreated(), 1) << "no second capture";
    EXPECT_EQ(rig.recorder.data(), first);
    EXPECT_EQ(rig.controller->recordedFiles().size(), 1);

    rig.controller->actionStopInternalRecording();
    const QString name = recordingFolder() + "/20260307_210509.mp3";
    EXPECT_EQ(rig.controller->recordedFiles(), QStringList{name});
    EXPECT_EQ(QFileInfo(name).size(), 22050 * 4);
}

// An encoder that does not open is a failed start; one that fails on the way is a failed
// take. Neither leaves a file or a listed name.
TEST(ControllerRecord, FailingEncoderGivesTheFailureTextAndNoFile)
{
    {
        Rig rig(ScopedEncoders::LameOnly);
        rig.configure(0, false, 1, 1);
        ListEncoder::failOpenWith = "libmp3lame.so.0 was not found";
        EXPECT_EQ(rig.controller->actionStartInternalRecording(), "Recording Failed!");
        EXPECT_FALSE(rig.recorder) << "the failed recorder is deleted";
        EXPECT_EQ(rig.provider->inputsCreated(), 0);
        EXPECT_TRUE(rig.controller->recordedFiles().isEmpty());
        waitFor([] { return false; }, 200);
        EXPECT_TRUE(rig.boxes.isEmpty()) << "the touch interface shows the text itself";
        rig.controller->actionStopInternalRecording();  // nothing to stop
        EXPECT_TRUE(filesInRecordingFolder().isEmpty());
    }
    {
        Rig rig(ScopedEncoders::LameOnly);
        rig.configure(0, false, 1, 1);
        ASSERT_EQ(rig.controller->actionStartInternalRecording(), "");
        FakeCaptureInput *input = rig.provider->waitForStartedInput();
        ASSERT_TRUE(input);
        input->feedSeconds(0.2);
        ASSERT_TRUE(waitFor([&] { return rig.recorder->recordThread()->recordedSize() > 0; }));
        ListEncoder::failEncode = true;
        input->feedSeconds(0.2);
        ASSERT_TRUE(waitFor([&] { return !rig.boxes.isEmpty(); }));
        EXPECT_TRUE(rig.boxes.first().startsWith("Recording Error: Error: Unable to use audio encoder! result=-1"))
            << rig.boxes.first().toStdString();
        rig.controller->actionStopInternalRecording();
        EXPECT_TRUE(rig.controller->recordedFiles().isEmpty());
        EXPECT_TRUE(filesInRecordingFolder().isEmpty()) << filesInRecordingFolder().join(",").toStdString();
    }
}

// The take cannot be written where it was announced (its folder has become a file): the
// name leaves the list and nothing appears under it.
TEST(ControllerRecord, TakeThatFailsToSaveIsDroppedAndLeavesNoFile)
{
    for (int format : {0, 1}) {
        SCOPED_TRACE(format);
        Rig rig(ScopedEncoders::Program);
        rig.configure(format, true, 1, 2);
        ASSERT_TRUE(rig.record(0.5));
        const QString name = rig.controller->recordedFiles().value(0);
        ASSERT_TRUE(QDir(recordingFolder()).removeRecursively());
        ASSERT_TRUE(kvtest::writeFile(recordingFolder(), "in the way"));

        rig.controller->actionStopInternalRecording();
        EXPECT_TRUE(rig.controller->recordedFiles().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(name));
        EXPECT_FALSE(rig.recorder);
    }
}

TEST(ControllerRecord, RecordingFolderProblemsAreReturnedAsTexts)
{
    Rig rig(ScopedEncoders::LameOnly);
    ASSERT_TRUE(kvtest::writeFile(recordingFolder(), "a file where the folder belongs"));
    EXPECT_EQ(rig.controller->actionStartInternalRecording(), "Unable to create recording folder");
    EXPECT_EQ(rig.provider->inputsCreated(), 0);
    EXPECT_TRUE(rig.controller->recordedFiles().isEmpty());
    QFile::remove(recordingFolder());

    // Neither a Music nor a Documents folder can exist under a file.
    kvtest::TempDir config;
    ASSERT_TRUE(kvtest::writeFile(config.file("blocker"), "x"));
    ASSERT_TRUE(kvtest::writeFile(config.file("user-dirs.dirs"),
                                  QString("XDG_MUSIC_DIR=\"%1/blocker/Music\"\nXDG_DOCUMENTS_DIR=\"%1/blocker/Docs\"\n")
                                      .arg(config.path()).toUtf8()));
    const QByteArray before = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString noFolder = rig.controller->actionStartInternalRecording();
    qputenv("XDG_CONFIG_HOME", before);
    EXPECT_EQ(noFolder, "Unable to locate Music folder");
    EXPECT_TRUE(rig.controller->recordedFiles().isEmpty());
}

TEST(ControllerRecord, RecordRunsTheDialogAndTheExternalRecorderIsNotThere)
{
    Rig rig(ScopedEncoders::LameOnly);
    rig.controller->actionRecord();
    EXPECT_EQ(rig.ui.dialogs, QStringList{"record"});

    QSignalSpy toast(rig.controller.get(), SIGNAL(toastMessageChanged(QString)));
    EXPECT_FALSE(rig.controller->actionStartExternalRecord());
    EXPECT_FALSE(rig.controller->actionStartExternalRecord());
    EXPECT_EQ(rig.controller->toastMessage(), "Not implemented!");
    EXPECT_EQ(toast.size(), 1);
    EXPECT_EQ(rig.provider->inputsCreated(), 0);
}
