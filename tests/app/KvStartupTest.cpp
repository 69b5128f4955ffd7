// The real program started as a user starts it: the command line, the
// agreement gate and its settings, driven on a private X server.
#include "KvProgramTest.h"

#include <gtest/gtest.h>

#include <QProcess>
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

} // namespace
