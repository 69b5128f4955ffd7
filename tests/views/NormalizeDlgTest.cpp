// The normalize dialog over real MP3 documents: the proposal for a known peak, what
// the controller pushes on OK, an exported result that reaches but never passes the
// target (judged by mpg123 and FFmpeg), clipped and silent scans, and that Stop,
// Cancel and closing the window leave no decode thread behind, and a source that
// another program changed is named instead of a proposal.
#include "KvDialogTestSupport.h"

#include <KvDecodeThread.h>
#include <KvEngineFactories.h>
#include <KvFrameListIterator.h>
#include <KvMP3AudioFile.h>
#include <KvMP3RepackInfoPtrList.h>
#include <KvMessageBox.h>
#include <KvNormalizeDlg.h>
#include <KvSourceChanges.h>
#include <KvTestSupport.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSlider>
#include <QUndoStack>

#include <cmath>

using namespace kvdlgtest;

namespace {

typedef boost::shared_ptr<KvRepackInfoPtrList> ListPtr;

ListPtr documentAt(const QString &path)
{
    // The fragments keep their source open.
    boost::shared_ptr<KvMP3AudioFile> file(new KvMP3AudioFile);
    const QString error = file->open(path);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ListPtr doc(new KvMP3RepackInfoPtrList);
    doc->appendFragment(file->createRepackInfo(0, -1));
    return doc;
}

ListPtr documentOf(const QString &fixture) { return documentAt(kvtest::fixture(fixture)); }

// The copy the controller hands the dialog: the selection, prepared for streaming.
ListPtr workingCopy(const ListPtr &doc)
{
    ListPtr copy = doc->copyRange(0, doc->totalFrames());
    KvPrepareRepackFlagged(copy, false);
    return copy;
}

// Scans take well under a second; a loaded machine gets time.
bool waitFor(const std::function<bool()> &pred) { return kvtest::waitFor(pred, 30000); }

bool anyScanRunning(const QObject *dialog)
{
    for (KvDecodeThread *t : dialog->findChildren<KvDecodeThread *>())
        if (t->isRunning())
            return true;
    return false;
}

bool scanDone(const QWidget *dialog)
{
    return child<QLabel>(dialog, "labelDecoding")->text() == "Peak volume found." && !anyScanRunning(dialog);
}

int firstFrameGain(const ListPtr &list)
{
    const auto it = createFrameListIterator(list);
    return it->next() ? it->gain() : 0;
}

qint16 peakOf(const QByteArray &pcm)
{
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    int peak = 0;
    for (int i = 0; i < pcm.size() / 2; ++i)
        peak = std::max(peak, std::abs(int(s[i])));
    return qint16(std::min(peak, 32767));
}

// Collects the boxes shown, each answered with Ok.
struct Boxes {
    QStringList texts;
    KvScopedMessageBoxAnswerer answerer{[this](QMessageBox &box) {
        texts << box.text();
        return int(QMessageBox::Ok);
    }};
};

// A controller whose document is a fixture, all of it selected.
struct FixtureProject {
    explicit FixtureProject(const QString &fixture)
    {
        controller.reset(new KvQmlController);
        model.reset(new KvQmlModel);
        controller->setModel(model.get());
        doc = documentOf(fixture);
        KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
        cursor->setList(doc);
        model->setFragmentList(cursor);
        controller->refreshDocumentState();
        controller->setSelectionStart(0);
        controller->setSelectionEnd(double(doc->totalFrames()));
    }
    ~FixtureProject()
    {
        model.reset();
        controller.reset();
    }
    std::unique_ptr<KvQmlController> controller;
    std::unique_ptr<KvQmlModel> model;
    ListPtr doc;
};

} // namespace

TEST(NormalizeDlg, KnownPeakGivesTheProposal)
{
    FreshSettings fresh;
    Boxes boxes;
    KvNormalizeDlg dialog(workingCopy(documentOf("tone1k_m7db.mp3")), nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Normalize");
    ASSERT_TRUE(waitFor([&] { return scanDone(&dialog) || !boxes.texts.isEmpty(); }));
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join("|").toStdString();

    // The tone decodes at -7.2 dB: four steps (+6.0 dB) reach -1.2 dB, a fifth would pass 0.
    auto *slider = child<QSlider>(&dialog, "horizontalSliderLevelChange");
    EXPECT_EQ(slider->value(), 4);
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditPeak_2")->text(), "-7.2");
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditTargetdB_2")->text(), "0.0");
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditLevelChange_2")->text(), "-1.2");
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditChangeSteps")->text(), "+4");
    EXPECT_EQ(child<QLabel>(&dialog, "labelStepsdB")->text(), "+6.0");
    EXPECT_EQ(child<QProgressBar>(&dialog, "progressBarDecoding")->value(), 100);
    EXPECT_TRUE(boxButton(&dialog, QDialogButtonBox::Ok)->isEnabled());
    EXPECT_FALSE(boxButton(&dialog, QDialogButtonBox::Apply)->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&dialog, "pushButtonStop")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&dialog, "pushButtonRecalc")->isEnabled());

    // The user's own choice: 0 steps is nothing to do, Apply goes back to the proposal.
    child<QPushButton>(&dialog, "pushButtonPlusStep")->click();
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditLevelChange_2")->text(), "+0.3");
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditLevelChange_2")->palette().color(QPalette::Text), QColor(Qt::red));
    child<QLineEdit>(&dialog, "lineEditChangeSteps")->setText("0");
    EXPECT_EQ(slider->value(), 0);
    EXPECT_FALSE(boxButton(&dialog, QDialogButtonBox::Ok)->isEnabled());
    EXPECT_TRUE(boxButton(&dialog, QDialogButtonBox::Apply)->isEnabled());
    boxButton(&dialog, QDialogButtonBox::Apply)->click();
    EXPECT_EQ(slider->value(), 4);
    EXPECT_FALSE(boxButton(&dialog, QDialogButtonBox::Apply)->isEnabled());

    // A new target is evaluated at once, without a new scan or a box.
    child<QLineEdit>(&dialog, "lineEditTargetdB_2")->setText("-3");
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditTargetdB")->text(), "-3");
    EXPECT_EQ(slider->value(), 2);
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditLevelChange_2")->text(), "-4.2");
    child<QLineEdit>(&dialog, "lineEditTargetdB")->setText("1");
    EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditTargetdB_2")->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_FALSE(anyScanRunning(&dialog));
    EXPECT_TRUE(boxes.texts.isEmpty());
    dialog.reject();
}

TEST(NormalizeDlg, OkNormalizesTheSelectionAndNeverPassesTheTarget)
{
    struct Case {
        const char *fixture;
        const char *target;
        int steps;
    };
    const Case cases[] = {
        {"tone1k_m7db.mp3", "0.0", 4},
        {"tone1k_m7db.mp3", "-0.5", 4},
        {"tone1k_m7db.mp3", "-3.0", 2},
        // Overshoots full scale in the decode: the proposal turns it down.
        {"square440_over.mp3", "0.0", -1},
        {"square440_over.mp3", "-6.0", -5},
    };
    for (const Case &c : cases) {
        const std::string what = std::string(c.fixture) + " at " + c.target;
        FreshSettings fresh;
        QSettings().setValue(KvNormalizeDlg::targetKey, QString::fromLatin1(c.target).toDouble());
        Boxes boxes;
        FixtureProject project(QString::fromLatin1(c.fixture));
        QPointer<KvNormalizeDlg> dialog = new KvNormalizeDlg(workingCopy(project.doc), nullptr,
                                                             project.controller.get());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        ASSERT_TRUE(waitFor([&] { return scanDone(dialog) || !boxes.texts.isEmpty(); })) << what;
        EXPECT_TRUE(boxes.texts.isEmpty()) << what << boxes.texts.join("|").toStdString();
        EXPECT_EQ(child<QSlider>(dialog, "horizontalSliderLevelChange")->value(), c.steps) << what;
        const QString newLevel = child<QLineEdit>(dialog, "lineEditLevelChange")->text();
        boxButton(dialog, QDialogButtonBox::Ok)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dialog.isNull()) << what;

        // The controller pushed the change on the document, under the new level's text.
        ASSERT_EQ(project.model->undoStack()->count(), 1) << what;
        EXPECT_EQ(project.model->undoStack()->text(0), QStringLiteral("Normalize (%1dB)").arg(newLevel)) << what;
        EXPECT_EQ(firstFrameGain(project.doc), c.steps) << what;
        EXPECT_EQ(QSettings().value(KvNormalizeDlg::targetKey).toDouble(), QString::fromLatin1(c.target).toDouble());

        // Exported and decoded elsewhere, the peak lies within one step below the target.
        kvtest::TempDir dir;
        const QString out = dir.file("normalized.mp3");
        KvPrepareRepack(project.doc);
        ASSERT_TRUE(saveDocumentFile(project.doc, out).isEmpty()) << what;
        const double target = std::pow(10.0, QString::fromLatin1(c.target).toDouble() / 20.0) * 32767.0;
        for (const QByteArray &pcm : {kvtest::decodeMpg123(out), kvtest::decodeFfmpeg(out)}) {
            ASSERT_FALSE(pcm.isEmpty()) << what;
            const qint16 peak = peakOf(pcm);
            EXPECT_LT(peak, 32767) << what;
            EXPECT_LE(peak, target + 2) << what;
            EXPECT_GT(peak, target / std::pow(2.0, 0.25) - 2) << what;
        }
    }
}

TEST(NormalizeDlg, ClippedScanIsNeverTakenAndRescansFurtherDown)
{
    FreshSettings fresh;
    Boxes boxes;
    const ListPtr copy = workingCopy(documentOf("tone1k_m7db.mp3"));
    KvNormalizeDlg dialog(copy, nullptr);
    ASSERT_TRUE(waitFor([&] { return scanDone(&dialog); }));
    EXPECT_EQ(firstFrameGain(copy), -16);

    // A report at full scale says only "at least this loud": the proposal (-16 steps
    // for a scan at -16) drops by 16 and the copy is scanned again 17 steps below it.
    dialog.MaxVolumes(32767, 100);
    EXPECT_EQ(firstFrameGain(copy), -33);
    EXPECT_EQ(child<QSlider>(&dialog, "horizontalSliderLevelChange")->value(), 0);
    EXPECT_FALSE(boxButton(&dialog, QDialogButtonBox::Ok)->isEnabled());
    EXPECT_TRUE(child<QLineEdit>(&dialog, "lineEditLevelChange_2")->text().isEmpty());
    EXPECT_TRUE(boxes.texts.isEmpty());  // within 8 s a rescan, not a message
    // The rescan of the real audio settles on the true proposal.
    EXPECT_TRUE(waitFor([&] { return child<QSlider>(&dialog, "horizontalSliderLevelChange")->value() == 4; }));
    EXPECT_TRUE(scanDone(&dialog));
    dialog.reject();
}

TEST(NormalizeDlg, SilentFramesCannotBeNormalized)
{
    FreshSettings fresh;
    Boxes boxes;
    SilentProject project(200);
    const ListPtr copy = workingCopy(project.model->fragmentList()->list());
    KvNormalizeDlg dialog(copy, nullptr, project.controller.get());
    ASSERT_TRUE(waitFor([&] { return !boxes.texts.isEmpty() && !anyScanRunning(&dialog); }));
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.first().startsWith("All frames are silent and cannot be normalized."));
    // The shift was undone, and the retry scanned one step below a proposal of 0.
    EXPECT_EQ(firstFrameGain(copy), -1);
    EXPECT_FALSE(boxButton(&dialog, QDialogButtonBox::Ok)->isEnabled());
    dialog.accept();
    EXPECT_EQ(project.model->undoStack()->count(), 0);
}

TEST(NormalizeDlg, StopCancelAndCloseLeaveNoScanRunning)
{
    enum class End { Stop, Cancel, Close };
    for (End end : {End::Stop, End::Cancel, End::Close}) {
        FreshSettings fresh;
        Boxes boxes;
        FixtureProject project("vbr_v0_long.mp3");
        QPointer<KvNormalizeDlg> dialog = new KvNormalizeDlg(workingCopy(project.doc), nullptr,
                                                             project.controller.get());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        QPointer<KvDecodeThread> scan = dialog->findChild<KvDecodeThread *>();
        ASSERT_TRUE(scan);
        EXPECT_TRUE(scan->isRunning());
        switch (end) {
        case End::Stop:
            child<QPushButton>(dialog, "pushButtonStop")->click();
            EXPECT_FALSE(anyScanRunning(dialog));
            ASSERT_EQ(boxes.texts.size(), 1);
            EXPECT_EQ(boxes.texts.first(), "Peak volume level calculation cancelled, press Re-calculate to try again");
            EXPECT_TRUE(child<QPushButton>(dialog, "pushButtonRecalc")->isEnabled());
            EXPECT_FALSE(child<QPushButton>(dialog, "pushButtonStop")->isEnabled());
            // What the stopped scan had queued changes nothing.
            QCoreApplication::processEvents();
            EXPECT_EQ(boxes.texts.size(), 1);
            EXPECT_EQ(child<QSlider>(dialog, "horizontalSliderLevelChange")->value(), 0);
            boxButton(dialog, QDialogButtonBox::Cancel)->click();
            break;
        case End::Cancel:
            boxButton(dialog, QDialogButtonBox::Cancel)->click();
            break;
        case End::Close:
            dialog->close();
            break;
        }
        EXPECT_TRUE(scan.isNull() || !scan->isRunning());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dialog.isNull());
        EXPECT_TRUE(scan.isNull());
        // Nothing was changed, the target is not stored, the help flag is written.
        EXPECT_EQ(project.model->undoStack()->count(), 0);
        EXPECT_FALSE(QSettings().contains(KvNormalizeDlg::targetKey));
        EXPECT_TRUE(QSettings().value("HelpUsage/EditDone").toBool());
    }
}

TEST(NormalizeDlg, AScanOfAChangedSourceNamesItAndProposesNothing)
{
    // With a new modification time the scan is refused at its start; with the old one
    // put back it stops at the changed frames, after the peaks of those before them,
    // which are not the selection's peak.
    for (kvtest::Change c : {kvtest::Change::InPlace, kvtest::Change::InPlaceOldTime}) {
        SCOPED_TRACE(kvtest::nameOf(c));
        FreshSettings fresh;
        Boxes boxes;
        kvtest::TempDir dir;
        const QString source = dir.file("source.mp3");
        ASSERT_TRUE(kvtest::copyFixture("vbr_v0_long.mp3", source));
        const ListPtr copy = workingCopy(documentAt(source));
        kvtest::change(c, source);
        KvNormalizeDlg dialog(copy, nullptr);
        ASSERT_TRUE(waitFor([&] { return !boxes.texts.isEmpty() && !anyScanRunning(&dialog); }));
        ASSERT_EQ(boxes.texts.size(), 1) << boxes.texts.join("|").toStdString();
        EXPECT_EQ(boxes.texts.first(),
                  "Peak volume level calculation failed.\nError: " + kvtest::changedSourceText(source));
        EXPECT_EQ(child<QSlider>(&dialog, "horizontalSliderLevelChange")->value(), 0);
        EXPECT_EQ(child<QLineEdit>(&dialog, "lineEditPeak_2")->text(), "");
        EXPECT_FALSE(boxButton(&dialog, QDialogButtonBox::Ok)->isEnabled());
        EXPECT_TRUE(child<QPushButton>(&dialog, "pushButtonRecalc")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(&dialog, "pushButtonStop")->isEnabled());
        // A new target proposes nothing from the partial peaks.
        child<QLineEdit>(&dialog, "lineEditTargetdB_2")->setText("-3");
        EXPECT_EQ(child<QSlider>(&dialog, "horizontalSliderLevelChange")->value(), 0);
        EXPECT_EQ(boxes.texts.size(), 1);
        dialog.reject();
    }
}
