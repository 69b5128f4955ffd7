// What the engine asks of the AAC library, call by call, against a scripted
// stand-in: writers are always handles of their own, every writer is finished
// once, failures end saves with a text, and a frame without output does not
// end the stream.
#include "KvAacEnv.h"
#include "KvAacTestUtil.h"

#include "KvAACAudioListFileIO.h"
#include "KvAACFrameRepacker.h"
#include "KvEngineFactories.h"

#include <gtest/gtest.h>

#include <QLibrary>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>

#include <memory>

using namespace aacengine;

namespace {

class CallSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        script.setFileName(QStringLiteral(KV_AACWRAP_LIBRARY_PATH));
        ASSERT_TRUE(script.load());
        log = reinterpret_cast<char *>(script.resolve("kv_script_log"));
        frames = reinterpret_cast<qint64 *>(script.resolve("kv_script_frames"));
        noOutputEvery = reinterpret_cast<int *>(script.resolve("kv_script_no_output_every"));
        failWriteAt = reinterpret_cast<int *>(script.resolve("kv_script_fail_write_at"));
        refuseWriter = reinterpret_cast<int *>(script.resolve("kv_script_refuse_writer"));
        ASSERT_TRUE(log && frames && noOutputEvery && failWriteAt && refuseWriter);
        source = tmp.file("source.m4a");
        ASSERT_TRUE(kvtest::writeFile(source, "not really AAC: the stand-in indexes anything"));
        file = openAac(source);
        ASSERT_EQ(file->frameCount(), 100);
        sourceHandle = file->aacRepacker()->handle();
        clearLog();
    }
    void TearDown() override
    {
        *noOutputEvery = 0;
        *failWriteAt = -1;
        *refuseWriter = 0;
    }

    void clearLog() { log[0] = 0; }
    QStringList calls() const { return QString::fromLatin1(log).split(';', Qt::SkipEmptyParts); }
    QString h(KvAacHandle handle) const { return QString::number(handle); }
    // The writer a logged init returned.
    static KvAacHandle resultOf(const QString &call) { return call.section(QStringLiteral("-> "), 1).toULongLong(); }

    QLibrary script;
    char *log = nullptr;
    qint64 *frames = nullptr;
    int *noOutputEvery = nullptr;
    int *failWriteAt = nullptr;
    int *refuseWriter = nullptr;
    kvtest::TempDir tmp;
    QString source;
    boost::shared_ptr<KvAACAudioFile> file;
    KvAacHandle sourceHandle = 0;
};

} // namespace

TEST_F(CallSequence, SaveOpensItsOwnWriterAppendsRunsAndFinishesOnce)
{
    const KvRepackInfoPtrListPtr doc =
        documentOf({fragmentOf(file, 10, 3), silenceLike(file, 2), fragmentOf(file, 30, 2)});
    doc->list()->front()->setFrameGain(1, -3);
    ASSERT_TRUE(saveDocumentFile(doc, tmp.file("out.m4a")).isEmpty());
    const QStringList c = calls();
    ASSERT_EQ(c.size(), 11) << log;
    EXPECT_TRUE(c[0].startsWith(QStringLiteral("init %1 %1 10 3 0 -> ").arg(h(sourceHandle)))) << log;
    const KvAacHandle w = resultOf(c[0]);
    EXPECT_NE(w, 0u);
    EXPECT_NE(w, sourceHandle);
    EXPECT_EQ(c.mid(1, 3), (QStringList{"next " + h(w) + " 0 0", "next " + h(w) + " -3 0", "next " + h(w) + " 0 0"}));
    EXPECT_EQ(c[4], QStringLiteral("init %1 0 0 2 0 -> %1").arg(h(w)));
    EXPECT_EQ(c.mid(5, 2), (QStringList{"next " + h(w) + " 0 1", "next " + h(w) + " 0 1"}));
    EXPECT_EQ(c[7], QStringLiteral("init %1 %2 30 2 0 -> %1").arg(h(w), h(sourceHandle)));
    EXPECT_EQ(c[10], "close_write " + h(w));

    // The source's handle goes with the source, and only then.
    clearLog();
    file.reset();
    doc->list()->clear();
    EXPECT_EQ(calls(), QStringList{"close_handle " + h(sourceHandle)});
}

TEST_F(CallSequence, WholeFileCopyWritesThroughTheWriterItGetsBack)
{
    ASSERT_TRUE(KvAACRepackInfoPtrList::saveAacFile(source, tmp.file("copy.aac")).isEmpty());
    const QStringList c = calls();
    ASSERT_EQ(c.size(), 1 + 1 + 100 + 2) << log;
    const KvAacHandle scanned = c[0].section(' ', 1).toULongLong();
    EXPECT_TRUE(c[1].startsWith(QStringLiteral("init %1 %1 0 100 0 -> ").arg(h(scanned))));
    const KvAacHandle w = resultOf(c[1]);
    EXPECT_NE(w, scanned);
    for (int i = 2; i < 102; ++i)
        ASSERT_EQ(c[i], "next " + h(w) + " 0 0");
    EXPECT_EQ(c[102], "close_write " + h(w));
    EXPECT_EQ(c[103], "close_handle " + h(scanned));
}

TEST_F(CallSequence, RefusedWriterFailsSaveCopyAndStream)
{
    *refuseWriter = 1;
    const QString out = tmp.file("out.aac");
    ASSERT_TRUE(kvtest::writeFile(out, "previous"));
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 10)});
    EXPECT_EQ(saveDocumentFile(doc, out), QStringLiteral("failed to open aac writer"));
    EXPECT_EQ(kvtest::readFile(out), QByteArray("previous"));
    EXPECT_EQ(KvAACRepackInfoPtrList::saveAacFile(source, out), QStringLiteral("failed to open aac writer"));
    EXPECT_EQ(kvtest::readFile(out), QByteArray("previous"));

    const std::unique_ptr<KvAudioListFileIO> device(createAudioListFileIO(doc));
    ASSERT_TRUE(device->setSource(doc, 0, 0));
    char buffer[64];
    EXPECT_EQ(device->readData(buffer, sizeof buffer), 0);
    EXPECT_TRUE(device->finished());
    EXPECT_EQ(device->errorText(), QStringLiteral("failed to open aac writer"));
    EXPECT_FALSE(QString::fromLatin1(log).contains(QStringLiteral("next")));
}

TEST_F(CallSequence, WriteFailureEndsTheSaveAndReleasesTheWriter)
{
    *failWriteAt = 4;
    const QString out = tmp.file("out.m4a");
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 10)});
    EXPECT_EQ(saveDocumentFile(doc, out), QStringLiteral("failed to write aac frame"));
    const QStringList c = calls();
    ASSERT_EQ(c.size(), 1 + 5 + 1) << log;
    EXPECT_EQ(c.last(), "close_write " + h(resultOf(c[0])));
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"source.m4a"});
}

TEST_F(CallSequence, StreamGoesOnAfterAFrameWithoutOutput)
{
    *noOutputEvery = 3;   // frames 2, 5, 8, ... of the writer give nothing
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 9), fragmentOf(file, 50, 6)});
    const std::unique_ptr<KvAudioListFileIO> device(createAudioListFileIO(doc));
    ASSERT_TRUE(device->setSource(doc, 0, 0));
    std::vector<qint32> served;
    char buffer[64];
    for (qint64 n; (n = device->readData(buffer, sizeof buffer)) > 0;) {
        ASSERT_EQ(n, 8);
        qint32 k = 0;
        std::memcpy(&k, buffer + 1, 4);
        served.push_back(k);
    }
    EXPECT_EQ(served, (std::vector<qint32>{0, 1, 3, 4, 6, 7, 9, 10, 12, 13}));
    EXPECT_TRUE(device->finished());
    EXPECT_TRUE(device->errorText().isEmpty());
    EXPECT_EQ(device->takeFramesRead(), 15u);
    const QStringList c = calls();
    EXPECT_EQ(c.filter(QRegularExpression("^next ")).size(), 15);
    const KvAacHandle w = resultOf(c[0]);
    EXPECT_TRUE(c[0].startsWith(QStringLiteral("init %1 %1 0 9 1 -> ").arg(h(sourceHandle))));
    EXPECT_NE(w, sourceHandle);
    EXPECT_EQ(c.filter(QStringLiteral("close_write")), QStringList{"close_write " + h(w)});
}
