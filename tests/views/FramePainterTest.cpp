// The frame display and overview map painters: colours at known pixels, the
// bar cache against a fresh paint, and the map's columns and clicks.
#include "FrameViewTestSupport.h"

#include <KvFrameMapPainter.h>
#include <KvFramePainter.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <gtest/gtest.h>

using kvtest::blend;
using kvtest::FakeLevels;
using kvtest::pixel;
using kvtest::rgb;

namespace {

class FramePainterTest : public ::testing::Test {
protected:
    FramePainterTest() : painter(model, controller)
    {
        painter.setTopBandDp(14);
        painter.trackLabelSize(10.0);
    }

    QImage paint(const KvFrameViewState &s, int w = 200, int h = 100)
    {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        QPainter p(&image);
        painter.paintState(&p, s);
        return image;
    }

    KvQmlModel *model = nullptr;
    KvQmlController *controller = nullptr;
    KvFramePainter painter;
    const KvFramePalette palette = KvFramePalette::standard();
};

// The first pixel where two images differ, (-1, -1) when none does.
QPoint firstDifference(const QImage &a, const QImage &b)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QPoint(x, y);
    return QPoint(-1, -1);
}

} // namespace

TEST_F(FramePainterTest, NoDocumentIsOneFlatColour)
{
    KvFrameViewState s;
    const QImage image = paint(s);
    const QColor flat = QColor(Qt::white).darker(150);
    for (const QPoint &p : {QPoint(0, 0), QPoint(100, 50), QPoint(199, 99)})
        EXPECT_EQ(pixel(image, p.x(), p.y()), rgb(flat));
}

TEST_F(FramePainterTest, ColumnsShowLevelsSeamsSilencedAndBrokenFrames)
{
    // Zoom 4 over 200 pixels: 50 columns, the play position (frame 10) in
    // column 24, so frame F fills x = 4 * (F + 14) .. + 3.
    FakeLevels levels(20, 128);
    levels.seams[0] = levels.seams[8] = true;
    levels.levels[3] = -1;  // silenced
    levels.levels[5] = -2;  // broken reservoir
    levels.levels[6] = 255;
    levels.levels[7] = 0;
    KvFrameViewState s = kvtest::stateOver(levels, 4, 10);
    const QImage image = paint(s);
    const int T = 14, B = painter.markerBand(), A = 100 - T - B;
    auto x = [](int frame) { return 4 * (frame + 14) + 1; };
    const int top = T + 2, bottom = T + A - 2;

    EXPECT_EQ(pixel(image, 10, top), rgb(palette.outside)) << "before frame 0";
    EXPECT_EQ(pixel(image, 180, top), rgb(palette.outside)) << "after the last frame";
    EXPECT_EQ(pixel(image, x(1), top), rgb(palette.back));
    EXPECT_EQ(pixel(image, x(1), bottom), rgb(palette.bar));
    EXPECT_EQ(pixel(image, x(0), top), rgb(palette.backStart)) << "seam";
    EXPECT_EQ(pixel(image, x(0), bottom), rgb(palette.barStart)) << "seam";
    EXPECT_EQ(pixel(image, x(8), top), rgb(palette.backStart)) << "seam";
    EXPECT_EQ(pixel(image, x(3), top), rgb(palette.silenced));
    EXPECT_EQ(pixel(image, x(3), bottom), rgb(palette.silenced)) << "a silenced frame has no bar";
    EXPECT_EQ(pixel(image, x(5), top), rgb(palette.broken));
    EXPECT_EQ(pixel(image, x(5), bottom), rgb(palette.broken)) << "a broken frame has no bar";
    EXPECT_EQ(pixel(image, x(6), T), rgb(palette.bar)) << "a level at the ceiling fills the column";
    EXPECT_EQ(pixel(image, x(7), T + A - 1), rgb(palette.back)) << "a level at the floor draws no bar";
    // Level 128 of 255 reaches half way up.
    const int h = 128 * A / 255;
    EXPECT_EQ(pixel(image, x(1), T + A - h), rgb(palette.bar));
    EXPECT_EQ(pixel(image, x(1), T + A - h - 1), rgb(palette.back));
}

TEST_F(FramePainterTest, PlayHeadCaretAndSelection)
{
    FakeLevels levels(20, 0);  // no bars: the background is plain
    KvFrameViewState s = kvtest::stateOver(levels, 4, 10);
    s.playPosWidth = 3;
    s.selectionStart = s.selectionEnd = 12;  // a caret at x 104
    QImage image = paint(s);
    const int T = 14;
    // The play line stands at column 24 (x 96..98) under its head in the top band.
    EXPECT_EQ(pixel(image, 97, 2), blend(palette.play, palette.band));
    EXPECT_EQ(pixel(image, 60, 2), rgb(palette.band));
    EXPECT_EQ(pixel(image, 97, T + 20), blend(palette.play, palette.back));
    EXPECT_EQ(pixel(image, 99, T + 20), rgb(palette.back));
    // The caret: 8-pixel dashes from the top of the bar area.
    EXPECT_EQ(pixel(image, 105, T + 1), blend(palette.caret, palette.back));
    EXPECT_EQ(pixel(image, 105, T + 7), blend(palette.caret, palette.back));
    EXPECT_EQ(pixel(image, 105, T + 9), rgb(palette.back));
    EXPECT_EQ(pixel(image, 105, T + 17), blend(palette.caret, palette.back));

    // A caret at the play position dashes the play line instead.
    s.selectionStart = s.selectionEnd = 10;
    image = paint(s);
    EXPECT_EQ(pixel(image, 97, T + 1), blend(palette.play, blend(palette.caret, palette.back).c));
    EXPECT_EQ(pixel(image, 97, T + 9), rgb(palette.back));

    // A selection from frame 1 to frame 4 covers x 60 .. 72.
    s.selectionStart = 1;
    s.selectionEnd = 4;
    image = paint(s);
    EXPECT_EQ(pixel(image, 60, T + 9), blend(palette.selection, palette.back));
    EXPECT_EQ(pixel(image, 72, T + 9), blend(palette.selection, palette.back));
    EXPECT_EQ(pixel(image, 59, T + 9), rgb(palette.back));
    EXPECT_EQ(pixel(image, 73, T + 9), rgb(palette.back));

    // One bound alone draws nothing.
    s.selectionEnd = -1;
    image = paint(s);
    EXPECT_EQ(pixel(image, 64, T + 9), rgb(palette.back));
}

TEST_F(FramePainterTest, TrackMarkersInTheBottomBand)
{
    FakeLevels levels(20, 0);
    KvFileProperties tracks(nullptr);
    kvtest::addTrack(tracks, 2, 9, QStringLiteral("One"));
    kvtest::addTrack(tracks, 12, KvTagProperty::EndMarker, QStringLiteral("Two"));
    KvFrameViewState s = kvtest::stateOver(levels, 4, 10);
    s.tracks = &tracks;
    const QImage image = paint(s);
    const int B = painter.markerBand();
    const int bandTop = 100 - B;
    ASSERT_GT(B, 6);
    // Track 1 spans x 64 .. 92, track 2 runs to the document's end (x 136).
    EXPECT_EQ(pixel(image, 66, bandTop + 2), rgb(palette.marker));
    EXPECT_EQ(pixel(image, 64, bandTop + 2), rgb(palette.bar)) << "outline";
    EXPECT_EQ(pixel(image, 134, bandTop + 2), rgb(palette.marker)) << "open end";
    EXPECT_EQ(pixel(image, 20, bandTop + 2), rgb(palette.band)) << "band between tracks";
    EXPECT_EQ(pixel(image, 150, bandTop + 2), rgb(palette.band)) << "band after the document";
}

TEST_F(FramePainterTest, DarkLookMapsBarsAndBandsNotTheMarkersOfPosition)
{
    FakeLevels levels(20, 128);
    KvFileProperties tracks(nullptr);
    KvFrameViewState s = kvtest::stateOver(levels, 4, 10);
    s.tracks = &tracks;
    const QColor mapped(10, 20, 30);
    s.darkModeColor = [&](const QColor &) { return mapped; };
    const QImage image = paint(s);
    const int T = 14, B = painter.markerBand(), A = 100 - T - B;
    EXPECT_EQ(pixel(image, 61, T + 2), rgb(mapped)) << "background";
    EXPECT_EQ(pixel(image, 61, T + A - 2), rgb(mapped)) << "bar";
    EXPECT_EQ(pixel(image, 20, 100 - 2), rgb(mapped)) << "marker band";
    EXPECT_EQ(pixel(image, 10, T + 2), rgb(palette.outside));
    EXPECT_EQ(pixel(image, 60, 2), rgb(palette.band)) << "top band";
}

TEST_F(FramePainterTest, ScrolledCacheMatchesAFreshPaint)
{
    FakeLevels levels(400, 0);
    for (size_t i = 0; i < levels.levels.size(); ++i)
        levels.levels[i] = qint16((i * 37) % 256);
    for (size_t i = 0; i < levels.levels.size(); i += 23)
        levels.seams[i] = true;
    levels.levels[150] = -1;
    levels.levels[151] = -2;
    struct Step {
        const char *what;
        double scroll;
        int zoom;
        bool gap;
    };
    const Step steps[] = {
        {"start", 100, 2, true},       {"one frame on", 101, 2, true},   {"half a frame", 101.5, 2, true},
        {"back", 95, 2, true},         {"far", 300, 2, true},            {"zoom changed", 300, 3, true},
        {"near the end", 399, 3, false}, {"end", 400, 3, false},         {"start again", 0, 3, false},
    };
    for (const Step &step : steps) {
        KvFrameViewState s = kvtest::stateOver(levels, step.zoom, step.scroll);
        s.hasDisplayGap = step.gap;
        const int readsBefore = levels.reads;
        const QImage kept = paint(s);
        const int reads = levels.reads - readsBefore;

        KvFramePainter fresh(model, controller);
        fresh.setTopBandDp(14);
        fresh.trackLabelSize(10.0);
        QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        fresh.paintState(&p, s);
        p.end();
        EXPECT_EQ(firstDifference(kept, image), QPoint(-1, -1)) << step.what;
        if (QByteArray(step.what) == "one frame on") {
            EXPECT_LE(reads, 3) << "one frame of scrolling reads one column";
        }
    }
}

class FrameMapPainterTest : public ::testing::Test {
protected:
    FrameMapPainterTest() : source(model, controller), map(model, controller) { map.setSource(&source); }

    QImage paint(const KvFrameViewState &s, int w, int h = 60)
    {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        map.paintState(&p, s);
        return image;
    }

    KvQmlModel *model = nullptr;
    KvQmlController *controller = nullptr;
    KvFramePainter source;
    KvFrameMapPainter map;
    const KvFramePalette palette = KvFramePalette::standard();
};

TEST(FrameMapPainter, ColumnsCoverEveryFrame)
{
    struct Case {
        qint64 frames;
        int perColumn;
        qint64 columns;
    };
    const Case cases[] = {{0, 1, 0}, {1, 1, 1}, {10, 1, 10}, {10, 3, 4}, {11, 3, 5}, {12, 3, 5}, {13, 3, 5}, {7, 2, 4}};
    for (const Case &c : cases)
        EXPECT_EQ(KvFrameMapPainter::columnsFor(c.frames, c.perColumn), c.columns) << c.frames << "/" << c.perColumn;
}

TEST_F(FrameMapPainterTest, LongDocumentKeepsItsLastFramesOnTheMap)
{
    int widest = 0;
    for (const QScreen *screen : QGuiApplication::screens())
        widest = std::max(widest, std::max(screen->geometry().width(), screen->geometry().height()));
    // Two frames a column and three over: the last column holds frame N - 1 alone.
    const qint64 n = 2 * qint64(widest) + 3;
    FakeLevels levels(n, 200);
    levels.levels[size_t(n - 1)] = -1;
    map.reset();
    paint(kvtest::stateOver(levels, 1, 0), 300);
    EXPECT_EQ(map.framesPerColumn(), 2);
    ASSERT_EQ(map.mapColumns(), widest + 2);
    const QImage columns = map.mapPixmap().toImage();
    EXPECT_EQ(pixel(columns, map.mapColumns() - 1, 0), rgb(palette.silenced)) << "the last frame is drawn";
    EXPECT_EQ(pixel(columns, map.mapColumns() - 2, 0), rgb(palette.back));
    EXPECT_EQ(pixel(columns, map.mapColumns() - 2, 254), rgb(palette.bar));
}

TEST_F(FrameMapPainterTest, ClicksMapOntoTheDrawnWidthAndClampToTheDocument)
{
    struct Case {
        const char *what;
        qint64 frames;
        int x;
        qint64 frame;
    };
    // A 301-pixel view draws 300 columns: a short document one frame a
    // column from the left, a long one stretched over them.
    const Case cases[] = {
        {"short: left edge", 100, 0, 0},          {"short: one frame a pixel", 100, 50, 50},
        {"short: the end", 100, 100, 100},        {"short: right of the end clamps", 100, 150, 100},
        {"short: left of the map clamps", 100, -5, 0}, {"long: left edge", 3000, 0, 0},
        {"long: middle", 3000, 150, 1500},         {"long: right edge", 3000, 300, 3000},
        {"long: past the right edge clamps", 3000, 400, 3000},
    };
    for (const Case &c : cases) {
        FakeLevels levels(c.frames, 100);
        const KvFrameViewState s = kvtest::stateOver(levels, 1, 0);
        map.reset();
        paint(s, 301);
        EXPECT_EQ(map.frameAtPixel(s, c.x), c.frame) << c.what;
    }
    FakeLevels none(0);
    paint(kvtest::stateOver(none, 1, 0), 301);
    EXPECT_EQ(map.frameAtPixel(kvtest::stateOver(none, 1, 0), 10), -1) << "empty document";
}

TEST_F(FrameMapPainterTest, OverlaysShowSelectionShadeAndPlayPosition)
{
    FakeLevels levels(3000, 0);
    KvFrameViewState s = kvtest::stateOver(levels, 1, 1500);
    s.selectionStart = 300;
    s.selectionEnd = 600;
    const QImage image = paint(s, 301);
    // 10 frames a pixel; the display (301 columns at zoom 1) shows frames 1350 .. 1650.
    EXPECT_EQ(pixel(image, 150, 5), rgb(Qt::red)) << "play position";
    EXPECT_EQ(pixel(image, 45, 5), blend(palette.shade, blend(palette.selection, palette.back).c)) << "selection";
    EXPECT_EQ(pixel(image, 140, 5), rgb(palette.back)) << "shown part";
    EXPECT_EQ(pixel(image, 100, 5), blend(palette.shade, palette.back)) << "shaded";
    EXPECT_EQ(pixel(image, 200, 5), blend(palette.shade, palette.back)) << "shaded";
}
