// The recording dialog offscreen, over fake capture devices and stand-in encoder lists.
#include "KvFakeCapture.h"
#include "KvRecordTestSupport.h"

#include <AudioInfo.h>
#include <KvQmlController.h>
#include <KvRecord.h>
#include <KvRecordThread.h>
#include <KvTestSupport.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>

#include <gtest/gtest.h>

#include <memory>

using namespace kvrectest;

namespace {

FakeDeviceSpec deviceNamed(const QString &name)
{
    FakeDeviceSpec s;
    s.name = name;
    return s;
}

FakeDeviceSpec monoOnly()
{
    FakeDeviceSpec s = deviceNamed("Mono Mic");
    s.channels = {1};
    s.sizes = {16};
    return s;
}

FakeDeviceSpec sixteenBitListing()
{
    FakeDeviceSpec s = deviceNamed("USB Line In");
    s.sizes = {16};
    s.opens24Unlisted = true;
    return s;
}

FakeDeviceSpec only48k()
{
    FakeDeviceSpec s = deviceNamed("Studio 48k");
    s.rates = {48000};
    return s;
}

template <class T> T *child(QDialog &d, const char *name)
{
    T *w = d.findChild<T *>(name);
    EXPECT_TRUE(w) << name;
    return w;
}

QStringList itemTexts(QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

QPushButton *boxButton(QDialog &d, QDialogButtonBox::StandardButton which)
{
    return child<QDialogButtonBox>(d, "buttonBox")->button(which);
}

void clearSettings()
{
    QSettings().clear();
}

struct Rig {
    std::shared_ptr<FakeCaptureProvider> provider;
    ScopedCaptureProvider scope;
    ScopedEncoders encoders;
    Rig(const QList<FakeDeviceSpec> &devices, ScopedEncoders::Set set)
        : provider(std::make_shared<FakeCaptureProvider>(devices)), scope(provider), encoders(set)
    {
    }
};

} // namespace

// Devices x encoder lists: what the fresh dialog enables and offers.
TEST(RecordDialog, ChoicesFollowDeviceAndEncoderList)
{
    const QStringList lameRates = {"(default)", "8000 Hz", "11025 Hz", "12000 Hz", "16000 Hz", "22050 Hz",
                                   "24000 Hz", "32000 Hz", "44100 Hz", "48000 Hz"};
    struct Case {
        const char *what;
        QList<FakeDeviceSpec> devices;
        ScopedEncoders::Set encoders;
        bool record, vbr, cbr, abr, mono, stereo, bit24;
        bool monoChecked, stereoChecked;
        QStringList rates;
        QString rate;    // selected frequency text ("" = none)
        QString format;  // selected format text ("" = none)
        int formats;     // items in the format box
    };
    const QString lameDefault = "LAME encoder: VBR quality 4 (default)";
    const QList<Case> cases = {
        {"no device, LAME", {}, ScopedEncoders::LameOnly, true, true, true, true, true, false, false,
         true, false, lameRates, "44100 Hz", lameDefault, 10},
        {"mono only, LAME", {monoOnly()}, ScopedEncoders::LameOnly, true, true, true, true, true, false, false,
         true, false, lameRates, "44100 Hz", lameDefault, 10},
        {"16-bit listing opening 24, LAME", {sixteenBitListing()}, ScopedEncoders::LameOnly, true, true, true,
         true, true, true, true, false, true, lameRates, "44100 Hz", lameDefault, 10},
        {"48 kHz only, LAME", {only48k()}, ScopedEncoders::LameOnly, true, true, true, true, true, true, true,
         false, true, lameRates, "44100 Hz", lameDefault, 10},
        {"no device, AAC", {}, ScopedEncoders::AacOnly, false, false, true, false, true, false, false,
         true, false, {"44100 Hz", "48000 Hz"}, "44100 Hz", "", 4},
        {"mono only, AAC", {monoOnly()}, ScopedEncoders::AacOnly, false, false, true, false, true, false, false,
         true, false, {"44100 Hz", "48000 Hz"}, "44100 Hz", "", 4},
        {"16-bit listing opening 24, AAC", {sixteenBitListing()}, ScopedEncoders::AacOnly, false, false, true,
         false, true, true, false, false, false, {"44100 Hz", "48000 Hz"}, "44100 Hz", "", 4},
        {"48 kHz only, AAC", {only48k()}, ScopedEncoders::AacOnly, false, false, true, false, true, true, false,
         false, false, {"44100 Hz", "48000 Hz"}, "44100 Hz", "", 4},
        {"no device, no encoder", {}, ScopedEncoders::None, false, false, false, false, false, false, false,
         false, false, {}, "", "", 0},
        {"mono only, no encoder", {monoOnly()}, ScopedEncoders::None, false, false, false, false, false, false,
         false, false, false, {}, "", "", 0},
        {"16-bit listing opening 24, no encoder", {sixteenBitListing()}, ScopedEncoders::None, false, false,
         false, false, false, false, false, false, false, {}, "", "", 0},
        {"48 kHz only, no encoder", {only48k()}, ScopedEncoders::None, false, false, false, false, false, false,
         false, false, false, {}, "", "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clearSettings();
        Rig rig(c.devices, c.encoders);
        KvRecord d(nullptr, nullptr);
        EXPECT_EQ(child<QPushButton>(d, "pushButtonRecord")->isEnabled(), c.record);
        EXPECT_EQ(child<QRadioButton>(d, "radioButtonEncodeVBR")->isEnabled(), c.vbr);
        EXPECT_EQ(child<QRadioButton>(d, "radioButtonEncodeCBR")->isEnabled(), c.cbr);
        EXPECT_EQ(child<QRadioButton>(d, "radioButtonEncodeABR")->isEnabled(), c.abr);
        EXPECT_EQ(child<QRadioButton>(d, "radioButtonMono")->isEnabled(), c.mono);
        EXPECT_EQ(child<QRadioButton>(d, "radioButtonStereo")->isEnabled(), c.stereo);
        EXPECT_EQ(child<QCheckBox>(d, "checkBox24bitRec")->isEnabled(), c.bit24);
        EXPECT_FALSE(child<QCheckBox>(d, "checkBox24bitRec")->isChecked());
        EXPECT_EQ(child<QRadioButton>(d, "radioButtonMono")->isChecked(), c.monoChecked);
        EXPECT_EQ(child<QRadioButton>(d, "radioButtonStereo")->isChecked(), c.stereoChecked);
        QComboBox *rates = child<QComboBox>(d, "comboBoxRecordingSampFreq");
        EXPECT_EQ(itemTexts(rates), c.rates);
        EXPECT_EQ(rates->currentText(), c.rate);
        QComboBox *formats = child<QComboBox>(d, "comboBoxRecordingFormat");
        EXPECT_EQ(formats->currentText(), c.format);
        EXPECT_EQ(formats->count(), c.formats);
        // Save and Discard wait for a take; Close is there from the start.
        EXPECT_FALSE(boxButton(d, QDialogButtonBox::Save)->isEnabled());
        EXPECT_FALSE(boxButton(d, QDialogButtonBox::Discard)->isEnabled());
        EXPECT_TRUE(boxButton(d, QDialogButtonBox::Close)->isEnabled());
    }
}

TEST(RecordDialog, ModesNarrowTheRatesAndFormats)
{
    clearSettings();
    Rig rig({deviceNamed("Line In")}, ScopedEncoders::LameOnly);
    KvRecord d(nullptr, nullptr);
    QComboBox *rates = child<QComboBox>(d, "comboBoxRecordingSampFreq");
    QComboBox *formats = child<QComboBox>(d, "comboBoxRecordingFormat");

    child<QRadioButton>(d, "radioButtonEncodeCBR")->setChecked(true);
    // CBR lists only the rates of CBR presets; the 44.1 kHz choice stays.
    EXPECT_EQ(itemTexts(rates), (QStringList{"8000 Hz", "11025 Hz", "12000 Hz", "16000 Hz", "22050 Hz",
                                             "24000 Hz", "32000 Hz", "44100 Hz", "48000 Hz"}));
    EXPECT_EQ(rates->currentText(), "44100 Hz");
    EXPECT_EQ(formats->count(), 14);
    EXPECT_EQ(formats->itemText(0), "LAME encoder: 44100Hz, 320 kbps (CBR)");
    EXPECT_EQ(formats->currentIndex(), -1) << "the VBR format is not among the CBR ones";
    EXPECT_FALSE(child<QPushButton>(d, "pushButtonRecord")->isEnabled());

    formats->setCurrentIndex(4);
    EXPECT_EQ(formats->currentText(), "LAME encoder: 44100Hz, 160 kbps (CBR)");
    EXPECT_TRUE(child<QPushButton>(d, "pushButtonRecord")->isEnabled());

    // ABR clears the frequency first; its presets leave the rate open.
    child<QRadioButton>(d, "radioButtonEncodeABR")->setChecked(true);
    EXPECT_EQ(rates->itemText(0), "(default)");
    EXPECT_EQ(formats->count(), 17);
    EXPECT_TRUE(formats->itemText(0).endsWith("(ABR)"));
}

TEST(RecordDialog, SettingsRoundTrip)
{
    clearSettings();
    Rig rig({deviceNamed("First In"), only48k()}, ScopedEncoders::LameAndAac);
    {
        KvRecord d(nullptr, nullptr);
        d.show();
        child<QComboBox>(d, "comboBoxInputDev")->setCurrentIndex(1);
        child<QComboBox>(d, "comboBoxRecordingEncoder")->setCurrentIndex(1);  // AAC
        child<QComboBox>(d, "comboBoxRecordingSampFreq")->setCurrentIndex(1);  // 48000
        child<QRadioButton>(d, "radioButtonMono")->setChecked(true);
        QComboBox *formats = child<QComboBox>(d, "comboBoxRecordingFormat");
        formats->setCurrentIndex(formats->findText("FFmpeg AAC encoder: 48000Hz, 128 kbps (CBR)"));
        ASSERT_TRUE(child<QPushButton>(d, "pushButtonRecord")->isEnabled());
        d.reject();
        EXPECT_FALSE(d.isVisible());
    }
    QSettings s;
    EXPECT_EQ(s.value("Settings/RecordComboBoxInputDev").toString(), "Studio 48k");
    EXPECT_EQ(s.value("Settings/RecordComboBoxEncoder").toString(), "FFmpeg AAC Codec");
    EXPECT_EQ(s.value("Settings/RecordComboBoxFormat").toString(), "FFmpeg AAC encoder: 48000Hz, 128 kbps (CBR)");
    EXPECT_EQ(s.value("Settings/RecordChannels").toInt(), 1);
    EXPECT_EQ(s.value("Settings/RecordSamplerate").toInt(), 48000);
    EXPECT_FALSE(s.value("Settings/Record24Bit").toBool());

    KvRecord again(nullptr, nullptr);
    EXPECT_EQ(child<QComboBox>(again, "comboBoxInputDev")->currentText(), "Studio 48k");
    EXPECT_EQ(child<QComboBox>(again, "comboBoxRecordingEncoder")->currentText(), "FFmpeg AAC Codec");
    EXPECT_EQ(child<QComboBox>(again, "comboBoxRecordingFormat")->currentText(),
              "FFmpeg AAC encoder: 48000Hz, 128 kbps (CBR)");
    EXPECT_EQ(child<QComboBox>(again, "comboBoxRecordingSampFreq")->currentText(), "48000 Hz");
    EXPECT_TRUE(child<QRadioButton>(again, "radioButtonMono")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(again, "radioButtonEncodeCBR")->isChecked());
}

TEST(RecordDialog, EncoderAndFormatStoredUnderOldNamesStillSelectThem)
{
    clearSettings();
    QSettings s;
    s.setValue("Settings/RecordComboBoxEncoder", "MF AAC Codec");
    s.setValue("Settings/RecordComboBoxFormat", "MF AAC encoder: 48000Hz, 128 kbps (CBR)");
    s.setValue("Settings/RecordSamplerate", 48000);
    Rig rig({deviceNamed("Line In")}, ScopedEncoders::LameAndAac);
    KvRecord d(nullptr, nullptr);
    EXPECT_EQ(child<QComboBox>(d, "comboBoxRecordingEncoder")->currentText(), "FFmpeg AAC Codec");
    EXPECT_EQ(child<QComboBox>(d, "comboBoxRecordingFormat")->currentText(),
              "FFmpeg AAC encoder: 48000Hz, 128 kbps (CBR)");
}

TEST(RecordDialog, RememberedFormatThatNoLongerExistsLeavesNoSelection)
{
    clearSettings();
    QSettings().setValue("Settings/RecordComboBoxFormat", "LAME encoder: VBR quality 11");
    Rig rig({deviceNamed("Line In")}, ScopedEncoders::LameOnly);
    KvRecord d(nullptr, nullptr);
    EXPECT_EQ(child<QComboBox>(d, "comboBoxRecordingFormat")->currentIndex(), -1);
    EXPECT_FALSE(child<QPushButton>(d, "pushButtonRecord")->isEnabled());
    EXPECT_EQ(child<QLabel>(d, "labelRecordingFormat")->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST(RecordDialog, ShowingWithoutDevicesOrFormatsSaysWhyAndCloses)
{
    struct Case {
        QList<FakeDeviceSpec> devices;
        ScopedEncoders::Set encoders;
        QString message;
        bool closes;
    };
    const QList<Case> cases = {
        {{}, ScopedEncoders::None, "No suitable recording devices or recording formats found.", true},
        {{deviceNamed("Line In")}, ScopedEncoders::None, "No suitable recording formats found.", true},
        {{}, ScopedEncoders::LameOnly, "No suitable recording devices found.", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        clearSettings();
        Rig rig(c.devices, c.encoders);
        ModalResponder responder;
        KvRecord d(nullptr, nullptr);
        QTimer::singleShot(5000, &d, SLOT(reject()));  // a hang fails below, it does not block
        const int result = d.exec();
        EXPECT_EQ(result, QDialog::Rejected);
        ASSERT_FALSE(responder.boxTexts.isEmpty());
        EXPECT_EQ(responder.boxTexts.first(), c.message);
        EXPECT_EQ(child<QGroupBox>(d, "groupBoxRecord")->title(), "Recording not possible!");
        // Without an MP3 encoder the LAME notice comes too, until it is turned off.
        EXPECT_EQ(responder.otherDialogs, c.encoders == ScopedEncoders::None ? 1 : 0);
    }
}

namespace {

// Starts a take in a shown dialog and returns the fake input that captures it.
FakeCaptureInput *startTake(KvRecord &d, Rig &rig)
{
    d.show();
    child<QPushButton>(d, "pushButtonRecord")->click();
    if (!d.recordThread())
        return nullptr;
    return rig.provider->waitForStartedInput();
}

} // namespace

TEST(RecordDialog, ThreeSecondTakeSavedAsMp3)
{
    clearSettings();
    QSettings().setValue("Settings/RecordComboBoxFormat", "160 kBit/s, 44.100 Hz, Stereo");
    Rig rig({deviceNamed("Line In")}, ScopedEncoders::BuiltIn);
    kvtest::TempDir dir;
    ModalResponder responder;
    responder.answerFiles({dir.file("take")});
    KvRecord d(nullptr, nullptr);
    ASSERT_EQ(child<QComboBox>(d, "comboBoxRecordingFormat")->currentText(), "160 kBit/s, 44.100 Hz, Stereo");
    FakeCaptureInput *input = startTake(d, rig);
    ASSERT_TRUE(input);
    EXPECT_EQ(child<QGroupBox>(d, "groupBoxRecord")->title(), "Recording...");
    EXPECT_TRUE(child<QPushButton>(d, "pushButtonRecord")->isChecked());
    EXPECT_FALSE(child<QComboBox>(d, "comboBoxRecordingFormat")->isEnabled());
    EXPECT_FALSE(boxButton(d, QDialogButtonBox::Save)->isEnabled());

    input->feedSeconds(3.0);
    ASSERT_TRUE(waitFor([&] { return d.recordThread()->recordedSize() == 3 * 44100 * 4; }));
    ASSERT_TRUE(waitFor([&] { return child<QLCDNumber>(d, "lcdTimerRecord")->value() == 3.0; }));

    child<QPushButton>(d, "pushButtonRecord")->click();  // pause
    EXPECT_EQ(child<QGroupBox>(d, "groupBoxRecord")->title(), "Paused recording...");
    EXPECT_TRUE(boxButton(d, QDialogButtonBox::Save)->isEnabled());
    EXPECT_FALSE(boxButton(d, QDialogButtonBox::Close)->isEnabled());

    boxButton(d, QDialogButtonBox::Save)->click();
    EXPECT_TRUE(d.isSaved());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(responder.boxTexts.isEmpty()) << responder.boxTexts.join("|").toStdString();
    EXPECT_EQ(responder.fileCaptions, QStringList{"Save Recorded Audio"});

    const QString saved = dir.file("take.mp3");
    ASSERT_TRUE(QFile::exists(saved));
    const qint64 frames = kvtest::decodeMpg123(saved).size() / 4;
    EXPECT_NEAR(double(frames), 3.0 * 44100, 2 * 1152.0);
    EXPECT_EQ(QSettings().value("Settings/RecordLastSavePath").toString(), dir.path());
}

TEST(RecordDialog, DeviceWithoutTheRateRecordsAtItsOwnRateAndKeepsTheSpeed)
{
    clearSettings();
    QSettings().setValue("Settings/RecordComboBoxFormat", "128 kBit/s, 44.100 Hz, Stereo");
    FakeDeviceSpec spec = deviceNamed("Odd Card");
    spec.rates = {};       // lists no rate at all
    spec.nearestRate = 48000;  // but captures at 48 kHz
    Rig rig({spec}, ScopedEncoders::BuiltIn);
    kvtest::TempDir dir;
    ModalResponder responder;
    responder.answerFiles({dir.file("odd.mp3")});
    KvRecord d(nullptr, nullptr);
    FakeCaptureInput *input = startTake(d, rig);
    ASSERT_TRUE(input) << responder.boxTexts.join("|").toStdString();
    EXPECT_EQ(d.captureFormat().sampleRate(), 48000);
    input->feedSeconds(2.0);
    ASSERT_TRUE(waitFor([&] { return d.recordThread()->recordedSize() == 2 * 48000 * 4; }));
    child<QPushButton>(d, "pushButtonRecord")->click();  // pause: Save is offered only then
    boxButton(d, QDialogButtonBox::Save)->click();
    ASSERT_TRUE(d.isSaved()) << responder.boxTexts.join("|").toStdString();

    // Two seconds of audio play for two seconds: rate and length agree.
    QByteArray probe;
    kvtest::runProgram("ffprobe", {"-v", "error", "-show_entries", "stream=sample_rate", "-of", "csv=p=0",
                                   dir.file("odd.mp3")}, &probe);
    const int rate = probe.trimmed().toInt();
    EXPECT_EQ(rate, 48000);
    const qint64 frames = kvtest::decodeMpg123(dir.file("odd.mp3")).size() / 4;
    EXPECT_NEAR(double(frames) / rate, 2.0, 2 * 1152.0 / 48000);
}

TEST(RecordDialog, FailedEncoderOpenShowsTheSinkError)
{
    clearSettings();
    Rig rig({deviceNamed("Line In")}, ScopedEncoders::LameOnly);
    ListEncoder::failOpenWith = "libmp3lame.so.0 was not found";
    ModalResponder responder;
    KvRecord d(nullptr, nullptr);
    d.show();
    child<QPushButton>(d, "pushButtonRecord")->click();
    ASSERT_TRUE(waitFor([&] { return !responder.boxTexts.isEmpty(); }));
    waitFor([] { return false; }, 200);  // no second box follows
    EXPECT_EQ(responder.boxTexts.size(), 1);
    EXPECT_TRUE(responder.boxTexts.first().contains(
        "Unable to initialize audio encoder - Error:\nlibmp3lame.so.0 was not found"))
        << responder.boxTexts.first().toStdString();
    EXPECT_EQ(rig.provider->inputsCreated(), 0);
    EXPECT_EQ(child<QGroupBox>(d, "groupBoxRecord")->title(), "Recording not possible!");
    EXPECT_FALSE(child<QPushButton>(d, "pushButtonRecord")->isEnabled());
}

TEST(RecordDialog, AacTakeIsSavedAsM4aByMovingTheTempFile)
{
    clearSettings();
    QSettings().setValue("Settings/RecordComboBoxFormat", "FFmpeg AAC encoder: 44100Hz, 128 kbps (CBR)");
    Rig rig({deviceNamed("Line In")}, ScopedEncoders::AacOnly);
    QString movedFrom, movedTo;
    AudioInfo::setAacRewrapper([&](const QString &from, const QString &to) {
        movedFrom = from;
        movedTo = to;
        return QFile::copy(from, to) ? QString() : QString("copy failed");
    });
    kvtest::TempDir dir;
    ModalResponder responder;
    responder.answerFiles({dir.file("voice")});
    KvRecord d(nullptr, nullptr);
    child<QRadioButton>(d, "radioButtonStereo")->setChecked(true);
    FakeCaptureInput *input = startTake(d, rig);
    ASSERT_TRUE(input);
    input->feedSeconds(0.5);
    ASSERT_TRUE(waitFor([&] { return d.recordThread()->recordedSize() == 22050 * 4; }));
    child<QPushButton>(d, "pushButtonRecord")->click();
    boxButton(d, QDialogButtonBox::Save)->click();
    AudioInfo::setAacRewrapper(AudioInfo::AacRewrapper());
    EXPECT_TRUE(d.isSaved());
    EXPECT_EQ(responder.fileCaptions, QStringList{"Save Recorded Audio"});
    EXPECT_EQ(movedTo, dir.file("voice.m4a"));
    EXPECT_FALSE(movedFrom.isEmpty());
    EXPECT_FALSE(QFile::exists(movedFrom)) << "the temporary file is moved, not copied";
    EXPECT_EQ(QFileInfo(dir.file("voice.m4a")).size(), 22050 * 4);
}

TEST(RecordDialog, ClosingWithAnUnsavedTakeAsksFirst)
{
    clearSettings();
    Rig rig({deviceNamed("Line In")}, ScopedEncoders::LameOnly);
    ModalResponder responder;
    responder.answerBoxes({QMessageBox::No, QMessageBox::Yes});
    KvRecord d(nullptr, nullptr);
    FakeCaptureInput *input = startTake(d, rig);
    ASSERT_TRUE(input);
    input->feedSeconds(0.3);
    ASSERT_TRUE(waitFor([&] { return d.recordThread()->recordedSize() > 0; }));
    d.close();
    EXPECT_TRUE(d.isVisible()) << "No keeps the dialog open";
    d.close();
    EXPECT_FALSE(d.isVisible());
    const QString ask = "The audio recording has not been saved! Are you sure you wish to discard the recording?";
    EXPECT_EQ(responder.boxTexts, (QStringList{ask, ask}));
}

TEST(RecordDialog, EscapeWithTheRecordButtonDisabledWritesNoSettings)
{
    clearSettings();
    QSettings().setValue("Settings/RecordComboBoxFormat", "no such format");
    Rig rig({deviceNamed("Line In")}, ScopedEncoders::LameOnly);
    KvRecord d(nullptr, nullptr);
    d.show();
    ASSERT_FALSE(child<QPushButton>(d, "pushButtonRecord")->isEnabled());
    d.reject();
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(QSettings().contains("Settings/RecordComboBoxInputDev"));
}
