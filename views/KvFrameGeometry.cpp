#include "KvFrameGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace KvFrameGeometry {

qint64 visibleFrameCount(int widthPx, int hZoom)
{
    return (qint64(widthPx) - 1 + hZoom) / hZoom;
}

qint64 playPositionOffset(const KvFrameViewState &s, int widthPx, qint64 frame)
{
    if (frame == -1)
        frame = s.wholeScrollFrame();
    const qint64 last = visibleFrameCount(widthPx, s.hZoom) - 1;
    const qint64 off = qint64(s.displayOffset) * last / 100;
    if (s.hasDisplayGap)
        return off;
    const qint64 total = s.totalFrames;
    if (total <= last)
        return frame;  // the document starts at the left edge
    if (total - frame <= last - off)
        return last - (total - frame);  // its end stays at the right edge
    return std::min(frame, off);
}

qint64 firstFrame(const KvFrameViewState &s, int widthPx)
{
    return s.wholeScrollFrame() - playPositionOffset(s, widthPx);
}

int pixelOfFrame(const KvFrameViewState &s, int widthPx, qint64 frame)
{
    // The first column holds frame `first` (negative before the document).
    return int(qint64(s.hZoom) * (frame - firstFrame(s, widthPx)) / s.ratio);
}

qint64 frameAtMouse(const KvFrameViewState &s, int widthPx, const QPoint &pos, bool clamp)
{
    // floor, not truncation: the column just left of frame 0 is outside.
    const qint64 f = qint64(std::floor(pos.x() / s.pixelsPerFrame())) + firstFrame(s, widthPx);
    if (f > s.totalFrames)
        return clamp ? s.totalFrames : -1;
    if (f < 0)
        return clamp ? 0 : -1;
    return f;
}

int hitTest(const KvFrameViewState &s, int widthLogical, const QPoint &pos, bool buttonEvent,
            bool extendHeld)
{
    const int x = pos.x();
    if (!buttonEvent) {
        if (x < 0)
            return KvHitLeftOut;
        if (x > widthLogical)
            return KvHitRightOut;
    }
    if (s.selectionStart == -1 && s.selectionEnd == -1)
        return KvHitNone;
    const int widthPx = widthLogical * s.ratio;
    const int startPx = pixelOfFrame(s, widthPx, s.selectionStart);
    const int endPx = pixelOfFrame(s, widthPx, s.selectionEnd);
    if (extendHeld)
        return KvHitExtend;
    const int dStart = std::abs(x - startPx);
    const int dEnd = std::abs(x - endPx);
    // On a tie the start edge wins only left of it, so that a collapsed
    // selection can be widened in both directions.
    if (dStart <= EdgeTolerance && (dStart < dEnd || x < startPx))
        return KvHitStartEdge;
    if (dEnd <= EdgeTolerance)
        return KvHitEndEdge;
    return KvHitNone;
}

} // namespace KvFrameGeometry
