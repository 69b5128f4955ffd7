// Export of the whole document, the selection and every track, through the
// controller's commands with the questions answered by fake UI services. The
// written files are judged on their own: an MPEG frame reader, mpg123's decode
// and TagLib's reading of the tags.
#include "KvControllerTestSupport.h"
#include "KvQmlController.h"

#include <KvAudioFragmentList.h>
#include <KvConnect.h>
#include <KvConvertWorker.h>
#include <KvDecodeThread.h>
#include <KvFakeUiServices.h>
#include <KvFileProperties.h>
#include <KvMp3StreamCheck.h>
#include <KvTagProperty.h>
#include <KvTestSupport.h>
#include <audio_lib.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QUndoStack>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cstdlib>
#include <functional>
#include <memory>

using namespace kvtest;

namespace {

constexpr int kPcmFrameBytes = 1152 * 2 * 2;  // one MPEG-1 frame of 16-bit stereo

// The audio frames of an MP3 file as they sit in it (a leading Info frame,
// which holds no audio, left out).
QVector<QByteArray> audioFramesOf(const QString &path)
{
    const QByteArray file = readFile(path);
    const Mp3StreamReport report = checkMp3Stream(file);
    EXPECT_TRUE(report.errors.isEmpty()) << path.toStdString() << ": " << report.errors.join("; ").toStdString();
    QVector<QByteArray> frames;
    for (const Mp3FrameFacts &f : report.frames)
        frames << file.mid(int(f.offset), f.length);
    if (!frames.isEmpty() && (frames.first().contains("Info") || frames.first().contains("Xing")))
        frames.removeFirst();
    return frames;
}

struct FileTags {
    QString title, artist;
    unsigned track = 0;
};

FileTags tagsOf(const QString &path)
{
    FileTags t;
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    if (ref.isNull() || !ref.tag())
        return t;
    t.title = QString::fromStdWString(ref.tag()->title().toWString());
    t.artist = QString::fromStdWString(ref.tag()->artist().toWString());
    t.track = ref.tag()->track();
    return t;
}

// Also keeps the folder each save dialog started in.
class FolderUi : public FakeUiServices
{
public:
    QStringList saveDirs;
    // When set, stands for the touch interface's picker: a chooser is answered
    // by reporting the place picked to the controller, not by returning it.
    std::function<void()> touchPicker;

    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter) override
    {
        saveDirs << dir;
        if (touchPicker)
            return pick(caption);
        return FakeUiServices::saveFileName(parent, caption, dir, filter);
    }
    QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir, int options) override
    {
        if (touchPicker)
            return pick(caption);
        return FakeUiServices::existingDirectory(parent, caption, dir, options);
    }

private:
    QString pick(const QString &caption)
    {
        captions << caption;
        touchPicker();
        return QString();
    }
};

class ControllerExport : public ::testing::Test
{
public:
    void SetUp() override
    {
        QSettings().clear();
        source = dir.file("source.mp3");
        QFile::remove(source);
        ASSERT_TRUE(QFile::copy(fixture("cbr128_nores.mp3"), source));
        QFile(source).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        sourceFrames = audioFramesOf(source);
        controller.reset(new KvQmlController(nullptr, KvControllerSeams{&ui}));
        model.reset(new KvQmlModel);
        QString error;
        ASSERT_TRUE(kvOpenDocument(*controller, *model, source, &error)) << error.toStdString();
        ASSERT_EQ(qint64(sourceFrames.size()), frames());
    }
    void TearDown() override
    {
        model.reset();
        controller.reset();
    }

    qint64 frames() const { return model->fragmentList()->totalFrames(); }
    void select(qint64 s, qint64 e)
    {
        controller->setSelectionStart(double(s));
        controller->setSelectionEnd(double(e));
    }
    // Tracks over the ranges, titled and numbered as given (number 0: none).
    void setTracks(const QList<QPair<qint64, qint64>> &ranges, const QStringList &titles, const QList<int> &numbers)
    {
        KvQmlModel::FilePropertiesPtr list(new KvFileProperties(controller.get()));
        for (int i = 0; i < ranges.size(); ++i) {
            KvTagInfo tags;
            tags.title = titles.value(i);
            tags.artist = "Band";
            tags.track = numbers.value(i);
            list->appendTrack(KvTagPropertyPtr(new KvTagProperty(ranges[i].first, ranges[i].second, tags)));
        }
        model->setTrackList(list);
    }
    QString settingText(const char *key)
    {
        controller->writeSettings();
        return QSettings().value(key).toString();
    }

    TempDir dir;
    QString source;
    QVector<QByteArray> sourceFrames;
    FolderUi ui;
    std::unique_ptr<KvQmlController> controller;
    std::unique_ptr<KvQmlModel> model;
};

TEST_F(ControllerExport, ExportAllAfterAnEditKeepsTheUntouchedFramesAndDecodesToThem)
{
    KvTagInfo tags;
    tags.title = "Sweep";
    tags.artist = "Generator";
    model->setFileTagProperty(KvTagPropertyPtr(new KvTagProperty(-1, -1, tags)));
    select(100, 200);
    controller->actionDeleteFrames();
    ASSERT_EQ(frames(), qint64(sourceFrames.size()) - 100);

    QDir().mkpath(dir.file("out"));
    ui.saveAnswers << dir.file("out/edited");
    controller->actionExportAll();

    const QString out = dir.file("out/edited.mp3");
    ASSERT_EQ(ui.captions, QStringList{"Export All As MP3"});
    ASSERT_EQ(ui.texts(), QStringList{"The project was successfully exported."});
    EXPECT_EQ(ui.messages.first().buttons, int(KvUi::Close));
    ASSERT_TRUE(QFileInfo::exists(out));

    // Frames without a reservoir are written as they were read.
    const QVector<QByteArray> written = audioFramesOf(out);
    QVector<QByteArray> kept = sourceFrames.mid(0, 100) + sourceFrames.mid(200);
    ASSERT_EQ(written.size(), kept.size());
    for (int i = 0; i < kept.size(); ++i)
        ASSERT_EQ(written[i], kept[i]) << "frame " << i;

    // mpg123: the kept audio, apart from the frame behind the cut, which
    // starts from other filter history.
    const QByteArray pcm = decodeMpg123(out);
    const QByteArray sourcePcm = decodeMpg123(source);
    ASSERT_EQ(pcm.size(), kept.size() * kPcmFrameBytes);
    EXPECT_TRUE(pcm.left(100 * kPcmFrameBytes) == sourcePcm.left(100 * kPcmFrameBytes));
    EXPECT_TRUE(pcm.mid(101 * kPcmFrameBytes) == sourcePcm.mid(201 * kPcmFrameBytes));

    const FileTags read = tagsOf(out);
    EXPECT_EQ(read.title, "Sweep");
    EXPECT_EQ(read.artist, "Generator");
    EXPECT_EQ(settingText("Settings/lastExportPath"), dir.file("out"));
    EXPECT_TRUE(QSettings().value("HelpUsage/ExportDone").toBool());
}

TEST_F(ControllerExport, ExportSelectionWritesTheSelectedFramesOnly)
{
    select(50, 150);
    ui.saveAnswers << dir.file("part.mp3");
    controller->actionExportSelection();
    ASSERT_EQ(ui.captions, QStringList{"Export Selection As MP3"});
    ASSERT_EQ(ui.texts(), QStringList{"The selection was successfully exported."});
    const QVector<QByteArray> written = audioFramesOf(dir.file("part.mp3"));
    ASSERT_EQ(written.size(), 100);
    EXPECT_TRUE(written == sourceFrames.mid(50, 100));
    EXPECT_EQ(decodeMpg123(dir.file("part.mp3")).size(), 100 * kPcmFrameBytes);
}

TEST_F(ControllerExport, AnExportWithoutPromptingReportsNothingAndKeepsTheFolder)
{
    EXPECT_TRUE(controller->exportFileUrl(QUrl::fromLocalFile(dir.file("quiet.mp3")), false, false));
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(audioFramesOf(dir.file("quiet.mp3")).size(), sourceFrames.size());
    EXPECT_EQ(settingText("Settings/lastExportPath"), QString());
    EXPECT_FALSE(QSettings().value("HelpUsage/ExportDone", false).toBool());
}

TEST_F(ControllerExport, RefusedExportsWriteNothingAndSaySo)
{
    struct Case {
        const char *name;
        std::function<void(ControllerExport &)> arrange;
        std::function<bool(ControllerExport &)> run;  // the result of exportFileUrl where it is called
        QString target;
        QStringList texts;
        bool askedForName;
    };
    const QString out = dir.file("refused.mp3");
    const QString bad = "Failed to save the file: %1\nError: %2";
    const Case cases[] = {
        {"selection command without a selection", [](ControllerExport &) {},
         [](ControllerExport &t) {
             t.ui.saveAnswers << t.dir.file("refused.mp3");
             t.controller->actionExportSelection();
             return false;
         },
         out, {"There is no selection to export."}, false},
        {"selection export of an empty selection", [](ControllerExport &t) { t.select(40, 40); },
         [out](ControllerExport &t) { return t.controller->exportFileUrl(QUrl::fromLocalFile(out), true, true); }, out,
         {bad.arg(out, "There is no selection to export.")}, false},
        {"the document's own source", [](ControllerExport &) {},
         [](ControllerExport &t) { return t.controller->exportFileUrl(QUrl::fromLocalFile(t.source), false, true); },
         source, {bad.arg(source, "The file is already in use and cannot be overwritten.")}, false},
        {"no document", [](ControllerExport &t) { t.model->setFragmentList(kvSilentDocument(0)); },
         [out](ControllerExport &t) { return t.controller->exportFileUrl(QUrl::fromLocalFile(out), false, true); },
         out, {"Failed to save the file: Unknown error"}, false},
    };
    const QByteArray sourceBytes = readFile(source);
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        c.arrange(*this);
        EXPECT_FALSE(c.run(*this)) << c.name;
        EXPECT_EQ(ui.texts(), c.texts) << c.name;
        EXPECT_EQ(!ui.captions.isEmpty(), c.askedForName) << c.name;
        if (c.target == source)
            EXPECT_TRUE(readFile(source) == sourceBytes) << c.name;
        else
            EXPECT_FALSE(QFileInfo::exists(c.target)) << c.name;
        EXPECT_TRUE(QDir(dir.path()).entryList({"*.part*"}, QDir::Files | QDir::Hidden).isEmpty()) << c.name;
        ui.messages.clear();
        ui.captions.clear();
        ui.saveAnswers.clear();
    }
}

TEST_F(ControllerExport, ASourceHeldOnlyByTheUndoHistoryIsNotOverwritten)
{
    // A second source appended, then its frames deleted: only the undo
    // history still reads it.
    const QString second = dir.file("second.mp3");
    ASSERT_TRUE(QFile::copy(fixture("cbr128_stereo.mp3"), second));
    QFile(second).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QString error;
    KvQmlModel::FragmentListPtr other = kvDocumentOfFile(second, &error);
    ASSERT_TRUE(other) << error.toStdString();
    const qint64 before = frames();
    model->fragmentList()->list()->appendFragment(other->list()->list()->front());
    other.reset();
    controller->refreshDocumentState();
    select(before, frames());
    controller->actionDeleteFrames();
    ASSERT_EQ(frames(), before);
    ASSERT_EQ(model->undoStack()->count(), 1);

    const QByteArray bytes = readFile(second);
    EXPECT_FALSE(controller->exportFileUrl(QUrl::fromLocalFile(second), false, true));
    ASSERT_EQ(ui.texts().size(), 1);
    EXPECT_TRUE(ui.texts().first().endsWith("The file is already in use and cannot be overwritten."))
        << ui.texts().first().toStdString();
    EXPECT_TRUE(readFile(second) == bytes);
    // And undo still brings its frames back.
    controller->actionUndo();
    EXPECT_EQ(frames(), before + qint64(audioFramesOf(second).size()));
}

TEST_F(ControllerExport, SaveDialogCompletesTheSuffixAndAsksBeforeOverwritingWithNoAsDefault)
{
    struct Case {
        const char *format, *suffix;
    };
    const Case cases[] = {{"mp3", ".mp3"}, {"aac", ".m4a"}, {"m4a", ".m4a"}, {"adts", ".aac"}, {"wav", ".wav"}};
    for (const Case &c : cases) {
        const QString folder = dir.file(c.format);
        QDir().mkpath(folder);
        const QString typed = folder + "/take";
        ui.messages.clear();
        ui.saveAnswers << typed;
        EXPECT_EQ(KvQmlController::getAudioSaveFileName(nullptr, "Save", folder, c.format), typed + c.suffix)
            << c.format;
        EXPECT_TRUE(ui.messages.isEmpty()) << c.format;

        ASSERT_TRUE(writeFile(typed + c.suffix, "x"));
        for (int answer : {int(KvUi::No), int(KvUi::NoButton), int(KvUi::Yes)}) {
            ui.messages.clear();
            ui.answers = {answer};
            ui.saveAnswers << typed;
            EXPECT_EQ(KvQmlController::getAudioSaveFileName(nullptr, "Save", folder, c.format),
                      answer == KvUi::Yes ? typed + c.suffix : QString())
                << c.format << " " << answer;
            ASSERT_EQ(ui.messages.size(), 1);
            EXPECT_EQ(ui.messages.first().buttons, KvUi::Yes | KvUi::No);
            EXPECT_EQ(ui.messages.first().defaultButton, int(KvUi::No));
        }
    }
}

TEST_F(ControllerExport, ThreeTracksBecomeNumberedFilesWithTheirOwnTags)
{
    const qint64 n = frames();
    setTracks({{0, 100}, {100, 250}, {250, KvTagProperty::EndMarker}}, {"Intro", "Middle", "Coda"}, {1, 2, 3});
    ui.folderAnswers << dir.file("tracks");
    QDir().mkpath(dir.file("tracks"));
    controller->actionExportTracks();

    ASSERT_EQ(ui.captions, QStringList{"Track Export Directory"});
    EXPECT_EQ(ui.texts(), QStringList{"3 track(s) were successfully exported."});
    const QStringList names = {"01 Intro.mp3", "02 Middle.mp3", "03 Coda.mp3"};
    EXPECT_EQ(QDir(dir.file("tracks")).entryList(QDir::Files, QDir::Name), names);
    const qint64 lengths[] = {100, 150, n - 250};
    const qint64 firsts[] = {0, 100, 250};
    for (int i = 0; i < 3; ++i) {
        const QString path = dir.file("tracks/" + names[i]);
        const QVector<QByteArray> written = audioFramesOf(path);
        EXPECT_TRUE(written == sourceFrames.mid(int(firsts[i]), int(lengths[i]))) << names[i].toStdString();
        EXPECT_EQ(decodeMpg123(path).size(), lengths[i] * kPcmFrameBytes) << names[i].toStdString();
        const FileTags t = tagsOf(path);
        EXPECT_EQ(t.title, QStringList({"Intro", "Middle", "Coda"})[i]);
        EXPECT_EQ(t.artist, "Band");
        EXPECT_EQ(t.track, unsigned(i + 1));
    }
    EXPECT_EQ(controller->exportedTrackFiles().size(), 3);
    EXPECT_EQ(settingText("Settings/lastExportPath"), dir.file("tracks"));
    EXPECT_TRUE(QSettings().value("HelpUsage/ExportDone").toBool());
}

TEST_F(ControllerExport, TrackNamesBecomeSafeFileNamesInTheChosenFolder)
{
    struct Case {
        const char *title, *file;
    };
    const Case cases[] = {
        {"AC/DC: Back", "AC_DC Back.mp3"},
        {"../../escape", ".._.._escape.mp3"},
        {"Tab\tand\x01" "bell\x7f", "Tab and bell.mp3"},
        {"..", "04 (empty).mp3"},
    };
    QStringList titles, expected;
    QList<QPair<qint64, qint64>> ranges;
    for (int i = 0; i < 4; ++i) {
        titles << QString::fromLatin1(cases[i].title);
        expected << QString::fromLatin1(cases[i].file);
        ranges << qMakePair(qint64(i * 20), qint64(i * 20 + 20));
    }
    setTracks(ranges, titles, {1, 2, 3, 4});
    // No number in the pattern: the cleaned title alone, the number when nothing is left.
    controller->setTrackNameFormat("%T");
    QDir().mkpath(dir.file("deep/tracks"));
    controller->exportTracksUrl(QUrl::fromLocalFile(dir.file("deep/tracks")));

    expected.sort();
    EXPECT_EQ(QDir(dir.file("deep/tracks")).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    EXPECT_TRUE(QDir(dir.file("deep")).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList({"escape*"}, QDir::Files).isEmpty());
    EXPECT_EQ(ui.texts(), QStringList{"4 track(s) were successfully exported."});
}

TEST_F(ControllerExport, UnnumberedTracksAreLeftOutOrStopTheExport)
{
    struct Case {
        QList<int> numbers;
        QList<int> answers;
        QStringList files;
        QStringList texts;
    };
    const QString question = "1 track(s) have not been assigned a track number and will not be exported.\n"
                             "Do you wish to continue creating the other tracks?";
    const Case cases[] = {
        {{1, 0, 3}, {KvUi::Yes}, {"01 A.mp3", "03 C.mp3"}, {question, "2 track(s) were successfully exported."}},
        {{1, 0, 3}, {KvUi::No}, {}, {question, "Track '00 B' was not assigned a track number."}},
        {{0, 0, 0}, {}, {}, {"Failed to save the 3 track(s) as no tracks were assigned a track number"}},
    };
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        controller->setUseAutoTrackNum(false);
        setTracks({{0, 30}, {30, 60}, {60, 90}}, {"A", "B", "C"}, c.numbers);
        ui.answers = c.answers;
        QDir().mkpath(dir.path() + "/t");
        controller->exportTracksUrl(QUrl::fromLocalFile(dir.path() + "/t"));
        EXPECT_EQ(QDir(dir.path() + "/t").entryList(QDir::Files, QDir::Name), c.files);
        EXPECT_EQ(ui.texts(), c.texts);
        ui.messages.clear();
        QDir(dir.path() + "/t").removeRecursively();
    }
}

TEST_F(ControllerExport, OverwriteAnswersDecideWhichTracksAreWritten)
{
    struct Case {
        const char *name;
        QList<int> answers;
        int questions;
        QList<bool> written;
        QString last;  // the last message, empty when the export ended without one
    };
    const Case cases[] = {
        {"yes, no, cancel", {KvUi::Yes, KvUi::No, KvUi::Cancel}, 3, {true, false, false}, ""},
        {"yes to all", {KvUi::YesToAll}, 1, {true, true, true}, "3 track(s) were successfully exported."},
        {"no to all", {KvUi::NoToAll}, 1, {false, false, false}, "No tracks were exported!"},
        {"no, yes, no", {KvUi::No, KvUi::Yes, KvUi::No}, 3, {false, true, false}, "1 track(s) were successfully exported."},
        {"box closed", {KvUi::NoButton}, 1, {false, false, false}, ""},
    };
    const QStringList names = {"01 A.mp3", "02 B.mp3", "03 C.mp3"};
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        setTracks({{0, 30}, {30, 60}, {60, 90}}, {"A", "B", "C"}, {1, 2, 3});
        QDir().mkpath(dir.file("t"));
        for (const QString &n : names)
            ASSERT_TRUE(writeFile(dir.file("t/" + n), "old"));
        ui.answers = c.answers;
        controller->exportTracksUrl(QUrl::fromLocalFile(dir.file("t")));
        int questions = 0;
        for (const AskedMessage &m : ui.messages) {
            if (m.text.startsWith("File ")) {
                ++questions;
                EXPECT_EQ(m.buttons, KvUi::Yes | KvUi::YesToAll | KvUi::No | KvUi::NoToAll | KvUi::Cancel);
                EXPECT_EQ(m.defaultButton, int(KvUi::Cancel));
            }
        }
        EXPECT_EQ(questions, c.questions) << c.name;
        EXPECT_EQ(ui.messages.first().text,
                  "File " + QDir::toNativeSeparators(dir.file("t/01 A.mp3")) + " already exists!\nDo you wish to overwrite?")
            << c.name;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(readFile(dir.file("t/" + names[i])) != "old", c.written[i]) << c.name << " " << i;
        const QString last = ui.messages.last().text.startsWith("File ") ? QString() : ui.messages.last().text;
        EXPECT_EQ(last, c.last) << c.name;
        ui.messages.clear();
        QDir(dir.file("t")).removeRecursively();
    }
}

TEST_F(ControllerExport, TrackExportWithoutAnyDocumentReportsTheFailure)
{
    model->setFragmentList(KvQmlModel::FragmentListPtr());
    controller->exportTracksUrl(QUrl::fromLocalFile(dir.file("t")));
    EXPECT_EQ(ui.texts(), QStringList{"Failed to export one or more the tracks: Unknown error"});

    ui.messages.clear();
    model->setFragmentList(kvSilentDocument(0));
    setTracks({{0, 10}}, {"A"}, {1});
    controller->exportTracksUrl(QUrl::fromLocalFile(dir.file("t")));
    EXPECT_EQ(ui.texts(), QStringList{"Internal error: Invalid or empty project file list."});
}

TEST_F(ControllerExport, TargetsPickedInTheTouchPickerExportBySelectionAllAndTracks)
{
    const qint64 n = frames();
    constexpr int noneSet = -1;
    struct Case {
        int mode;
        const char *target;  // a file, or a folder for the tracks
        QString text;         // empty: no message
        QStringList files;    // what the folder of the target holds afterwards
        qint64 firstFrames;   // audio frames of the first of them
    };
    const Case cases[] = {
        // Before any command opened the picker, a picked song is not opened.
        {noneSet, "none/song.mp3", QString(), {"song.mp3"}, n},
        {4, "sel/part.mp3", "The selection was successfully exported.", {"part.mp3"}, 100},
        {5, "all/whole.mp3", "The project was successfully exported.", {"whole.mp3"}, n},
        {6, "tracks", "2 track(s) were successfully exported.", {"01 Intro.mp3", "02 Coda.mp3"}, 50},
    };
    setTracks({{0, 50}, {50, KvTagProperty::EndMarker}}, {"Intro", "Coda"}, {1, 2});
    select(50, 150);
    const KvQmlModel::FragmentListPtr document = model->fragmentList();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        const QString target = dir.file(c.target);
        const QString folder = c.mode == 6 ? target : QFileInfo(target).absolutePath();
        ASSERT_TRUE(QDir().mkpath(folder));
        if (c.mode == noneSet)
            ASSERT_TRUE(QFile::copy(source, target));
        else
            controller->setPickerMode(c.mode);
        ui.messages.clear();
        controller->actionFilePicked(QUrl::fromLocalFile(target));
        EXPECT_TRUE(ui.captions.isEmpty()) << "the picker already chose: " << ui.captions.join("; ").toStdString();
        EXPECT_EQ(ui.texts(), c.text.isEmpty() ? QStringList() : QStringList{c.text});
        EXPECT_EQ(model->fragmentList(), document);
        EXPECT_TRUE(controller->pendingFiles().isEmpty());
        EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), c.files);
        if (!c.files.isEmpty()) {
            EXPECT_EQ(audioFramesOf(folder + "/" + c.files.first()).size(), c.firstFrames);
        }
    }
}

// Conversion runs through the same fixture: a real MP3 document.
class ControllerConvert : public ControllerExport
{
public:
    void SetUp() override
    {
        ControllerExport::SetUp();
        // The worker takes a box closed without an answer as the end of its
        // run: answer each with its default, else its first button.
        ui.answerWith = [this](const AskedMessage &m) {
            if (!ui.answers.isEmpty())
                return ui.answers.takeFirst();
            if (m.defaultButton != KvUi::NoButton)
                return m.defaultButton;
            return m.buttons & -m.buttons;
        };
    }
    // Serves events until the worker has let go (saved, failed or cancelled).
    bool waitForTheWorker(int ms = 60000)
    {
        return waitFor([this] { return controller->convertWorker() == nullptr; }, ms);
    }
    // Decoded length in samples per channel.
    static qint64 mp3Samples(const QString &path) { return decodeMpg123(path).size() / 4; }
    static qint64 ffmpegSamples(const QString &path, int channels)
    {
        return decodeFfmpeg(path).size() / (2 * channels);
    }
};

TEST_F(ControllerConvert, TheWarningIsShownUntilItIsTurnedOff)
{
    struct Case {
        const char *setting;  // null: never written
        bool shown;
    };
    const Case cases[] = {{nullptr, true}, {"true", true}, {"false", false}};
    for (const Case &c : cases) {
        QSettings().remove("Warnings/ShowConvertWarnDlg");
        if (c.setting)
            QSettings().setValue("Warnings/ShowConvertWarnDlg", QString(c.setting) == "true");
        ui.notices.clear();
        EXPECT_TRUE(controller->checkConvertWarning());
        EXPECT_EQ(ui.notices, c.shown ? QList<KvUi::Notice>{KvUi::ConvertWarning} : QList<KvUi::Notice>{})
            << (c.setting ? c.setting : "unset");
    }
}

TEST_F(ControllerConvert, TheDialogsWorkerReachesTheControllerByName)
{
    // The conversion dialog's worker knows the controller by name only.
    controller->setLastConvertPath(dir.file("last"));
    KvConvertWorker worker(controller.get(), {model->fragmentList()->list()}, nullptr, &ui);
    QSignalSpy finished(&worker, SIGNAL(raiseConvertFinished(bool)));
    audio_preset preset;
    preset.channels = 2;
    preset.sampleRate = 44100;
    preset.bitrate = 0;
    KvAudioLibPtr wav;
    for (const KvAudioLibPtr &e : createEncoders(KvAudioFrameReaderPtr(), true, "wav"))
        if (e->fileExtension() == "wav")
            wav = e;
    ASSERT_TRUE(wav);
    worker.startDecode(wav, preset, 1.0, 0.0);
    ASSERT_TRUE(worker.decodeThread);
    worker.decodeThread->start();
    ASSERT_TRUE(finished.wait(60000));
    ASSERT_TRUE(finished.at(0).at(0).toBool());

    // The save dialog starts in the remembered folder; the folder of the
    // saved file is remembered next.
    QDir().mkpath(dir.file("saved"));
    ui.saveAnswers << dir.file("saved/whole");
    ASSERT_TRUE(worker.saveConvertedFile(QString()));
    EXPECT_EQ(ui.saveDirs, QStringList{dir.file("last")});
    EXPECT_TRUE(QFileInfo::exists(dir.file("saved/whole.wav")));
    EXPECT_EQ(controller->lastConvertPath(), dir.file("saved"));
    EXPECT_EQ(ui.texts(), QStringList{"The project was successfully converted."});

    // The cancel question's answer reaches the controller, which closes the
    // touch picker either way.
    QSignalSpy closed(controller.get(), SIGNAL(closeFilePicker()));
    worker.stateActionCancelConvertQ_Finished(KvUi::No);
    EXPECT_EQ(closed.count(), 1);

    // The flag after a track conversion.
    setTracks({{0, 40}}, {"One"}, {1});
    KvConvertWorker tracks(controller.get(), {model->fragmentList()->list()->copyRange(0, 40)}, nullptr, &ui);
    QSignalSpy done(&tracks, SIGNAL(raiseConvertFinished(bool)));
    tracks.startDecode(wav, preset, 1.0, 0.0);
    tracks.decodeThread->start();
    ASSERT_TRUE(done.wait(60000));
    QSettings().remove("HelpUsage/ConvertDone");
    ASSERT_TRUE(tracks.convertTracks(dir.file("saved")));
    EXPECT_TRUE(QFileInfo::exists(dir.file("saved/01 One.wav")));
    EXPECT_TRUE(QSettings().value("HelpUsage/ConvertDone").toBool());
}

TEST_F(ControllerConvert, TouchCommandsConvertToMp3AndAacOfTheExpectedLength)
{
    struct Case {
        const char *name;
        int format;  // 0 MP3, else AAC
        bool selection;
        const char *file;
        QString text;
    };
    const Case cases[] = {
        {"all to MP3", 0, false, "all.mp3", "Converting All to..."},
        {"selection to MP3", 0, true, "sel.mp3", "Converting Selection to..."},
        {"all to AAC", 1, false, "all.m4a", "Converting All to..."},
    };
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        controller->setConvertingFormat(c.format);
        controller->setConvertingQuality(2);
        select(100, 300);
        QSignalSpy progress(controller.get(), SIGNAL(convertProgressChanged(int)));
        ui.saveAnswers << dir.file(QString(c.file).section('.', 0, 0));
        if (c.selection)
            controller->actionConvertSelection();
        else
            controller->actionConvertAll();
        ASSERT_TRUE(controller->convertWorker()) << c.name;
        EXPECT_EQ(controller->convertProgressText(),
                  QString("<br/><h1>%1</h1><br/><h1>%2</h1><br/><h3>Stereo</h3><br/><h3>128 kbps</h3><br/>"
                          "<h3>44100 Hz</h3><br/>")
                      .arg(c.text, c.format == 0 ? "MP3" : "AAC"))
            << c.name;
        ASSERT_TRUE(waitForTheWorker()) << c.name;

        const QString out = dir.file(c.file);
        ASSERT_TRUE(QFileInfo::exists(out)) << c.name << ": " << ui.texts().join(" | ").toStdString();
        EXPECT_EQ(ui.texts().last(), c.selection ? "The selection was successfully converted."
                                                 : "The project was successfully converted.")
            << c.name;
        const qint64 frames = c.selection ? 200 : qint64(sourceFrames.size());
        const qint64 expected = frames * 1152;
        // Encoder delay and padding add up to a few frames.
        const qint64 got = c.format == 0 ? mp3Samples(out) : ffmpegSamples(out, 2);
        EXPECT_GE(got, expected - 1152) << c.name;
        EXPECT_LE(got, expected + 3 * 1152) << c.name;

        // Progress went up to the end and was then cleared.
        ASSERT_GE(progress.count(), 2) << c.name;
        int last = -1;
        for (int i = 0; i + 1 < progress.count(); ++i) {
            const int p = progress.at(i).at(0).toInt();
            EXPECT_GE(p, last) << c.name;
            last = p;
        }
        EXPECT_GE(last, 90) << c.name;
        EXPECT_EQ(progress.last().at(0).toInt(), -1) << c.name;
        EXPECT_EQ(controller->convertProgress(), -1) << c.name;
    }
}

TEST_F(ControllerConvert, TracksConvertIntoTheChosenFolder)
{
    controller->setConvertingFormat(0);
    setTracks({{0, 100}, {100, 250}, {250, KvTagProperty::EndMarker}}, {"Intro", "Middle", "Coda"}, {1, 2, 3});
    QDir().mkpath(dir.file("conv"));
    ui.folderAnswers << dir.file("conv");
    controller->actionConvertTracks();
    EXPECT_TRUE(controller->convertProgressText().contains("Converting Tracks to..."));
    ASSERT_TRUE(waitForTheWorker());
    const QStringList names = {"01 Intro.mp3", "02 Middle.mp3", "03 Coda.mp3"};
    EXPECT_EQ(QDir(dir.file("conv")).entryList(QDir::Files, QDir::Name), names);
    EXPECT_EQ(ui.texts().last(), "3 track(s) were successfully converted.");
    const qint64 frames[] = {100, 150, qint64(sourceFrames.size()) - 250};
    for (int i = 0; i < 3; ++i) {
        const qint64 got = mp3Samples(dir.file("conv/" + names[i]));
        EXPECT_GE(got, frames[i] * 1152 - 1152) << names[i].toStdString();
        EXPECT_LE(got, frames[i] * 1152 + 3 * 1152) << names[i].toStdString();
        EXPECT_EQ(tagsOf(dir.file("conv/" + names[i])).track, unsigned(i + 1));
    }
    EXPECT_EQ(controller->lastConvertPath(), dir.file("conv"));
}

TEST_F(ControllerConvert, TargetsPickedInTheTouchPickerReceiveEachConversion)
{
    struct Case {
        int mode;
        std::function<void(KvQmlController &)> command;
        const char *target;  // a file, or a folder for the tracks
        QStringList files;
        QString text;
    };
    const Case cases[] = {
        {7, [](KvQmlController &c) { c.actionConvertSelection(); }, "sel.mp3", {"sel.mp3"},
         "The selection was successfully converted."},
        {8, [](KvQmlController &c) { c.actionConvertAll(); }, "all.mp3", {"all.mp3"},
         "The project was successfully converted."},
        {9, [](KvQmlController &c) { c.actionConvertTracks(); }, "tracks", {"01 One.mp3", "02 Two.mp3"},
         "2 track(s) were successfully converted."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        TearDown();
        SetUp();
        ui.captions.clear();
        ui.messages.clear();
        controller->setConvertingFormat(0);
        setTracks({{0, 40}, {40, 80}}, {"One", "Two"}, {1, 2});
        select(10, 50);
        const QString out = dir.file(QString("mode%1").arg(c.mode));
        ASSERT_TRUE(QDir().mkpath(out));
        // The conversion asks where to save; the touch picker answers.
        const QString target = out + "/" + c.target;
        if (c.mode == 9) {
            ASSERT_TRUE(QDir().mkpath(target));
        }
        ui.touchPicker = [this, &c, target] {
            controller->setPickerMode(c.mode);
            controller->actionFilePicked(QUrl::fromLocalFile(target));
        };
        c.command(*controller);
        ASSERT_TRUE(controller->convertWorker());
        ASSERT_TRUE(waitForTheWorker());
        EXPECT_EQ(ui.captions.size(), 1) << "one place asked for";
        const QString folder = c.mode == 9 ? target : out;
        EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), c.files);
        ASSERT_FALSE(ui.texts().isEmpty());
        EXPECT_EQ(ui.texts().last(), c.text);
    }
}

TEST_F(ControllerConvert, AConvertedFileNeverReplacesAFileTheProgramReads)
{
    controller->setConvertingFormat(0);
    const QByteArray bytes = readFile(source);
    ui.saveAnswers << source;
    controller->actionConvertAll();
    ASSERT_TRUE(waitForTheWorker());
    EXPECT_TRUE(readFile(source) == bytes);
    ASSERT_FALSE(ui.texts().isEmpty());
    EXPECT_EQ(ui.texts().last(), "Error encountered saving the converted file: " + source
                                     + "\nThe file is already in use and cannot be overwritten.");
}

TEST_F(ControllerConvert, CancellingAsksAndOnlyYesStopsTheConversion)
{
    struct Case {
        bool ask;
        int answer;
        bool stopped;
    };
    const Case cases[] = {{true, KvUi::No, false}, {true, KvUi::Yes, true}, {false, KvUi::NoButton, true}};
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        controller->setConvertingFormat(0);
        controller->actionConvertAll();
        ASSERT_TRUE(controller->convertWorker());
        controller->decodeProgress(40);
        ui.answers = {c.answer};
        controller->actionCancelConvert(c.ask);
        EXPECT_EQ(ui.texts(), c.ask ? QStringList{"Are you sure you want to cancel the conversion?"} : QStringList{});
        if (c.ask) {
            EXPECT_EQ(ui.messages.first().defaultButton, int(KvUi::No));
            EXPECT_EQ(ui.messages.first().buttons, KvUi::Yes | KvUi::No);
        }
        EXPECT_EQ(controller->convertWorker() == nullptr, c.stopped);
        if (c.stopped)
            EXPECT_EQ(controller->convertProgress(), -1);
        else
            EXPECT_EQ(controller->convertProgress(), 40);
        ui.messages.clear();
        controller->actionCancelConvert(false);
        EXPECT_FALSE(controller->convertWorker());
    }
}

TEST_F(ControllerConvert, NothingStartsWithoutFramesToConvert)
{
    struct Case {
        const char *name;
        std::function<void(ControllerConvert &)> run;
    };
    const Case cases[] = {
        {"selection without one", [](ControllerConvert &t) { t.controller->actionConvertSelection(); }},
        {"tracks without any", [](ControllerConvert &t) { t.controller->actionConvertTracks(); }},
        {"empty document",
         [](ControllerConvert &t) {
             t.model->setFragmentList(kvSilentDocument(0));
             t.controller->actionConvertAll();
         }},
    };
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        c.run(*this);
        EXPECT_FALSE(controller->convertWorker()) << c.name;
    }
}

TEST_F(ControllerConvert, QualityStepsGiveTheirBitRates)
{
    const int steps[][2] = {{0, 224}, {1, 96}, {2, 128}, {3, 160}, {4, 192}, {5, 224}};
    for (const auto &s : steps) {
        controller->setConvertingQuality(s[0]);
        controller->setConvertingFrequency(s[0] == 1 ? 1 : 2);
        controller->setConvertStereo(s[0] != 5);
        controller->startConvert(false, false, false);
        EXPECT_TRUE(controller->convertProgressText().contains(QString("<h3>%1 kbps</h3>").arg(s[1])))
            << controller->convertProgressText().toStdString();
        EXPECT_TRUE(controller->convertProgressText().contains(s[0] == 1 ? "44100 Hz" : "48000 Hz"));
        EXPECT_TRUE(controller->convertProgressText().contains(s[0] != 5 ? "Stereo" : "Mono"));
        controller->actionCancelConvert(false);
    }
}

} // namespace
