// The manual from the real window, on a private X server: Help › View Manual
// (PDF) and the button the welcome guide points at both hand the manual next
// to the program to the desktop's PDF viewer. The viewer is a stand-in
// xdg-open, which Qt runs for documents on a plain X server; it writes down
// the address it was asked to open.
#include "KvProgramTest.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QRect>
#include <QRegularExpression>
#include <QUrl>

namespace {

const QString mainWindowTitle = QStringLiteral("^mp3Morvelta - ");

class ManualViewerTest : public kvtest::ProgramTest {
protected:
    void SetUp() override
    {
        kvtest::ProgramTest::SetUp();
        const QString script = viewer.file("xdg-open");
        ASSERT_TRUE(kvtest::writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$*\" >>\"$KV_VIEWER_LOG\"\n"));
        QFile(script).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        viewerEnvironment.insert("PATH", viewer.path() + ":" + qEnvironmentVariable("PATH"));
        viewerEnvironment.insert("KV_VIEWER_LOG", log());
    }

    QString log() const { return viewer.file("opened"); }

    // What the viewer was asked to open; empty when nothing came in time.
    QString opened(int timeoutMs = 20000) const
    {
        QString text;
        poll([&] { return !(text = QString::fromUtf8(kvtest::readFile(log())).trimmed()).isEmpty(); }, timeoutMs);
        return text;
    }

    // The address of the manual in the program's folder, as Qt hands it on.
    static QString manualAddress()
    {
        return QString::fromLatin1(
            QUrl::fromLocalFile(QFileInfo(KV_APP_PATH).absolutePath() + "/mp3Morvelta_Manual.pdf").toEncoded());
    }

    // A screen pixel, as a person sees it.
    QColor screenPixel(int px, int py) const
    {
        const QByteArray rgb =
            x->import({"-window", "root", "-crop", QStringLiteral("1x1+%1+%2").arg(px).arg(py), "-depth", "8", "rgb:-"});
        return rgb.size() >= 3 ? QColor(quint8(rgb[0]), quint8(rgb[1]), quint8(rgb[2])) : QColor();
    }

    // The guide bubble on the screen: a window of the program without a title
    // of its own, which X names after the program.
    QRect bubble(int timeoutMs = 30000) const
    {
        QRect found;
        poll(
            [&] {
                QProcess tree;
                tree.setProcessEnvironment(x->environment());
                tree.start("xwininfo", {"-root", "-tree"});
                tree.waitForFinished(20000);
                const QRegularExpression line(
                    "\"mp3Morvelta\": \\(\"kvedit\".*\\s(\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)");
                for (const QString &l : QString::fromLocal8Bit(tree.readAllStandardOutput()).split('\n')) {
                    const QRegularExpressionMatch m = line.match(l);
                    if (m.hasMatch() && m.captured(1).toInt() > 100)
                        found = QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                                      m.captured(2).toInt());
                }
                return found.isValid();
            },
            timeoutMs, 300);
        return found;
    }

    kvtest::TempDir viewer;
    QProcessEnvironment viewerEnvironment;
};

TEST_F(ManualViewerTest, HelpMenuOpensTheManualBesideTheProgram)
{
    ASSERT_TRUE(QFileInfo::exists(QFileInfo(KV_APP_PATH).absolutePath() + "/mp3Morvelta_Manual.pdf"))
        << "the build wrote no manual next to the program";
    settings()->setValue("Settings/showPopupGuides", false);
    start({}, viewerEnvironment);
    const QString window = x->waitForWindow(mainWindowTitle, 60000);
    ASSERT_FALSE(window.isEmpty());
    // Help: About, Keyboard Shortcuts, View Manual (PDF)...
    keys(mainWindowTitle, {"alt+h"}, 800);
    x->xdotool({"key", "--delay", "150", "Down", "Down", "Return"});
    EXPECT_EQ(opened(), manualAddress());
    // The viewer started: no "Unable to launch the default PDF viewer".
    EXPECT_TRUE(staysAway("^mp3Morvelta$", 2000));
}

TEST_F(ManualViewerTest, WelcomeGuidePointsAtTheButtonThatOpensTheManual)
{
    // A first start: the tour begins with the welcome notice.
    start({}, viewerEnvironment);
    ASSERT_FALSE(x->waitForWindow(mainWindowTitle, 60000).isEmpty());
    const QRect b = bubble();
    ASSERT_TRUE(b.isValid()) << "no welcome guide showed";

    // The bubble's pointer leaves it at one corner, onto the button; the
    // other corners lie outside its shape and show what is behind it. A
    // loaded machine may take a moment to draw it.
    const auto isBubble = [](const QColor &c) { return c.green() - c.red() > 40 && c.blue() - c.red() > 40; };
    const QPoint corners[] = {b.topLeft(), b.topRight() + QPoint(1, 0), b.bottomLeft() + QPoint(0, 1),
                              b.bottomRight() + QPoint(1, 1)};
    QList<QPoint> tips;
    poll(
        [&] {
            tips.clear();
            for (const QPoint &c : corners) {
                const int inX = c.x() == b.left() ? 4 : -5;
                const int inY = c.y() == b.top() ? 3 : -4;
                if (isBubble(screenPixel(c.x() + inX, c.y() + inY)))
                    tips << c;
            }
            return tips.size() == 1;
        },
        15000, 300);
    ASSERT_EQ(tips.size(), 1) << "no single pointer found on the welcome guide";
    const QPoint tip = tips.first();
    // Just past the tip, where the button it overlaps still lies.
    const QPoint press(tip.x() + (tip.x() == b.left() ? -2 : 1), tip.y() + (tip.y() == b.top() ? -2 : 1));
    int code = 0;
    x->xdotool({"mousemove", "--sync", QString::number(press.x()), QString::number(press.y()), "click", "1"}, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(opened(), manualAddress());
}

} // namespace
