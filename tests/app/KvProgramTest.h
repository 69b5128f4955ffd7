#pragma once
// The real program on a private X server (Xvfb), with a private
// configuration folder, driven as a person would: xdotool keys to its windows.
#include <KvTestSupport.h>
#include <KvXSession.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include <functional>
#include <memory>

namespace kvtest {

// The program's own settings file under a configuration folder (its
// XDG_CONFIG_HOME).
inline QString programSettingsPath(const QString &configDir)
{
    return configDir + "/Veltranix Ltd/mp3Morvelta.conf";
}

class ProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { x = new XSession; }
    static void TearDownTestSuite()
    {
        delete x;
        x = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(x->isRunning()) << "Xvfb did not start"; }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

    // The program's own settings file under the private configuration folder.
    QString settingsPath() const { return programSettingsPath(config.path()); }
    std::unique_ptr<QSettings> settings() const
    {
        return std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat);
    }

    // extraEnvironment adds to or overrides the caller's environment, e.g. PULSE_SERVER.
    void start(const QStringList &args, const QProcessEnvironment &extraEnvironment = QProcessEnvironment())
    {
        QProcessEnvironment env = x->environment();
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert(extraEnvironment);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(KV_APP_PATH, args);
        ASSERT_TRUE(program.waitForStarted());
    }

    // The exit code once the program has ended by itself; -1 when it did not.
    int exitCode(int timeoutMs = 20000)
    {
        if (!program.waitForFinished(timeoutMs) || program.exitStatus() != QProcess::NormalExit)
            return -1;
        return program.exitCode();
    }

    // Keys to the window whose title matches; waits for it first, and lets
    // the program handle them before the caller looks.
    void keys(const QString &title, const QStringList &k, int settleMs = 400)
    {
        const QString window = x->waitForWindow(title);
        ASSERT_FALSE(window.isEmpty()) << "no window " << title.toStdString();
        ASSERT_TRUE(x->sendKeys(window, k));
        QThread::msleep(settleMs);
    }

    // The text of the message box in the window, as a person copies it: a
    // click on the text, select all, copy. Empty when it could not be copied.
    QString messageText(const QString &window)
    {
        // What an earlier box left on the clipboard is not this box's text.
        const QString before = x->clipboard();
        QString text;
        for (int attempt = 0; attempt < 10; ++attempt) {
            // The text starts right of the box's icon, on its first line.
            x->click(window, 70, 20);
            x->sendKeys(window, {"ctrl+a", "ctrl+c"});
            if (poll([&] { return (text = x->clipboard()) != before && !text.isEmpty(); }, 2000))
                return text;
        }
        return text;
    }

    // True when no window whose title matches shows within timeoutMs; for
    // what must not come, so the whole time is waited.
    bool staysAway(const QString &title, int timeoutMs = 3000) const
    {
        return !poll([&] { return x->hasWindow(title); }, timeoutMs);
    }

    // Asks pred every intervalMs until it holds (true) or timeoutMs pass (false).
    static bool poll(const std::function<bool()> &pred, int timeoutMs, int intervalMs = 200)
    {
        QElapsedTimer clock;
        clock.start();
        while (!pred()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QThread::msleep(intervalMs);
        }
        return true;
    }

    // With KV_SCREENSHOT_DIR set, keeps a picture of the whole screen.
    void screenshot(const QString &name) const
    {
        const QString dir = qEnvironmentVariable("KV_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        QDir().mkpath(dir);
        x->import({"-window", "root", dir + "/" + name + ".png"});
    }

    // The window's picture as raw pixels, to tell whether it changed.
    QByteArray windowPixels(const QString &window) const
    {
        return x->import({"-window", window, "-depth", "8", "rgb:-"});
    }

    // Waits until the window's picture holds still: two pictures a moment
    // apart are the same. With `before`, the picture must also differ from it,
    // so that what was asked of the program has been drawn.
    bool waitForStillPicture(const QString &window, const QByteArray &before = QByteArray(),
                             int timeoutMs = 60000) const
    {
        QByteArray last;
        return waitFor(
            [&] {
                const QByteArray now = windowPixels(window);
                const bool still = !now.isEmpty() && now == last && now != before;
                last = now;
                if (!still)
                    QThread::msleep(250);
                return still;
            },
            timeoutMs);
    }

    // Keys to the window, then waits until it has drawn their effect.
    bool keysUntilDrawn(const QString &window, const QStringList &k, int timeoutMs = 60000) const
    {
        const QByteArray before = windowPixels(window);
        return x->sendKeys(window, k) && waitForStillPicture(window, before, timeoutMs);
    }

    // A left click at a point of the window (window coordinates).
    bool click(const QString &window, int x0, int y0) const
    {
        int code = 0;
        x->xdotool({"mousemove", "--sync", "--window", window, QString::number(x0), QString::number(y0), "click", "1"},
                   &code);
        return code == 0;
    }

    // Waits until no mapped window's title matches.
    bool waitForNoWindow(const QString &title, int timeoutMs = 30000) const
    {
        return waitFor(
            [&] {
                const bool shown = x->hasWindow(title);
                if (shown)
                    QThread::msleep(100);
                return !shown;
            },
            timeoutMs);
    }

    // Waits until the file exists and its size stays put.
    static bool waitForFile(const QString &path, int timeoutMs = 30000)
    {
        qint64 last = -1;
        return waitFor(
            [&] {
                const qint64 size = QFileInfo(path).size();
                const bool stable = size > 0 && size == last;
                last = size;
                if (!stable)
                    QThread::msleep(200);
                return stable;
            },
            timeoutMs);
    }

    static XSession *x;
    TempDir config;
    QProcess program;
};

inline XSession *ProgramTest::x = nullptr;

} // namespace kvtest
