// The editor used end to end as a person uses it: the real program on a
// private X server, driven only with keys through xdotool. A generated MP3 is
// opened, edited (select, cut, paste, fade in, undo, redo) and exported; the
// export is judged by decoding it with mpg123 and ffmpeg. Then the project is
// saved, the program quits, starts again with the project and exports it
// once more: the two exports must be the same bytes.
// With KV_SCREENSHOT_DIR set, a picture of the screen is kept after each step
// (scripts/screenshots/editor-session.sh runs it so).
#include "KvProgramTest.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cmath>

namespace {

const QString untitledTitle = QStringLiteral("^mp3Morvelta - Untitled Project$");
const QString projectTitle = QStringLiteral("^mp3Morvelta - session.kvlproj$");

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

    // Types a file name into the file chooser with that title and accepts it.
    void chooseFile(const QString &title, const QString &path)
    {
        const QString dialog = x->waitForWindow(title);
        ASSERT_FALSE(dialog.isEmpty()) << "no chooser " << title.toStdString();
        QThread::msleep(500);
        ASSERT_TRUE(x->sendKeys(dialog, {"ctrl+a"}));
        x->xdotool({"type", "--delay", "20", path});
        ASSERT_TRUE(x->sendKeys(dialog, {"Return"}));
    }

    kvtest::TempDir work;
};

// Stereo 16-bit samples.
using Pcm = QByteArray;
const int frameBytes = 1152 * 2 * 2;

double rms(const Pcm &pcm, qint64 frame)
{
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData() + frame * frameBytes);
    double sum = 0;
    for (int i = 0; i < 1152 * 2; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / (1152 * 2));
}

TEST_F(EditorSessionTest, EditExportSaveReloadAndExportAgain)
{
    const QString song = work.path() + "/song.mp3";
    ASSERT_TRUE(QFile::copy(kvtest::fixture("cbr128_joint.mp3"), song));
    const QString firstExport = work.path() + "/first.mp3";
    const QString secondExport = work.path() + "/second.mp3";
    const QString project = work.path() + "/session.kvlproj";

    start({"-e", song});
    const QString window = x->waitForWindow(untitledTitle);
    ASSERT_FALSE(window.isEmpty()) << "the main window did not show";
    QThread::msleep(1000);
    screenshot("01-opened");

    // Two blocks from the start selected, cut, pasted one block further on.
    keys(untitledTitle, {"ctrl+shift+Right", "ctrl+shift+Right"});
    screenshot("02-selected");
    keys(untitledTitle, {"ctrl+x"});
    screenshot("03-cut");
    keys(untitledTitle, {"ctrl+Right", "ctrl+v"});
    screenshot("04-pasted");
    // One block after the paste faded in, undone and done again.
    keys(untitledTitle, {"ctrl+shift+Right", "ctrl+comma"});
    screenshot("05-faded");
    keys(untitledTitle, {"ctrl+z"});
    screenshot("06-undone");
    keys(untitledTitle, {"ctrl+shift+z"});
    screenshot("07-redone");

    // File, Export All As.
    keys(untitledTitle, {"alt+f", "p"});
    chooseFile("Export", firstExport);
    ASSERT_TRUE(waitForFile(firstExport)) << "nothing was exported";
    screenshot("08-exported");

    // Save the project (the document is untitled, so Save asks for a name), quit.
    keys(untitledTitle, {"ctrl+s"});
    chooseFile("Save", project);
    ASSERT_TRUE(waitForFile(project)) << "the project was not saved";
    screenshot("09-saved");
    keys(projectTitle, {"ctrl+q"});
    ASSERT_EQ(exitCode(), 0);

    // Again with the project, and export it once more.
    start({project});
    ASSERT_FALSE(x->waitForWindow(projectTitle).isEmpty());
    QThread::msleep(1000);
    screenshot("10-reloaded");
    keys(projectTitle, {"alt+f", "p"});
    chooseFile("Export", secondExport);
    ASSERT_TRUE(waitForFile(secondExport));
    keys(projectTitle, {"ctrl+q"});
    EXPECT_EQ(exitCode(), 0);

    EXPECT_EQ(kvtest::readFile(firstExport), kvtest::readFile(secondExport)) << "the exports differ";

    // Both decoders read the export without complaint.
    QString mpgErrors, ffErrors;
    const Pcm original = kvtest::decodeMpg123(song);
    const Pcm edited = kvtest::decodeMpg123(firstExport, &mpgErrors);
    kvtest::decodeFfmpeg(firstExport, &ffErrors);
    EXPECT_FALSE(mpgErrors.contains("error", Qt::CaseInsensitive)) << mpgErrors.toStdString();
    EXPECT_TRUE(ffErrors.trimmed().isEmpty()) << ffErrors.toStdString();

    // Cut and paste keep the length; blocks are 19 frames (0.5 s).
    ASSERT_EQ(edited.size(), original.size());
    const qint64 block = 19;
    const qint64 frames = original.size() / frameBytes;
    // The document reads: block 2, blocks 0 and 1, then the rest from block 3.
    struct Piece {
        qint64 at, from, count;
    };
    const Piece pieces[] = {{0, 2 * block, block}, {block, 0, 2 * block}, {3 * block, 3 * block, frames - 3 * block}};
    for (const Piece &p : pieces) {
        // The first frames after a seam decode with the other side's overlap.
        for (qint64 i = 2; i < p.count; ++i) {
            const qint64 at = p.at + i;
            const bool faded = at >= 3 * block && at < 4 * block;
            if (faded)
                continue;
            ASSERT_EQ(edited.mid(at * frameBytes, frameBytes), original.mid((p.from + i) * frameBytes, frameBytes))
                << "frame " << at;
        }
    }
    // The fade in starts quiet and ends at the full level.
    EXPECT_LT(rms(edited, 3 * block + 1), 0.5 * rms(original, 3 * block + 1));
    EXPECT_NEAR(rms(edited, 4 * block - 1), rms(original, 4 * block - 1), 0.2 * rms(original, 4 * block - 1));
}

} // namespace
