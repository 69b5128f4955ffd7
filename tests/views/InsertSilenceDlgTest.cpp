// The insert-silence dialog: seconds to whole frames, when Ok may be pressed, what
// is remembered, and what the controller receives on Ok and on Cancel.
#include "KvDialogTestSupport.h"

#include <KvInsertSilenceDlg.h>

#include <KvUiServices.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QUndoStack>

#include <cmath>

using namespace kvdlgtest;

namespace {
const char kLastSecs[] = "Settings/InsertSilenceLastNumSecs";
} // namespace

TEST(InsertSilenceDlg, TextGivesFramesAndOkState)
{
    struct Case {
        const char *text;
        qint64 frames;
        bool ok;
    };
    const Case cases[] = {
        {"1", 38, true},           // 38.28 + 0.5 truncated
        {"0.01", 0, false},        // 0.38 + 0.5 truncated: nothing to insert
        {"0.02", 1, true},
        {"3600", 137813, true},    // one hour is allowed
        {"3600.01", 137813, false},// a positive count, but longer than an hour
        {"-1", -37, false},        // rounds toward zero
        {"abc", 0, false},
        {"", 0, false},
        {"nan", 0, false},
        {"inf", 0, false},
        {"1e300", 0, false},
    };
    FreshSettings fresh;
    const auto format = mp3Format44k();
    KvInsertSilenceDlg dialog(format, nullptr);
    auto *edit = child<QLineEdit>(&dialog, "lineEditInsSilentSecs");
    QPushButton *ok = boxButton(&dialog, QDialogButtonBox::Ok);
    for (const Case &c : cases) {
        edit->setText(QString::fromLatin1(c.text));
        EXPECT_EQ(ok->isEnabled(), c.ok) << c.text;
        EXPECT_EQ(KvInsertSilenceDlg::framesForSeconds(QString::fromLatin1(c.text).toDouble(), *format), c.frames)
            << c.text;
    }
}

TEST(InsertSilenceDlg, FirstUseOpensEmptyAndRemembersTheInsertedLength)
{
    FreshSettings fresh;
    SilentProject project(100);
    {
        KvInsertSilenceDlg dialog(mp3Format44k(), nullptr, project.controller.get());
        EXPECT_EQ(dialog.windowTitle(), "Insert Silence");
        EXPECT_TRUE(child<QLineEdit>(&dialog, "lineEditInsSilentSecs")->text().isEmpty());
        EXPECT_FALSE(boxButton(&dialog, QDialogButtonBox::Ok)->isEnabled());
        child<QLineEdit>(&dialog, "lineEditInsSilentSecs")->setText("1");
        boxButton(&dialog, QDialogButtonBox::Ok)->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    // 38 frames went in at the position, as one undoable edit.
    EXPECT_EQ(project.totalFrames(), 138);
    EXPECT_EQ(project.model->undoStack()->count(), 1);
    EXPECT_TRUE(QSettings().value("HelpUsage/EditDone").toBool());
    // The length of the frames inserted, not the one typed.
    EXPECT_DOUBLE_EQ(QSettings().value(kLastSecs).toDouble(), 38.0 * 1152 / 44100);

    // Next time the field shows it to hundredths, and Ok is ready.
    KvInsertSilenceDlg again(mp3Format44k(), nullptr, project.controller.get());
    EXPECT_EQ(child<QLineEdit>(&again, "lineEditInsSilentSecs")->text(), "0.99");
    EXPECT_TRUE(boxButton(&again, QDialogButtonBox::Ok)->isEnabled());
    again.reject();
}

TEST(InsertSilenceDlg, CancelInsertsNothingAndKeepsTheSetting)
{
    FreshSettings fresh;
    QSettings().setValue(kLastSecs, 2.0);
    SilentProject project(100);
    KvInsertSilenceDlg dialog(mp3Format44k(), nullptr, project.controller.get());
    child<QLineEdit>(&dialog, "lineEditInsSilentSecs")->setText("5");
    boxButton(&dialog, QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(project.totalFrames(), 100);
    EXPECT_EQ(project.model->undoStack()->count(), 0);
    EXPECT_EQ(QSettings().value(kLastSecs).toDouble(), 2.0);
    // The controller was still told: the help flag is written in every case.
    EXPECT_TRUE(QSettings().value("HelpUsage/EditDone").toBool());
}

TEST(InsertSilenceDlg, AcceptingPastTheRulesInsertsNothing)
{
    // accept() reached without the disabled Ok (a script, a shortcut) must not insert
    // what Ok would refuse.
    FreshSettings fresh;
    SilentProject project(100);
    KvInsertSilenceDlg dialog(mp3Format44k(), nullptr, project.controller.get());
    child<QLineEdit>(&dialog, "lineEditInsSilentSecs")->setText("3600.01");
    dialog.accept();
    EXPECT_EQ(project.totalFrames(), 100);
    EXPECT_FALSE(QSettings().contains(kLastSecs));
}

TEST(InsertSilenceDlg, RunsThroughTheDialogRunner)
{
    // As the controller runs it: modal, deleted on close, answering the controller given.
    FreshSettings fresh;
    SilentProject project(10);
    QTimer::singleShot(0, [] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_TRUE(dialog);
        child<QLineEdit>(dialog, "lineEditInsSilentSecs")->setText("2");
        boxButton(dialog, QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(kvUi().runInsertSilence(project.controller.get(), mp3Format44k(), nullptr), int(QDialog::Accepted));
    EXPECT_EQ(project.totalFrames(), 10 + 77);  // 76.56 + 0.5
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(qApp->activeModalWidget());
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<KvInsertSilenceDlg *>(w));
}
