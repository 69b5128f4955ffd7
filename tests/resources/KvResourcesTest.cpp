// Every image the window, its dialogs and cursors name is compiled in, loads,
// and has the pixel size its place expects; icons carry a sharp variant for
// 2x screens; the Loop icon is drawn from SVG at run time.
#include "KvResources.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSet>

namespace {

enum class Use {
    Icon,   // QIcon from the base file; Qt adds NAME@2x.png by itself
    Pixmap, // loaded as it is named (a @2x name carries device pixel ratio 2)
    Cursor, // used pixel for pixel with a fixed hot spot
};

struct Art
{
    const char *path;
    int logical; // pixels, before any device pixel ratio
    Use use;
    QPoint hotSpot = {-1, -1}; // cursors only; -1,-1 = the centre
};

const Art kArt[] = {
    // Actions of the main window.
    {":/Resources/action_open.png", 32, Use::Icon},
    {":/Resources/action_exit.png", 32, Use::Icon},
    {":/Resources/action_save_mp3.png", 32, Use::Icon},
    {":/Resources/action_play.png", 32, Use::Icon},
    {":/Resources/action_stop.png", 32, Use::Icon},
    {":/Resources/action_delete.png", 32, Use::Icon},
    {":/Resources/action_cut.png", 32, Use::Icon},
    {":/Resources/action_copy.png", 32, Use::Icon},
    {":/Resources/action_paste.png", 32, Use::Icon},
    {":/Resources/action_play_sel.png", 32, Use::Icon},
    {":/Resources/action_options.png", 32, Use::Icon},
    {":/Resources/action_undo.png", 32, Use::Icon},
    {":/Resources/action_redo.png", 32, Use::Icon},
    {":/Resources/action_fade_in.png", 32, Use::Icon},
    {":/Resources/action_fade_out.png", 32, Use::Icon},
    {":/Resources/action_vol_inc.png", 32, Use::Icon},
    {":/Resources/action_vol_dec.png", 32, Use::Icon},
    {":/Resources/action_sel_all.png", 32, Use::Icon},
    {":/Resources/action_save_sel.png", 32, Use::Icon},
    {":/Resources/action_beginning.png", 32, Use::Icon},
    {":/Resources/action_end.png", 32, Use::Icon},
    {":/Resources/action_pause.png", 32, Use::Icon},
    {":/Resources/action_pause_sel.png", 32, Use::Icon},
    {":/Resources/action_next_track.png", 32, Use::Icon},
    {":/Resources/action_previous_track.png", 32, Use::Icon},
    {":/Resources/action_vol_silence.png", 32, Use::Icon},
    {":/Resources/action_vol_silence_off.png", 32, Use::Icon},
    {":/Resources/action_normalize.png", 32, Use::Icon},
    {":/Resources/id3_tagedit.png", 32, Use::Icon},
    {":/Resources/action_save_tracks.png", 32, Use::Icon},
    {":/Resources/action_recording_new.png", 32, Use::Icon},
    {":/Resources/action_save.png", 32, Use::Icon},
    {":/Resources/action_save_as.png", 32, Use::Icon},
    {":/Resources/action_crop.png", 32, Use::Icon},
    {":/Resources/mp3Morvelta_New.png", 32, Use::Icon},
    {":/Resources/action_append.png", 32, Use::Icon},
    {":/Resources/action_ins_silence.png", 32, Use::Icon},
    {":/Resources/action_help.png", 32, Use::Icon},
    {":/Resources/action_zoom_in.png", 32, Use::Icon},
    {":/Resources/action_zoom_out.png", 32, Use::Icon},
    {":/Resources/action_rate.png", 32, Use::Icon},
    {":/Resources/action_close.png", 32, Use::Icon},
    {":/Resources/action_convert_mp3@2x.png", 32, Use::Pixmap},
    {":/Resources/action_convert_sel.png", 32, Use::Icon},
    {":/Resources/action_convert_tracks.png", 32, Use::Icon},
    // Recent files: projects and audio files.
    {":/Resources/mp3Morvelta_16.png", 16, Use::Icon},
    {":/Resources/mp3_icon_green_16_alpha.png", 16, Use::Icon},
    // Dialog buttons.
    {":/Resources/action_record_big.png", 64, Use::Icon},
    {":/Resources/action_recording_big.png", 64, Use::Icon},
    {":/Resources/action_convert_big.png", 64, Use::Icon},
    {":/Resources/action_converting_big.png", 64, Use::Icon},
    {":/Resources/action_rate_big_no_shadow.png", 72, Use::Icon},
    {":/Resources/reset_black.png", 16, Use::Icon},
    // Playback-control labels, at most 20 x 20.
    {":/Resources/playback_quiet@2x.png", 20, Use::Pixmap},
    {":/Resources/playback_loud@2x.png", 20, Use::Pixmap},
    {":/Resources/playback_flat@2x.png", 20, Use::Pixmap},
    {":/Resources/playback_sharp@2x.png", 20, Use::Pixmap},
    {":/Resources/playback_slow@2x.png", 20, Use::Pixmap},
    {":/Resources/playback_fast@2x.png", 20, Use::Pixmap},
    // Pop-up guide buttons, painted scaled into 16 x 16.
    {":/Resources/stop_guide.png", 32, Use::Pixmap},
    {":/Resources/stop_guide_down.png", 32, Use::Pixmap},
    {":/Resources/play_guide.png", 32, Use::Pixmap},
    {":/Resources/play_guide_down.png", 32, Use::Pixmap},
    {":/Resources/close_guide_upgrade.png", 32, Use::Pixmap},
    {":/Resources/close_guide_upgrade_down.png", 32, Use::Pixmap},
    // Frame display cursors.
    {":/Resources/sel_adjust_both.png", 24, Use::Cursor},
    {":/Resources/sel_adjust_left.png", 24, Use::Cursor},
    {":/Resources/sel_adjust_right.png", 24, Use::Cursor},
    {":/Resources/arrow_scrub.png", 24, Use::Cursor, {1, 2}},
    {":/Resources/hand_scrub.png", 24, Use::Cursor, {11, 11}},
    {":/Resources/closedhand_scrub.png", 24, Use::Cursor, {11, 11}},
    // About box logo, scaled down to 128 (256 on 2x screens).
    {":/Resources/mp3Morvelta_512.png", 512, Use::Pixmap},
};

QString hiDpiPath(const QString &path)
{
    QString p = path;
    return p.insert(p.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x"));
}

int scaleOf(const QString &path)
{
    return QFileInfo(path).completeBaseName().endsWith(QLatin1String("@2x")) ? 2 : 1;
}

TEST(KvResourcesTest, EveryNamedImageLoadsAtTheSizeItsPlaceExpects)
{
    for (const Art &art : kArt) {
        SCOPED_TRACE(art.path);
        const QString path = QString::fromLatin1(art.path);
        const int scale = scaleOf(path);
        const QPixmap pixmap(path);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.size(), QSize(art.logical, art.logical) * scale);
        // A @2x file shows at half its pixel size, as the labels rely on.
        EXPECT_EQ(pixmap.devicePixelRatio(), scale);
        if (art.use != Use::Icon)
            continue;
        const QImage sharp(hiDpiPath(path));
        ASSERT_FALSE(sharp.isNull()) << "no variant for 2x screens";
        EXPECT_EQ(sharp.size(), QSize(art.logical, art.logical) * 2);
        const QIcon icon(path);
        EXPECT_TRUE(icon.availableSizes().contains(sharp.size())) << "Qt does not find the 2x variant";
        EXPECT_FALSE(icon.pixmap(16).isNull());
    }
}

TEST(KvResourcesTest, CursorHotSpotsLieOnTheDrawing)
{
    for (const Art &art : kArt) {
        if (art.use != Use::Cursor)
            continue;
        SCOPED_TRACE(art.path);
        const QImage image = QImage(QString::fromLatin1(art.path)).convertToFormat(QImage::Format_ARGB32);
        const QPoint hot = art.hotSpot.x() < 0 ? QPoint(image.width() / 2, image.height() / 2) : art.hotSpot;
        EXPECT_GT(qAlpha(image.pixel(hot)), 128);
    }
}

TEST(KvResourcesTest, LoopIconIsDrawnFromSvg)
{
    const QString path = QStringLiteral(":/Qml/Images/arrow_loop2.svg");
    ASSERT_TRUE(QFileInfo::exists(path));
    // Null without the Qt SVG plugin, a run-time dependency of the program.
    for (int size : {16, 24, 32, 64}) {
        const QPixmap pixmap = QIcon(path).pixmap(size);
        ASSERT_FALSE(pixmap.isNull()) << size;
        // Drawn for the 2x screen, not scaled up from a smaller picture.
        EXPECT_EQ(pixmap.size(), QSize(size, size) * 2);
        const QImage image = pixmap.toImage();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128;
        EXPECT_GT(opaque, image.width() * image.height() / 5) << size;
    }
}

// A misspelt file would pass unnoticed (the window just shows no icon), and
// two names sharing one drawing would make two commands look alike.
TEST(KvResourcesTest, OnlyNamedImagesAreCompiledInAndNoTwoAreAlike)
{
    QSet<QString> expected;
    for (const Art &art : kArt) {
        expected.insert(QString::fromLatin1(art.path));
        if (art.use == Use::Icon)
            expected.insert(hiDpiPath(QString::fromLatin1(art.path)));
    }
    QHash<QByteArray, QString> seen;
    QDirIterator it(QStringLiteral(":/Resources"), QDir::Files, QDirIterator::Subdirectories);
    int found = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        ++found;
        EXPECT_TRUE(expected.contains(path)) << qPrintable(path) << " is named nowhere";
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
        const QByteArray hash = QCryptographicHash::hash(
            QByteArray::fromRawData(reinterpret_cast<const char *>(image.constBits()), int(image.sizeInBytes())),
            QCryptographicHash::Sha1);
        EXPECT_FALSE(seen.contains(hash)) << qPrintable(path) << " looks like " << qPrintable(seen.value(hash));
        seen.insert(hash, path);
    }
    EXPECT_EQ(found, expected.size());
}

} // namespace

// A 2x screen, set up as the program sets itself up, so that icons pick up
// their @2x files.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication app(argc, argv);
    kvInitResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
