// Edits judged by what the MP3 saver writes: a document exported after every
// step of a hand-written sequence and of random sequences; undoing everything
// must export byte for byte what the unedited document exported, redoing
// everything what the fully edited one did, and every state on the way its
// own first export.
#include "KvEditSequence.h"
#include "KvEditTestSupport.h"
#include "KvFakeEditContext.h"

#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvInsertSilence.h>
#include <KvUndoCrop.h>
#include <KvUndoDelete.h>
#include <KvUndoPaste.h>
#include <KvVolumeFade.h>
#include <KvVolumeSilence.h>

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QUndoStack>

#include <cmath>
#include <functional>

using namespace kvtest;

namespace {

// The document as the export writes it: a copy, planned and saved.
QByteArray exportDocument(const KvRepackInfoPtrListPtr &doc)
{
    if (doc->totalFrames() == 0)
        return QByteArray("(no frames)");
    const KvRepackInfoPtrListPtr copy = doc->copyRange(0, -1);
    KvPrepareRepack(copy);
    TempDir dir;
    const QString path = dir.file("export.mp3");
    const QString error = saveDocumentFile(copy, path);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return readFile(path);
}

bool saverBuilt()
{
    EditSources sources;
    KvRepackInfoPtrListPtr doc(new KvMP3RepackInfoPtrList);
    doc->appendFragment(sources.a->createRepackInfo(0, 20));
    return !exportDocument(doc).isEmpty();
}

class EditExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!saverBuilt())
            GTEST_SKIP() << "the MP3 saver is not part of this build";
    }
};

TEST_F(EditExport, ScriptedSequenceUndoesAndRedoesToIdenticalExports)
{
    EditSources sources;
    KvFakeEditContext ctx;
    KvRepackInfoPtrListPtr doc = sources.document();
    KvFileProperties tracks(&ctx);
    tracks.appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 150)));
    tracks.appendTrack(KvTagPropertyPtr(new KvTagProperty(150, KvTagProperty::EndMarker)));
    QUndoStack stack;
    const KvRepackInfoPtrListPtr cutFrames = doc->copyRange(20, 40);
    KvVolumeFade *fadeIn = nullptr;

    const std::vector<std::pair<const char *, std::function<QUndoCommand *()>>> steps = {
        {"cut", [&]() -> QUndoCommand * { return new KvUndoCut(&tracks, doc->copyRange(20, 40), doc, 20, &ctx); }},
        {"paste", [&]() -> QUndoCommand * {
             return new KvUndoPaste(&tracks, cutFrames, KvRepackInfoPtrListPtr(new KvMP3RepackInfoPtrList), doc, 200, &ctx);
         }},
        {"crop", [&]() -> QUndoCommand * { return new KvUndoCrop(&tracks, doc, 10, 380, &ctx); }},
        {"insert silence", [&]() -> QUndoCommand * {
             KvRepackInfoPtrListPtr s(new KvMP3RepackInfoPtrList);
             s->appendFragment(sources.silence(12));
             return new KvInsertSilence(&tracks, s, doc, 100, &ctx);
         }},
        {"fade in", [&]() -> QUndoCommand * { return fadeIn = new KvVolumeFade(doc, 0, 50, -4, 150, 0, &ctx); }},
        {"fade in again", [&]() -> QUndoCommand * { return new KvVolumeFade(*fadeIn, 2); }},
        {"volume up", [&]() -> QUndoCommand * { return new KvVolumeFade(doc, 0, 200, 4, 260, 4, &ctx); }},
        {"volume down", [&]() -> QUndoCommand * { return new KvVolumeFade(doc, 0, 230, -4, 300, -4, &ctx); }},
        {"silence", [&]() -> QUndoCommand * {
             return new KvVolumeSilence(doc->copyRange(120, 50), doc, 0, 120, &ctx, false);
         }},
        {"remove silencing", [&]() -> QUndoCommand * {
             return new KvVolumeSilence(doc->copyRange(140, 20), doc, 0, 140, &ctx, true);
         }},
        {"delete", [&]() -> QUndoCommand * { return new KvUndoDelete(&tracks, doc->copyRange(0, 30), doc, 0, &ctx); }},
    };

    std::vector<QByteArray> exports{exportDocument(doc)};
    // 430 frames of 128 kbit/s behind an Info frame.
    ASSERT_GT(exports[0].size(), 430 * 400);
    for (const auto &step : steps) {
        SCOPED_TRACE(step.first);
        stack.push(step.second());
        exports.push_back(exportDocument(doc));
        EXPECT_NE(exports.back(), exports[exports.size() - 2]);
    }
    for (int i = int(steps.size()) - 1; i >= 0; --i) {
        SCOPED_TRACE(std::string("undo of ") + steps[size_t(i)].first);
        stack.undo();
        EXPECT_TRUE(exportDocument(doc) == exports[size_t(i)]);
    }
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(std::string("redo of ") + steps[i].first);
        stack.redo();
        EXPECT_TRUE(exportDocument(doc) == exports[i + 1]);
    }
}

// Exported through the saver and decoded by mpg123: four steps up double the
// level of the range, and undo exports the plain file again.
TEST_F(EditExport, FourStepsUpDoubleTheDecodedLevel)
{
    EditSources sources;
    KvFakeEditContext ctx;
    KvRepackInfoPtrListPtr doc(new KvMP3RepackInfoPtrList);
    doc->appendFragment(sources.a->createRepackInfo(0, 300));
    QUndoStack stack;
    TempDir dir;
    const auto decodeExport = [&](const QString &name) {
        const QString path = dir.file(name);
        EXPECT_TRUE(writeFile(path, exportDocument(doc)));
        return decodeMpg123(path);
    };
    const QByteArray plain = decodeExport("plain.mp3");
    stack.push(new KvVolumeFade(doc, 0, 100, 4, 200, 4, &ctx));
    const QByteArray louder = decodeExport("louder.mp3");
    ASSERT_EQ(louder.size(), plain.size());
    const qint64 frame = 1152 * 2;   // samples of one stereo frame
    const auto ratio = [&](qint64 from, qint64 to) {
        double a = 0, b = 0;
        const auto *p = reinterpret_cast<const qint16 *>(plain.constData());
        const auto *l = reinterpret_cast<const qint16 *>(louder.constData());
        for (qint64 i = from * frame; i < to * frame; ++i) {
            a += double(p[i]) * p[i];
            b += double(l[i]) * l[i];
        }
        return std::sqrt(b / a);
    };
    EXPECT_NEAR(ratio(102, 198), 2.0, 0.02);
    EXPECT_NEAR(ratio(10, 98), 1.0, 0.001);
    EXPECT_NEAR(ratio(202, 290), 1.0, 0.001);
    stack.undo();
    EXPECT_EQ(decodeExport("undone.mp3"), plain);
}

class EditExportSequences : public ::testing::TestWithParam<quint32>
{
protected:
    void SetUp() override
    {
        if (!saverBuilt())
            GTEST_SKIP() << "the MP3 saver is not part of this build";
    }
};

TEST_P(EditExportSequences, UndoAllAndRedoAllExportIdenticalFiles)
{
    EditSequence sequence(GetParam(), exportDocument);
    sequence.run(100);
}

INSTANTIATE_TEST_SUITE_P(Seeds, EditExportSequences, ::testing::Range(quint32(101), quint32(113)));

} // namespace
