// What the main window keeps in step as documents come and go and as other
// parts of the program hand it something: a recent file opened while paused,
// a project's own place in it, the settings read again, the controller's
// passing messages and the folder a recording dialog saved into.
#include <MainWindow.h>

#include "../controller/KvControllerTestSupport.h"
#include "../views/KvDialogTestSupport.h"

#include <KvAudioSink.h>
#include <KvFakeUiServices.h>
#include <KvFrameEditForm.h>
#include <KvNullAudioSink.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRecord.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QUndoStack>

#include <functional>

namespace {

class MainWindowStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        // Bubbles of the guide tour are no part of these tests.
        QSettings().setValue("Settings/showPopupGuides", false);
        a = dir.file("a.mp3");
        b = dir.file("b.mp3");
        // Of different lengths, so that one is told from the other.
        ASSERT_TRUE(QFile::copy(kvtest::fixture("cbr128_joint.mp3"), a));
        ASSERT_TRUE(QFile::copy(kvtest::fixture("cbr64_mono.mp3"), b));
    }
    void TearDown() override { QSettings().clear(); }

    static QAction *action(const QWidget &window, const char *name)
    {
        return kvdlgtest::child<QAction>(&window, name);
    }
    // The File menu's entry for a recent file.
    static QAction *recentEntry(const QWidget &window, const QString &path)
    {
        for (QAction *entry : window.findChildren<QAction *>())
            if (entry->isVisible() && entry->data().toString() == QDir::toNativeSeparators(path))
                return entry;
        return nullptr;
    }

    kvtest::TempDir dir;
    QString a;
    QString b;
    kvtest::FakeUiServices ui;
    KvScopedUiServices scopedUi{&ui};
};

TEST_F(MainWindowStateTest, RecentFileOpenedWhilePausedStartsStopped)
{
    // Played on the null output, on the clock of the wall.
    const auto device =
        std::make_shared<KvNullAudioDevice>(std::make_shared<KvNullAudioClock>(KvNullAudioClock::RealTime), false);
    ScopedDevice scoped(device);

    MainWindow window;
    KvQmlController *controller = window.appController();
    window.openFiles({a});
    const double framesOfA = controller->totalFrames();
    controller->updateRecentFiles(b);
    controller->setScrollFrame(100);
    action(window, "actionPlay")->trigger();
    ASSERT_EQ(controller->playState(), 1);
    action(window, "actionPause")->trigger();
    ASSERT_EQ(controller->playState(), 3);
    ASSERT_TRUE(action(window, "actionStop")->isEnabled());

    QAction *entry = recentEntry(window, b);
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->isEnabled()) << "a paused document may be replaced";
    entry->trigger();

    ASSERT_NE(controller->totalFrames(), framesOfA) << "b did not open";
    EXPECT_EQ(controller->playState(), 0);
    EXPECT_FALSE(action(window, "actionPause")->isChecked());
    EXPECT_FALSE(action(window, "actionPause")->isEnabled());
    EXPECT_FALSE(action(window, "actionStop")->isEnabled());
    EXPECT_TRUE(action(window, "actionPlay")->isEnabled());
    EXPECT_EQ(controller->scrollFrame(), 0.0);
    // A stop now would have nowhere of the old document to go back to.
    controller->stop();
    EXPECT_EQ(controller->scrollFrame(), 0.0);
}

TEST_F(MainWindowStateTest, AProjectOpensAtItsSavedPositionAndSelection)
{
    const QString project = dir.file("placed.kvlproj");
    {
        MainWindow window;
        KvQmlController *controller = window.appController();
        window.openFiles({a});
        controller->setScrollFrame(300);
        controller->setSelectionStart(50);
        controller->setSelectionEnd(150);
        ASSERT_TRUE(controller->saveProjectFile(project));
    }
    struct Way {
        const char *what;
        std::function<void(MainWindow &)> open;
    };
    const Way ways[] = {
        {"start-up, a drop", [project](MainWindow &w) { w.openProject(project); }},
        {"the Open command",
         [this, project](MainWindow &w) {
             ui.openAnswers << QStringList{project};
             action(w, "actionOpen")->trigger();
         }},
        {"a recent file",
         [project](MainWindow &w) {
             w.appController()->updateRecentFiles(project);
             recentEntry(w, project)->trigger();
         }},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.what);
        MainWindow window;
        KvQmlController *controller = window.appController();
        // Another document, somewhere else in it, is open before.
        window.openFiles({b});
        controller->setScrollFrame(20);
        way.open(window);
        ASSERT_EQ(window.documentModel()->projectFile(), QDir::toNativeSeparators(project));
        EXPECT_EQ(controller->scrollFrame(), 300.0);
        EXPECT_EQ(controller->selectionStart(), 50.0);
        EXPECT_EQ(controller->selectionEnd(), 150.0);
        EXPECT_TRUE(action(window, "actionCut")->isEnabled()) << "the selection's commands";
        EXPECT_TRUE(window.documentModel()->undoStack()->isClean()) << "coming back is no change";
    }
}

TEST_F(MainWindowStateTest, ReadingTheSettingsAgainRecomputesThePanel)
{
    MainWindow window;
    auto *panel = window.findChild<KvFrameEditForm *>();
    ASSERT_NE(panel, nullptr);
    QSignalSpy views(panel, SIGNAL(RaiseCalcEnabledActions()));
    QSignalSpy tracks(panel, SIGNAL(RaiseTrackInfoUpdated()));
    // As the Options command does before its dialog.
    window.readSettings(false);
    EXPECT_GE(views.count(), 1);
    EXPECT_GE(tracks.count(), 1);
}

TEST_F(MainWindowStateTest, PassingMessagesShowInTheStatusBarForAWhile)
{
    MainWindow window;
    KvQmlController *controller = window.appController();
    QStatusBar *bar = window.statusBar();
    const QString thanks = QStringLiteral("Thanks for your feedback! \U0001F929");
    struct Step {
        const char *what;
        std::function<void()> run;
        QString shown;
    };
    const Step steps[] = {
        {"a thank-you", [&] { controller->setToastMessage(thanks); }, thanks},
        {"the same again, after it went", [&] { controller->setToastMessage(thanks); }, thanks},
        {"the search, at once", [&] { controller->actionSearchAudioFiles("song"); }, "Not implemented!"},
    };
    // The playback controls fill the bar: the message has a label of its own.
    const QLabel *label = window.findChild<QLabel *>("labelStatusMessage");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isHidden());
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.run();
        EXPECT_EQ(bar->currentMessage(), step.shown);
        EXPECT_EQ(label->text(), step.shown);
        EXPECT_FALSE(label->isHidden());
        // Gone after a few seconds.
        if (&step != &steps[1]) {
            EXPECT_TRUE(kvtest::waitFor([bar] { return bar->currentMessage().isEmpty(); }, 8000));
            EXPECT_TRUE(label->isHidden());
        }
    }
}

TEST_F(MainWindowStateTest, TheRecordingDialogsFolderStartsTheNextOpenQuietly)
{
    const QString takes = dir.file("takes");
    ASSERT_TRUE(QDir().mkpath(takes));
    // Where the dialog saved its last take.
    QSettings().setValue("Settings/RecordLastSavePath", takes);
    MainWindow window;
    KvQmlController *controller = window.appController();
    controller->setLastOpenPath(dir.path());
    {
        kvtest::CapturedMessages log;
        KvRecord dialog(controller, &window);
        dialog.reject();
        EXPECT_TRUE(log.texts().filter("setLastOpenPath").isEmpty()) << log.texts().join("\n").toStdString();
    }
    action(window, "actionOpen")->trigger();
    ASSERT_EQ(ui.openDirs.size(), 1);
    EXPECT_EQ(ui.openDirs.first(), takes);
}

} // namespace
