// A 60-minute MP3 in the real program: it opens with a progress window while
// it is indexed, the window keeps answering meanwhile, and afterwards it
// scrolls and plays into a private PulseAudio null sink. Everything is judged
// from outside the program: pictures of its windows, its clipboard, the sound
// that reached the sink and the settings it leaves behind.
//
// Indexing a 60-minute file that the system has cached takes a fraction of a
// second, shorter than the delay before the progress window shows. The file
// is therefore read as from a slow medium: a preloaded library holds back
// every read of it (tests/support/kv-slow-read.c).
#include "KvProgramTest.h"
#include "KvPulseSession.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <functional>

namespace {

const QString mainWindowTitle = QStringLiteral("^mp3Morvelta - ");
// The progress window carries the bare application name.
const QString progressTitle = QStringLiteral("^mp3Morvelta$");
constexpr qint64 kFileBytesPerSecondSlow = 15 * 1000 * 1000;

// The 60-minute file, made once per build tree: a tone and pink noise whose
// loudness rises and falls, 128 kbps joint stereo.
QString longMp3()
{
    const QString path = QStringLiteral(KV_LONG_FILE_DIR "/long60.mp3");
    if (QFileInfo(path).size() > 0)
        return path;
    QDir().mkpath(QStringLiteral(KV_LONG_FILE_DIR));
    // Concurrent runs each make their own and the last rename wins.
    const QString part = path + QStringLiteral(".%1.part.mp3").arg(QCoreApplication::applicationPid());
    const int rc = kvtest::runProgram(
        "ffmpeg",
        {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         "sine=frequency=330:sample_rate=44100:duration=3600", "-f", "lavfi", "-i",
         "anoisesrc=d=3600:c=pink:r=44100:a=0.3", "-filter_complex",
         "[0][1]amix=inputs=2,volume='0.35+0.3*sin(2*PI*t/97)':eval=frame,aformat=channel_layouts=stereo",
         "-c:a", "libmp3lame", "-b:a", "128k", "-compression_level", "7", part},
        nullptr, nullptr, 600000);
    if (rc != 0 || !QFile::rename(part, path)) {
        QFile::remove(part);
        return QFileInfo(path).size() > 0 ? path : QString();
    }
    return path;
}

class LongFileTest : public kvtest::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        file = longMp3();
        ASSERT_FALSE(file.isEmpty()) << "ffmpeg could not make the 60-minute file";
        // Guide bubbles are windows of their own over the frame display.
        settings()->setValue("Settings/showPopupGuides", false);
    }

    // Reads of the long file run at no more than the given rate.
    void readSlowly(QProcessEnvironment &env, qint64 bytesPerSecond) const
    {
        env.insert("LD_PRELOAD", KV_SLOW_READ_LIB);
        // A sanitizer build wants its runtime loaded first; the slow reader
        // only wraps read calls and passes them on, so the order does no harm.
        const QString asan = env.value("ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS"));
        env.insert("ASAN_OPTIONS", (asan.isEmpty() ? QString() : asan + ":") + "verify_asan_link_order=0");
        env.insert("KV_SLOW_READ_MATCH", QFileInfo(file).fileName());
        env.insert("KV_SLOW_READ_BYTES_PER_SEC", QString::number(bytesPerSecond));
    }

    // The window's picture as the X server holds it; null when it is gone.
    QImage grab(const QString &window) const
    {
        int code = 0;
        const QByteArray png = x->import({"-window", window, "png:-"}, &code);
        return code == 0 ? QImage::fromData(png, "PNG") : QImage();
    }

    static int differentPixels(const QImage &a, const QImage &b)
    {
        if (a.size() != b.size())
            return a.width() * a.height() + 1;
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    }

    // Waits until the window looks different from `before`; returns the new picture
    // (null when it did not change in time).
    QImage waitForChange(const QString &window, const QImage &before, int timeoutMs = 15000) const
    {
        QElapsedTimer clock;
        clock.start();
        do {
            const QImage now = grab(window);
            if (!now.isNull() && differentPixels(before, now) > 0)
                return now;
            QThread::msleep(100);
        } while (clock.elapsed() < timeoutMs);
        return QImage();
    }

    bool waitForWindowGone(const QString &title, int timeoutMs) const
    {
        QElapsedTimer clock;
        clock.start();
        while (x->hasWindow(title)) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QThread::msleep(100);
        }
        return true;
    }

    // The position text of the track fields ("Source location"), read as a
    // person would copy it: a triple click selects it, which puts it in the
    // X selection.
    QString positionText(const QString &window) const
    {
        const QSize size = x->windowSize(window);
        const int width = size.width();
        const int height = size.height();
        // The field sits at a fixed place from the window's bottom right corner.
        x->xdotool({"mousemove", "--window", window, QString::number(width - 286), QString::number(height - 74),
                    "click", "--repeat", "3", "--delay", "80", "1"});
        QThread::msleep(300);
        QProcess clip;
        clip.setProcessEnvironment(x->environment());
        clip.start("xclip", {"-o", "-selection", "primary"});
        clip.waitForFinished(10000);
        return QString::fromUtf8(clip.readAllStandardOutput()).trimmed();
    }

    // "h:mm:ss.cc" as seconds (while playing the hundredths may be missing);
    // -1 when the text is not a time.
    static double seconds(const QString &text)
    {
        const QRegularExpressionMatch m =
            QRegularExpression("^(\\d+):(\\d\\d):(\\d\\d(?:\\.\\d*)?)$").match(text);
        if (!m.hasMatch())
            return -1;
        return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toDouble();
    }

    bool recentFilesHold(const QString &path) const
    {
        return settings()->value("Settings/recentFileList").toStringList().contains(path);
    }

    QString file;
};

TEST_F(LongFileTest, OpensWithProgressScrollsAndPlaysWithoutFreezing)
{
    kvtest::PulseSession pulse;
    if (!pulse.isRunning())
        GTEST_SKIP() << "PulseAudio cannot start here";
    QProcessEnvironment env;
    env.insert("PULSE_SERVER", pulse.address());
    // About four seconds of reading.
    readSlowly(env, kFileBytesPerSecondSlow);
    start({"-e", file}, env);

    // Indexing: the progress window shows and keeps repainting its busy bar,
    // which only a window whose event loop runs does.
    const QString progress = x->waitForWindow(progressTitle);
    ASSERT_FALSE(progress.isEmpty()) << "no progress window while the file was indexed";
    screenshot("long-1-indexing");
    QImage last = grab(progress);
    int pictures = 0;
    int changes = 0;
    while (x->hasWindow(progressTitle)) {
        const QImage now = grab(progress);
        if (now.isNull())
            break;
        ++pictures;
        changes += differentPixels(last, now) > 0;
        last = now;
        QThread::msleep(150);
    }
    EXPECT_GT(changes, 0) << "the progress window did not repaint in " << pictures << " pictures";

    const QString window = x->waitForWindow(mainWindowTitle);
    ASSERT_FALSE(window.isEmpty());
    QThread::msleep(1000);
    screenshot("long-2-opened");

    // Scrolling: each key and wheel turn moves the view.
    QImage before = grab(window);
    for (const QString key : {"End", "Home", "ctrl+Next", "ctrl+Next"}) {
        SCOPED_TRACE(key.toStdString());
        ASSERT_TRUE(x->sendKeys(window, {key}));
        const QImage after = waitForChange(window, before);
        ASSERT_FALSE(after.isNull()) << "the window did not move for " << key.toStdString();
        if (key == "End")
            screenshot("long-3-end");
        before = after;
    }
    x->xdotool({"mousemove", "--window", window, "300", "340"});
    for (const char *button : {"5", "4"}) {
        SCOPED_TRACE(button);
        x->xdotool({"click", "--repeat", "3", "--delay", "100", button});
        const QImage after = waitForChange(window, before);
        ASSERT_FALSE(after.isNull()) << "the wheel did not move the view";
        before = after;
    }
    screenshot("long-4-scrolled");

    // Playing from the start: sound reaches the sink and the position runs.
    ASSERT_TRUE(x->sendKeys(window, {"Home"}));
    ASSERT_TRUE(x->sendKeys(window, {"space"}));
    // Playback takes a moment to start on a busy machine.
    QString firstText;
    QElapsedTimer clock;
    clock.start();
    do {
        QThread::msleep(500);
        firstText = positionText(window);
    } while (seconds(firstText) <= 0.0 && clock.elapsed() < 20000);
    screenshot("long-5-playing");
    const int peak = pulse.peakOfNext(2000);
    const QString secondText = positionText(window);
    screenshot("long-6-still-playing");
    const double first = seconds(firstText);
    const double second = seconds(secondText);
    EXPECT_GT(first, 0.0) << "no position text while playing: '" << firstText.toStdString() << "'";
    EXPECT_GT(second, first) << "the play position did not advance: '" << firstText.toStdString() << "', then '"
                             << secondText.toStdString() << "'";
    EXPECT_LT(second, 600.0);
    EXPECT_GT(peak, 1000) << "the sink heard nothing";

    // Quitting while it plays asks nothing: the file was only looked at.
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+q"}));
    EXPECT_EQ(exitCode(), 0);
    EXPECT_TRUE(recentFilesHold(file));
}

TEST_F(LongFileTest, EscapeWhileIndexingCancelsTheOpenAndTheReading)
{
    // Reading the whole file would take about a minute.
    QProcessEnvironment env;
    readSlowly(env, 1000 * 1000);
    start({"-e", file}, env);
    const QString progress = x->waitForWindow(progressTitle);
    ASSERT_FALSE(progress.isEmpty()) << "no progress window while the file was indexed";
    screenshot("long-cancel-1-indexing");
    ASSERT_TRUE(x->sendKeys(progress, {"Escape"}));
    ASSERT_TRUE(waitForWindowGone(progressTitle, 20000)) << "Escape did not close the progress window";
    screenshot("long-cancel-2-cancelled");

    // The window takes keys again and the program ends long before the file
    // could have been read to its end; nothing was opened.
    const QString window = x->waitForWindow(mainWindowTitle);
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+q"}));
    EXPECT_EQ(exitCode(20000), 0);
    EXPECT_FALSE(recentFilesHold(file));
}

} // namespace
