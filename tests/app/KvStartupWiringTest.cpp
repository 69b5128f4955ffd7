// What start-up wires together, seen from outside in the real program: an
// AAC export through the File menu, playback at start (and not with -e) into a
// private sound server, the critical box when the sound device fails (before
// or while playing), the question a project asks when it moved with its
// source, and the refusal to export a source another program changed until it
// is opened again.
#include "KvProgramTest.h"

#include <KvPulseSession.h>
#include <KvSourceChanges.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>

namespace {

const QString mainWindowTitle = QStringLiteral("^mp3Morvelta - ");
// Every message box is titled with the application name alone.
const QString boxTitle = QStringLiteral("^mp3Morvelta$");
// Generous: a loaded two-core machine opens, writes and plays slowly.
constexpr int slowMs = 60000;
// Louder than anything but the song: the null sink's monitor is silent otherwise.
constexpr int audiblePeak = 1000;

QProcessEnvironment soundServer(const QString &address)
{
    QProcessEnvironment env;
    env.insert("PULSE_SERVER", address);
    return env;
}

class StartupWiringTest : public kvtest::ProgramTest {
protected:
    void SetUp() override
    {
        kvtest::ProgramTest::SetUp();
        // The guide bubbles come every few seconds and may cover a box; a
        // person who knows the program has them switched off.
        settings()->setValue("Settings/showPopupGuides", false);
        // No sound server unless a test starts its own.
        noSound = soundServer("unix:" + work.file("no-sound-server"));
    }

    QString mainWindow() const
    {
        const QString window = x->waitForWindow(mainWindowTitle, slowMs);
        EXPECT_FALSE(window.isEmpty()) << "the main window did not show";
        return window;
    }

    QString box() const
    {
        const QString window = x->waitForWindow(boxTitle, slowMs);
        EXPECT_FALSE(window.isEmpty()) << "no message box showed";
        return window;
    }

    // Quits with Ctrl+Q and expects a clean end.
    void quit()
    {
        const QString window = mainWindow();
        ASSERT_FALSE(window.isEmpty());
        ASSERT_TRUE(x->sendKeys(window, {"ctrl+q"}));
        EXPECT_EQ(exitCode(slowMs), 0);
    }

    // The File menu's Export All As, by its menu mnemonics; a key that came
    // before the menu had opened is simply tried again.
    QString openExportAllDialog()
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const QString window = mainWindow();
            if (window.isEmpty())
                return QString();
            x->sendKeys(window, {"alt+f"});
            QThread::msleep(500);
            x->xdotool({"key", "p"});
            const QString dialog = x->waitForWindow("^Export All As", 10000);
            if (!dialog.isEmpty())
                return dialog;
            x->xdotool({"key", "Escape"});
        }
        return QString();
    }

    // The one box that reports a failure: its text, a picture of it, OK, and
    // no second box after it.
    void expectOneFailureBox(const QString &text, const QString &shot)
    {
        const QString critical = box();
        ASSERT_FALSE(critical.isEmpty());
        EXPECT_EQ(messageText(critical), text);
        screenshot(shot);
        ASSERT_TRUE(x->sendKeys(critical, {"Return"}));
        EXPECT_TRUE(staysAway(boxTitle)) << "the failure was reported twice, or play was retried";
    }

    bool soundWithin(const kvtest::PulseSession &pulse, int timeoutMs) const
    {
        return poll([&] { return pulse.peakOfNext(500) > audiblePeak; }, timeoutMs, 0);
    }

    // Starts the program with the song, playing into the sound server; the
    // main window once it is heard, else empty.
    QString startPlaying(const kvtest::PulseSession &pulse)
    {
        EXPECT_TRUE(pulse.isRunning()) << "the private sound server did not start";
        if (!pulse.isRunning())
            return QString();
        start({kvtest::fixture("cbr128_joint.mp3")}, soundServer(pulse.address()));
        const QString window = mainWindow();
        if (window.isEmpty())
            return QString();
        if (!soundWithin(pulse, slowMs)) {
            ADD_FAILURE() << "the song did not play";
            return QString();
        }
        return window;
    }

    kvtest::TempDir work;
    QProcessEnvironment noSound;
};

TEST_F(StartupWiringTest, AacExportThroughTheFileMenuDecodesLikeTheSource)
{
    for (const char *name : {"aac_lc_stereo.m4a", "aac_lc_stereo.aac"}) {
        SCOPED_TRACE(name);
        const QString suffix = QFileInfo(name).suffix();
        const QString song = work.file("song." + suffix);
        const QString exported = work.file("exported." + suffix);
        ASSERT_TRUE(QFile::copy(kvtest::fixture(name), song));

        start({"-e", song}, noSound);
        const QString dialog = openExportAllDialog();
        ASSERT_FALSE(dialog.isEmpty()) << "File > Export All As did not ask for a name";
        ASSERT_TRUE(x->typeText(dialog, exported));
        ASSERT_TRUE(x->sendKeys(dialog, {"Return"}));

        const QString done = box();
        ASSERT_FALSE(done.isEmpty());
        EXPECT_EQ(messageText(done), "The project was successfully exported.");
        screenshot("export-done-" + suffix);
        ASSERT_TRUE(x->sendKeys(done, {"Return"}));

        ASSERT_TRUE(waitForFile(exported, slowMs));
        QString errors;
        const QByteArray pcm = kvtest::decodeFfmpeg(exported, &errors);
        EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
        EXPECT_FALSE(pcm.isEmpty());
        EXPECT_TRUE(pcm == kvtest::decodeFfmpeg(song)) << "the untouched export sounds different";
        quit();
    }
}

TEST_F(StartupWiringTest, AudioPlaysAtStartUnlessEditOnly)
{
    kvtest::PulseSession pulse;
    ASSERT_TRUE(pulse.isRunning()) << "the private sound server did not start";
    const QString song = kvtest::fixture("cbr128_joint.mp3");

    start({song}, soundServer(pulse.address()));
    ASSERT_FALSE(mainWindow().isEmpty());
    EXPECT_TRUE(soundWithin(pulse, slowMs)) << "the song named on the command line did not play";
    screenshot("playing-at-start");
    quit();

    start({"-e", song}, soundServer(pulse.address()));
    const QString window = mainWindow();
    ASSERT_FALSE(window.isEmpty());
    // What must not happen gets the time it would have taken.
    QThread::msleep(3000);
    EXPECT_EQ(pulse.streamCount(), 0) << "-e played";
    EXPECT_LE(pulse.peakOfNext(500), audiblePeak);
    // The song is open all the same: Play plays it.
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+p"}));
    EXPECT_TRUE(soundWithin(pulse, slowMs)) << "Play after -e played nothing";
    quit();
}

TEST_F(StartupWiringTest, SoundServerThatWentAwayRaisesTheCriticalBoxAtPlay)
{
    kvtest::PulseSession pulse;
    const QString window = startPlaying(pulse);
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+t"}));
    ASSERT_TRUE(poll([&] { return pulse.streamCount() == 0; }, slowMs)) << "Stop left the stream open";

    // The device the program found at start is gone when Play opens it.
    pulse.stop();
    // The program hears of it on its own sound thread; nothing outside shows when.
    QThread::msleep(1500);
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+p"}));
    expectOneFailureBox("Unable to open the audio output device.", "critical-sound-server-gone");
    quit();
}

TEST_F(StartupWiringTest, SoundServerGoingAwayWhilePlayingStopsWithOneBox)
{
    kvtest::PulseSession pulse;
    const QString window = startPlaying(pulse);
    ASSERT_FALSE(window.isEmpty());
    screenshot("sound-server-playing");

    pulse.stop();
    expectOneFailureBox("Unable to open the audio output device.", "critical-sound-server-gone-while-playing");
    ASSERT_TRUE(waitForStillPicture(window));
    screenshot("sound-server-gone-stopped");
    // Stopped, Play is offered again: it tries the device once more, which
    // is still gone. A window still playing would not take the key.
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+p"}));
    expectOneFailureBox("Unable to open the audio output device.", "critical-sound-server-gone-play-again");
    quit();
}

TEST_F(StartupWiringTest, NoSoundServerRaisesTheCriticalBoxWhenTheSongStarts)
{
    start({kvtest::fixture("cbr128_joint.mp3")}, noSound);
    expectOneFailureBox("Unable to open output audio device.", "critical-no-sound-server");
    quit();
}

TEST_F(StartupWiringTest, ProjectMovedWithItsSourceAsksToSearchAndOpens)
{
    // A project saved beside a folder holding its source...
    const QString before = work.file("before");
    ASSERT_TRUE(QDir().mkpath(before + "/src"));
    const QString source = before + "/src/song.mp3";
    ASSERT_TRUE(QFile::copy(kvtest::fixture("cbr128_joint.mp3"), source));
    start({"-e", source}, noSound);
    const QString window = mainWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(x->sendKeys(window, {"F12"}));
    // Saving a project first says what a project is.
    const QString notice = x->waitForWindow("Project Message$", slowMs);
    ASSERT_FALSE(notice.isEmpty());
    ASSERT_TRUE(x->sendKeys(notice, {"Return"}));
    const QString dialog = x->waitForWindow("^Save Project As", slowMs);
    ASSERT_FALSE(dialog.isEmpty());
    // Any case of the extension is a project.
    ASSERT_TRUE(x->typeText(dialog, before + "/Project.KVLPROJ"));
    ASSERT_TRUE(x->sendKeys(dialog, {"Return"}));
    ASSERT_FALSE(x->waitForWindow("^mp3Morvelta - Project\\.KVLPROJ$", slowMs).isEmpty());
    quit();

    // ...moved, folder and all, is opened from its new place.
    const QString after = work.file("after");
    ASSERT_TRUE(QDir().rename(before, after));
    start({after + "/Project.KVLPROJ"}, noSound);
    const QString question = box();
    ASSERT_FALSE(question.isEmpty());
    EXPECT_EQ(messageText(question), "file fragment  " + QDir::toNativeSeparators(source) +
                                         " not found!\nDo you wish to search using a relative path?");
    screenshot("question-project-source-moved");
    ASSERT_TRUE(x->sendKeys(question, {"alt+y"}));

    const QString opened = x->waitForWindow("^mp3Morvelta - Project\\.KVLPROJ$", slowMs);
    ASSERT_FALSE(opened.isEmpty()) << "the project did not open";
    EXPECT_TRUE(staysAway(boxTitle)) << "opening reported a failure";

    // The new place of the source is a change of the project.
    ASSERT_TRUE(x->sendKeys(opened, {"ctrl+q"}));
    const QString save = box();
    ASSERT_FALSE(save.isEmpty());
    EXPECT_EQ(messageText(save),
              "Save changes to project " + QDir::toNativeSeparators(after + "/Project.KVLPROJ") + "?");
    ASSERT_TRUE(x->sendKeys(save, {"alt+n"}));
    EXPECT_EQ(exitCode(slowMs), 0);
}

TEST_F(StartupWiringTest, ASourceChangedFromOutsideIsRefusedUntilItIsOpenedAgain)
{
    const QString song = work.file("song.mp3");
    const QString exported = work.file("exported.mp3");
    ASSERT_TRUE(kvtest::copyFixture("cbr128_joint.mp3", song));
    start({"-e", song}, noSound);
    ASSERT_FALSE(mainWindow().isEmpty());
    // The file is opened after the window shows; what the program holds open shows in /proc.
    const QString fds = QString("/proc/%1/fd").arg(program.processId());
    ASSERT_TRUE(poll(
        [&] {
            for (const QFileInfo &fd : QDir(fds).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
                if (fd.symLinkTarget() == song)
                    return true;
            return false;
        },
        slowMs))
        << "the program did not open the song";
    // Its window is drawn once the file is indexed.
    QThread::msleep(1000);

    // Another program writes other audio of the same length into the file.
    const QByteArray other = kvtest::readFile(kvtest::fixture("cbr128_stereo.mp3"));
    {
        QFile file(song);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_EQ(file.write(other), other.size());
    }

    QString dialog = openExportAllDialog();
    ASSERT_FALSE(dialog.isEmpty()) << "File > Export All As did not ask for a name";
    ASSERT_TRUE(x->typeText(dialog, exported));
    ASSERT_TRUE(x->sendKeys(dialog, {"Return"}));
    expectOneFailureBox("Failed to save the file: " + exported + "\nError: " + kvtest::changedSourceText(song),
                        "critical-source-changed");
    EXPECT_EQ(QDir(work.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"song.mp3"})
        << "the refused export left a file behind";

    // File > Open of the same file indexes what it holds now.
    const QString window = mainWindow();
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+o"}));
    const QString chooser = x->waitForWindow("^Open audio files or a Project$", slowMs);
    ASSERT_FALSE(chooser.isEmpty());
    ASSERT_TRUE(x->typeText(chooser, song));
    ASSERT_TRUE(x->sendKeys(chooser, {"Return"}));
    ASSERT_TRUE(waitForNoWindow("^Open audio files or a Project$", slowMs));

    dialog = openExportAllDialog();
    ASSERT_FALSE(dialog.isEmpty());
    ASSERT_TRUE(x->typeText(dialog, exported));
    ASSERT_TRUE(x->sendKeys(dialog, {"Return"}));
    const QString done = box();
    ASSERT_FALSE(done.isEmpty());
    EXPECT_EQ(messageText(done), "The project was successfully exported.");
    ASSERT_TRUE(x->sendKeys(done, {"Return"}));
    ASSERT_TRUE(waitForFile(exported, slowMs));
    const QByteArray pcm = kvtest::decodeMpg123(exported);
    EXPECT_FALSE(pcm.isEmpty());
    EXPECT_TRUE(pcm == kvtest::decodeMpg123(song)) << "the export after opening again is not the new content";
    EXPECT_FALSE(pcm == kvtest::decodeMpg123(kvtest::fixture("cbr128_joint.mp3")));
    quit();
}

} // namespace
