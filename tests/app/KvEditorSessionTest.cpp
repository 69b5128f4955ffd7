// The editor used end to end as a person uses it: the real program on a
// private X server, driven only with keys and clicks through xdotool. A
// generated MP3 is opened, edited (select, cut, paste, fade in, undo, redo)
// and exported; the export is judged by decoding it with mpg123 and ffmpeg.
// Then the project is saved, the program quits, starts again, loads the
// project and exports it once more: the two exports must be the same bytes.
// A project also comes back at the place it was left, and a guide bubble
// gives way to the About box.
// With KV_SCREENSHOT_DIR set, a picture of the screen is kept after each step
// (scripts/screenshots/editor-session.sh runs it so).
#include "KvProgramTest.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const QString untitledTitle = QStringLiteral("^mp3Morvelta - Untitled Project$");
const QString projectTitle = QStringLiteral("^mp3Morvelta - session.kvlproj$");
// Message boxes carry the bare application name.
const QString messageBoxTitle = QStringLiteral("^mp3Morvelta$");

// Decoded PCM: stereo 16-bit samples, 1152 to a frame.
using Pcm = QByteArray;
const qint64 samplesPerFrame = 1152;

const qint16 *samples(const Pcm &pcm) { return reinterpret_cast<const qint16 *>(pcm.constData()); }
qint64 sampleCount(const Pcm &pcm) { return pcm.size() / 4; }

// A run of document frames read from the source.
struct Piece {
    qint64 at, from, count;
};

// Where the decoded export lines up with the decoded source: the shift in
// samples (export minus source) that makes one untouched frame match best.
// Decoders may drop a different lead-in from the two files.
qint64 alignment(const Pcm &edited, const Pcm &original, qint64 editedFrame, qint64 originalFrame)
{
    const qint64 n = samplesPerFrame;
    double bestError = -1;
    qint64 best = 0;
    for (qint64 shift = -2 * n; shift <= 2 * n; ++shift) {
        const qint64 e0 = editedFrame * n + shift;
        const qint64 o0 = originalFrame * n;
        if (e0 < 0 || e0 + n > sampleCount(edited) || o0 + n > sampleCount(original))
            continue;
        double error = 0;
        for (qint64 i = 0; i < 2 * n; ++i) {
            const double d = double(samples(edited)[2 * e0 + i]) - samples(original)[2 * o0 + i];
            error += d * d;
        }
        if (bestError < 0 || error < bestError) {
            bestError = error;
            best = shift;
        }
    }
    return best;
}

// How a document frame of the export compares with the source frame it
// should hold: the gain that maps the source onto it (least squares) and
// what is left over, relative to the source's level.
struct FrameMatch {
    double gain = 0;
    double residual = 1;
};

FrameMatch matchFrame(const Pcm &edited, qint64 editedSample, const Pcm &original, qint64 originalSample)
{
    const qint64 n = 2 * samplesPerFrame;
    const qint16 *e = samples(edited) + editedSample;
    const qint16 *o = samples(original) + originalSample;
    double eo = 0, oo = 0;
    for (qint64 i = 0; i < n; ++i) {
        eo += double(e[i]) * o[i];
        oo += double(o[i]) * o[i];
    }
    FrameMatch m;
    m.gain = oo > 0 ? eo / oo : 1.0;
    double rr = 0;
    for (qint64 i = 0; i < n; ++i) {
        const double d = e[i] - m.gain * o[i];
        rr += d * d;
    }
    m.residual = std::sqrt(rr / (oo + 1e-9 + n));
    return m;
}

// Fade in over [start, end): gain steps along a line from -depth at the
// first frame to 0 at the end; one step is 2^(1/4) in amplitude.
double fadeSteps(qint64 frame, qint64 start, qint64 end, int depth)
{
    return -depth * double(end - frame) / double(end - start);
}

// Judges a decoded export against the decoded source rearranged as the edits
// say, away from seams, where the decoder mixes in the neighbour's overlap
// and the rebuilt reservoir may have thinned a frame.
void expectEdited(const char *decoder, const Pcm &edited, const Pcm &original, const std::vector<Piece> &pieces,
                  qint64 fadeStart, qint64 fadeEnd, int fadeDepth)
{
    SCOPED_TRACE(decoder);
    ASSERT_FALSE(original.isEmpty());
    // Cut and paste keep the length; a decoder may trim the source's lead-in
    // and padding by its encoder's tag, which the export does not carry.
    ASSERT_LE(std::abs(sampleCount(edited) - sampleCount(original)), 2 * samplesPerFrame)
        << "cut and paste keep the length";
    const Piece &last = pieces.back();
    const qint64 shift = alignment(edited, original, last.at + last.count / 2, last.from + last.count / 2);
    EXPECT_LE(std::abs(shift), samplesPerFrame) << "the export is out of step with the source";

    std::vector<qint64> seams;
    for (const Piece &p : pieces)
        seams.push_back(p.at);
    seams.push_back(fadeStart);
    seams.push_back(fadeEnd);
    const auto nearSeam = [&](qint64 f) {
        return std::any_of(seams.begin(), seams.end(), [&](qint64 s) { return f >= s - 2 && f <= s + 2; });
    };

    int checked = 0;
    for (const Piece &p : pieces) {
        for (qint64 i = 0; i < p.count; ++i) {
            const qint64 at = p.at + i;
            // Frames a decoder trimmed from either file are not there to judge.
            const qint64 e0 = at * samplesPerFrame + shift;
            const qint64 o0 = (p.from + i) * samplesPerFrame;
            if (nearSeam(at) || e0 < 0 || e0 + samplesPerFrame > sampleCount(edited)
                || o0 + samplesPerFrame > sampleCount(original))
                continue;
            const FrameMatch m = matchFrame(edited, 2 * e0, original, 2 * o0);
            const bool faded = at >= fadeStart && at < fadeEnd;
            const double expected = faded ? std::pow(2.0, fadeSteps(at, fadeStart, fadeEnd, fadeDepth) / 4) : 1.0;
            // Whole gain steps: the frame may sit one step off the line.
            const double low = faded ? expected * std::pow(2.0, -1.0 / 4) * 0.98 : 0.98;
            const double high = faded ? expected * std::pow(2.0, 1.0 / 4) * 1.02 : 1.02;
            // Where the steps change, a frame's overlap mixes two gains: it is
            // no longer a plain copy of the source at one level.
            const double residual = faded ? 0.15 : 0.02;
            EXPECT_TRUE(m.gain >= low && m.gain <= high && m.residual < residual)
                << "document frame " << at << " (source frame " << p.from + i << "): gain " << m.gain
                << ", expected " << expected << "; residual " << m.residual;
            ++checked;
        }
    }
    EXPECT_GT(checked, sampleCount(original) / samplesPerFrame * 9 / 10) << "nearly every frame is judged";
}

class EditorSessionTest : public kvtest::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        // Nothing may stand between the keys and the window: no notice before
        // the first project save, no pop-up guides.
        settings()->setValue("Warnings/ShowSaveProjWarnDlg", false);
        settings()->setValue("Settings/showPopupGuides", false);
    }

    // Types a file name into the file chooser with that title, accepts it and
    // waits until the chooser has gone.
    void chooseFile(const QString &title, const QString &path)
    {
        const QString dialog = x->waitForWindow(title, 60000);
        ASSERT_FALSE(dialog.isEmpty()) << "no chooser " << title.toStdString();
        ASSERT_TRUE(waitForStillPicture(dialog));
        ASSERT_TRUE(x->sendKeys(dialog, {"ctrl+a"}));
        x->xdotool({"type", "--delay", "20", path});
        ASSERT_TRUE(x->sendKeys(dialog, {"Return"}));
        ASSERT_TRUE(waitForNoWindow(title, 60000)) << "the chooser " << title.toStdString() << " stayed";
    }

    // One editing step: keys to the window, then a picture once drawn.
    void step(const QString &window, const QStringList &k, const QString &picture)
    {
        ASSERT_TRUE(keysUntilDrawn(window, k)) << "the window did not change after " << k.join(' ').toStdString();
        screenshot(picture);
    }

    // File, Export All As, by a click on the menu and the item's key; then
    // the report of success is looked at and closed.
    void exportAll(const QString &window, const QString &path, const QString &picture)
    {
        // The File menu is the menu bar's first entry, in the window's top left corner.
        ASSERT_TRUE(click(window, 20, 10));
        x->xdotool({"key", "p"});
        chooseFile("^Export All As MP3$", path);
        const QString box = x->waitForWindow(messageBoxTitle, 120000);
        ASSERT_FALSE(box.isEmpty()) << "no report after exporting";
        ASSERT_TRUE(waitForStillPicture(box));
        screenshot(picture);
        ASSERT_TRUE(QFileInfo(path).size() > 0) << "nothing was exported";
        ASSERT_TRUE(x->sendKeys(box, {"Return"}));
        ASSERT_TRUE(waitForNoWindow(messageBoxTitle));
    }

    // The window below its tool bars, as raw pixels: the frame display and
    // map, their rulers, the position and selection displays, the track
    // fields and the status bar. The tool bars are left out: what Undo and
    // Save offer differs between an edited and a freshly opened document.
    QByteArray panelPixels(const QString &window) const
    {
        const QSize size = x->windowSize(window);
        const int top = 235;
        if (size.width() <= 0 || size.height() <= top)
            return QByteArray();
        return x->import({"-window", window, "-crop",
                          QString("%1x%2+0+%3").arg(size.width()).arg(size.height() - top).arg(top), "-depth", "8",
                          "rgb:-"});
    }

    // Whether a guide bubble shows: the bubble carries no window name of its
    // own, so it is the program's one visible window with an empty name.
    bool bubbleShown() const
    {
        const QStringList unnamed =
            x->xdotool({"search", "--onlyvisible", "--name", "^$"}).split('\n', Qt::SkipEmptyParts);
        const QStringList ours =
            x->xdotool({"search", "--onlyvisible", "--class", "^mp3Morvelta$"}).split('\n', Qt::SkipEmptyParts);
        for (const QString &id : unnamed)
            if (ours.contains(id))
                return true;
        return false;
    }

    kvtest::TempDir work;
};

TEST_F(EditorSessionTest, AProjectOpensWhereItWasLeft)
{
    const QString song = work.path() + "/song.mp3";
    ASSERT_TRUE(QFile::copy(kvtest::fixture("cbr128_joint.mp3"), song));
    const QString project = work.path() + "/placed.kvlproj";
    const QString placedTitle = QStringLiteral("^mp3Morvelta - placed.kvlproj$");

    start({"-e", song});
    const QString window = x->waitForWindow(untitledTitle, 60000);
    ASSERT_FALSE(window.isEmpty()) << "the main window did not show";
    ASSERT_TRUE(waitForStillPicture(window));
    const QByteArray fresh = panelPixels(window);
    // Eight blocks into the song (about four seconds of twelve), then four
    // blocks selected from there.
    step(window, {"ctrl+Right", "ctrl+Right", "ctrl+Right", "ctrl+Right", "ctrl+Right", "ctrl+Right", "ctrl+Right",
                  "ctrl+Right"},
         "place-01-moved");
    step(window, {"ctrl+shift+Right", "ctrl+shift+Right", "ctrl+shift+Right", "ctrl+shift+Right"},
         "place-02-selected");
    const QByteArray left = panelPixels(window);
    ASSERT_FALSE(left.isEmpty());
    ASSERT_NE(left, fresh) << "moving and selecting changed nothing to see";

    ASSERT_TRUE(x->sendKeys(window, {"ctrl+s"}));
    chooseFile("^Save Project As$", project);
    ASSERT_FALSE(x->waitForWindow(placedTitle, 60000).isEmpty()) << "the window is not named after the project";
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+q"}));
    ASSERT_EQ(exitCode(60000), 0);

    start({project});
    const QString again = x->waitForWindow(placedTitle, 60000);
    ASSERT_FALSE(again.isEmpty()) << "the project did not open at start";
    ASSERT_TRUE(waitForStillPicture(again));
    screenshot("place-03-reopened");
    EXPECT_TRUE(panelPixels(again) == left)
        << "the view, the position display or the selection differ from what was saved";
    ASSERT_TRUE(x->sendKeys(again, {"ctrl+q"}));
    EXPECT_EQ(exitCode(60000), 0);
}

TEST_F(EditorSessionTest, AGuideBubbleGivesWayToTheAboutBox)
{
    settings()->setValue("Settings/showPopupGuides", true);
    start({});
    const QString window = x->waitForWindow(untitledTitle, 60000);
    ASSERT_FALSE(window.isEmpty()) << "the main window did not show";
    // The welcome guide comes a few seconds after the start.
    ASSERT_TRUE(poll([this] { return bubbleShown(); }, 30000)) << "no guide bubble showed";
    screenshot("guide-01-welcome");

    // Help, About: by the menu's key and the item's.
    ASSERT_TRUE(x->sendKeys(window, {"alt+h"}));
    QThread::msleep(500);
    x->xdotool({"key", "a"});
    const QString about = x->waitForWindow("^About ", 30000);
    ASSERT_FALSE(about.isEmpty()) << "Help, About did not open";
    ASSERT_TRUE(waitForStillPicture(about));
    screenshot("guide-02-about");
    // Longer than the tour waits between two guides.
    EXPECT_FALSE(poll([this] { return bubbleShown(); }, 4000)) << "a guide bubble shows while the About box is open";

    ASSERT_TRUE(x->sendKeys(about, {"Escape"}));
    ASSERT_TRUE(waitForNoWindow("^About "));
    EXPECT_TRUE(poll([this] { return bubbleShown(); }, 10000)) << "the guide did not come back";
    ASSERT_TRUE(waitForStillPicture(window));
    screenshot("guide-03-back");
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+q"}));
    EXPECT_EQ(exitCode(60000), 0);
}

TEST_F(EditorSessionTest, EditExportSaveReloadAndExportAgain)
{
    // A sweep with noise from the generated fixtures: every frame differs.
    const QString song = work.path() + "/song.mp3";
    ASSERT_TRUE(QFile::copy(kvtest::fixture("cbr128_joint.mp3"), song));
    const QString firstExport = work.path() + "/first.mp3";
    const QString secondExport = work.path() + "/second.mp3";
    const QString project = work.path() + "/session.kvlproj";

    start({"-e", song});
    const QString window = x->waitForWindow(untitledTitle, 60000);
    ASSERT_FALSE(window.isEmpty()) << "the main window did not show";
    ASSERT_TRUE(waitForStillPicture(window));
    screenshot("01-opened");

    // Two blocks (0.5 s, 19 frames each) from the start selected and cut;
    // one block on, pasted back.
    step(window, {"ctrl+shift+Right", "ctrl+shift+Right"}, "02-selected");
    step(window, {"ctrl+x"}, "03-cut");
    step(window, {"ctrl+Right", "shift+Up", "ctrl+v"}, "04-pasted");
    // One block from the position faded in, undone and done again.
    step(window, {"ctrl+shift+Right", "ctrl+comma"}, "05-faded");
    step(window, {"ctrl+z"}, "06-undone");
    step(window, {"ctrl+shift+z"}, "07-redone");

    exportAll(window, firstExport, "08-exported");

    // Save the project: untitled, so Save asks for a name. Then quit.
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+s"}));
    chooseFile("^Save Project As$", project);
    ASSERT_FALSE(x->waitForWindow(projectTitle, 60000).isEmpty()) << "the window is not named after the project";
    ASSERT_TRUE(QFileInfo::exists(project));
    ASSERT_TRUE(waitForStillPicture(window));
    screenshot("09-saved");
    ASSERT_TRUE(x->sendKeys(window, {"ctrl+q"}));
    ASSERT_EQ(exitCode(60000), 0);

    // Started again, empty; the project is opened from the Open chooser.
    start({});
    const QString again = x->waitForWindow(untitledTitle, 60000);
    ASSERT_FALSE(again.isEmpty());
    ASSERT_TRUE(waitForStillPicture(again));
    ASSERT_TRUE(x->sendKeys(again, {"ctrl+o"}));
    chooseFile("^Open audio files or a Project$", project);
    ASSERT_FALSE(x->waitForWindow(projectTitle, 60000).isEmpty()) << "the project did not load";
    ASSERT_TRUE(waitForStillPicture(again));
    screenshot("10-reloaded");
    exportAll(again, secondExport, "11-exported-again");
    ASSERT_TRUE(x->sendKeys(again, {"ctrl+q"}));
    EXPECT_EQ(exitCode(60000), 0);

    EXPECT_EQ(kvtest::readFile(firstExport), kvtest::readFile(secondExport)) << "the exports differ";

    // Both decoders read the export without complaint ...
    QString mpgErrors, ffErrors;
    const Pcm mpgEdited = kvtest::decodeMpg123(firstExport, &mpgErrors);
    const Pcm ffEdited = kvtest::decodeFfmpeg(firstExport, &ffErrors);
    EXPECT_FALSE(mpgErrors.contains("error", Qt::CaseInsensitive)) << mpgErrors.toStdString();
    EXPECT_TRUE(ffErrors.trimmed().isEmpty()) << ffErrors.toStdString();

    // ... to what the edits say: the cut blocks 0 and 1 now follow block 2;
    // block 0, where they begin, fades in from four steps down.
    const qint64 block = 19;
    const qint64 frames = sampleCount(kvtest::decodeMpg123(song)) / samplesPerFrame;
    const std::vector<Piece> pieces = {
        {0, 2 * block, block}, {block, 0, 2 * block}, {3 * block, 3 * block, frames - 3 * block}};
    expectEdited("mpg123", mpgEdited, kvtest::decodeMpg123(song), pieces, block, 2 * block, 4);
    expectEdited("ffmpeg", ffEdited, kvtest::decodeFfmpeg(song), pieces, block, 2 * block, 4);
}

} // namespace
