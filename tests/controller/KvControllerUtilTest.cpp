// Time texts, the default files folder and the dark-mode colours of the controller.
#include <KvQmlController.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ControllerUtil, TimeToString)
{
    struct Case {
        qint64 ms;
        bool allowShort, exact;
        const char *text;
    };
    const Case cases[] = {
        {0, false, false, "0:00:00.00"},
        {0, true, false, "00.00"},
        {4, true, false, "00.00"},
        {5, true, false, "00.01"},  // rounded before the last digit is cut
        {5250, true, false, "05.25"},
        {65250, true, false, "01:05.25"},
        {83460, false, false, "0:01:23.46"},
        {83464, false, true, "0:01:23.464"},
        {3600000, true, false, "1:00:00.00"},
        {3599996, true, false, "1:00:00.00"},  // carried into the hour by the rounding
        {26122, false, false, "0:00:26.12"},
        {36000000 + 61005, true, true, "10:01:01.005"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KvQmlController::timeToString(c.ms, c.allowShort, c.exact), QString(c.text)) << c.ms;
}

TEST(ControllerUtil, DefaultFilesPathIsMusicCreatedWhenMissing)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    const QString path = KvQmlController::defaultFilesPath();
    qputenv("HOME", oldHome);
    EXPECT_EQ(path, home.path() + "/Music");
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(ControllerUtil, DarkModeFollowsThePaletteAndTheOption)
{
    const QPalette original = QGuiApplication::palette();
    QPalette light = original;
    light.setColor(QPalette::Window, QColor(240, 240, 240));
    light.setColor(QPalette::WindowText, Qt::black);
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(20, 20, 20));
    dark.setColor(QPalette::WindowText, QColor(220, 220, 220));

    KvQmlController c;
    QSignalSpy darkSpy(&c, SIGNAL(isDarkModeChanged(bool)));
    QGuiApplication::setPalette(light);
    c.setIsDarkModeOption(false);
    c.CheckIsDarkMode(light);
    EXPECT_FALSE(c.isDarkMode());
    EXPECT_EQ(c.uiTextColor(), QColor(Qt::black));
    EXPECT_EQ(c.darkModeColor(Qt::white), QColor(Qt::white));

    c.setIsDarkModeOption(true);  // the user wants dark on a light system palette
    c.CheckIsDarkMode(light);
    EXPECT_TRUE(c.isDarkMode());
    EXPECT_EQ(c.dmDir(), "+dm/");
    EXPECT_EQ(c.uiWindowColor(), QColor(Qt::black));
    EXPECT_EQ(QColor(c.darkModeColor(Qt::white).rgb()), QColor(Qt::black));
    EXPECT_EQ(QColor(c.darkModeColor(Qt::black).rgb()), QColor(Qt::white));
    EXPECT_EQ(c.darkModeColor(QColor(255, 0, 0, 100)).alpha(), 255);
    EXPECT_EQ(QColor(KvQmlController::registeredDarkModeColor(Qt::white).rgb()), QColor(Qt::black));

    c.setIsDarkModeOption(false);
    QGuiApplication::setPalette(dark);  // a dark system palette is dark with or without the option
    c.CheckIsDarkMode(dark);
    EXPECT_TRUE(c.isDarkMode());
    EXPECT_EQ(c.uiTextColor(), QColor(220, 220, 220));
    EXPECT_EQ(darkSpy.size(), 1);

    QGuiApplication::setPalette(original);
    c.CheckIsDarkMode(original);
}

TEST(ControllerUtil, LastOpenPathAnnouncesPathAndUrl)
{
    KvQmlController c;
    QSignalSpy path(&c, SIGNAL(lastOpenPathChanged(QString)));
    QSignalSpy url(&c, SIGNAL(lastOpenPathUrlChanged(QUrl)));
    c.setLastOpenPath("/tmp/kv-somewhere");
    c.setLastOpenPath("/tmp/kv-somewhere");
    EXPECT_EQ(path.size(), 1);
    ASSERT_EQ(url.size(), 1);
    EXPECT_EQ(url.first().first().toUrl(), QUrl::fromLocalFile("/tmp/kv-somewhere"));
    c.setLastOpenPathUrl(QUrl::fromLocalFile("/tmp/kv-somewhere"));
    EXPECT_EQ(path.size(), 1);
}
