#pragma once
// What the frame views draw and hit-test with, read once per paint or mouse
// event, and the geometry every frame view shares: how many frames fit into
// a width, in which column the play position stands, which frame lies under
// a point and which selection edge a press grabs. Pure functions of the
// state, so that they can be checked without a controller.
#include <QColor>
#include <QPoint>
#include <QString>
#include <QtGlobal>

#include <functional>

class KvAudioFragmentList;
class KvFileProperties;

struct KvFrameViewState {
    // Zoom: device pixels per frame column (1..16); the integer device pixel
    // ratio the views draw with and the floating one (1.0 on the desktop).
    int hZoom = 1;
    int ratio = 1;
    double dprF = 1.0;
    // The play position with its fraction (sub-frame scrolling).
    double scrollFrame = 0.0;
    // Where the play position stands, in percent of the visible frames.
    int displayOffset = 50;
    bool hasDisplayGap = true;
    qint64 selectionStart = -1;
    qint64 selectionEnd = -1;
    // The level window the bar area spans.
    double ceiling = 255.0;
    double floor = 0.0;
    int playPosWidth = 3;

    // Track labels.
    bool useAutoTrackNum = true;
    QString trackNameFormat = QStringLiteral("%0N %T");

    // Appearance: the colour to draw for a colour of the light look, and the
    // window and text colours the rulers are drawn with.
    std::function<QColor(const QColor &)> darkModeColor;
    bool darkMode = false;
    QColor windowColor = QColor(0xF0, 0xF0, 0xF0);
    QColor textColor = Qt::black;

    // The document: its cursor (null without one), frame count, format facts
    // of its first source (0 when unknown) and track list (may be null).
    KvAudioFragmentList *frames = nullptr;
    qint64 totalFrames = 0;
    int samplesPerFrame = 0;
    int sampleRate = 0;
    const KvFileProperties *tracks = nullptr;

    qint64 wholeScrollFrame() const { return qint64(scrollFrame); }
    // Logical pixels per frame.
    double pixelsPerFrame() const { return double(hZoom) / ratio; }
    QColor dm(const QColor &c) const { return darkModeColor ? darkModeColor(c) : c; }
    bool hasDocument() const { return frames && totalFrames > 0; }
};

// What hitTest tells about a point of the frame display.
enum KvFrameHit : int {
    KvHitNone = 0,       // inside, away from the edges, or no selection
    KvHitExtend = 3,     // the extend modifier is held
    KvHitStartEdge = 4,
    KvHitEndEdge = 5,
    KvHitLeftOut = 6,    // left of the display (x < 0), moves only
    KvHitRightOut = 7,   // right of the display (x > width), moves only
};

namespace KvFrameGeometry {

// Pixels within which a press grabs a selection edge.
constexpr int EdgeTolerance = 4;

// ceil(widthPx / hZoom) for a positive width.
qint64 visibleFrameCount(int widthPx, int hZoom);

// The column (in frames from the left edge) at which `frame` stands in a
// view widthPx device pixels wide; frame -1 is the whole play position.
qint64 playPositionOffset(const KvFrameViewState &s, int widthPx, qint64 frame = -1);

// The frame in the leftmost column of a view widthPx device pixels wide;
// negative when the document starts inside the view.
qint64 firstFrame(const KvFrameViewState &s, int widthPx);

// Logical x of the left edge of `frame`'s column.
int pixelOfFrame(const KvFrameViewState &s, int widthPx, qint64 frame);

// The frame under a logical position: 0..total frames (the total is the
// position after the last frame). Outside the document: clamped, or -1.
qint64 frameAtMouse(const KvFrameViewState &s, int widthPx, const QPoint &pos, bool clamp);

// What a point of a display widthLogical pixels wide touches. A press (or a
// release) is an event with a button; moves without one also report the
// sides. extendHeld: the extend modifier is down.
int hitTest(const KvFrameViewState &s, int widthLogical, const QPoint &pos, bool buttonEvent,
            bool extendHeld);

} // namespace KvFrameGeometry
