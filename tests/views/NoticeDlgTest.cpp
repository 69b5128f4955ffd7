// The notices: the product name in their texts, the settings key written when the
// box is ticked whatever closed the notice, the box text's reflow by shape, and the
// HE-AAC notice's answer.
#include "KvDialogTestSupport.h"

#include <KvDialogTexts.h>
#include <KvLameInstallDlg.h>
#include <KvNoticeDlg.h>
#include <KvUiServices.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

using namespace kvdlgtest;

namespace {

struct NoticeKind {
    const char *name;
    KvUi::Notice notice;
    std::function<KvNoticeDlg *()> make;
    const char *key;
    const char *title;
    const char *label;
};

const NoticeKind kNotices[] = {
    {"convert", KvUi::ConvertWarning, [] { return new KvConvertWarnDlg; }, "Warnings/ShowConvertWarnDlg",
     "mp3Morvelta Convert Message", "labelConvertWarning"},
    {"project", KvUi::SaveProjectWarning, [] { return new KvSaveProjWarnDlg; }, "Warnings/ShowSaveProjWarnDlg",
     "mp3Morvelta Project Message", "labelSaveProjWarning"},
};

enum class Close { Button, WindowControl, Escape };

// Runs the notice as the controller does, through the UI services' dialog runner;
// once it is up, ticks the box or not and closes it one way.
int runNotice(KvUi::Notice notice, bool tick, Close how)
{
    QTimer::singleShot(0, [=] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        child<QCheckBox>(dialog, "checkBoxDontShowAgain")->setChecked(tick);
        switch (how) {
        case Close::Button:
            child<QPushButton>(dialog, "pushButtonClose")->click();
            break;
        case Close::WindowControl:
            dialog->close();
            break;
        case Close::Escape:
            QTest::keyClick(dialog, Qt::Key_Escape);
            break;
        }
    });
    return kvUi().runNotice(notice, nullptr);
}

} // namespace

TEST(NoticeDlg, TickedBoxTurnsTheNoticeOffHoweverItCloses)
{
    for (const NoticeKind &kind : kNotices) {
        for (Close how : {Close::Button, Close::WindowControl, Close::Escape}) {
            FreshSettings fresh;
            const int result = runNotice(kind.notice, false, how);
            EXPECT_EQ(result, how == Close::Button ? QDialog::Accepted : QDialog::Rejected);
            EXPECT_FALSE(QSettings().contains(QLatin1String(kind.key))) << kind.name << int(how);
            runNotice(kind.notice, true, how);
            EXPECT_EQ(QSettings().value(QLatin1String(kind.key), true).toBool(), false) << kind.name << int(how);
            // The notices delete themselves once closed.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            for (QWidget *w : QApplication::topLevelWidgets())
                EXPECT_FALSE(qobject_cast<KvNoticeDlg *>(w)) << kind.name;
        }
    }
}

TEST(NoticeDlg, TitleAndTextCarryTheApplicationName)
{
    const QString before = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("Kvtest");
    for (const NoticeKind &kind : kNotices) {
        std::unique_ptr<KvNoticeDlg> dialog(kind.make());
        EXPECT_EQ(dialog->windowTitle(), kind.title);
        const QString text = child<QLabel>(dialog.get(), kind.label)->text();
        EXPECT_TRUE(text.contains("'Kvtest'")) << kind.name;
        EXPECT_FALSE(text.contains("mp3Morvelta")) << kind.name;
        EXPECT_TRUE(text.contains("<b>Important:</b>")) << kind.name;
    }
    KvHeAacWarningDlg heAac;
    EXPECT_TRUE(child<QLabel>(&heAac, "labelSaveProjWarning")->text().contains("compatible with 'Kvtest'."));
    QCoreApplication::setApplicationName(before);
}

TEST(NoticeDlg, LameNoticeLeavesTheSettingToItsCaller)
{
    FreshSettings fresh;
    KvLameInstallDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "LAME Encoder Configuration");
    EXPECT_TRUE(child<QLabel>(&dialog, "labelInstallLame")->text().contains("<b>Options</b>"));
    EXPECT_FALSE(dialog.dontShowAgain());
    child<QCheckBox>(&dialog, "checkBoxDontShowAgain")->setChecked(true);
    EXPECT_TRUE(dialog.dontShowAgain());
    dialog.reject();
    EXPECT_TRUE(QSettings().allKeys().isEmpty());
}

TEST(NoticeDlg, BoxTextReflowsWithTheShape)
{
    std::vector<std::function<KvNoticeDlg *()>> makers;
    for (const NoticeKind &kind : kNotices)
        makers.push_back(kind.make);
    makers.push_back([] { return new KvLameInstallDlg; });
    for (const auto &make : makers) {
        std::unique_ptr<KvNoticeDlg> dialog(make());
        const std::string name = dialog->windowTitle().toStdString();
        dialog->show();
        auto *box = child<QCheckBox>(dialog.get(), "checkBoxDontShowAgain");
        // Back and forth: nothing accumulates.
        for (int round = 0; round < 2; ++round) {
            dialog->resize(700, 300);
            EXPECT_EQ(box->text(), "&Do not show this warning again") << name;
            dialog->resize(400, 600);
            EXPECT_EQ(box->text(), "&Do not show this\nwarning again") << name;
        }
        // A square dialog counts as tall.
        dialog->resize(500, 500);
        if (dialog->width() == dialog->height()) {
            EXPECT_EQ(box->text(), "&Do not show this\nwarning again") << name;
        }
    }
}

TEST(NoticeDlg, HeAacNoticeAnswersOkOrCancel)
{
    for (auto which : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
        FreshSettings fresh;
        QTimer::singleShot(0, [=] {
            QWidget *dialog = QApplication::activeModalWidget();
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->windowTitle(), "HE-AAC File Support");
            EXPECT_FALSE(dialog->findChild<QCheckBox *>());
            boxButton(dialog, which)->click();
        });
        const int result = kvUi().runNotice(KvUi::HeAacWarning, nullptr);
        EXPECT_EQ(result, which == QDialogButtonBox::Ok ? QDialog::Accepted : QDialog::Rejected);
        // Shown every time: it keeps no setting.
        EXPECT_TRUE(QSettings().allKeys().isEmpty());
    }
}
