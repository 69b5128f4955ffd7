// Runs tests that need pixmaps, the clipboard or widgets inside an
// offscreen QApplication, with the settings in a private folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard keys and looks must not depend on the desktop of whoever runs
    // the tests, as the manual's key table does not (app/manual/KvManualBuilder.cpp).
    qunsetenv("QT_QPA_PLATFORMTHEME");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("KvTestOrg");
    QCoreApplication::setApplicationName("KvGuiTest");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
