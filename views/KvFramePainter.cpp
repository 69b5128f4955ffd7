#include "KvFramePainter.h"

#include "KvFrameViewStateReader.h"
#include "KvVuMeter.h"

#include <KvAudioFragmentList.h>
#include <KvFileProperties.h>
#include <KvQmlController.h>
#include <KvUiServices.h>

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QTextOption>

#include <algorithm>

namespace {

const QColor kGreen("#90b924");

// Columns of one dashed line: 8-pixel dashes, 8-pixel gaps, from the top.
void drawDashedLine(QPainter *painter, int x, int width, int top, int bottom, const QColor &color)
{
    for (int y = top; y < bottom; y += 16)
        painter->fillRect(x, y, width, std::min(8, bottom - y), color);
}

// Marker coordinates are far outside the view for long tracks; keep them in
// the range the paint engine takes.
int clampCoordinate(qint64 v)
{
    return int(std::max<qint64>(-(qint64(1) << 28), std::min<qint64>(v, qint64(1) << 28)));
}

} // namespace

KvFramePalette KvFramePalette::standard()
{
    KvFramePalette p;
    p.outside = kGreen.darker(225);
    p.play = QColor(Qt::red);
    p.play.setAlphaF(0.7);
    p.playEdge = QColor(Qt::darkRed);
    p.playEdge.setAlphaF(0.7);
    QColor white50(Qt::white);
    white50.setAlphaF(0.5);
    p.band = KvVuMeter::levelColor(white50, kGreen.darker(250));
    p.bar = QColor("#4D82B8").darker(125);
    p.back = QColor("#F0F0F0");
    p.barStart = p.bar.lighter(150);
    p.backStart = p.back.darker(120);
    QColor white80(Qt::white);
    white80.setAlphaF(0.8);
    p.silenced = KvVuMeter::levelColor(white80, p.bar);
    QColor orange(255, 165, 0);
    orange.setAlphaF(0.7);
    p.broken = KvVuMeter::levelColor(orange, p.bar);
    p.caret = QColor(Qt::green);
    p.caret.setAlphaF(0.7);
    p.label = kGreen.lighter(200);
    p.marker = kGreen.darker(130);
    QColor green50 = kGreen;
    green50.setAlphaF(0.5);
    p.selection = KvVuMeter::levelColor(green50, QColor(Qt::yellow));
    p.selection.setAlphaF(0.5);
    p.shadeEdge = QColor(Qt::white).darker(200);
    p.shade = p.shadeEdge;
    p.shade.setAlphaF(0.25);
    return p;
}

KvFramePainter::KvFramePainter(KvQmlModel *const &model, KvQmlController *const &controller)
    : m_model(model), m_controller(controller), m_palette(KvFramePalette::standard())
{
    trackLabelSize(0.0);
    m_topBandDp = KvQmlController::scaledDp(14.0);
}

KvFramePainter::~KvFramePainter() = default;

KvFrameViewState KvFramePainter::viewState(QPainter *painter) const
{
    return readFrameViewState(m_controller, m_model, painter);
}

void KvFramePainter::paint(QPainter *painter)
{
    if (!m_model || !m_controller)
        return;
    // Dark mode follows the system palette.
    m_controller->CheckIsDarkMode(m_controller->uiServices().palette());
    paintState(painter, viewState(painter));
}

qint64 KvFramePainter::visibleFrameCount(int widthPx) const
{
    return KvFrameGeometry::visibleFrameCount(widthPx, m_controller ? m_controller->hZoom() : 1);
}

qint64 KvFramePainter::playPositionOffset(int widthPx, qint64 frame) const
{
    return KvFrameGeometry::playPositionOffset(viewState(nullptr), widthPx, frame);
}

void KvFramePainter::bands(const KvFrameViewState &s, int H, int *top, int *area, int *bottom) const
{
    *top = int(m_topBandDp * s.ratio * s.dprF);
    *bottom = m_markerBand * s.ratio;
    *area = H - *top - *bottom;
}

void KvFramePainter::paintState(QPainter *painter, const KvFrameViewState &s)
{
    const int W = painter->device()->width() * s.ratio;
    const int H = painter->device()->height() * s.ratio;
    painter->setWindow(0, 0, W, H);
    painter->setWorldTransform(QTransform());
    if (!s.hasDocument()) {
        painter->setPen(Qt::NoPen);
        painter->fillRect(0, 0, W, H, s.dm(QColor(Qt::white).darker(150)));
        return;
    }
    const qint64 first = KvFrameGeometry::firstFrame(s, W);
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const bool full = m_lastFirstFrame == -1;
    updateFramePixmap(painter, s, full, full ? 0 : first - m_lastFirstFrame);
    // Between whole frames the bars slide left pixel by pixel.
    const int sx = int(s.hZoom * (s.scrollFrame - double(s.wholeScrollFrame())));
    painter->drawPixmap(QRect(0, 0, W, H), m_framePixmap, QRect(sx, 0, W, m_framePixmap.height()));
    drawSelection(painter, s);
    drawTrackMarkers(painter, s, first, m_markerBand * s.ratio, W, s.hZoom);
    m_lastFirstFrame = first;
}

void KvFramePainter::updateFramePixmap(QPainter *painter, const KvFrameViewState &s, bool full, qint64 dFrames)
{
    const int W = painter->device()->width() * s.ratio;
    const int H = painter->device()->height() * s.ratio;
    const qint64 visible = KvFrameGeometry::visibleFrameCount(W, s.hZoom);
    // One column more than the view, so that the sub-frame offset never runs out.
    const QSize need(int(s.hZoom * (visible + 1)), H);
    const bool sameCache = !m_framePixmap.isNull() && m_framePixmap.size() == need && m_cachedZoom == s.hZoom
        && m_cachedFloor == s.floor && m_cachedCeiling == s.ceiling && m_cachedDark == s.darkMode;
    if (!full && sameCache && qAbs(dFrames) <= visible) {
        if (dFrames == 0)
            return;
        // Shift by whole columns and draw only the strip that scrolled in.
        QRegion exposed;
        m_framePixmap.scroll(int(-s.hZoom * dFrames), 0, m_framePixmap.rect(), &exposed);
        QPainter cache(&m_framePixmap);
        cache.setCompositionMode(QPainter::CompositionMode_Source);
        cache.setClipRegion(exposed);
        drawFrames(&cache, s, W, 0);
        return;
    }
    if (m_framePixmap.size() != need)
        m_framePixmap = QPixmap(need);
    m_cachedZoom = s.hZoom;
    m_cachedFloor = s.floor;
    m_cachedCeiling = s.ceiling;
    m_cachedDark = s.darkMode;
    QPainter cache(&m_framePixmap);
    cache.setCompositionMode(QPainter::CompositionMode_Source);
    drawFrames(&cache, s, W, 0);
}

void KvFramePainter::drawFrames(QPainter *painter, const KvFrameViewState &s, int widthPx, int step)
{
    const bool map = step >= 1;
    const int colW = map ? 1 : s.hZoom;
    const int H = painter->device()->height();
    const int Wd = painter->device()->width();
    int T = 0, A = H, B = 0;
    if (!map)
        bands(s, H, &T, &A, &B);
    const double floorLevel = map ? 0.0 : s.floor;
    const double ceilingLevel = map ? 255.0 * s.dprF : s.ceiling;
    const qint64 sf = map ? 0 : s.wholeScrollFrame();

    QRect clip = painter->hasClipping() ? painter->clipBoundingRect().toAlignedRect() : QRect();
    if (map || clip.isEmpty())
        clip = QRect(0, 0, Wd, H);

    painter->setPen(Qt::NoPen);
    const qint64 N = s.frames ? s.totalFrames : 0;
    if (N == 0) {
        painter->fillRect(0, 0, Wd, H, s.dm(QColor(Qt::white).darker(150)));
        return;
    }
    const QColor silenced = s.dm(m_palette.silenced), broken = s.dm(m_palette.broken);
    const QColor barStart = s.dm(m_palette.barStart), bar = s.dm(m_palette.bar);
    const QColor backStart = s.dm(m_palette.backStart), back = s.dm(m_palette.back);

    const qint64 c0 = map ? 0 : KvFrameGeometry::playPositionOffset(s, widthPx);
    qint64 xs = clip.left() / colW;
    const qint64 xe = (qint64(colW) + clip.left() + clip.width() - 1) / colW;

    const qint64 lead = c0 - sf;  // the column of frame 0
    if (lead > xs && T > 0)
        painter->fillRect(int(xs * colW), T, int((lead - xs) * colW), A, m_palette.outside);

    qint64 f = xs - c0 + sf;
    if (f < 0) {
        xs -= f;
        f = 0;
    }
    f = std::min(f, N);
    bool seam = false;
    qint16 level = f < N ? s.frames->seekFrame(f, &seam) : 0;

    QRegion region = painter->clipRegion();
    if (region.isEmpty())
        region = QRegion(clip);
    const double window = ceilingLevel - floorLevel;
    qint64 count = 0, sum = 0;
    for (qint64 c = xs; c < xe;) {
        if (f >= N) {
            if (T > 0)
                painter->fillRect(int(c * colW), T, int(Wd - c * colW), A, m_palette.outside);
            break;
        }
        const int x = int(c * colW);
        if (map || region.intersects(QRect(x, T, colW, A))) {
            // The codes (silenced, broken, no frame table) draw no bar.
            double v = level < 0 ? 0.0 : double(level);
            if (map)
                v *= s.dprF;
            int h = window > 0 ? int((v - floorLevel) * A / window) : (v >= ceilingLevel ? A : 0);
            h = std::max(0, std::min(h, A));
            bool draw = true;
            if (map) {
                // A map column shows the mean height of the frames it covers.
                sum += h;
                ++count;
                draw = f % step == 0 || f == N - 1;
                if (draw) {
                    h = int(sum / count);
                    sum = count = 0;
                }
            }
            if (draw) {
                painter->fillRect(x, T + A - h, colW, h, seam ? barStart : bar);
                const QColor &background = level == -1 ? silenced : level == -2 ? broken : seam ? backStart : back;
                painter->fillRect(x, T, colW, A - h, background);
                ++c;
            }
        } else {
            ++c;
        }
        level = s.frames->nextFrameLevel(&seam);
        ++f;
    }
}

void KvFramePainter::drawSelection(QPainter *painter, const KvFrameViewState &s)
{
    const int W = painter->device()->width() * s.ratio;
    const int H = painter->device()->height() * s.ratio;
    int T, A, B;
    bands(s, H, &T, &A, &B);
    const int ppw = int(s.playPosWidth * s.dprF);
    const qint64 sf = s.wholeScrollFrame();
    const qint64 c0 = KvFrameGeometry::playPositionOffset(s, W, sf);
    const qint64 first = std::min(sf - c0, s.totalFrames);
    const int sx = int(s.hZoom * (s.scrollFrame - double(sf)));
    auto xOf = [&](qint64 frame) { return clampCoordinate((frame - first) * s.hZoom - sx); };

    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter->setPen(Qt::NoPen);
    const qint64 start = s.selectionStart, end = s.selectionEnd;
    bool caretAtPlay = false;
    if (start == end && start != -1) {
        const qint64 c = start - first;
        if (c >= 0 && c * s.hZoom < W)
            drawDashedLine(painter, xOf(start), ppw, T, T + A, m_palette.caret);
        caretAtPlay = start == sf;
    } else if (start != end && start != -1 && end != -1) {
        int xs = xOf(start), xe = xOf(end);
        if (xs <= W && xe > 0) {
            xs = std::max(xs, 0);
            xe = std::min(xe, W);
            painter->fillRect(xs, T, xe - xs + 1, A, m_palette.selection);
        }
    }
    if (T <= 0)
        return;
    // The play position is the scroll position: no sub-frame offset.
    const int x = int(c0 * s.hZoom);
    painter->fillRect(0, 0, W, T, m_palette.band);
    if (caretAtPlay)
        drawDashedLine(painter, x, ppw, T, T + A, m_palette.play);
    else
        painter->fillRect(x, T - 1, ppw, A + 1, m_palette.play);
    const QPolygon head({QPoint(x, 0), QPoint(x + ppw, 0), QPoint(x + ppw + T / 2, T - 1), QPoint(x - T / 2, T - 1)});
    painter->setBrush(m_palette.play);
    painter->setPen(QPen(m_palette.playEdge, int(s.ratio * s.dprF)));
    painter->drawConvexPolygon(head);
    painter->setPen(Qt::NoPen);
}

void KvFramePainter::drawTrackMarkers(QPainter *painter, const KvFrameViewState &s, qint64 firstFrame, int bandPx,
                                      int widthPx, int hZoom)
{
    const bool map = hZoom == 0;
    const int Hpx = painter->device()->height() * s.ratio;
    const int winW = painter->window().width();
    const qint64 N = s.totalFrames;
    const int yBase = map ? Hpx : Hpx - 1;
    const int half = map ? bandPx : bandPx / 2;
    // In the map one unit is a frame: the inset is the band's share of frames.
    const qint64 inset = map ? (widthPx > 0 ? qint64(bandPx) * N / widthPx : 0) : bandPx / 2;
    const int colW = map ? 1 : hZoom;
    const int bandTop = yBase - bandPx + 1;

    painter->setPen(Qt::NoPen);
    // The band also without a track list: the cache holds nothing there.
    painter->fillRect(0, bandTop, winW, bandPx, s.dm(m_palette.band));
    if (!s.tracks)
        return;
    const int fontPx = int(s.ratio * m_markerFontPx * s.dprF);
    const QFont font = labelFont(fontPx);
    painter->setFont(font);
    QTextOption option(Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::NoWrap);
    const QPen outline(m_palette.bar, int(s.ratio * s.dprF));
    const QPen labelPen(m_palette.label, int(s.ratio * s.dprF));

    int n = 0;
    for (const KvTagPropertyPtr &track : s.tracks->tracks()) {
        if (!track)
            continue;
        ++n;
        const qint64 start = track->start();
        const qint64 end = track->end() == KvTagProperty::EndMarker ? N : track->end();
        if (end <= firstFrame)
            continue;
        const qint64 xs64 = (start - firstFrame) * colW;
        if (xs64 > winW)
            break;  // the tracks are ordered
        const int xs = clampCoordinate(xs64);
        const int xe = clampCoordinate((end - firstFrame) * colW);
        if (map) {
            painter->setPen(Qt::NoPen);
        } else {
            painter->setPen(outline);
        }
        painter->setBrush(m_palette.marker);
        if (xe - xs < 2 * inset) {
            // Too narrow for a label: a pointed shape.
            painter->drawPolygon(QPolygon({QPoint(xs, bandTop), QPoint(xs, yBase - half),
                                           QPoint(xs + (xe - xs) / 2, yBase), QPoint(xe, yBase - half),
                                           QPoint(xe, bandTop)}));
            continue;
        }
        const int in = int(inset);
        painter->drawPolygon(QPolygon({QPoint(xs, bandTop), QPoint(xs, yBase - half), QPoint(xs + in, yBase),
                                       QPoint(xe - in, yBase), QPoint(xe, yBase - half), QPoint(xe, bandTop)}));
        if (map)
            continue;
        const QRect textRect(xs + bandPx / 2 + 1, yBase - (5 * bandPx) / 6 + 1, xe - xs - 2 * (bandPx / 2) - 1,
                             (2 * bandPx) / 3 + 1);
        const QString name = track->formatTrackName(n, s.useAutoTrackNum, s.trackNameFormat);
        // A name longer than its track ends in an ellipsis instead of running into the next one.
        const QString shown = QFontMetrics(font).elidedText(name, Qt::ElideRight, textRect.width());
        painter->setBrush(m_palette.label);
        painter->setPen(labelPen);
        painter->drawText(textRect, shown, option);
    }
    painter->setPen(Qt::NoPen);
    painter->setBrush(Qt::NoBrush);
}

QFont KvFramePainter::labelFont(int pixelSize) const
{
    QFont font(QStringLiteral("Helvetica"));
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    return font;
}

void KvFramePainter::trackLabelSize(double pixelSize, double dprF)
{
    if (pixelSize == m_markerFontPx)
        return;
    m_markerFontPx = pixelSize;
    const int px = pixelSize != 0.0 ? int(pixelSize) : KvQmlController::scaledPct(5.0);
    const int h = QFontMetrics(labelFont(px)).boundingRect(QStringLiteral("Track 01")).height();
    m_markerBand = int((h + h / 2) * dprF);
}
