// A source that another program changes while the document holds it open.
// Export, track export and conversion refuse with one message naming the
// source and write nothing, leaving files they would have replaced as they
// were; a file renamed over the source's path changes nothing, the document
// goes on reading what was opened. Playback stops with the same message.
#include "KvControllerTestSupport.h"
#include "KvQmlController.h"

#include <KvAudioSink.h>
#include <KvFakeUiServices.h>
#include <KvFileProperties.h>
#include <KvNullAudioSink.h>
#include <KvTagProperty.h>
#include <KvSourceChanges.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

using namespace kvtest;

namespace {

enum class Operation { ExportAll, ExportTracks, ConvertAll };

const char *nameOf(Operation o)
{
    switch (o) {
    case Operation::ExportAll: return "export all";
    case Operation::ExportTracks: return "track export";
    case Operation::ConvertAll: return "conversion";
    }
    return "";
}

// Every file of a folder with its bytes.
std::map<QString, QByteArray> filesIn(const QString &folder)
{
    std::map<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files[name] = readFile(QDir(folder).filePath(name));
    return files;
}

struct SourceKind {
    const char *name;
    const char *fixture;
    const char *exportSuffix;
};

void PrintTo(const SourceKind &kind, std::ostream *os) { *os << kind.fixture; }

class SourceChange : public ::testing::TestWithParam<SourceKind>
{
public:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { close(); }

    void close()
    {
        model.reset();
        controller.reset();
    }

    // A controller over the whole of a fresh copy of the fixture, in two
    // tracks; with `edited` the frames from 30 % on are one step louder, so
    // that they are rebuilt instead of copied.
    void open(const QString &folder, bool edited)
    {
        close();
        ui.reset(new FakeUiServices);
        source = QDir(folder).filePath(QString("source.") + QFileInfo(GetParam().fixture).suffix());
        ASSERT_TRUE(kvtest::copyFixture(GetParam().fixture, source));
        controller.reset(new KvQmlController(nullptr, KvControllerSeams{ui.get()}));
        model.reset(new KvQmlModel);
        QString error;
        const KvQmlModel::FragmentListPtr cursor = kvOpenDocument(*controller, *model, source, &error);
        ASSERT_TRUE(cursor) << error.toStdString();
        const qint64 n = cursor->totalFrames();
        if (edited) {
            controller->setSelectionStart(double(n * 3 / 10));
            controller->setSelectionEnd(double(n));
            controller->actionVolumeIncFrames();
            controller->setSelectionStart(-1);
            controller->setSelectionEnd(-1);
        }
        KvQmlModel::FilePropertiesPtr tracks(new KvFileProperties(controller.get()));
        const qint64 split = n * 6 / 10;
        const QList<QPair<qint64, qint64>> ranges = {{0, split}, {split, KvTagProperty::EndMarker}};
        const QStringList titles = {"One", "Two"};
        for (int i = 0; i < 2; ++i) {
            KvTagInfo tags;
            tags.title = titles[i];
            tags.track = i + 1;
            tracks->appendTrack(KvTagPropertyPtr(new KvTagProperty(ranges[i].first, ranges[i].second, tags)));
        }
        model->setTrackList(tracks);
    }

    // The files the operation writes into the folder.
    QStringList targets(Operation o) const
    {
        const QString ext = GetParam().exportSuffix;
        switch (o) {
        case Operation::ExportAll: return {"export." + ext};
        case Operation::ExportTracks: return {"01 One." + ext, "02 Two." + ext};
        case Operation::ConvertAll: return {"conv.mp3"};
        }
        return {};
    }

    // Runs the operation into the folder, answering its questions, until it ends.
    void run(Operation o, const QString &folder)
    {
        switch (o) {
        case Operation::ExportAll:
            controller->exportFileUrl(QUrl::fromLocalFile(QDir(folder).filePath(targets(o).first())), false, true);
            break;
        case Operation::ExportTracks:
            ui->folderAnswers << folder;
            if (QFileInfo::exists(QDir(folder).filePath(targets(o).first())))
                ui->answers << KvUi::YesToAll;
            controller->actionExportTracks();
            break;
        case Operation::ConvertAll:
            controller->setConvertingFormat(0);
            ui->saveAnswers << QDir(folder).filePath(targets(o).first());
            controller->actionConvertAll();
            ASSERT_TRUE(waitFor([this] { return controller->convertWorker() == nullptr; }, 120000));
            break;
        }
    }

    // The one box that reports the refusal.
    QString refusal(Operation o, const QString &folder) const
    {
        const QString reason = changedSourceText(source);
        if (o == Operation::ConvertAll)
            return "Conversion Error: " + reason.chopped(1) + ".";
        const QString target = QDir::toNativeSeparators(QDir(folder).filePath(targets(o).first()));
        return "Failed to save the file: " + target + "\nError: " + reason;
    }

    std::unique_ptr<FakeUiServices> ui;
    QString source;
    std::unique_ptr<KvQmlController> controller;
    std::unique_ptr<KvQmlModel> model;
};

TEST_P(SourceChange, NothingIsWrittenFromAChangedSourceAndARenameChangesNothing)
{
    const Change changes[] = {Change::InPlace, Change::InPlaceOldTime, Change::Truncated, Change::Grown,
                              Change::RenamedOver};
    const Operation operations[] = {Operation::ExportAll, Operation::ExportTracks, Operation::ConvertAll};
    for (const bool edited : {false, true}) {
        for (const Change c : changes) {
            for (const Operation o : operations) {
                const std::string what = std::string(nameOf(c)) + ", " + nameOf(o) + (edited ? ", edited" : "");
                SCOPED_TRACE(what);
                TempDir dir;
                const QString out = dir.file("out");
                ASSERT_TRUE(QDir().mkpath(out));
                open(dir.path(), edited);
                std::map<QString, QByteArray> reference;
                if (c == Change::RenamedOver) {
                    const QString ref = dir.file("reference");
                    ASSERT_TRUE(QDir().mkpath(ref));
                    run(o, ref);
                    reference = filesIn(ref);
                    ASSERT_EQ(int(reference.size()), targets(o).size()) << ui->texts().join(" | ").toStdString();
                    ui->messages.clear();
                }
                // Files the operation would replace.
                for (const QString &name : targets(o))
                    ASSERT_TRUE(writeFile(QDir(out).filePath(name), "kept as it was: " + name.toUtf8()));
                const std::map<QString, QByteArray> before = filesIn(out);

                change(c, source);
                run(o, out);

                const std::map<QString, QByteArray> after = filesIn(out);
                if (c == Change::RenamedOver) {
                    // What was opened comes out, exactly.
                    EXPECT_TRUE(after == reference) << ui->texts().join(" | ").toStdString();
                    for (const AskedMessage &m : ui->messages)
                        EXPECT_NE(m.icon, KvUi::Critical) << m.text.toStdString();
                    continue;
                }
                EXPECT_TRUE(after == before)
                    << "the folder holds " << QDir(out).entryList(QDir::Files | QDir::Hidden).join(", ").toStdString();
                QStringList critical;
                for (const AskedMessage &m : ui->messages)
                    if (m.icon == KvUi::Critical)
                        critical << m.text;
                EXPECT_EQ(critical.join("\n--- and ---\n"), refusal(o, out));
            }
        }
    }
}

const SourceKind kKinds[] = {
    {"Mp3Cbr", "cbr128_joint.mp3", "mp3"},
    {"Mp3Vbr", "vbr_v2.mp3", "mp3"},
    {"Mp3Crc", "cbr128_crc.mp3", "mp3"},
    {"AacAdts", "aac_lc_stereo.aac", "m4a"},
    {"AacMp4", "aac_lc_stereo.m4a", "m4a"},
};

INSTANTIATE_TEST_SUITE_P(Sources, SourceChange, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<SourceKind> &info) { return std::string(info.param.name); });

TEST_P(SourceChange, OpeningTheSourceAgainReadsWhatItHoldsNow)
{
    const QString suffix = QFileInfo(GetParam().fixture).suffix();
    const QByteArray other = readFile(fixture(suffix == "mp3" ? "cbr64_mono.mp3" : "aac_lc_mono." + suffix));
    for (const bool renamed : {false, true}) {
        SCOPED_TRACE(renamed ? "another file renamed over it" : "rewritten in place");
        TempDir dir;
        open(dir.path(), false);
        // Another program puts other audio there.
        if (renamed) {
            ASSERT_NO_FATAL_FAILURE(renameOver(source, other));
        } else {
            QFile file(source);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
            ASSERT_EQ(file.write(other), other.size());
        }
        // Opened again while the document still reads what was there before.
        controller->loadFileName(source);
        const QString out = dir.file(QString("again.") + GetParam().exportSuffix);
        EXPECT_TRUE(controller->exportFileUrl(QUrl::fromLocalFile(out), false, false))
            << ui->texts().join(" | ").toStdString();
        // (mpg123 for MP3: it leaves the encoder delay in, which the export's own Info frame
        // does not name.)
        const auto decode = [&suffix](const QString &path) {
            return suffix == "mp3" ? decodeMpg123(path) : decodeFfmpeg(path);
        };
        const QByteArray pcm = decode(out);
        EXPECT_FALSE(pcm.isEmpty());
        EXPECT_TRUE(pcm == decode(source)) << "the export is not what the file holds now";
    }
}

TEST(SourceChangePlayback, PlaybackStopsWithTheMessageInsteadOfPlayingTheNewBytes)
{
    struct Case {
        const char *fixture;
        Change change;
        bool playsSome;  // the stat record passes; the frames in the middle do not
    };
    const Case cases[] = {
        {"cbr128_joint.mp3", Change::InPlace, false},
        {"cbr128_joint.mp3", Change::InPlaceOldTime, true},
        {"aac_lc_stereo.m4a", Change::InPlace, false},
        {"aac_lc_stereo.m4a", Change::InPlaceOldTime, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + ", " + nameOf(c.change));
        QSettings().clear();
        TempDir dir;
        const QString source = dir.file(QString("source.") + QFileInfo(c.fixture).suffix());
        ASSERT_TRUE(kvtest::copyFixture(c.fixture, source));
        FakeUiServices ui;
        KvQmlController controller(nullptr, KvControllerSeams{&ui});
        KvQmlModel model;
        QString error;
        const KvQmlModel::FragmentListPtr cursor = kvOpenDocument(controller, model, source, &error);
        ASSERT_TRUE(cursor) << error.toStdString();
        const qint64 frames = cursor->totalFrames();
        const qint64 frameBytes = qint64(cursor->list()->firstSourceInfo()->samplesPerFrame()) * 4;

        const auto clock = std::make_shared<KvNullAudioClock>(KvNullAudioClock::Driven);
        const auto device = std::make_shared<KvNullAudioDevice>(clock);
        ScopedDevice scoped(device);
        change(c.change, source);
        controller.startPlay();
        kvPlayUntilStopped(controller, *clock, 2000, 2);
        ASSERT_EQ(controller.playState(), 0);
        ASSERT_EQ(ui.messages.size(), 1) << ui.texts().join(" | ").toStdString();
        EXPECT_EQ(ui.messages.first().icon, KvUi::Critical);
        EXPECT_EQ(ui.messages.first().text, changedSourceText(source));
        // Up to the changed frames in the middle at the most, never past them.
        const qint64 played = device->record()->playedBytes();
        if (c.playsSome)
            EXPECT_GT(played, frames / 4 * frameBytes);
        else
            EXPECT_EQ(played, 0);
        EXPECT_LT(played, frames * 6 / 10 * frameBytes);
        model.setFragmentList(KvQmlModel::FragmentListPtr());
    }
}

} // namespace
