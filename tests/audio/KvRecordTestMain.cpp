// Recording tests run in a widget application (offscreen) with settings and the user's
// folders in a private place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
#ifdef KV_AACWRAP_LIBRARY_PATH
    // AAC goes through the wrapper library of this build.
    qputenv("KV_AACWRAP_LIBRARY", KV_AACWRAP_LIBRARY_PATH);
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("KvTestOrg");
    QCoreApplication::setApplicationName("KvRecordTest");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
