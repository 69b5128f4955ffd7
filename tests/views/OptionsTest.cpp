// The options dialog: decibel texts of gain steps, the navigation time fields and
// their sliders, the tab that lasts through Cancel, the checks OK makes (LAME
// location, navigation times), Browse, and the encoder texts with their links
// into the manual.
#include "KvDialogTestSupport.h"
#include "KvOpenedUrls.h"

#include <KvManual.h>
#include <KvMessageBox.h>
#include <KvOptions.h>
#include <KvTestSupport.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QTimer>
#include <QUrl>

using namespace kvdlgtest;

namespace {

// Browse answered without a file dialog.
class ScriptedOptions : public KvOptions {
public:
    QString answer;
    QStringList starts;

protected:
    QString chooseLameLocation(const QString &start) override
    {
        starts << start;
        return answer;
    }
};

// Collects the boxes shown and answers each with its first button.
struct Boxes {
    QStringList texts;
    KvScopedMessageBoxAnswerer answerer{[this](QMessageBox &box) {
        texts << box.text();
        return int(QMessageBox::Ok);
    }};
};

// Every text of the dialog a person can read.
QStringList visibleTexts(const KvOptions &dialog)
{
    QStringList texts{dialog.windowTitle()};
    for (const QLabel *w : dialog.findChildren<QLabel *>())
        texts << w->text() << w->toolTip();
    for (const QAbstractButton *w : dialog.findChildren<QAbstractButton *>())
        texts << w->text() << w->toolTip();
    for (const QGroupBox *w : dialog.findChildren<QGroupBox *>())
        texts << w->title();
    for (int i = 0; i < dialog.ui.tabWidgetAppearance->count(); ++i)
        texts << dialog.ui.tabWidgetAppearance->tabText(i);
    return texts;
}

} // namespace

TEST(Options, DecibelTextOfGainSteps)
{
    const std::pair<int, const char *> cases[] = {
        {1, "   1.5 dB"}, {4, "   6.0 dB"}, {10, "  15.1 dB"}, {40, "  60.2 dB"}, {0, "   0.0 dB"}};
    for (const auto &c : cases)
        EXPECT_EQ(KvOptions::dbText(c.first), QLatin1String(c.second)) << c.first;

    FreshSettings fresh;
    KvOptions dialog;
    // The labels follow every change, the caller's filling and each arrow click.
    dialog.ui.spinBoxVolIncDec->setValue(4);
    EXPECT_EQ(dialog.ui.labelDbIncDec->text(), "   6.0 dB");
    dialog.ui.spinBoxVolIncDec->stepBy(1);
    EXPECT_EQ(dialog.ui.labelDbIncDec->text(), KvOptions::dbText(5));
    dialog.ui.spinBoxVolFade->setValue(40);
    EXPECT_EQ(dialog.ui.labelDbFade->text(), "  60.2 dB");
    EXPECT_EQ(KvOptions(nullptr).ui.labelDbFade->text(), "   1.5 dB");
}

TEST(Options, NavigationFieldsAndSliders)
{
    FreshSettings fresh;
    KvOptions dialog;
    QLineEdit *block = dialog.ui.lineEditFrameBlockTime;
    QLineEdit *page = dialog.ui.lineEditFramePageTime;
    QSlider *blockSlider = dialog.ui.horizontalSliderFrameBlockTime;
    QSlider *pageSlider = dialog.ui.horizontalSliderFramePageTime;

    dialog.setFrameBlockTime(0.5);
    dialog.setFramePageTime(5.0);
    EXPECT_EQ(block->text(), "0.5");
    EXPECT_EQ(page->text(), "5");
    EXPECT_EQ(blockSlider->value(), 5);
    EXPECT_EQ(pageSlider->value(), 50);

    struct Step {
        QLineEdit *field;    // typed into, else the slider is moved
        QSlider *slider;
        const char *typed;
        int moveTo;
        int value, maximum;
        const char *text;
    };
    const Step steps[] = {
        {block, blockSlider, "7", 0, 70, 70, "7"},         // grows the slider
        {block, blockSlider, "3", 0, 30, 50, "3"},         // and shrinks it back
        {page, pageSlider, "60", 0, 600, 600, "60"},
        {block, blockSlider, "0.05", 0, 30, 50, "0.05"},   // 0.5 tenths: the slider stays
        {page, pageSlider, "0.5", 0, 10, 500, "1"},        // below the minimum: to 10, and the text follows
        {page, pageSlider, "0.5", 0, 10, 500, "0.5"},      // already at 10: the text stays
        {block, blockSlider, "0.5", 0, 5, 50, "0.5"},
        {block, blockSlider, "0.55", 0, 5, 50, "0.55"},    // the slider did not move: the digits stay
        {nullptr, blockSlider, nullptr, 15, 15, 50, "1.5"},
        {nullptr, blockSlider, nullptr, 10, 10, 50, "1"},
        {block, blockSlider, "inf", 0, 10, 50, "inf"},     // refused by OK: the slider stays
        {block, blockSlider, "1e300", 0, 10, 50, "1e300"},
    };
    for (const Step &s : steps) {
        if (s.field)
            s.field->setText(QString::fromLatin1(s.typed));
        else
            s.slider->setValue(s.moveTo);
        const QString what = s.field ? QString::fromLatin1(s.typed) : QString::number(s.moveTo);
        EXPECT_EQ(s.slider->value(), s.value) << what.toStdString();
        EXPECT_EQ(s.slider->maximum(), s.maximum) << what.toStdString();
        EXPECT_EQ((s.field ? s.field : (s.slider == blockSlider ? block : page))->text(), QLatin1String(s.text))
            << what.toStdString();
    }
    // The text, not the slider, is the value.
    EXPECT_EQ(dialog.framePageTime(), 0.5);
    block->setText("abc");
    EXPECT_EQ(dialog.frameBlockTime(), 0.0);
}

TEST(Options, TabLastsThroughCancelAndTheWindowControl)
{
    FreshSettings fresh;
    {
        KvOptions dialog;
        EXPECT_EQ(dialog.windowTitle(), "Options");
        EXPECT_EQ(dialog.ui.tabWidgetAppearance->currentIndex(), 0);
        dialog.show();
        dialog.ui.tabWidgetAppearance->setCurrentIndex(3);
        boxButton(&dialog, QDialogButtonBox::Cancel)->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    {
        KvOptions dialog;
        EXPECT_EQ(dialog.ui.tabWidgetAppearance->currentWidget()->objectName(), "tabTracks");
        dialog.show();
        dialog.ui.tabWidgetAppearance->setCurrentIndex(1);
        dialog.close();
    }
    EXPECT_EQ(KvOptions().ui.tabWidgetAppearance->currentIndex(), 1);
    // A stored index that names no tab leaves the first one.
    QSettings().setValue(KvOptions::tabIndexKey, 7);
    EXPECT_EQ(KvOptions().ui.tabWidgetAppearance->currentIndex(), 0);
}

TEST(Options, OkChecksTheLameLocationAndTheTimes)
{
    kvtest::TempDir dir;
    const QString lame = dir.file("lame");
    ASSERT_TRUE(kvtest::writeFile(lame, "#!/bin/sh\n"));

    struct Case {
        QString location;
        const char *block;
        const char *page;
        bool accepted;
        const char *warning;  // a part of the box's text
    };
    const Case cases[] = {
        {lame, "0.5", "5", true, nullptr},
        {QString(), "0.5", "5", true, nullptr},
        {dir.file("missing"), "0.5", "5", false, "The LAME command line application was not found."},
        {dir.path(), "0.5", "5", false, "The LAME command line application was not found."},  // a folder
        {lame, "0", "5", false, "frame navigation times"},
        {lame, "0.5", "abc", false, "frame navigation times"},
        {lame, "-1", "5", false, "frame navigation times"},
        {lame, "0.5", "inf", false, "frame navigation times"},
        {lame, "0.5", "90000", false, "frame navigation times"},
    };
    for (const Case &c : cases) {
        FreshSettings fresh;
        QSettings().setValue(KvOptions::lameLocationKey, "before");
        Boxes boxes;
        KvOptions dialog;
        EXPECT_EQ(dialog.ui.lineEditLameApp->text(), "before");
        dialog.show();
        dialog.ui.lineEditLameApp->setText(c.location);
        dialog.ui.lineEditFrameBlockTime->setText(QString::fromLatin1(c.block));
        dialog.ui.lineEditFramePageTime->setText(QString::fromLatin1(c.page));
        boxButton(&dialog, QDialogButtonBox::Ok)->click();
        const std::string what = (c.location + " " + c.block + " " + c.page).toStdString();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted) << what;
        EXPECT_EQ(dialog.isVisible(), !c.accepted) << what;
        if (c.accepted) {
            EXPECT_TRUE(boxes.texts.isEmpty()) << what;
            EXPECT_EQ(QSettings().value(KvOptions::lameLocationKey).toString(), c.location) << what;
        } else {
            ASSERT_EQ(boxes.texts.size(), 1) << what;
            EXPECT_TRUE(boxes.texts.first().contains(QLatin1String(c.warning))) << what;
            EXPECT_EQ(QSettings().value(KvOptions::lameLocationKey).toString(), "before") << what;
        }
    }
}

TEST(Options, BrowseStartsAtTheFieldAndTakesOnlyExistingFiles)
{
    FreshSettings fresh;
    kvtest::TempDir dir;
    const QString lame = dir.file("lame");
    ASSERT_TRUE(kvtest::writeFile(lame, "x"));
    ScriptedOptions dialog;

    dialog.answer = dir.file("gone");
    dialog.ui.pushButtonBrowse->click();
    EXPECT_EQ(dialog.starts.value(0), "libmp3lame.so.0");
    EXPECT_TRUE(dialog.ui.lineEditLameApp->text().isEmpty());

    dialog.answer = lame;
    dialog.ui.pushButtonBrowse->click();
    EXPECT_EQ(dialog.ui.lineEditLameApp->text(), lame);

    dialog.answer.clear();  // chooser closed without a choice
    dialog.ui.lineEditLameApp->setText("  " + lame + " ");
    dialog.ui.pushButtonBrowse->click();
    EXPECT_EQ(dialog.starts.value(2), QDir(lame).absolutePath());
    EXPECT_EQ(dialog.ui.lineEditLameApp->text(), "  " + lame + " ");
    // Nothing is stored before OK.
    EXPECT_FALSE(QSettings().contains(KvOptions::lameLocationKey));
}

TEST(Options, ResetButtonsAndTexts)
{
    FreshSettings fresh;
    const QString before = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("Kvtest");
    KvOptions dialog;
    QCoreApplication::setApplicationName(before);

    EXPECT_FALSE(dialog.resetAllWarnings);
    dialog.ui.pushButtonResetAllWarnings->click();
    EXPECT_TRUE(dialog.resetAllWarnings);
    // Nothing happens before OK: the caller resets the warnings.
    dialog.ui.lineEditTrackNameFormat->setText("%A - %T");
    dialog.ui.pushButton->click();
    EXPECT_EQ(dialog.ui.lineEditTrackNameFormat->text(), "%0N %T");
    for (QLabel *label : {dialog.ui.label, dialog.ui.label_acm_encoder, dialog.ui.label_7}) {
        EXPECT_TRUE(label->text().contains("'Kvtest'")) << label->objectName().toStdString();
        EXPECT_FALSE(label->text().contains("mp3Morvelta")) << label->objectName().toStdString();
    }
    EXPECT_TRUE(dialog.ui.checkBoxAutoTrackNo->isChecked());
    EXPECT_EQ(dialog.ui.tabWidgetAppearance->count(), 5);
}

// The encoders tab speaks of what this build has, and its FAQ links open the
// manual's topics on them.
TEST(Options, EncoderTextsNameThisBuildsEncodersAndLinkToTheManual)
{
    FreshSettings fresh;
    KvOptions dialog;
    for (const QString &text : visibleTexts(dialog))
        for (const char *windowsOnly : {"Windows", "ACM", ".dll", ".exe", "Media Foundation", "http"})
            EXPECT_FALSE(text.contains(QLatin1String(windowsOnly))) << text.toStdString();
    const QString encoders = dialog.ui.label->text() + dialog.ui.label_acm_encoder->text() + dialog.ui.label_7->text();
    for (const char *names : {"LAME shared library", "lame command line program", "FFmpeg's MP3 encoder",
                              "FFmpeg's AAC encoder", "libmp3lame.so"})
        EXPECT_TRUE(encoders.contains(QLatin1String(names))) << names;
    // The topics of the manual's FAQ, by their titles.
    EXPECT_TRUE(dialog.ui.label->text().contains("\"Using another LAME encoder\""));
    EXPECT_TRUE(dialog.ui.label_acm_encoder->text().contains("\"The FFmpeg MP3 encoder\""));

    const QString manual = kvManualPath();
    ASSERT_EQ(manual, QCoreApplication::applicationDirPath() + "/mp3Morvelta_Manual.pdf");
    KvOpenedUrls opened;
    for (QLabel *link : {dialog.ui.label_2, dialog.ui.label_acm_encoder_link}) {
        SCOPED_TRACE(link->objectName().toStdString());
        EXPECT_TRUE(link->text().contains("mp3Morvelta_Manual.pdf"));
        EXPECT_FALSE(link->openExternalLinks());
        // Without the manual a box says where it was looked for.
        QFile::remove(manual);
        Boxes boxes;
        emit link->linkActivated("#manual");
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts.first().contains(QDir::toNativeSeparators(manual))) << boxes.texts.first().toStdString();
        EXPECT_TRUE(opened.urls.isEmpty());
        // With it, the desktop's viewer gets the file.
        ASSERT_TRUE(kvtest::writeFile(manual, "%PDF-1.4\n"));
        emit link->linkActivated("#manual");
        EXPECT_EQ(boxes.texts.size(), 1);
        QFile::remove(manual);
        ASSERT_EQ(opened.urls.size(), 1);
        EXPECT_EQ(opened.urls.takeFirst(), QUrl::fromLocalFile(manual));
    }
}

TEST(Options, BrowseOffersLameSharedLibrariesFirst)
{
    FreshSettings fresh;
    KvOptions dialog;
    QStringList filters;
    QString caption;
    // The real chooser: read it, then close it without a choice.
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *chooser = qobject_cast<QFileDialog *>(w)) {
                filters = chooser->nameFilters();
                caption = chooser->windowTitle();
                chooser->reject();
            }
        }
    });
    dialog.ui.pushButtonBrowse->click();
    EXPECT_EQ(filters, QStringList({"LAME shared library (libmp3lame.so*)", "LAME program (lame)"}));
    EXPECT_EQ(caption, "Browse for lame application");
    EXPECT_TRUE(dialog.ui.lineEditLameApp->text().isEmpty());
}


