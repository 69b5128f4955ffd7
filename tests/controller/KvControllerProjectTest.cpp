// Project files through the controller on real MP3 and AAC sources: save,
// close and load give back the same fragment list, tracks, tags, scroll and
// selection; older and CR LF files; damaged, unknown and missing files leave
// the current document as it was; moved sources; the save-changes question;
// the recent files; and the recovery copy of touch mode.
#include "KvControllerTestSupport.h"
#include "KvQmlController.h"

#include <KvAppArchiveUi.h>
#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvFakeUiServices.h>
#include <KvFile.h>
#include <KvFileProperties.h>
#include <KvFragmentListArchive.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagProperty.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUndoStack>

#include <functional>
#include <memory>

using namespace kvtest;

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;

// One running copy of the program: a model, its controller and the answers
// its questions get.
struct Program {
    FakeUiServices ui;
    KvQmlModel model;
    KvQmlController controller{nullptr, KvControllerSeams{&ui}};
    Program() { controller.setModel(&model); }
    ~Program() { model.clearUndo(); }

    // The file as the document, published as opening does.
    void open(const QString &file)
    {
        QString error;
        model.setFragmentList(kvDocumentOfFile(file, &error));
        controller.refreshDocumentState();
    }
    // One undoable edit: the frames [from, to) deleted.
    void deleteFrames(qint64 from, qint64 to)
    {
        controller.setSelectionStart(from);
        controller.setSelectionEnd(to);
        controller.actionDeleteFrames();
    }

    QString documentText() const
    {
        const auto cursor = model.fragmentList();
        if (!cursor)
            return QString();
        return saveFragmentListToString(cursor->list(), 0, cursor->list()->totalFrames());
    }
};

class ProjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        installAppArchiveUi();
        QSettings().clear();
        // The recovery folder lives in the temporary folder: a private one.
        m_tmpBefore = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        QDir().mkpath(dir.path() + "/music");
        a = dir.path() + "/music/a.mp3";
        b = dir.path() + "/music/b.mp3";
        ASSERT_TRUE(QFile::copy(fixture("cbr128_joint.mp3"), a));
        ASSERT_TRUE(QFile::copy(fixture("cbr128_stereo.mp3"), b));
    }
    void TearDown() override
    {
        KvQmlController::setTouchMode(false);
        // initialise styles the whole application.
        qApp->setProperty("styleSheet", QString());
        qputenv("TMPDIR", m_tmpBefore);
        QSettings().clear();
    }

    // A document of two sources with tracks, tags and artwork, scrolled and
    // with a selection.
    void makeDocument(Program &p)
    {
        QString error;
        const KvQmlModel::FragmentListPtr cursor = kvDocumentOfFile(a, &error);
        ASSERT_TRUE(cursor) << error.toStdString();
        const KvQmlModel::FragmentListPtr second = kvDocumentOfFile(b, &error);
        ASSERT_TRUE(second) << error.toStdString();
        cursor->list()->appendList(second->list()->copyRange(10, 40));
        p.model.setFragmentList(cursor);
        const KvByteArrayPtr cover = internArtwork(new KvByteArray(QByteArray("cover picture bytes")));
        KvTagInfo one;
        one.title = "One";
        one.artwork = cover;
        KvTagInfo two;
        two.title = "Two";
        two.year = 1999;
        p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 60, one)));
        p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(60, E, two)));
        KvTagInfo album;
        album.album = "Album";
        album.artwork = cover;
        p.model.fileTagProperty()->setTagInfo(album);
        p.controller.refreshDocumentState();
        p.controller.setScrollFrame(120);
        p.controller.setSelectionStart(10);
        p.controller.setSelectionEnd(50);
    }

    // Saves the document of p as a titled project at path.
    void saveAs(Program &p, const QString &path)
    {
        p.ui.saveAnswers << path;
        ASSERT_TRUE(p.controller.actionSaveProjectAs(false));
        ASSERT_EQ(p.model.projectFile(), nativeLongPath(path));
    }

    TempDir dir;
    TempDir tmp;
    QString a;
    QString b;

private:
    QByteArray m_tmpBefore;
};

struct Snapshot {
    QString text;
    QStringList tracks;
    QString fileTags;
    QByteArray artwork;
    double scroll;
    double start;
    double end;
};

Snapshot snapshot(const Program &p)
{
    Snapshot s;
    s.text = p.documentText();
    for (const auto &t : p.model.trackList()->tracks())
        s.tracks << QString("%1-%2 %3 %4").arg(t->start()).arg(t->end()).arg(t->tagInfo().title).arg(t->tagInfo().year);
    if (const auto tags = p.model.fileTagProperty()) {
        s.fileTags = tags->tagInfo().album;
        if (tags->tagInfo().artwork)
            s.artwork = tags->tagInfo().artwork->bytes();
    }
    s.scroll = p.controller.scrollFrame();
    s.start = p.controller.selectionStart();
    s.end = p.controller.selectionEnd();
    return s;
}

void expectSame(const Snapshot &x, const Snapshot &y)
{
    EXPECT_FALSE(x.text.isEmpty());
    EXPECT_EQ(x.text, y.text);
    EXPECT_EQ(x.tracks, y.tracks);
    EXPECT_EQ(x.fileTags, y.fileTags);
    EXPECT_EQ(x.artwork, y.artwork);
    EXPECT_EQ(x.scroll, y.scroll);
    EXPECT_EQ(x.start, y.start);
    EXPECT_EQ(x.end, y.end);
}

TEST_F(ProjectTest, SaveCloseLoadGivesTheSameDocument)
{
    Program p;
    makeDocument(p);
    const Snapshot before = snapshot(p);
    const QString path = dir.file("song.kvlproj");
    saveAs(p, path);
    EXPECT_TRUE(p.model.undoStack()->isClean());
    EXPECT_EQ(p.controller.recentFiles().value(0), nativeLongPath(path));
    EXPECT_EQ(p.ui.notices.value(0), KvUi::SaveProjectWarning);

    // The header, then the file's own long name.
    const QByteArray bytes = readFile(path);
    const QByteArray own = nativeLongPath(path).toUtf8();
    EXPECT_TRUE(bytes.startsWith("22 serialization::archive 17 23 mp3Morvelta.ver.kvlproj 2 3 mp3 120 10 50 0 1 " +
                                 QByteArray::number(own.size()) + " " + own + " 2 "))
        << bytes.left(200).toStdString();

    p.controller.closeProject(true, true);
    EXPECT_TRUE(p.documentText().isEmpty());

    Program q;
    EXPECT_FALSE(q.controller.loadProjectUrl(QUrl::fromLocalFile(path)));
    expectSame(before, snapshot(q));
    EXPECT_TRUE(q.ui.messages.isEmpty()) << q.ui.texts().join("|").toStdString();
    EXPECT_EQ(q.model.projectFile(), nativeLongPath(path));
    EXPECT_FALSE(q.model.projectChanged());
    EXPECT_TRUE(q.model.undoStack()->isClean());
    EXPECT_FALSE(q.controller.canSaveDirtyProject());
    EXPECT_EQ(q.controller.lastOpenPath(), QFileInfo(path).absolutePath());
    EXPECT_EQ(q.model.trackList()->owner(), &q.controller);

    // The same file with CR LF line ends reads the same.
    const QString crlf = dir.file("crlf.kvlproj");
    ASSERT_TRUE(writeFile(crlf, QByteArray(bytes).replace("\n", "\r\n")));
    Program r;
    EXPECT_FALSE(r.controller.loadProjectUrl(QUrl::fromLocalFile(crlf)));
    expectSame(before, snapshot(r));
}

TEST_F(ProjectTest, OlderSignaturesLoadWithoutViewState)
{
    struct Case {
        const char *source;
        QByteArray signature;
        const char *audioType;
    } cases[] = {
        {"cbr128_joint.mp3", "19 mp3Morvelta.kvlproj", "mp3"},
        {"aac_lc_stereo.m4a", "19 aacMorvelta.kvlproj", "aac"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source);
        Program p;
        QString error;
        const QString source = dir.file(c.source);
        ASSERT_TRUE(QFile::copy(fixture(c.source), source));
        p.model.setFragmentList(kvDocumentOfFile(source, &error));
        ASSERT_TRUE(p.model.fragmentList()) << error.toStdString();
        p.controller.refreshDocumentState();
        p.controller.setScrollFrame(30);
        p.controller.setSelectionStart(5);
        p.controller.setSelectionEnd(9);
        const QString path = dir.file("new.kvlproj");
        ASSERT_TRUE(p.controller.saveProjectFile(path));

        // An older writer put the project path right after its signature.
        QByteArray bytes = readFile(path);
        const int from = bytes.indexOf("23 mp3Morvelta.ver.kvlproj");
        const int to = bytes.indexOf(" 0 1 ", from);
        ASSERT_GT(to, from);
        bytes.replace(from, to - from, c.signature);
        const QString old = dir.file("old.kvlproj");
        ASSERT_TRUE(writeFile(old, bytes));

        Program q;
        EXPECT_FALSE(q.controller.loadProjectUrl(QUrl::fromLocalFile(old))) << q.ui.texts().join("|").toStdString();
        EXPECT_EQ(q.documentText(), p.documentText());
        EXPECT_EQ(q.controller.audioType(), c.audioType);
        EXPECT_EQ(q.controller.scrollFrame(), 0.0);
        EXPECT_EQ(q.controller.selectionStart(), -1.0);
        EXPECT_EQ(q.controller.selectionEnd(), -1.0);
        QFile::remove(path);
        QFile::remove(old);
    }
}

// Files that cannot be loaded: the current document, its name and its
// undo history stay; the user is told why; the load reports failure.
TEST_F(ProjectTest, FailedLoadsLeaveTheCurrentDocument)
{
    Program writer;
    makeDocument(writer);
    const QString good = dir.file("good.kvlproj");
    ASSERT_TRUE(writer.controller.saveProjectFile(good));
    const QByteArray bytes = readFile(good);
    const int tracksAt = bytes.indexOf("One");
    ASSERT_GT(tracksAt, 0);

    struct Case {
        const char *name;
        QByteArray content; // empty: no file at all
        QString message;    // the start of the message
    } cases[] = {
        {"missing", QByteArray(), "Unable to load project: "},
        {"truncated in the tracks", bytes.left(tracksAt), "Unable to load project: "},
        {"truncated in the fragments", bytes.left(bytes.indexOf("a.mp3") + 12), "Unable to load project: "},
        {"truncated in the header", bytes.left(40), "Unable to load project: "},
        {"unknown signature", QByteArray(bytes).replace("mp3Morvelta.ver.kvlproj", "mp3Morvelta.xyz.kvlproj"),
         "File format is not recognized - please check for an updated version of this application."},
        {"version 1 with the current signature",
         QByteArray(bytes).replace("mp3Morvelta.ver.kvlproj 2 ", "mp3Morvelta.ver.kvlproj 1 "),
         "File format is not recognized - please check for an updated version of this application."},
        {"later archive library", QByteArray(bytes).replace("serialization::archive 17", "serialization::archive 99"),
         "Unable to load project: Archive created with a later version - please check"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Program p;
        QString error;
        p.model.setFragmentList(kvDocumentOfFile(b, &error));
        p.model.setProjectFile(dir.file("current.kvlproj"));
        p.controller.refreshDocumentState();
        p.controller.setScrollFrame(7);
        p.controller.setSelectionStart(3);
        p.controller.setSelectionEnd(6);
        p.controller.actionDeleteFrames();
        ASSERT_FALSE(p.model.undoStack()->isClean());
        const Snapshot before = snapshot(p);
        const auto tracks = p.model.trackList();

        const QString path = dir.file("bad.kvlproj");
        QFile::remove(path);
        if (!c.content.isEmpty()) {
            ASSERT_TRUE(writeFile(path, c.content));
        }
        EXPECT_TRUE(p.controller.loadProjectUrl(QUrl::fromLocalFile(path)));
        ASSERT_FALSE(p.ui.messages.isEmpty());
        EXPECT_TRUE(p.ui.messages.first().text.startsWith(c.message)) << p.ui.messages.first().text.toStdString();
        EXPECT_EQ(p.ui.messages.first().icon, KvUi::Critical);
        const Snapshot after = snapshot(p);
        EXPECT_EQ(after.text, before.text);
        EXPECT_EQ(after.scroll, before.scroll);
        EXPECT_EQ(p.model.trackList(), tracks);
        EXPECT_EQ(p.model.projectFile(), dir.file("current.kvlproj"));
        EXPECT_EQ(p.model.undoStack()->count(), 1);
        EXPECT_TRUE(p.controller.recentFiles().isEmpty());
    }
}

TEST_F(ProjectTest, MovedSourcesAreSearchedBesideTheProject)
{
    const QString first = dir.file("first");
    const QString moved = dir.file("moved");
    ASSERT_TRUE(QDir().mkpath(first + "/music"));
    ASSERT_TRUE(QFile::rename(a, first + "/music/a.mp3"));
    a = first + "/music/a.mp3";
    Program p;
    p.open(a);
    ASSERT_TRUE(p.controller.saveProjectFile(first + "/p.kvlproj"));
    const QString before = p.documentText();
    p.controller.closeProject(true, true);
    ASSERT_TRUE(QDir().rename(first, moved));

    Program q;
    q.ui.answers << KvUi::Yes;
    EXPECT_FALSE(q.controller.loadProjectUrl(QUrl::fromLocalFile(moved + "/p.kvlproj")));
    ASSERT_EQ(q.ui.messages.size(), 1);
    EXPECT_EQ(q.ui.messages.first().text,
              QString("file fragment  %1 not found!\nDo you wish to search using a relative path?")
                  .arg(QDir::toNativeSeparators(a)));
    EXPECT_EQ(q.documentText(), QString(before).replace(first, moved));
    EXPECT_TRUE(q.model.projectChanged());
    EXPECT_TRUE(q.controller.hasUnsavedChanges());
    EXPECT_TRUE(q.controller.canSaveDirtyProject());

    // Saving makes it unmodified again.
    EXPECT_TRUE(q.controller.actionSaveProject());
    EXPECT_FALSE(q.controller.hasUnsavedChanges());
    EXPECT_FALSE(q.controller.canSaveDirtyProject());
}

TEST_F(ProjectTest, CheckSaveChangesAnswers)
{
    struct Case {
        int answer;
        bool titled;
        bool saveAsChosen; // the save-as dialog gives a name
        bool result;
        bool saved;
    } cases[] = {
        {KvUi::Yes, true, false, true, true},      {KvUi::Yes, false, true, true, true},
        {KvUi::Yes, false, false, false, false},   {KvUi::No, true, false, true, false},
        {KvUi::No, false, false, true, false},     {KvUi::Cancel, true, false, false, false},
        {KvUi::Cancel, false, false, false, false}, {KvUi::NoButton, true, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.answer << " titled " << c.titled << " chosen " << c.saveAsChosen);
        Program p;
        p.open(a);
        const QString path = dir.file("matrix.kvlproj");
        QFile::remove(path);
        if (c.titled) {
            ASSERT_TRUE(p.controller.saveProjectFile(path));
        }
        p.controller.setSelectionStart(0);
        p.controller.setSelectionEnd(5);
        p.controller.actionDeleteFrames();
        ASSERT_TRUE(p.controller.hasUnsavedChanges());
        QSettings().setValue("Settings/lastOpenProjectPath", "x");
        p.ui.messages.clear();
        p.ui.answers << c.answer;
        if (c.saveAsChosen)
            p.ui.saveAnswers << path;

        EXPECT_EQ(p.controller.checkSaveChanges(false, false, false), c.result);
        ASSERT_FALSE(p.ui.messages.isEmpty());
        EXPECT_EQ(p.ui.messages.first().text, c.titled
                                                  ? QString("Save changes to project %1?").arg(nativeLongPath(path))
                                                  : QString("Save changes to untitled project?"));
        EXPECT_EQ(p.ui.messages.first().buttons, KvUi::Yes | KvUi::No | KvUi::Cancel);
        EXPECT_EQ(p.ui.messages.first().defaultButton, KvUi::Cancel);
        EXPECT_EQ(p.ui.captions.contains("Save Project As"), !c.titled && c.answer == KvUi::Yes);
        EXPECT_EQ(p.model.undoStack()->isClean(), c.saved);
        EXPECT_EQ(QFileInfo::exists(path), c.titled || c.saved);
        // Going on clears the record of the last project.
        EXPECT_EQ(QSettings().value("Settings/lastOpenProjectPath").toString(), c.result ? "" : "x");
    }
}

TEST_F(ProjectTest, SaveAsKeepsThePendingFilesOnlyWhenAskedTo)
{
    struct Case {
        const char *what;
        bool keepPending;
        bool chosen;  // the dialog gives a name
    } cases[] = {
        {"kept, saved", true, true},
        {"dropped, saved", false, true},
        {"dropped, cancelled", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        p.open(a);
        const QString path = dir.file("pending.kvlproj");
        QFile::remove(path);
        p.controller.setPendingFiles({b});
        if (c.chosen)
            p.ui.saveAnswers << path;
        EXPECT_EQ(p.controller.saveProjectAsDialog(QString(), c.keepPending, false, false), c.chosen);
        EXPECT_EQ(QFileInfo::exists(path), c.chosen);
        EXPECT_EQ(p.controller.pendingFiles(), c.keepPending ? QStringList{b} : QStringList{});
    }
    // The command starts afresh: nothing of an earlier question still waits.
    Program p;
    p.open(a);
    p.controller.resetPendingState(dir.file("waiting.kvlproj"));
    p.ui.saveAnswers << dir.file("command.kvlproj");
    EXPECT_TRUE(p.controller.actionSaveProjectAs(false));
    EXPECT_TRUE(p.controller.pendingProjectPath().isEmpty());
}

TEST_F(ProjectTest, ProjectTargetPickedInTheTouchPickerSavesThenDoesWhatWaited)
{
    // A saved project of b, waiting to be opened in one of the cases.
    const QString other = dir.file("other.kvlproj");
    {
        Program q;
        q.open(b);
        ASSERT_TRUE(q.controller.saveProjectFile(other));
    }
    QString bText;
    {
        Program q;
        q.open(b);
        bText = q.documentText();
    }
    struct Case {
        const char *what;
        std::function<void(KvQmlController &)> waiting;
        QString document;  // a's or b's text afterwards
        QString projectFile;
    };
    const QString target = dir.file("picked.kvlproj");
    const Case cases[] = {
        {"nothing waits", [](KvQmlController &) {}, QString(), nativeLongPath(target)},
        {"files wait", [this](KvQmlController &c) { c.setPendingFiles({b}); }, bText, QString()},
        {"a project waits", [other](KvQmlController &c) { c.resetPendingState(other); }, bText,
         nativeLongPath(other)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(target);
        Program p;
        p.open(a);
        p.deleteFrames(2, 4);
        const QString edited = p.documentText();
        c.waiting(p.controller);
        p.controller.setPickerMode(3);
        p.controller.actionFilePicked(QUrl::fromLocalFile(target));

        // The edited document was saved there...
        ASSERT_TRUE(QFileInfo::exists(target));
        Program check;
        ASSERT_FALSE(check.controller.loadProjectUrl(QUrl::fromLocalFile(target)));
        EXPECT_EQ(check.documentText(), edited);
        EXPECT_TRUE(p.controller.recentFiles().contains(nativeLongPath(target)));
        // ...then what waited for the save was done, and nothing waits now.
        EXPECT_EQ(p.documentText(), c.document.isEmpty() ? edited : c.document);
        EXPECT_EQ(p.model.projectFile(), c.projectFile);
        EXPECT_TRUE(p.controller.pendingFiles().isEmpty());
        EXPECT_TRUE(p.controller.pendingProjectPath().isEmpty());
        EXPECT_TRUE(p.ui.messages.isEmpty()) << p.ui.texts().join("; ").toStdString();
    }
}

TEST_F(ProjectTest, NothingToSaveAsksNothing)
{
    Program p;
    EXPECT_TRUE(p.controller.checkSaveChanges(false, false, false));
    EXPECT_TRUE(p.controller.actionClose());
    EXPECT_TRUE(p.ui.messages.isEmpty());
    EXPECT_FALSE(p.controller.canSaveDirtyProject());
    EXPECT_FALSE(p.controller.actionSaveProject()) << "no document, nothing to save";
}

TEST_F(ProjectTest, FailedWriteKeepsEverything)
{
    Program p;
    p.open(a);
    const QString good = dir.file("keep.kvlproj");
    ASSERT_TRUE(p.controller.saveProjectFile(good));
    const QByteArray saved = readFile(good);
    p.controller.setSelectionStart(0);
    p.controller.setSelectionEnd(5);
    p.controller.actionDeleteFrames();

    EXPECT_FALSE(p.controller.saveProjectFile(dir.file("no/such/folder/x.kvlproj")));
    ASSERT_EQ(p.ui.messages.size(), 1);
    EXPECT_EQ(p.ui.messages.first().text,
              "Unable to save project: open failed - Do you want to try saving the project under a new name or "
              "folder?");
    EXPECT_FALSE(p.model.undoStack()->isClean());
    EXPECT_EQ(p.model.projectFile(), nativeLongPath(good));
    EXPECT_EQ(readFile(good), saved);
    // No temporary file is left beside the project.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.kvlproj"});
}

TEST_F(ProjectTest, RecentFilesStopAtTen)
{
    Program p;
    QStringList files;
    for (int i = 0; i < 12; ++i) {
        files << dir.file(QString("r%1.kvlproj").arg(i));
        ASSERT_TRUE(writeFile(files.last(), "x"));
        p.controller.updateRecentFiles(files.last());
    }
    QStringList expected;
    for (int i = 11; i >= 2; --i)
        expected << nativeLongPath(files[i]);
    EXPECT_EQ(p.controller.recentFiles(), expected);

    // Again: to the front, once. A deleted file disappears at the next update.
    p.controller.updateRecentFiles(files[5]);
    ASSERT_TRUE(QFile::remove(files[11]));
    p.controller.updateRecentFiles(QString());
    EXPECT_EQ(p.controller.recentFiles().size(), 9);
    EXPECT_EQ(p.controller.recentFiles().first(), nativeLongPath(files[5]));
    EXPECT_EQ(p.controller.recentFiles().count(nativeLongPath(files[5])), 1);
    EXPECT_FALSE(p.controller.recentFiles().contains(nativeLongPath(files[11])));
}

QStringList recoveryCopies(const QString &tmp)
{
    return QDir(tmp + "/RECOVERED").entryList(QDir::Files);
}

TEST_F(ProjectTest, TouchModeResumesAModifiedDocument)
{
    KvQmlController::setTouchMode(true);
    QString copy;
    QString before;
    {
        Program p;
        p.open(a);
        p.deleteFrames(2, 4);
        p.controller.setScrollFrame(77);
        p.controller.suspendProject();
        const QStringList copies = recoveryCopies(tmp.path());
        ASSERT_EQ(copies.size(), 1);
        EXPECT_TRUE(copies.first().startsWith("mp3Morvelta_Susp_"));
        EXPECT_TRUE(copies.first().endsWith(".kvlproj"));
        copy = tmp.path() + "/RECOVERED/" + copies.first();
        QSettings s;
        EXPECT_EQ(QFileInfo(s.value("Settings/suspendedProjectPath").toString()), QFileInfo(copy));
        EXPECT_TRUE(s.value("Settings/suspendedProjectHasChanges").toBool());
        EXPECT_EQ(s.value("Settings/lastOpenProjectPath").toString(), "");
        EXPECT_TRUE(p.controller.hasUnsavedChanges()) << "the copy does not count as saving";
        before = p.documentText();

        // A second suspension replaces the copy.
        p.controller.suspendProject();
        EXPECT_EQ(recoveryCopies(tmp.path()).size(), 1);
        EXPECT_FALSE(QFileInfo::exists(copy));
        copy = tmp.path() + "/RECOVERED/" + recoveryCopies(tmp.path()).first();
    }

    Program q;
    q.controller.initialise();
    EXPECT_EQ(q.documentText(), before);
    EXPECT_EQ(q.controller.scrollFrame(), 77.0);
    EXPECT_EQ(q.controller.toastMessage(), "Resuming edits");
    EXPECT_TRUE(q.model.projectFile().isEmpty());
    EXPECT_TRUE(q.controller.hasUnsavedChanges());
    QSettings s;
    EXPECT_EQ(s.value("Settings/suspendedProjectPath").toString(), "");
    EXPECT_TRUE(QFileInfo::exists(copy)) << "kept until the next suspension";

    q.controller.clearSuspendedProject(s);
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(s.value("Settings/suspendedProjectPath").toString(), "");
    EXPECT_FALSE(s.value("Settings/suspendedProjectHasChanges").toBool());
}

TEST_F(ProjectTest, TouchModeLoadFinishedRecordsTheDocumentToResume)
{
    KvQmlController::setTouchMode(true);
    Program p;
    p.open(a);
    p.deleteFrames(2, 4);
    QSettings().setValue("Settings/suspendedProjectScrollPos", 30);
    ASSERT_TRUE(QMetaObject::invokeMethod(&p.controller, "load_thread_finished"));
    EXPECT_EQ(p.controller.scrollFrame(), 30.0);
    ASSERT_EQ(recoveryCopies(tmp.path()).size(), 1);
    EXPECT_EQ(QFileInfo(QSettings().value("Settings/suspendedProjectPath").toString()).fileName(),
              recoveryCopies(tmp.path()).first());
}

TEST_F(ProjectTest, TouchModeCleanSavedProjectIsOnlyRemembered)
{
    KvQmlController::setTouchMode(true);
    Program p;
    p.open(a);
    p.deleteFrames(2, 4);
    p.controller.suspendProject();
    ASSERT_EQ(recoveryCopies(tmp.path()).size(), 1);

    const QString path = dir.file("clean.kvlproj");
    ASSERT_TRUE(p.controller.saveProjectFile(path));
    EXPECT_TRUE(recoveryCopies(tmp.path()).isEmpty()) << "the earlier copy is deleted";
    QSettings s;
    EXPECT_EQ(s.value("Settings/lastOpenProjectPath").toString(), nativeLongPath(path));
    EXPECT_EQ(s.value("Settings/suspendedProjectPath").toString(), "");

    // The next start opens the last project.
    Program q;
    q.controller.initialise();
    EXPECT_EQ(q.controller.toastMessage(), "Resuming project");
    EXPECT_EQ(q.documentText(), p.documentText());
    EXPECT_EQ(q.model.projectFile(), nativeLongPath(path));
}

TEST_F(ProjectTest, DesktopNeverWritesARecoveryCopy)
{
    Program p;
    p.open(a);
    p.deleteFrames(2, 4);
    p.controller.suspendProject();
    const QString path = dir.file("desk.kvlproj");
    ASSERT_TRUE(p.controller.saveProjectFile(path));
    EXPECT_FALSE(p.controller.loadProjectUrl(QUrl::fromLocalFile(path)));
    p.deleteFrames(2, 4);
    ASSERT_TRUE(p.controller.hasUnsavedChanges());
    p.ui.answers << KvUi::No;
    EXPECT_TRUE(p.controller.actionExit());
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/RECOVERED"));
    EXPECT_EQ(QSettings().value("Settings/suspendedProjectPath").toString(), "");
}

} // namespace
