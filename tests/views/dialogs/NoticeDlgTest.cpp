// The notices: the product name in their texts, the settings key written when the
// box is ticked whatever closed the notice, the box text's reflow by shape, and the
// HE-AAC notice's answer.
#include "KvDialogTestSupport.h"

#include <KvDialogTexts.h>
#include <KvNoticeDlg.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>

#include <functional>

using namespace kvdlgtest;

namespace {

struct NoticeKind {
    const char *name;
    std::function<KvNoticeDlg *()> make;
    const char *key;
    const char *title;
    const char *label;
};

const NoticeKind kNotices[] = {
    {"convert", [] { return new KvConvertWarnDlg; }, "Warnings/ShowConvertWarnDlg", "mp3Morvelta Convert Message",
     "labelConvertWarning"},
    {"project", [] { return new KvSaveProjWarnDlg; }, "Warnings/ShowSaveProjWarnDlg", "mp3Morvelta Project Message",
     "labelSaveProjWarning"},
};

enum class Close { Button, WindowControl, Escape };

// Runs the notice as its callers do (on the heap, deleted on close), ticks the box
// or not and closes it one way.
void runNotice(const NoticeKind &kind, bool tick, Close how)
{
    QPointer<KvNoticeDlg> dialog = kind.make();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    child<QCheckBox>(dialog, "checkBoxDontShowAgain")->setChecked(tick);
    switch (how) {
    case Close::Button:
        child<QPushButton>(dialog, "pushButtonClose")->click();
        break;
    case Close::WindowControl:
        dialog->close();
        break;
    case Close::Escape:
        dialog->reject();
        break;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull()) << kind.name;
}

} // namespace

TEST(NoticeDlg, TickedBoxTurnsTheNoticeOffHoweverItCloses)
{
    for (const NoticeKind &kind : kNotices) {
        for (Close how : {Close::Button, Close::WindowControl, Close::Escape}) {
            FreshSettings fresh;
            runNotice(kind, false, how);
            EXPECT_FALSE(QSettings().contains(QLatin1String(kind.key))) << kind.name << int(how);
            runNotice(kind, true, how);
            EXPECT_EQ(QSettings().value(QLatin1String(kind.key), true).toBool(), false) << kind.name << int(how);
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

TEST(NoticeDlg, BoxTextReflowsWithTheShape)
{
    for (const NoticeKind &kind : kNotices) {
        std::unique_ptr<KvNoticeDlg> dialog(kind.make());
        dialog->show();
        auto *box = child<QCheckBox>(dialog.get(), "checkBoxDontShowAgain");
        // Back and forth: nothing accumulates.
        for (int round = 0; round < 2; ++round) {
            dialog->resize(700, 300);
            EXPECT_EQ(box->text(), "&Do not show this warning again") << kind.name;
            dialog->resize(400, 600);
            EXPECT_EQ(box->text(), "&Do not show this\nwarning again") << kind.name;
        }
        // A square dialog counts as tall.
        dialog->resize(500, 500);
        if (dialog->width() == dialog->height()) {
            EXPECT_EQ(box->text(), "&Do not show this\nwarning again") << kind.name;
        }
    }
}

TEST(NoticeDlg, HeAacNoticeAnswersOkOrCancel)
{
    for (auto which : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
        FreshSettings fresh;
        KvHeAacWarningDlg dialog;
        EXPECT_EQ(dialog.windowTitle(), "HE-AAC File Support");
        EXPECT_FALSE(dialog.findChild<QCheckBox *>());
        dialog.show();
        boxButton(&dialog, which)->click();
        EXPECT_EQ(dialog.result(), which == QDialogButtonBox::Ok ? QDialog::Accepted : QDialog::Rejected);
        // Shown every time: it keeps no setting.
        EXPECT_TRUE(QSettings().allKeys().isEmpty());
    }
}
