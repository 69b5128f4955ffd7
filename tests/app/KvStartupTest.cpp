// The real program started as a user starts it: the command line, the
// agreement gate and its settings, driven on a private X server.
#include "KvProgramTest.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QThread>

#include <memory>

namespace {

const QString mainWindowTitle = QStringLiteral("^mp3Morvelta - ");
const QString agreementTitle = QStringLiteral("^License Agreement$");
const char showKey[] = "Warnings/ShowLicenseDlg2017-11-25";
const char defaultKey[] = "Settings/DefaultShowLicenseDlg2020-04-24";

class StartupTest : public kvtest::ProgramTest {
protected:
    void quitWithKeys()
    {
        const QString window = x->waitForWindow(mainWindowTitle);
        ASSERT_FALSE(window.isEmpty());
        ASSERT_TRUE(x->sendKeys(window, {"ctrl+q"}));
        EXPECT_EQ(exitCode(), 0);
    }
};

TEST_F(StartupTest, FreshConfigurationShowsNoAgreementAndWritesBothKeys)
{
    start({"-e", kvtest::fixture("cbr128_joint.mp3")});
    const QString window = x->waitForWindow(mainWindowTitle);
    ASSERT_FALSE(window.isEmpty()) << "the main window did not show";
    // The keys are written once the window has shown and passed the gate.
    for (int i = 0; i < 100 && !settings()->contains(showKey); ++i)
        QThread::msleep(100);
    EXPECT_FALSE(x->hasWindow(agreementTitle));
    EXPECT_FALSE(settings()->value(showKey).toBool());
    EXPECT_TRUE(settings()->value(defaultKey).toBool());
    EXPECT_TRUE(settings()->contains(showKey));
    quitWithKeys();
}

TEST_F(StartupTest, DecliningTheAgreementEndsWithExitCodeOneAndKeepsTheKeys)
{
    // Escape and the window's close control count as Decline.
    for (const char *key : {"alt+d", "Escape"}) {
        SCOPED_TRACE(key);
        {
            auto s = settings();
            s->setValue(showKey, true);
            s->setValue(defaultKey, true);
        }
        start({});
        const QString dialog = x->waitForWindow(agreementTitle);
        ASSERT_FALSE(dialog.isEmpty()) << "the agreement was not shown";
        EXPECT_TRUE(x->hasWindow(mainWindowTitle)) << "the window comes first";
        ASSERT_TRUE(x->sendKeys(dialog, {key}));
        EXPECT_EQ(exitCode(), 1);
        EXPECT_TRUE(settings()->value(showKey).toBool());
        EXPECT_TRUE(settings()->value(defaultKey).toBool());
    }
}

TEST_F(StartupTest, AcceptingTheAgreementStoresItAndGoesOn)
{
    // After the warnings were reset the show flag is gone, and the stored
    // default brings the agreement back.
    settings()->setValue(defaultKey, true);
    start({});
    const QString dialog = x->waitForWindow(agreementTitle);
    ASSERT_FALSE(dialog.isEmpty());
    ASSERT_TRUE(x->sendKeys(dialog, {"alt+a"}));
    const QString window = x->waitForWindow(mainWindowTitle);
    ASSERT_FALSE(window.isEmpty());
    for (int i = 0; i < 50 && settings()->value(showKey, true).toBool(); ++i)
        QThread::msleep(100);
    EXPECT_FALSE(settings()->value(showKey, true).toBool());
    EXPECT_TRUE(settings()->value(defaultKey).toBool());
    quitWithKeys();
}

TEST(StartupCommandLine, VersionHelpAndUnknownOptions)
{
    QByteArray out, err;
    EXPECT_EQ(kvtest::runProgram(KV_APP_PATH, {"--version"}, &out, &err), 0);
    EXPECT_EQ(out.trimmed(), "mp3Morvelta 3.2.5.138");

    EXPECT_EQ(kvtest::runProgram(KV_APP_PATH, {"--help"}, &out, &err), 0);
    for (const char *text : {"file or project.", "Edit only (do not play initially).", "Run with Desktop UI.",
                             "-e, --edit", "-d, --desktop"})
        EXPECT_TRUE(out.contains(text)) << text;

    EXPECT_NE(kvtest::runProgram(KV_APP_PATH, {"--no-such-option"}, &out, &err), 0);
    EXPECT_TRUE(err.contains("no-such-option")) << err.constData();
}

// A display number that no X server serves here.
QString deadDisplay()
{
    for (int n = 990; n > 900; --n)
        if (!QFileInfo::exists(QString("/tmp/.X11-unix/X%1").arg(n)))
            return QString(":%1").arg(n);
    return QString();
}

// As on a machine without any display: texts that need no window are printed,
// the editor says in one line why it cannot start, and nothing dumps core.
TEST(StartupCommandLine, WithoutADisplayOnlyTheTextsWork)
{
    const QString needsDisplay = QStringLiteral(
        "mp3Morvelta needs a display to show its window and could not open one; "
        "scripts/run starts it on a display served over VNC.\n");
    struct Case {
        QStringList environment;  // added to one without any display or platform
        QStringList args;
        int exitCode;
        const char *output;       // a part of standard output; or the whole of standard error on exit code 1
    };
    const Case cases[] = {
        {{}, {"--version"}, 0, "mp3Morvelta 3.2.5.138\n"},
        {{}, {"-v"}, 0, "mp3Morvelta 3.2.5.138\n"},
        {{}, {"--help"}, 0, "-e, --edit"},
        {{}, {"--help-all"}, 0, "Run with Desktop UI."},
        {{}, {"-e", "song.mp3"}, 1, nullptr},
        {{}, {}, 1, nullptr},
        // A platform chosen by name still needs its display server.
        {{"QT_QPA_PLATFORM=xcb"}, {"song.mp3"}, 1, nullptr},
        {{"QT_QPA_PLATFORM=wayland"}, {"song.mp3"}, 1, nullptr},
        {{}, {"-platform", "xcb", "song.mp3"}, 1, nullptr},
    };
    kvtest::TempDir dir;
    for (const Case &c : cases) {
        const std::string what = (c.environment + c.args).join(' ').toStdString();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("XDG_CONFIG_HOME", dir.path());
        for (const QString &e : c.environment)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(KV_APP_PATH, c.args);
        ASSERT_TRUE(p.waitForFinished(20000)) << what;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(p.exitCode(), c.exitCode) << what;
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        if (c.exitCode == 0) {
            EXPECT_TRUE(out.contains(c.output)) << what << ": " << out.toStdString();
        } else {
            EXPECT_TRUE(out.isEmpty()) << what << ": " << out.toStdString();
            EXPECT_EQ(err.toStdString(), needsDisplay.toStdString()) << what;
        }
    }
    EXPECT_TRUE(QDir(dir.path()).entryList({"core*"}).isEmpty());
    // Nothing was opened, so no settings were written.
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    // A display that is named but cannot be opened ends the same way, after
    // Qt's own words on it.
    const QString dead = deadDisplay();
    ASSERT_FALSE(dead.isEmpty());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.insert("DISPLAY", dead);
    env.insert("XDG_CONFIG_HOME", dir.path());
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(KV_APP_PATH, {"song.mp3"});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(err.endsWith(needsDisplay)) << err.toStdString();
    EXPECT_TRUE(err.contains(dead)) << err.toStdString();
}

} // namespace
