// The fragment-list reader with the program's user interface installed: the
// relocation question answered through the UI services, the wait cursor,
// and sources shared with the undo history.
#include "KvAppArchiveUi.h"
#include "KvAppUndo.h"
#include "KvArchiveTestSupport.h"
#include "KvFakeUiServices.h"
#include "KvHoldingCommand.h"

#include <KvArchiveUi.h>
#include <KvQmlModel.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUndoStack>
#include <QPushButton>
#include <QWidget>

using namespace kvtest;

namespace {

std::string item(const QString &s)
{
    const QByteArray utf8 = s.toUtf8();
    return std::to_string(utf8.size()) + " " + utf8.toStdString();
}

// Fragments of a.mp3, b.mp3, a.mp3 as they were when the project was saved.
std::string projectText(const QString &a, const QString &b)
{
    return listText("3 0 1 " + item(a) + " 0 4 0 0 0 3 " + item(b) + " 2 3 0 0 0 2 " + item(a) + " 10 2 0 5 5 1");
}

class Relocation : public ::testing::Test {
protected:
    void SetUp() override
    {
        before = setKvArchiveUi(KvArchiveUi());
        installAppArchiveUi();
        root = QFileInfo(dir.path()).canonicalFilePath();
        QDir().mkpath(root + "/new/music");
        QDir().mkpath(root + "/new/proj");
        ASSERT_TRUE(QFile::copy(fixture("cbr128_joint.mp3"), root + "/new/music/a.mp3"));
        ASSERT_TRUE(QFile::copy(fixture("cbr128_stereo.mp3"), root + "/new/music/b.mp3"));
        current = root + "/new/proj/show.kvlproj";
    }
    void TearDown() override { setKvArchiveUi(before); }

    // Runs a read, answering every question with answer and noting it.
    Loaded read(const std::string &text, int options, const QString &saved, int answer)
    {
        FakeUiServices ui;
        KvScopedUiServices installed(&ui);
        ui.answerWith = [&](const AskedMessage &box) {
            questions << box.text;
            EXPECT_EQ(box.icon, KvUi::Warning);
            EXPECT_EQ(box.title, "mp3Morvelta");
            EXPECT_EQ(box.buttons, KvUi::Yes | KvUi::YesToAll | KvUi::No);
            EXPECT_EQ(box.defaultButton, KvUi::YesToAll);
            EXPECT_EQ(box.parent, &parent);
            EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "no wait cursor over a question";
            return answer;
        };
        Loaded r;
        std::istringstream is(text);
        KvTextIArchive ar(is);
        r.errors = loadFragmentList(options, nullptr, &r.lookup, saved, current, &r.out, &r.reference,
                                    KvRepackInfoPtrListPtr(), ar, &r.relocated, &parent);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the wait cursor is taken off after a read";
        return r;
    }

    static QString question(const QString &path)
    {
        return "file fragment  " + path + " not found!\nDo you wish to search using a relative path?";
    }

    KvArchiveUi before;
    TempDir dir;
    QString root, current;
    QWidget parent;
    QStringList questions;
};

// The project moved with its sources: the checking pass asks once per
// source path and finds them all; the loading pass finds them silently.
TEST_F(Relocation, MovedProjectFindsItsSources)
{
    const QString a = root + "/old/music/a.mp3", b = root + "/old/music/b.mp3";
    const std::string text = projectText(a, b);
    const QString saved = root + "/old/proj/show.kvlproj";

    const Loaded check = read(text, KvLoadOption::Interactive, saved, KvUi::Yes);
    EXPECT_TRUE(check.errors.isEmpty()) << check.errors.toStdString();
    EXPECT_TRUE(check.relocated);
    EXPECT_EQ(questions, (QStringList{question(a), question(b)}));
    EXPECT_TRUE(!check.out || check.out->list()->empty());

    questions.clear();
    const Loaded load = read(text, KvLoadOption::Append, saved, KvUi::No);
    EXPECT_TRUE(load.errors.isEmpty()) << load.errors.toStdString();
    EXPECT_TRUE(load.relocated);
    EXPECT_TRUE(questions.isEmpty());
    ASSERT_EQ(rangesOf(load.out), (Ranges{{0, 4}, {2, 3}, {10, 2}}));
    QStringList paths;
    for (const KvRepackInfoPtr &f : *load.out->list())
        paths << f->sourcePath();
    EXPECT_EQ(paths, (QStringList{root + "/new/music/a.mp3", root + "/new/music/b.mp3", root + "/new/music/a.mp3"}));
    EXPECT_EQ(load.out->list()->front()->source(), load.out->list()->back()->source()) << "one source per file";
    EXPECT_EQ(frameValues(load.out).back(), std::make_pair(5, false));
}

TEST_F(Relocation, YesToAllAsksOnce)
{
    const Loaded r = read(projectText(root + "/old/music/a.mp3", root + "/old/music/b.mp3"),
                          KvLoadOption::Interactive | KvLoadOption::Append, root + "/old/proj/show.kvlproj",
                          KvUi::YesToAll);
    EXPECT_TRUE(r.errors.isEmpty()) << r.errors.toStdString();
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(rangesOf(r.out).size(), 3u);
}

TEST_F(Relocation, WindowsPathsWithDriveLetter)
{
    const QString b = "C:\\Users\\me\\music\\b.mp3";
    const Loaded r = read(projectText("C:\\Users\\me\\music\\a.mp3", b), KvLoadOption::Interactive | KvLoadOption::Append,
                          "C:\\Users\\me\\proj\\show.kvlproj", KvUi::Yes);
    EXPECT_TRUE(r.errors.isEmpty()) << r.errors.toStdString();
    EXPECT_TRUE(r.relocated);
    EXPECT_EQ(questions, (QStringList{question("C:\\Users\\me\\music\\a.mp3"), question(b)}));
    ASSERT_EQ(rangesOf(r.out).size(), 3u);
    EXPECT_EQ(r.out->list()->front()->sourcePath(), root + "/new/music/a.mp3");
}

TEST_F(Relocation, AnswerNoEndsWithTheMissingSource)
{
    const QString a = root + "/old/music/a.mp3";
    const Loaded r = read(projectText(a, root + "/old/music/b.mp3"), KvLoadOption::Interactive | KvLoadOption::Append,
                          root + "/old/proj/show.kvlproj", KvUi::No);
    EXPECT_EQ(r.errors, "Missing file fragment cannot be loaded into project.: " + a + "\n");
    EXPECT_FALSE(r.relocated);
    EXPECT_EQ(questions.size(), 1);
}

TEST_F(Relocation, OtherDriveIsNeverFound)
{
    const QString a = "D:\\music\\a.mp3";
    const Loaded r = read(projectText(a, a), KvLoadOption::Interactive | KvLoadOption::Append,
                          "C:\\Users\\me\\proj\\show.kvlproj", KvUi::Yes);
    EXPECT_EQ(r.errors, "Missing file fragment cannot be loaded into project.: " + a + "\n");
    EXPECT_EQ(questions.size(), 1);
}

TEST_F(Relocation, SameProjectPathSearchesNothing)
{
    const QString a = root + "/old/music/a.mp3";
    const Loaded r = read(projectText(a, a), KvLoadOption::Interactive | KvLoadOption::Append, current,
                          KvUi::Yes);
    EXPECT_EQ(r.errors, "Missing file fragment cannot be loaded into project.: " + a + "\n");
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(Relocation, WaitCursorIsTakenOffAfterDamage)
{
    const std::string text = projectText(root + "/new/music/a.mp3", root + "/new/music/b.mp3");
    EXPECT_THROW(read(text.substr(0, text.size() - 3), KvLoadOption::Interactive | KvLoadOption::Append, QString(),
                      KvUi::Yes),
                 boost::archive::archive_exception);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// A source that only an undone command of the current document still holds
// is shared, not opened again.
TEST_F(Relocation, SourceHeldByTheUndoHistoryIsShared)
{
    const boost::shared_ptr<KvMP3AudioFile> held = openMp3("cbr128_joint.mp3");
    const QString path = held->repacker()->path();
    KvQmlModel model;
    model.undoStack()->push(new KvHoldingCommand({documentOf({fragmentOf(held, 0, 3)})}));
    model.undoStack()->undo();
    appCurrentModel = &model;
    EXPECT_EQ(applyWithAppUndoStack(nullptr, path, 5, 5)->source(), held->repacker());

    const Loaded r = read(listText("1 0 1 " + item(path) + " 7 9 0 0 0 8"), KvLoadOption::Append, QString(),
                          KvUi::Yes);
    EXPECT_TRUE(r.errors.isEmpty()) << r.errors.toStdString();
    ASSERT_EQ(rangesOf(r.out), (Ranges{{7, 9}}));
    EXPECT_EQ(r.out->list()->front()->source(), held->repacker());

    appCurrentModel = nullptr;
    EXPECT_FALSE(applyWithAppUndoStack(nullptr, path, 5, 5));
    EXPECT_EQ(applyWithAppUndoStack(model.undoStack(), path, 5, 5)->source(), held->repacker());
}

} // namespace
