// Playback tests need an application object: the play thread reports to the main thread
// by queued signals.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("KvPlaybackTest");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
