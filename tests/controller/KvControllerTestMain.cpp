// Runs the controller tests inside an application with widgets (offscreen)
// with the settings in a private folder and the AAC library of this build.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // AAC documents open through the wrapper library of this build.
    qputenv("KV_AACWRAP_LIBRARY", KV_AACWRAP_LIBRARY_PATH);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("KvTestOrg");
    QCoreApplication::setApplicationName("KvControllerTest");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
