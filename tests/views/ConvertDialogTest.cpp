// The conversion dialog offscreen: default choices with a LAME encoder, the rate lists
// by mode, the tempo and pitch sliders, a whole run with pause, save and the stored
// settings, the discard question, and a dialog without encoders.
#include "ConvertTestSupport.h"
#include "KvRecordTestSupport.h"
#include "PlaybackTestSupport.h"

#include <KvConvert.h>
#include <KvConvertWorker.h>
#include <KvDecodeThread.h>
#include <KvRepackInfoPtrList.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>

using namespace kvconvtest;
using kvplaytest::documentOf;
using kvplaytest::ScopedFrameStreams;
using kvrectest::ModalResponder;
using kvrectest::ScopedEncoders;

// Stands in for the main window: the dialog hands it the folder for the next Open.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    QString lastOpenPath;
public slots:
    void setLastOpenPath(const QString &path) { lastOpenPath = path; }
};

namespace {

template <typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(name);
    EXPECT_TRUE(c) << name;
    return c;
}

QList<int> rateData(KvConvert &d)
{
    QList<int> out;
    QComboBox *c = child<QComboBox>(&d, "comboBoxConvertSampFreq");
    for (int i = 0; i < c->count(); ++i)
        out << c->itemData(i).toInt();
    return out;
}

struct Fresh {
    Fresh() { QSettings().clear(); }
};

} // namespace

TEST(ConvertDialog, LameDefaultsAndRateListsByMode)
{
    Fresh fresh;
    ScopedEncoders encoders(ScopedEncoders::LameOnly);
    ScopedDecoder decoder;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    Project project(doc);
    KvConvert d(&project.controller, {doc}, nullptr, 0, 50, false, false);

    EXPECT_EQ(d.windowTitle(), "Audio Conversion");
    EXPECT_TRUE(child<QComboBox>(&d, "comboBoxConvertEncoder")->currentText().contains("LAME"));
    QComboBox *format = child<QComboBox>(&d, "comboBoxConvertFormat");
    EXPECT_EQ(format->currentText(), "LAME encoder: VBR quality 4 (default)");
    EXPECT_TRUE(child<QRadioButton>(&d, "radioButtonEncodeVBR")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(&d, "radioButtonStereo")->isChecked());
    EXPECT_EQ(child<QComboBox>(&d, "comboBoxConvertSampFreq")->currentData().toInt(), 44100);
    ASSERT_EQ(format->count(), 10);
    for (int i = 0; i < format->count(); ++i)
        EXPECT_TRUE(format->itemText(i).contains("VBR")) << format->itemText(i).toStdString();
    EXPECT_TRUE(child<QPushButton>(&d, "pushButtonConvert")->isEnabled());

    const QList<int> nine = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    EXPECT_EQ(rateData(d), QList<int>{0} + nine);
    EXPECT_EQ(child<QComboBox>(&d, "comboBoxConvertSampFreq")->itemText(0), "(default)");

    child<QRadioButton>(&d, "radioButtonEncodeCBR")->click();
    EXPECT_EQ(rateData(d), nine);
    for (int i = 0; i < format->count(); ++i)
        EXPECT_TRUE(format->itemText(i).contains("44100Hz")) << format->itemText(i).toStdString();

    child<QRadioButton>(&d, "radioButtonEncodeABR")->click();
    EXPECT_EQ(rateData(d), QList<int>{0} + nine);
    EXPECT_EQ(child<QComboBox>(&d, "comboBoxConvertSampFreq")->currentIndex(), -1);
}

TEST(ConvertDialog, SliderTipsAndTempoFactors)
{
    Fresh fresh;
    ScopedEncoders encoders(ScopedEncoders::LameOnly);
    ScopedDecoder decoder;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    Project project(doc);
    KvConvert d(&project.controller, {doc}, nullptr, 3, 50, false, false);
    QSlider *tempo = child<QSlider>(&d, "horizontalSliderTempo");
    QSlider *pitch = child<QSlider>(&d, "horizontalSliderPitch");
    struct Case { int value; const char *tip; double factor; } cases[] = {
        {75, "100% Faster", 2.0}, {25, "25% Slower", 0.75}, {100, "200% Faster", 3.0},
        {0, "50% Slower", 0.5}, {51, "4% Faster", 1.04}};
    for (const Case &c : cases) {
        tempo->setValue(c.value);
        EXPECT_EQ(tempo->toolTip(), c.tip);
        EXPECT_DOUBLE_EQ(KvConvert::tempoFactor(c.value), c.factor);
    }
    pitch->setValue(-2);
    EXPECT_EQ(pitch->toolTip(), "-2 Semitones");
    pitch->setValue(0);
    EXPECT_EQ(pitch->toolTip(), "+0 Semitones");
    child<QPushButton>(&d, "pushButtonTempoReset")->click();
    EXPECT_EQ(tempo->value(), 50);
}

TEST(ConvertDialog, ConvertPauseResumeSaveStoresSettings)
{
    Fresh fresh;
    ScopedEncoders encoders(ScopedEncoders::LameOnly);
    ScopedDecoder decoder;
    ScopedFrameStreams streams;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    Project project(doc);
    MainWindow window;
    ModalResponder responder;
    QTemporaryDir dir;
    const QString out = dir.filePath("converted.mp3");
    responder.answerFiles({out});
    {
        KvConvert d(&project.controller, {doc->copyRange(0, -1)}, &window, 0, 75, false, true);
        d.show();
        child<QRadioButton>(&d, "radioButtonMono")->click();
        QPushButton *convert = child<QPushButton>(&d, "pushButtonConvert");
        QSignalSpy finished(d.worker().get(), SIGNAL(raiseConvertFinished(bool)));
        convert->click();
        ASSERT_TRUE(d.worker()->decodeThread);
        convert->click();  // pause
        EXPECT_TRUE(d.isPaused());
        EXPECT_EQ(child<QGroupBox>(&d, "groupBoxRecord")->title(), "Paused converting...");
        EXPECT_TRUE(d.worker()->decodeThread->isPaused());
        convert->click();  // resume
        EXPECT_EQ(child<QGroupBox>(&d, "groupBoxRecord")->title(), "Converting...");
        ASSERT_TRUE(finished.wait(60000));
        EXPECT_TRUE(finished.at(0).at(0).toBool());
        EXPECT_EQ(child<QGroupBox>(&d, "groupBoxRecord")->title(), "Conversion completed.");
        QDialogButtonBox *box = child<QDialogButtonBox>(&d, "buttonBox");
        EXPECT_TRUE(box->button(QDialogButtonBox::Save)->isEnabled());
        EXPECT_FALSE(box->button(QDialogButtonBox::Close)->isEnabled());
        // Tempo 75 means twice as fast: half the PCM went in.
        const double seconds = d.worker()->decodeThread->outputLength() / 2.0 / 44100.0;
        EXPECT_NEAR(seconds, doc->totalFrames() * 1152 / 44100.0 / 2.0, 0.1);
        box->button(QDialogButtonBox::Save)->click();
        EXPECT_TRUE(d.isSaved());
        EXPECT_EQ(d.result(), int(QDialog::Accepted));
        EXPECT_TRUE(QFileInfo::exists(out));
    }
    EXPECT_EQ(responder.boxTexts, QStringList{"The selection was successfully converted."});
    QSettings s;
    EXPECT_EQ(s.value("Settings/ConvertComboBoxFormat").toString(), "LAME encoder: VBR quality 4 (default)");
    EXPECT_EQ(s.value("Settings/ConvertChannels").toInt(), 1);
    EXPECT_EQ(s.value("Settings/ConvertSamplerate").toInt(), 44100);
    EXPECT_TRUE(s.value("Settings/ConvertComboBoxEncoder").toString().contains("LAME"));
    // The output's folder, not the one from before, opens next.
    const QString folder = QFileInfo(out).absolutePath();
    EXPECT_EQ(s.value("Settings/ConvertLastSavePath").toString(), folder);
    EXPECT_EQ(window.lastOpenPath, folder);
    EXPECT_EQ(project.controller.lastConvertPath(), folder);
}

TEST(ConvertDialog, ClosingAPausedConversionAsksAndNeverHangs)
{
    Fresh fresh;
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    DocPtr doc = documentOf("vbr_v0_long.mp3");
    Project project(doc);
    ModalResponder responder;
    QPointer<KvDecodeThread> thread;
    QElapsedTimer t;
    {
        KvConvert d(&project.controller, {doc->copyRange(0, -1)}, nullptr, 0, 50, false, false);
        d.show();
        child<QPushButton>(&d, "pushButtonConvert")->click();
        thread = d.worker()->decodeThread;
        ASSERT_TRUE(thread);
        QElapsedTimer w;
        w.start();
        while (thread->outputLength() == 0 && w.elapsed() < 20000)
            QThread::msleep(10);
        child<QPushButton>(&d, "pushButtonConvert")->click();  // pause
        ASSERT_TRUE(d.isPaused());
        responder.answerBoxes({QMessageBox::No});
        d.close();
        EXPECT_TRUE(d.isVisible());  // No keeps it open
        responder.answerBoxes({QMessageBox::Yes});
        t.start();
        d.reject();
        EXPECT_FALSE(d.isVisible());
    }
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(thread.isNull());
    ASSERT_EQ(responder.boxTexts.size(), 2);
    EXPECT_EQ(responder.boxTexts[0],
              "The audio conversion has not been saved! Are you sure you wish to discard the audio?");
}

TEST(ConvertDialog, ACancelledSaveKeepsTheOutputAndTheDialog)
{
    Fresh fresh;
    ScopedEncoders encoders(ScopedEncoders::LameOnly);
    ScopedDecoder decoder;
    ScopedFrameStreams streams;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    Project project(doc);
    ModalResponder responder;
    responder.answerFiles({QString()});
    KvConvert d(&project.controller, {doc->copyRange(0, 100)}, nullptr, 0, 50, false, false);
    d.show();
    QSignalSpy finished(d.worker().get(), SIGNAL(raiseConvertFinished(bool)));
    child<QPushButton>(&d, "pushButtonConvert")->click();
    ASSERT_TRUE(finished.wait(60000));
    QDialogButtonBox *box = child<QDialogButtonBox>(&d, "buttonBox");
    box->button(QDialogButtonBox::Save)->click();
    EXPECT_EQ(responder.fileCaptions, QStringList{"Save Converted Audio"});
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.isSaved());
    EXPECT_TRUE(box->button(QDialogButtonBox::Save)->isEnabled());
    EXPECT_TRUE(box->button(QDialogButtonBox::Discard)->isEnabled());
    EXPECT_FALSE(box->button(QDialogButtonBox::Close)->isEnabled());
    EXPECT_TRUE(responder.boxTexts.isEmpty());
    // Discard asks before the audio goes.
    responder.answerBoxes({QMessageBox::Yes});
    box->button(QDialogButtonBox::Discard)->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(responder.boxTexts.size(), 1);
}

TEST(ConvertDialog, WithoutEncodersItRejectsItself)
{
    Fresh fresh;
    ScopedEncoders encoders(ScopedEncoders::None);
    DocPtr doc = documentOf("cbr128_joint.mp3");
    Project project(doc);
    ModalResponder responder;
    KvConvert d(&project.controller, {doc}, nullptr, 0, 50, false, false);
    EXPECT_TRUE(d.encoders().isEmpty());
    EXPECT_EQ(d.exec(), int(QDialog::Rejected));
    EXPECT_EQ(responder.otherDialogs, 1);  // the LAME notice came first
}

#include "ConvertDialogTest.moc"
