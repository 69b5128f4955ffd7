// The conversion worker end to end over stand-in frame streams: tempo, pitch and rate
// changes judged by ffprobe and the decoded signal, per-track files with tags, the
// overwrite answers, the unnumbered-track question and the combined progress.
#include "ConvertTestSupport.h"
#include "KvRecordTestSupport.h"
#include "PlaybackTestSupport.h"

#include <KvConvertWorker.h>
#include <KvDecodeThread.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagProperty.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QMessageBox>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

using namespace kvconvtest;
using kvplaytest::documentOf;
using kvplaytest::ScopedFrameStreams;

namespace {

const double kFrameSeconds = 1152 / 44100.0;

// Runs every list of the worker; true when it ended with success.
bool runWorker(KvConvertWorker &worker, const KvAudioLibPtr &encoder, const audio_preset &preset,
               double tempo, double pitch)
{
    QSignalSpy finished(&worker, SIGNAL(raiseConvertFinished(bool)));
    worker.startDecode(encoder, preset, tempo, pitch);
    if (!worker.decodeThread)
        return false;
    worker.decodeThread->start();
    if (!finished.wait(60000))
        return false;
    return finished.at(0).at(0).toBool();
}

struct TrackDoc {
    DocPtr doc;
    QList<DocPtr> lists;
};

// The fixture divided into three tracks of 100, 150 and the rest of the frames.
TrackDoc threeTracks(Project *&project, const QString &fixture, int numbers[3])
{
    TrackDoc t;
    t.doc = documentOf(fixture);
    project = new Project(t.doc);
    const qint64 bounds[4] = {0, 100, 250, t.doc->totalFrames()};
    const char *titles[3] = {"First: Song", "Second/Song", "Third Song."};
    for (int i = 0; i < 3; ++i) {
        project->addTrack(bounds[i], i == 2 ? KvTagProperty::EndMarker : bounds[i + 1], titles[i], numbers[i]);
        t.lists << t.doc->copyRange(bounds[i], bounds[i + 1] - bounds[i]);
    }
    return t;
}

} // namespace

TEST(ConvertWorker, TempoOneAndAHalfOnACutDocumentGivesTwoThirdsOfItsLength)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    kvrectest::ModalResponder responder;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    doc->deleteRange(150, 150);
    const double edited = doc->totalFrames() * kFrameSeconds;
    Project project(doc);
    KvConvertWorker worker(&project.controller, {doc->copyRange(0, -1)}, nullptr);
    ASSERT_TRUE(runWorker(worker, encoderFor("wav"), pcmPreset(44100, 2), 1.5, 0.0));

    QTemporaryDir dir;
    const QString out = dir.filePath("cut.wav");
    ASSERT_TRUE(worker.saveConvertedFile(out));
    EXPECT_EQ(responder.boxTexts, QStringList{"The project was successfully converted."});
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(12);
    EXPECT_TRUE(head.startsWith("RIFF") && head.mid(8, 4) == "WAVE");
    const Probe p = probe(out);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.codec, "pcm_s16le");
    EXPECT_EQ(p.sampleRate, 44100);
    EXPECT_EQ(p.channels, 2);
    EXPECT_NEAR(p.duration, edited / 1.5, 0.05);
    // The folder of the saved file is remembered for the next conversion.
    EXPECT_EQ(project.controller.lastConvertPath(), QDir(dir.path()).absolutePath());
}

TEST(ConvertWorker, TheEngineStreamRoadConvertsACutDocument)
{
    // No stand-in streams: the edited document is rebuilt by the engine's stream device.
    ScopedMakers makers(true, false);
    kvrectest::ModalResponder responder;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    doc->deleteRange(150, 150);
    const double edited = doc->totalFrames() * kFrameSeconds;
    Project project(doc);
    KvConvertWorker worker(&project.controller, {doc->copyRange(0, -1)}, nullptr);
    ASSERT_TRUE(runWorker(worker, encoderFor("wav"), pcmPreset(44100, 2), 1.5, 0.0));
    QTemporaryDir dir;
    const QString out = dir.filePath("engine.wav");
    ASSERT_TRUE(worker.saveConvertedFile(out));
    const Probe p = probe(out);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.codec, "pcm_s16le");
    EXPECT_NEAR(p.duration, edited / 1.5, 0.05);
}

TEST(ConvertWorker, PitchUpAnOctaveDoublesTheTone)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    kvrectest::ModalResponder responder;
    DocPtr doc = documentOf("tone1k_mono.mp3");
    Project project(doc);
    struct Case { double pitch; double hz; } cases[] = {{0.0, 1000.0}, {12.0, 2000.0}, {-12.0, 500.0}};
    for (const Case &c : cases) {
        KvConvertWorker worker(&project.controller, {doc->copyRange(0, -1)}, nullptr);
        ASSERT_TRUE(runWorker(worker, encoderFor("wav"), pcmPreset(44100, 1), 1.0, c.pitch));
        QTemporaryDir dir;
        const QString out = dir.filePath("tone.wav");
        ASSERT_TRUE(worker.saveConvertedFile(out));
        const double hz = dominantFrequency(wavSamples(out), 44100);
        EXPECT_NEAR(hz, c.hz, c.hz * 0.03) << "pitch " << c.pitch;
        // Pitch leaves the duration alone.
        EXPECT_NEAR(probe(out).duration, doc->totalFrames() * kFrameSeconds, 0.05);
    }
}

TEST(ConvertWorker, ADifferentOutputRateKeepsTheDuration)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    kvrectest::ModalResponder responder;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    Project project(doc);
    KvConvertWorker worker(&project.controller, {doc->copyRange(0, -1)}, nullptr);
    ASSERT_TRUE(runWorker(worker, encoderFor("wav"), pcmPreset(48000, 2), 1.0, 0.0));
    QTemporaryDir dir;
    const QString out = dir.filePath("r48.wav");
    ASSERT_TRUE(worker.saveConvertedFile(out));
    const Probe p = probe(out);
    EXPECT_EQ(p.sampleRate, 48000);
    EXPECT_NEAR(p.duration, doc->totalFrames() * kFrameSeconds, 0.05);
}

TEST(ConvertWorker, ThreeTracksGiveThreeNamedTaggedMp3Files)
{
    ScopedMakers makers(false, true);
    const KvAudioLibPtr lame = encoderFor("mp3");
    if (!lame)
        GTEST_SKIP() << "no LAME library";
    ScopedFrameStreams streams;
    kvrectest::ModalResponder responder;
    Project *raw = nullptr;
    int numbers[3] = {1, 2, 3};
    TrackDoc t = threeTracks(raw, "cbr128_joint.mp3", numbers);
    std::unique_ptr<Project> project(raw);
    KvConvertWorker worker(&project->controller, t.lists, nullptr);
    audio_preset preset = pcmPreset(44100, 2);
    preset.mode = 2;
    preset.bitrate = 128;
    ASSERT_TRUE(runWorker(worker, lame, preset, 1.0, 0.0));
    ASSERT_EQ(worker.outputCount(), 3);

    QTemporaryDir dir;
    ASSERT_TRUE(worker.convertTracks(dir.path()));
    const QStringList names = {"01 First Song.mp3", "02 Second_Song.mp3", "03 Third Song.mp3"};
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name), names);
    const char *titles[3] = {"First: Song", "Second/Song", "Third Song."};
    const qint64 frames[3] = {100, 150, t.doc->totalFrames() - 250};
    for (int i = 0; i < 3; ++i) {
        const QString path = dir.filePath(names[i]);
        TagLib::FileRef ref(QFile::encodeName(path).constData());
        ASSERT_FALSE(ref.isNull());
        EXPECT_EQ(QString::fromStdWString(ref.tag()->title().toWString()), titles[i]);
        EXPECT_EQ(ref.tag()->track(), unsigned(i + 1));
        const Probe p = probe(path);
        EXPECT_EQ(p.codec, "mp3");
        // Encoder delay and padding add a little.
        EXPECT_NEAR(p.duration, frames[i] * kFrameSeconds, 0.1) << names[i].toStdString();
    }
    EXPECT_EQ(responder.boxTexts, QStringList{"3 track(s) were successfully converted."});
    EXPECT_EQ(project->controller.lastConvertPath(), QDir(dir.path()).absolutePath());
}

TEST(ConvertWorker, OverwriteAnswersDecideWhichFilesAreReplaced)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    Project *raw = nullptr;
    int numbers[3] = {1, 2, 3};
    TrackDoc t = threeTracks(raw, "cbr128_joint.mp3", numbers);
    std::unique_ptr<Project> project(raw);
    kvrectest::ModalResponder responder;
    KvConvertWorker worker(&project->controller, t.lists, nullptr);
    ASSERT_TRUE(runWorker(worker, encoderFor("wav"), pcmPreset(44100, 2), 1.0, 0.0));

    const QStringList names = {"01 First Song.wav", "02 Second_Song.wav", "03 Third Song.wav"};
    struct Case {
        QList<int> answers;
        int asked;
        QString replaced;  // one letter per file: R replaced, K kept
        bool result;
    } cases[] = {
        {{QMessageBox::Yes, QMessageBox::No, QMessageBox::Yes}, 3, "RKR", true},
        {{QMessageBox::YesToAll}, 1, "RRR", true},
        {{QMessageBox::No, QMessageBox::YesToAll}, 2, "KRR", true},
        {{QMessageBox::No, QMessageBox::NoToAll}, 2, "KKK", true},
        {{QMessageBox::NoToAll}, 1, "KKK", true},
        {{QMessageBox::Yes, QMessageBox::Cancel}, 2, "RKK", false},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        for (const QString &n : names) {
            QFile f(dir.filePath(n));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        responder.boxTexts.clear();
        responder.answerBoxes(c.answers + QList<int>{QMessageBox::Ok});
        EXPECT_EQ(worker.convertTracks(dir.path()), c.result);
        int asked = 0;
        for (const QString &text : responder.boxTexts)
            asked += text.contains("already exists") ? 1 : 0;
        EXPECT_EQ(asked, c.asked);
        QString got;
        for (const QString &n : names)
            got += QFileInfo(dir.filePath(n)).size() > 3 ? 'R' : 'K';
        EXPECT_EQ(got, c.replaced);
        const int written = got.count('R');
        const QString summary = !c.result ? QString()
                                : written ? QString("%1 track(s) were successfully converted.").arg(written)
                                          : QString("No tracks were converted!");
        EXPECT_EQ(summary.isEmpty() ? responder.boxTexts.size() == c.asked
                                    : responder.boxTexts.value(c.asked) == summary,
                  true)
            << responder.boxTexts.join(" | ").toStdString();
    }
}

TEST(ConvertWorker, UnnumberedTracksAnsweredNoWriteNothingAndSaySo)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    Project *raw = nullptr;
    int numbers[3] = {1, 0, 3};
    TrackDoc t = threeTracks(raw, "cbr128_joint.mp3", numbers);
    std::unique_ptr<Project> project(raw);
    project->controller.setUseAutoTrackNum(false);
    kvrectest::ModalResponder responder;
    KvConvertWorker worker(&project->controller, t.lists, nullptr);
    ASSERT_TRUE(runWorker(worker, encoderFor("wav"), pcmPreset(44100, 2), 1.0, 0.0));

    {
        QTemporaryDir dir;
        responder.boxTexts.clear();
        responder.answerBoxes({QMessageBox::No, QMessageBox::Ok, QMessageBox::Ok});
        QSignalSpy saveFinished(&worker, SIGNAL(raiseConvertSaveFinished()));
        EXPECT_FALSE(worker.convertTracks(dir.path()));
        ASSERT_EQ(responder.boxTexts.size(), 3);
        EXPECT_TRUE(responder.boxTexts[0].startsWith("1 track(s) have not been assigned a track number"));
        EXPECT_TRUE(responder.boxTexts[1].startsWith("Track '"));
        EXPECT_EQ(responder.boxTexts[2], "No tracks were converted!");
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
        EXPECT_EQ(saveFinished.count(), 1);
        EXPECT_TRUE(project->controller.lastConvertPath().isEmpty());
    }
    {
        // Yes: the numbered tracks are written, each with its own audio.
        QTemporaryDir dir;
        responder.boxTexts.clear();
        responder.answerBoxes({QMessageBox::Yes, QMessageBox::Ok});
        EXPECT_TRUE(worker.convertTracks(dir.path()));
        // Automatic numbering is off: the names carry the tag numbers.
        const QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        ASSERT_EQ(files.size(), 2);
        EXPECT_NEAR(probe(dir.filePath(files[0])).duration, 100 * kFrameSeconds, 0.05);
        EXPECT_NEAR(probe(dir.filePath(files[1])).duration, (t.doc->totalFrames() - 250) * kFrameSeconds, 0.05);
        EXPECT_EQ(responder.boxTexts.value(1), "2 track(s) were successfully converted.");
    }
}

TEST(ConvertWorker, CombinedProgressWeighsListsByFrames)
{
    kvrectest::ModalResponder responder;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    Project project(doc);
    KvConvertWorker worker(&project.controller, {doc->copyRange(0, 300), doc->copyRange(300, 100)}, nullptr);
    QSignalSpy progress(&worker, SIGNAL(raiseDecodeProgress(int)));
    worker.startDecode(KvAudioLibPtr(), pcmPreset(44100, 2), 1.0, 0.0);
    worker.decodeProgress(50);
    worker.decodeProgress(50);
    EXPECT_EQ(worker.combinedPercent(100), 75);
    ASSERT_EQ(progress.count(), 1);
    EXPECT_EQ(progress.at(0).at(0).toInt(), 37);
    worker.stop();
    EXPECT_EQ(worker.decodeThread, nullptr);
}

TEST(ConvertWorker, StopWhilePausedReturnsAndLeavesNoThread)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    kvrectest::ModalResponder responder;
    DocPtr doc = documentOf("vbr_v0_long.mp3");
    Project project(doc);
    KvConvertWorker worker(&project.controller, {doc->copyRange(0, -1)}, nullptr);
    worker.startDecode(encoderFor("wav"), pcmPreset(44100, 2), 1.0, 0.0);
    QPointer<KvDecodeThread> thread = worker.decodeThread;
    thread->start();
    QThread::msleep(100);
    thread->setPaused(true);
    QThread::msleep(100);
    QElapsedTimer t;
    t.start();
    worker.stop();
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(thread.isNull());
    EXPECT_EQ(worker.decodeThread, nullptr);
}

TEST(ConvertWorker, DecodeErrorIsShownAndEndsTheRun)
{
    kvrectest::ScopedEncoders encoders(kvrectest::ScopedEncoders::LameOnly);
    ScopedDecoder decoder;
    kvrectest::ListEncoder::failOpenWith = QStringLiteral("broken");
    ScopedFrameStreams streams;
    kvrectest::ModalResponder responder;
    DocPtr doc = documentOf("cbr128_joint.mp3");
    Project project(doc);
    KvConvertWorker worker(&project.controller, {doc->copyRange(0, 100), doc->copyRange(100, 100)}, nullptr);
    const KvAudioLibPtr lame = createEncoders(KvAudioFrameReaderPtr(), true, "mp3").value(0);
    EXPECT_FALSE(runWorker(worker, lame, pcmPreset(44100, 2), 1.0, 0.0));
    ASSERT_EQ(responder.boxTexts.size(), 1);
    EXPECT_TRUE(responder.boxTexts[0].startsWith("Conversion Error: Unable to initialize audio encoder"));
    EXPECT_EQ(worker.outputCount(), 0);
}
