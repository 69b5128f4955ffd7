// Runs the controller tests inside a GUI application (offscreen) with the
// settings in a private folder.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName("KvTestOrg");
    QCoreApplication::setApplicationName("KvControllerTest");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
