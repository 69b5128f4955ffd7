// Cut, copy, paste, delete, crop, undo and redo through the controller on a
// real MP3, judged by the document's clipboard text and by mpg123 decoding
// its export; the clipboard read by a second controller as another running
// copy would; clipboard data that other programs put under our type refused
// with a message; and edits refused, not deadlocked, while the model is
// locked.
#include "KvControllerTestSupport.h"
#include "KvQmlController.h"

#include <KvAppArchiveUi.h>
#include <KvArchiveUi.h>
#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvFakeUiServices.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvRepackInfo.h>
#include <KvRepackInfoPtrList.h>
#include <KvFragmentListArchive.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <boost/archive/basic_archive.hpp>

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QSettings>
#include <QUndoStack>

#include <memory>
#include <string>
#include <vector>

using namespace kvtest;

namespace {

const char kMime[] = "application/x-mp3morvelta-clip-mime";

QClipboard *board() { return QGuiApplication::clipboard(); }

QString clipboardFrames()
{
    const QMimeData *mime = board()->mimeData();
    return mime ? QString::fromUtf8(mime->data(kMime)) : QString();
}

void putFrames(const QByteArray &data)
{
    auto *mime = new QMimeData;
    mime->setData(kMime, data);
    board()->setMimeData(mime);
}

// "LENGTH BYTES" of a string item.
std::string item(const std::string &s) { return std::to_string(s.size()) + " " + s; }

// A source range of the document as a fragment: first frame, count.
struct Range {
    qint64 first;
    qint64 count;
};

// One controller with its model, as one running copy of the program.
struct Program {
    explicit Program(FakeUiServices &ui) : controller(nullptr, KvControllerSeams{&ui}) { controller.setModel(&model); }
    ~Program() { model.clearUndo(); }

    // Until the controller opens files itself: the engine opens the file and
    // the model takes it as its document.
    void open(const QString &path)
    {
        QString error;
        const KvQmlModel::FragmentListPtr cursor = kvDocumentOfFile(path, &error);
        ASSERT_TRUE(cursor) << error.toStdString();
        model.setFragmentList(cursor);
        controller.refreshDocumentState();
        controller.refreshAfterUndo();
    }
    KvRepackInfoPtrListPtr document() const
    {
        return model.fragmentList() ? model.fragmentList()->list() : KvRepackInfoPtrListPtr();
    }
    std::string text() const
    {
        return document() ? saveFragmentListToString(document(), 0, -1).toStdString() : std::string("(none)");
    }
    void select(qint64 start, qint64 end)
    {
        controller.setSelectionStart(double(start));
        controller.setSelectionEnd(double(end));
    }
    QUndoStack &stack() { return *model.undoStack(); }

    KvQmlModel model;
    KvQmlController controller;
};

class ControllerClipboard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        board()->clear();
        before = setKvArchiveUi(KvArchiveUi());
        installAppArchiveUi();
        source = fixture("cbr128_joint.mp3");
        path = QFileInfo(source).canonicalFilePath().toStdString();
        program.reset(new Program(ui));
        program->open(source);
        frames = program->document()->totalFrames();
        ASSERT_GT(frames, 300);
    }
    void TearDown() override
    {
        program.reset();
        setKvArchiveUi(before);
    }

    // The clipboard text of unedited source ranges, as the writer makes it.
    std::string textOf(const std::vector<Range> &ranges) const
    {
        std::string t = "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt " + std::to_string(ranges.size());
        for (const Range &r : ranges)
            t += " " + item(path) + " " + std::to_string(r.first) + " " + std::to_string(r.count) + " 0 0 0 " +
                 std::to_string(r.count - 1);
        return t + "\n";
    }

    // Exports the document through the engine's saver, decodes it with
    // mpg123 and compares it with the decoded source range by range; the
    // first frame of each range overlaps a frame the source did not have
    // there and is left out.
    void expectExportDecodesAs(const std::vector<Range> &ranges, const char *step)
    {
        SCOPED_TRACE(step);
        static const QByteArray sourcePcm = decodeMpg123(source);
        const int frameBytes = 1152 * 2 * 2;
        ASSERT_EQ(sourcePcm.size() % frameBytes, 0);

        const KvRepackInfoPtrListPtr copy = program->document()->copyRange(0, -1);
        KvPrepareRepack(copy);
        const QString out = dir.file(QString("%1.mp3").arg(step));
        ASSERT_EQ(saveDocumentFile(copy, out), QString());
        QString complaints;
        const QByteArray pcm = decodeMpg123(out, &complaints);
        EXPECT_TRUE(complaints.isEmpty()) << complaints.toStdString();

        qint64 total = 0;
        for (const Range &r : ranges)
            total += r.count;
        ASSERT_EQ(pcm.size(), total * frameBytes);
        qint64 at = 0;
        for (const Range &r : ranges) {
            const qint64 skip = at == 0 && r.first == 0 ? 0 : 1;
            const qint64 n = r.count - skip;
            EXPECT_TRUE(pcm.mid((at + skip) * frameBytes, n * frameBytes) ==
                        sourcePcm.mid((r.first + skip) * frameBytes, n * frameBytes))
                << "source frames " << r.first << "+" << r.count << " at document frame " << at;
            at += r.count;
        }
    }

    KvArchiveUi before;
    FakeUiServices ui;
    TempDir dir;
    QString source;
    std::string path;
    qint64 frames = 0;
    std::unique_ptr<Program> program;
};

TEST_F(ControllerClipboard, CutPasteUndoRedoScenario)
{
    Program &p = *program;
    const std::vector<Range> opened{{0, frames}};
    const std::vector<Range> cut{{0, 100}, {200, frames - 200}};
    const std::vector<Range> pasted{{100, 100}, {0, 100}, {200, frames - 200}};
    EXPECT_EQ(p.text(), textOf(opened));
    expectExportDecodesAs(opened, "opened");

    p.select(100, 200);
    p.controller.actionCutFrames();
    EXPECT_EQ(p.text(), textOf(cut));
    expectExportDecodesAs(cut, "cut");
    EXPECT_EQ(clipboardFrames().toStdString(), textOf({{100, 100}}));
    EXPECT_TRUE(p.controller.canPaste());
    EXPECT_EQ(p.controller.selectionStart(), 100.0);
    EXPECT_EQ(p.controller.selectionEnd(), 100.0);

    // Paste at 0: the selection start, nothing selected to replace.
    p.select(0, 0);
    p.controller.actionPasteFrames();
    EXPECT_EQ(p.text(), textOf(pasted));
    expectExportDecodesAs(pasted, "pasted");
    EXPECT_EQ(p.controller.selectionStart(), 100.0);
    EXPECT_EQ(p.controller.selectionEnd(), 100.0);
    EXPECT_EQ(p.controller.totalFrames(), double(frames));

    p.controller.actionUndo();
    EXPECT_EQ(p.text(), textOf(cut));
    expectExportDecodesAs(cut, "undone");
    p.controller.actionRedo();
    EXPECT_EQ(p.text(), textOf(pasted));
    expectExportDecodesAs(pasted, "redone");

    // All the way back, and forward again; the clipboard stays as the cut left it.
    p.controller.actionUndo();
    p.controller.actionUndo();
    EXPECT_EQ(p.text(), textOf(opened));
    EXPECT_FALSE(p.controller.canUndo());
    EXPECT_TRUE(p.controller.canRedo());
    p.controller.actionRedo();
    p.controller.actionRedo();
    EXPECT_EQ(p.text(), textOf(pasted));
    EXPECT_TRUE(p.controller.canUndo());
    EXPECT_FALSE(p.controller.canRedo());
    EXPECT_EQ(clipboardFrames().toStdString(), textOf({{100, 100}}));

    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(QSettings().value("HelpUsage/EditDone").toBool());
}

// Another running copy: its own controller and model, no document; the
// clipboard names the source file, which it opens itself.
TEST_F(ControllerClipboard, SecondControllerPastesIntoAnEmptyProject)
{
    program->select(150, 170);
    program->controller.actionCopyFrames();
    EXPECT_EQ(program->text(), textOf({{0, frames}})) << "copy leaves the document alone";
    EXPECT_EQ(program->stack().count(), 0);

    Program other(ui);
    EXPECT_TRUE(other.controller.canPaste());
    EXPECT_EQ(other.document(), KvRepackInfoPtrListPtr());
    other.controller.actionPasteFrames();
    EXPECT_EQ(other.text(), textOf({{150, 20}}));
    EXPECT_EQ(other.controller.totalFrames(), 20.0);
    EXPECT_NE(other.document()->list()->front()->source(), program->document()->list()->front()->source())
        << "the other copy opened the file for itself";
    EXPECT_EQ(other.stack().count(), 1);
    other.controller.actionUndo();
    EXPECT_EQ(other.controller.totalFrames(), 0.0);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(ControllerClipboard, PasteOverASelectionReplacesIt)
{
    Program &p = *program;
    p.select(10, 20);
    p.controller.actionCopyFrames();
    p.select(50, 80);
    p.controller.actionPasteFrames();
    EXPECT_EQ(p.text(), textOf({{0, 50}, {10, 10}, {80, frames - 80}}));
    EXPECT_EQ(p.controller.selectionStart(), 60.0);
    p.controller.actionUndo();
    EXPECT_EQ(p.text(), textOf({{0, frames}}));

    // Without a selection the frames go in at the view position.
    p.controller.resetSelection();
    p.select(-1, -1);
    p.controller.setScrollFrame(200);
    p.controller.actionPasteFrames();
    EXPECT_EQ(p.text(), textOf({{0, 200}, {10, 10}, {200, frames - 200}}));
}

TEST_F(ControllerClipboard, DeleteAndCropKeepTheClipboard)
{
    Program &p = *program;
    p.select(10, 20);
    p.controller.actionCopyFrames();
    const QString copied = clipboardFrames();

    p.select(0, 1);
    p.controller.actionDeleteFrames();
    EXPECT_EQ(p.text(), textOf({{1, frames - 1}}));
    EXPECT_EQ(p.stack().text(0), "Delete");
    p.select(100, 150);
    p.controller.actionCropFrames();
    EXPECT_EQ(p.text(), textOf({{101, 50}}));
    EXPECT_EQ(p.stack().text(1), "Crop");
    p.controller.actionUndo();
    p.controller.actionUndo();
    EXPECT_EQ(p.text(), textOf({{0, frames}}));
    EXPECT_EQ(clipboardFrames(), copied);
}

// Cropping to everything removes nothing, yet it is a step of its own that
// undo and redo walk over.
TEST_F(ControllerClipboard, CropOfTheWholeDocumentIsStillAStep)
{
    Program &p = *program;
    const std::string whole = textOf({{0, frames}});
    p.select(0, frames);
    p.controller.actionCropFrames();
    ASSERT_EQ(p.stack().count(), 1);
    EXPECT_EQ(p.stack().text(0), "Crop");
    EXPECT_EQ(p.text(), whole);
    p.controller.actionUndo();
    EXPECT_EQ(p.text(), whole);
    EXPECT_TRUE(p.controller.canRedo());
    p.controller.actionRedo();
    EXPECT_EQ(p.text(), whole);
    EXPECT_EQ(p.controller.totalFrames(), double(frames));
}

// Cut and copy without a usable selection leave the clipboard and the
// document alone; cut, delete and crop still count as editing.
TEST_F(ControllerClipboard, NoUsableSelectionLeavesTheClipboard)
{
    Program &p = *program;
    board()->setText("someone else's text");
    for (auto sel : std::vector<std::pair<qint64, qint64>>{{-1, -1}, {5, -1}, {-1, 5}, {10, 10}, {20, 10}}) {
        SCOPED_TRACE(std::to_string(sel.first) + ", " + std::to_string(sel.second));
        p.select(sel.first, sel.second);
        QSettings().remove("HelpUsage/EditDone");
        p.controller.actionCutFrames();
        p.controller.actionCopyFrames();
        p.controller.actionDeleteFrames();
        p.controller.actionCropFrames();
        EXPECT_EQ(p.stack().count(), 0);
        EXPECT_EQ(board()->text(), "someone else's text");
        EXPECT_TRUE(QSettings().value("HelpUsage/EditDone").toBool());
    }
    EXPECT_FALSE(p.controller.canPaste());
}

TEST_F(ControllerClipboard, RecognisesReadableArchiveVersionsOnly)
{
    const int own = int(boost::archive::BOOST_ARCHIVE_VERSION());
    const QString tail = " 0 1 25 mp3Morvelta.clipboard.fmt 0\n";
    const auto withVersion = [&](const QString &v) { return "22 serialization::archive " + v + tail; };
    struct Case {
        QString text;
        bool frames;
    };
    const std::vector<Case> cases{
        {withVersion("17"), true},
        {withVersion(QString::number(own)), true},
        {withVersion("16"), true},
        {withVersion(QString::number(own + 1)), false},
        {withVersion("0"), false},
        {withVersion("99999999999"), false},
        {withVersion(""), false},
        {withVersion("1x"), false},
        {"22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.xyz 0\n", false},
        {"22 serialization::archivX 17 0 1 25 mp3Morvelta.clipboard.fmt 0\n", false},
        {"x 22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt 0\n", false},
        {"", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(KvQmlController::isClipboardFormat(c.text), c.frames);
        putFrames(c.text.toUtf8());
        EXPECT_EQ(program->controller.canPaste(), c.frames);
    }
}

// Data that another program put under our type, or text damaged on the way:
// nothing is pasted, a box says so, and the document stays as it was.
TEST_F(ControllerClipboard, HostileClipboardTextsPasteNothing)
{
    Program &p = *program;
    p.select(100, 120);
    p.controller.actionCopyFrames();
    const std::string good = clipboardFrames().toStdString();
    ASSERT_EQ(good, textOf({{100, 20}}));
    const std::string head = "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt ";
    const std::string n = std::to_string(frames);

    struct Case {
        const char *what;
        std::string text;
    };
    const std::vector<Case> cases{
        {"truncated in the path", good.substr(0, good.size() / 2)},
        {"truncated in the runs", good.substr(0, good.size() - 4)},
        {"only the header", head},
        {"wrong signature", "22 serialization::archivX 17 0 1 25 mp3Morvelta.clipboard.fmt 1 " + item(path) +
                                " 0 5 0 0 0 4\n"},
        {"newer library", "22 serialization::archive 99 0 1 25 mp3Morvelta.clipboard.fmt 1 " + item(path) +
                              " 0 5 0 0 0 4\n"},
        {"other format name", "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.xyz 1 " + item(path) +
                                  " 0 5 0 0 0 4\n"},
        {"huge fragment count", head + "2147483647 " + item(path) + " 0 5 0 0 0 4\n"},
        {"negative fragment count", head + "-1\n"},
        {"huge frame count", head + "1 " + item(path) + " 0 9223372036854775807 0 0 0 4\n"},
        {"huge string length", head + "1 99999999999999 " + path + " 0 5 0 0 0 4\n"},
        {"huge run", head + "1 " + item(path) + " 0 5 0 0 0 2147483647\n"},
        {"runs short of the count", head + "1 " + item(path) + " 0 5 0 0 0 3\n"},
        {"range past the source's end", head + "1 " + item(path) + " " + n + " 5 0 0 0 4\n"},
        {"range over the source's end", head + "1 " + item(path) + " 10 " + n + " 0 0 0 " +
                                            std::to_string(frames - 1) + "\n"},
        {"missing source", head + "1 " + item("/no/such/file.mp3") + " 0 5 0 0 0 4\n"},
        {"garbage numbers", head + "1 " + item(path) + " zero five\n"},
        {"silence of no format", head + "1 0  0 4 77 0 1 1 0 0 3\n"},
    };
    const std::string before = p.text();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        putFrames(QByteArray::fromStdString(c.text));
        ui.messages.clear();
        p.select(50, 60);
        p.controller.actionPasteFrames();
        EXPECT_EQ(p.stack().count(), 0);
        EXPECT_EQ(p.text(), before);
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_EQ(ui.messages[0].icon, KvUi::Critical);
        EXPECT_EQ(ui.messages[0].buttons, KvUi::Ok);
        EXPECT_FALSE(ui.messages[0].text.isEmpty());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(p.model.mutex().tryLock()) << "the paste released the model";
        p.model.mutex().unlock();
    }

    // Plain text is not frames: nothing, and no box.
    board()->setText(QString::fromStdString(good));
    ui.messages.clear();
    p.controller.actionPasteFrames();
    EXPECT_EQ(p.stack().count(), 0);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(ControllerClipboard, FramesOfAnotherFormatAreRefusedWithTheReadersText)
{
    Program mono(ui);
    mono.open(fixture("cbr64_mono.mp3"));
    mono.select(0, 10);
    mono.controller.actionCopyFrames();
    ui.messages.clear();
    program->controller.actionPasteFrames();
    EXPECT_EQ(program->stack().count(), 0);
    ASSERT_EQ(ui.texts().size(), 1);
    EXPECT_TRUE(ui.texts()[0].contains("Incompatible file fragment cannot be loaded into project."))
        << ui.texts()[0].toStdString();
}

// The model's mutex is held across modal dialogs; a command that arrives
// meanwhile is refused instead of waiting for its own thread.
TEST_F(ControllerClipboard, EditsAreRefusedWhileTheModelIsLocked)
{
    Program &p = *program;
    p.select(100, 200);
    p.controller.actionCopyFrames();
    p.controller.actionFadeInFrames();
    ASSERT_EQ(p.stack().count(), 1);
    p.controller.actionUndo();
    const std::string before = p.text();
    const QString clip = clipboardFrames();

    p.model.mutex().lock();
    p.select(10, 20);
    for (void (KvQmlController::*action)() :
         {&KvQmlController::actionCutFrames, &KvQmlController::actionCopyFrames,
          &KvQmlController::actionPasteFrames, &KvQmlController::actionDeleteFrames,
          &KvQmlController::actionCropFrames, &KvQmlController::actionUndo, &KvQmlController::actionRedo,
          &KvQmlController::actionFadeInFrames, &KvQmlController::actionFadeOutFrames,
          &KvQmlController::actionVolumeIncFrames, &KvQmlController::actionVolumeDecFrames,
          &KvQmlController::actionSilenceFrames, &KvQmlController::actionRemoveSilenceFrames,
          &KvQmlController::actionInsertSilence, &KvQmlController::actionNormalize,
          &KvQmlController::actionImportImage, &KvQmlController::actionOpenImage})
        (p.controller.*action)();
    p.model.mutex().unlock();

    EXPECT_EQ(p.text(), before);
    EXPECT_EQ(p.stack().index(), 0) << "nothing undone or redone";
    EXPECT_EQ(p.stack().count(), 1);
    EXPECT_EQ(clipboardFrames(), clip);
    EXPECT_TRUE(ui.dialogs.isEmpty());
    EXPECT_TRUE(ui.captions.isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(ControllerClipboard, UndoOfASelectionKeepsASavedDocumentClean)
{
    Program &p = *program;
    p.select(10, 20);
    p.controller.pushSelectionChange(0, -1, -1, "Select");
    ASSERT_TRUE(p.stack().isClean());
    p.controller.actionUndo();
    EXPECT_TRUE(p.stack().isClean());
    p.controller.actionRedo();
    EXPECT_TRUE(p.stack().isClean());

    p.controller.actionCutFrames();
    p.stack().setClean();
    p.controller.actionUndo();
    EXPECT_FALSE(p.stack().isClean()) << "undoing an edit makes a saved document dirty";
}

} // namespace
