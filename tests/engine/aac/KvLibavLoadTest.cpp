// The loader of the AAC wrapper library: where it looks, what it says when the
// library is missing, and that a library it cannot fully use is never called.
#include "KvLibavLoad.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLibrary>

namespace {

int stubCalls(const char *path)
{
    QLibrary lib(QString::fromUtf8(path));
    const int *calls = reinterpret_cast<const int *>(lib.resolve("kv_stub_calls"));
    return calls ? *calls : -1;
}

// Every call-through gives its "not loaded" answer.
void expectNotLoadedAnswers(KvLibavLoad &lib)
{
    KvAACGainOffsetEntry *entries = nullptr;
    KvAACInfo info{};
    qint64 count = 0;
    EXPECT_EQ(lib.findAacGainsOffsets2("x.m4a", &entries, &info, &count, nullptr), 0u);
    EXPECT_EQ(count, 0);
    lib.freeAacGainsOffsets(nullptr);
    EXPECT_EQ(lib.initAacWriteNextFileFrames(0, 0, "", 0, 1, 0, &info), 0u);
    qint32 length = 0;
    char buffer[16];
    EXPECT_EQ(lib.aacWriteNextFrame(1, 0, 0, buffer, 16, &length), -1);
    EXPECT_EQ(lib.aacWriteFrame(1, buffer, 4, buffer, 16, &length), -1);
    EXPECT_EQ(lib.closeAacWrite(1), -1);
    EXPECT_EQ(lib.closeAacHandle(1), -1);
}

} // namespace

TEST(KvLibavLoad, LoadsTheBuiltLibraryAndCallsItsInitialisation)
{
    KvLibavLoad lib(QStringList{QStringLiteral(KV_AACWRAP_LIBRARY_PATH)});
    EXPECT_NE(lib.loadedValue(), 0);
    EXPECT_TRUE(lib.isLoaded());
    // A file the library cannot index: no handle, a failure count.
    KvAACGainOffsetEntry *entries = nullptr;
    KvAACInfo info{};
    qint64 count = 0;
    EXPECT_EQ(lib.findAacGainsOffsets2("/nonexistent/file.m4a", &entries, &info, &count, nullptr), 0u);
    EXPECT_LE(count, 0);
    lib.freeAacGainsOffsets(entries);
}

TEST(KvLibavLoad, MissingLibraryWarnsOnceAndAnswersNotLoaded)
{
    kvtest::CapturedMessages captured;
    KvLibavLoad lib(QStringList{QStringLiteral("/nonexistent/first/vodozidoza"),
                                QStringLiteral("/nonexistent/second/vodozidoza")});
    EXPECT_EQ(lib.loadedValue(), 0);
    const QStringList messages = captured.texts();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("error loading AAC library:  /nonexistent/second/vodozidoza ( ")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith(QStringLiteral(" )"))) << messages[0].toStdString();
    expectNotLoadedAnswers(lib);
}

TEST(KvLibavLoad, StopsAtTheFirstCandidateThatLoads)
{
    kvtest::CapturedMessages captured;
    KvLibavLoad lib(QStringList{QStringLiteral("/nonexistent/vodozidoza"), QStringLiteral(KV_AACWRAP_LIBRARY_PATH),
                                QStringLiteral(KV_STUB_INIT0_PATH)});
    EXPECT_NE(lib.loadedValue(), 0);
    EXPECT_TRUE(captured.texts().isEmpty());
    EXPECT_EQ(stubCalls(KV_STUB_INIT0_PATH), 0);
}

TEST(KvLibavLoad, EightOfNineEntryPointsLoadsQuietlyAndCallsNothing)
{
    kvtest::CapturedMessages captured;
    KvLibavLoad lib(QStringList{QStringLiteral(KV_STUB_EIGHT_PATH)});
    EXPECT_EQ(lib.loadedValue(), 0);
    EXPECT_TRUE(captured.texts().isEmpty());
    expectNotLoadedAnswers(lib);
    EXPECT_EQ(stubCalls(KV_STUB_EIGHT_PATH), 0);
}

TEST(KvLibavLoad, InitialisationAnsweringZeroKeepsEveryCallOff)
{
    KvLibavLoad lib(QStringList{QStringLiteral(KV_STUB_INIT0_PATH)});
    EXPECT_TRUE(lib.isLoaded());   // mapped, and stays mapped
    EXPECT_EQ(lib.loadedValue(), 0);
    const int afterInit = stubCalls(KV_STUB_INIT0_PATH);
    EXPECT_EQ(afterInit, 1);
    expectNotLoadedAnswers(lib);
    EXPECT_EQ(stubCalls(KV_STUB_INIT0_PATH), afterInit);
}

TEST(KvLibavLoad, DefaultOrderPrefersTheEnvironmentThenBesideTheProgramThenTheBareName)
{
    qputenv("KV_AACWRAP_LIBRARY", "/somewhere/libvodozidoza.so");
    EXPECT_EQ(KvLibavLoad::defaultCandidates(), QStringList{QStringLiteral("/somewhere/libvodozidoza.so")});
    qunsetenv("KV_AACWRAP_LIBRARY");
    int argc = 1;
    char name[] = "kv_libav_load_tests";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString dir = QCoreApplication::applicationDirPath();
    const QStringList c = KvLibavLoad::defaultCandidates();
    ASSERT_EQ(c.size(), 4);
    EXPECT_EQ(c[0], dir + QStringLiteral("/vodozidoza"));
    EXPECT_TRUE(c[1].endsWith(QStringLiteral("/lib/vodozidoza")));
    EXPECT_EQ(c[2], dir + QStringLiteral("/lib/vodozidoza"));
    EXPECT_EQ(c[3], QStringLiteral("vodozidoza"));
}

TEST(KvLibavLoad, TheProcessWideBindingIsCreatedOnce)
{
    qputenv("KV_AACWRAP_LIBRARY", QByteArray(KV_AACWRAP_LIBRARY_PATH));
    KvLibavLoad *first = KvLibavLoad::instance();
    EXPECT_EQ(first, g_libavLoad);
    EXPECT_EQ(KvLibavLoad::instance(), first);
    EXPECT_NE(first->loadedValue(), 0);
}
