// The geometry the frame views share: frames in a width, the play-position
// column, the frame under the pointer and the edge a press grabs.
#include <KvFrameGeometry.h>

#include <gtest/gtest.h>

namespace {

KvFrameViewState view(int hZoom, double scroll, qint64 total, bool gap = true, int offset = 50, int ratio = 1)
{
    KvFrameViewState s;
    s.hZoom = hZoom;
    s.scrollFrame = scroll;
    s.totalFrames = total;
    s.hasDisplayGap = gap;
    s.displayOffset = offset;
    s.ratio = ratio;
    return s;
}

} // namespace

TEST(FrameGeometry, VisibleFrameCountRoundsUp)
{
    struct Case {
        int width, zoom;
        qint64 frames;
    };
    const Case cases[] = {{1, 1, 1}, {10, 1, 10}, {10, 3, 4}, {9, 3, 3}, {0, 3, 0}, {1, 16, 1}, {16, 16, 1}, {17, 16, 2}};
    for (const Case &c : cases)
        EXPECT_EQ(KvFrameGeometry::visibleFrameCount(c.width, c.zoom), c.frames) << c.width << "/" << c.zoom;
}

TEST(FrameGeometry, PlayPositionColumn)
{
    // 100 device pixels at zoom 1: columns 0..99, the middle is column 49.
    struct Case {
        const char *what;
        KvFrameViewState s;
        qint64 frame;
        qint64 column;
    };
    const Case cases[] = {
        {"gap: at the display offset", view(1, 500, 1000), -1, 49},
        {"gap: also before the document", view(1, 3, 1000), -1, 49},
        {"gap: offset 0", view(1, 500, 1000, true, 0), -1, 0},
        {"gap: offset 100", view(1, 500, 1000, true, 100), -1, 99},
        {"short document starts at the left edge", view(1, 20, 50, false), -1, 20},
        {"near the start", view(1, 10, 1000, false), -1, 10},
        {"middle", view(1, 500, 1000, false), -1, 49},
        {"one frame before the end band", view(1, 949, 1000, false), -1, 49},
        {"where the end band begins", view(1, 950, 1000, false), -1, 49},
        {"the end stays at the right edge", view(1, 980, 1000, false), -1, 79},
        {"at the end", view(1, 1000, 1000, false), -1, 99},
        {"explicit frame", view(1, 0, 1000, false), 980, 79},
        {"whole frames of the position", view(1, 10.7, 1000, false), -1, 10},
        {"zoom 4: 25 columns", view(4, 500, 1000), -1, 12},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KvFrameGeometry::playPositionOffset(c.s, 100, c.frame), c.column) << c.what;
}

TEST(FrameGeometry, FrameAtMouse)
{
    // Zoom 2 over 100 pixels: 50 columns, the position in column 24.
    const KvFrameViewState middle = view(2, 100, 1000);  // first frame 76
    const KvFrameViewState shortDoc = view(2, 0, 10);    // first frame -24
    const KvFrameViewState hiDpi = view(4, 100, 1000, true, 50, 2);  // 2 logical pixels a frame
    struct Case {
        const char *what;
        const KvFrameViewState &s;
        int widthPx, x;
        qint64 unclamped, clamped;
    };
    const Case cases[] = {
        {"left edge", middle, 100, 0, 76, 76},
        {"inside the first column", middle, 100, 1, 76, 76},
        {"second column", middle, 100, 2, 77, 77},
        {"the play position", middle, 100, 48, 100, 100},
        {"before the document", shortDoc, 100, 0, -1, 0},
        {"the column just left of frame 0", shortDoc, 100, 47, -1, 0},
        {"frame 0", shortDoc, 100, 48, 0, 0},
        {"the end (after the last frame)", shortDoc, 100, 68, 10, 10},
        {"past the end", shortDoc, 100, 70, -1, 10},
        {"ratio 2: logical pixels", hiDpi, 200, 2, 77, 77},
        {"ratio 2: the play position", hiDpi, 200, 48, 100, 100},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KvFrameGeometry::frameAtMouse(c.s, c.widthPx, QPoint(c.x, 5), false), c.unclamped) << c.what;
        EXPECT_EQ(KvFrameGeometry::frameAtMouse(c.s, c.widthPx, QPoint(c.x, 5), true), c.clamped) << c.what;
    }
}

TEST(FrameGeometry, HitTestGrabsEdgesWithinFourPixels)
{
    // 200 pixels at zoom 1, first frame 1: frame F stands at x = F - 1.
    KvFrameViewState s = view(1, 100, 1000);
    s.selectionStart = 51;  // x 50
    s.selectionEnd = 151;   // x 150
    struct Case {
        int x;
        bool press, ctrl;
        int hit;
    };
    const Case cases[] = {
        {46, true, false, KvHitStartEdge},  {45, true, false, KvHitNone},      {54, true, false, KvHitStartEdge},
        {55, true, false, KvHitNone},       {146, true, false, KvHitEndEdge},  {145, true, false, KvHitNone},
        {154, true, false, KvHitEndEdge},   {155, true, false, KvHitNone},     {100, true, false, KvHitNone},
        {46, true, true, KvHitExtend},      {100, false, true, KvHitExtend},
        // Sides only for moves.
        {-1, false, false, KvHitLeftOut},   {201, false, false, KvHitRightOut}, {200, false, false, KvHitNone},
        {-1, true, false, KvHitNone},       {201, true, false, KvHitNone},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KvFrameGeometry::hitTest(s, 200, QPoint(c.x, 30), c.press, c.ctrl), c.hit)
            << "x " << c.x << (c.press ? " press" : " move") << (c.ctrl ? " ctrl" : "");
}

TEST(FrameGeometry, HitTestTiesAndMissingSelection)
{
    KvFrameViewState s = view(1, 100, 1000);
    struct Case {
        const char *what;
        qint64 start, end;
        int x;
        bool ctrl;
        int hit;
    };
    const Case cases[] = {
        {"tie between the edges goes to the end", 101, 105, 102, false, KvHitEndEdge},
        {"caret: on it, the end edge", 101, 101, 100, false, KvHitEndEdge},
        {"caret: right of it, the end edge", 101, 101, 101, false, KvHitEndEdge},
        {"caret: left of it, the start edge", 101, 101, 99, false, KvHitStartEdge},
        {"no selection", -1, -1, 100, false, KvHitNone},
        {"no selection, even with Ctrl", -1, -1, 100, true, KvHitNone},
        {"only the start set", 101, -1, 100, false, KvHitStartEdge},
    };
    for (const Case &c : cases) {
        s.selectionStart = c.start;
        s.selectionEnd = c.end;
        EXPECT_EQ(KvFrameGeometry::hitTest(s, 200, QPoint(c.x, 30), true, c.ctrl), c.hit) << c.what;
    }
}

TEST(FrameGeometry, HitTestInDevicePixelsOfTheZoom)
{
    // Zoom 4 at ratio 2: a frame is 2 logical pixels; start frame 110 stands
    // at logical x 2 * (110 - first).
    KvFrameViewState s = view(4, 100, 1000, true, 50, 2);
    s.selectionStart = 110;
    s.selectionEnd = 200;
    const qint64 first = KvFrameGeometry::firstFrame(s, 400);
    const int startX = int(2 * (110 - first));
    EXPECT_EQ(KvFrameGeometry::pixelOfFrame(s, 400, 110), startX);
    EXPECT_EQ(KvFrameGeometry::hitTest(s, 200, QPoint(startX + 4, 30), true, false), KvHitStartEdge);
    EXPECT_EQ(KvFrameGeometry::hitTest(s, 200, QPoint(startX + 5, 30), true, false), KvHitNone);
}
