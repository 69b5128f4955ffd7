#include "KvFrameMapPainter.h"

#include "KvFramePainter.h"
#include "KvFrameViewStateReader.h"

#include <KvQmlController.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

KvFrameMapPainter::KvFrameMapPainter(KvQmlModel *const &model, KvQmlController *const &controller)
    : m_model(model), m_controller(controller)
{
}

KvFrameMapPainter::~KvFrameMapPainter() = default;

void KvFrameMapPainter::reset()
{
    m_dirty = true;
    m_markerDp = KvQmlController::scaledDp(15.0);
}

qint64 KvFrameMapPainter::columnsFor(qint64 frames, int framesPerColumn)
{
    if (frames <= 0)
        return 0;
    return 1 + (frames - 1 + framesPerColumn - 1) / framesPerColumn;
}

void KvFrameMapPainter::updateMapPixmap(QPainter *, const KvFrameViewState &s)
{
    if (!m_dirty && !m_mapPixmap.isNull())
        return;
    // As many columns as the widest screen has pixels in either orientation,
    // so that resizing the view never needs a rebuilt map.
    int sw = 0, sh = 0;
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen->geometry().width() > sw) {
            sw = screen->geometry().width();
            sh = screen->geometry().height();
        }
    }
    // A view wider than that screen (spanning two) is not scaled up either.
    const qint64 px = std::max<qint64>({1, qint64(std::max(sw, sh) * s.ratio * s.dprF), m_widthPx});
    const qint64 N = s.totalFrames;
    m_framesPerColumn = int(std::max<qint64>(1, N / px));
    // Sized to the columns actually drawn, so that the last frames are on the map.
    m_mapColumns = int(columnsFor(N, m_framesPerColumn));
    if (m_mapColumns == 0)
        return;
    if (m_mapPixmap.size() != QSize(m_mapColumns, 255))
        m_mapPixmap = QPixmap(m_mapColumns, 255);
    QPainter map(&m_mapPixmap);
    map.setCompositionMode(QPainter::CompositionMode_Source);
    m_source->drawFrames(&map, s, m_widthPx, m_framesPerColumn);
    m_dirty = false;
}

void KvFrameMapPainter::paint(QPainter *painter)
{
    if (!m_model || !m_controller || !m_source)
        return;
    paintState(painter, readFrameViewState(m_controller, m_model, painter));
}

int KvFrameMapPainter::drawnWidth() const
{
    return std::min(m_widthPx - 1, m_mapColumns);
}

void KvFrameMapPainter::paintState(QPainter *painter, const KvFrameViewState &s)
{
    m_heightPx = painter->device()->height() * s.ratio;
    m_widthPx = painter->device()->width() * s.ratio;
    const double dprF = s.dprF;
    painter->setWindow(0, 0, int(m_widthPx * dprF), int(m_heightPx * dprF));
    painter->setPen(Qt::NoPen);
    if (!s.hasDocument()) {
        painter->fillRect(0, 0, m_widthPx, m_heightPx, s.dm(QColor(Qt::white).darker(150)));
        return;
    }
    updateMapPixmap(painter, s);
    const qint64 N = s.totalFrames;

    painter->setCompositionMode(QPainter::CompositionMode_Source);
    QColor background = QColor(Qt::white).darker(200);
    if (s.darkMode)
        background = background.darker(200);
    painter->fillRect(0, 0, m_widthPx - 1, m_heightPx, background);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);

    // The marker band takes at most a quarter of the view.
    const double m = m_markerDp * dprF;
    const int mapH = int(m_heightPx - std::min(m, std::ceil(m_heightPx * 0.25)));
    // Only the rows of the level window, stretched to the level area.
    const int ceilingI = int(s.ceiling), floorI = int(s.floor);
    const int drawW = drawnWidth();
    painter->drawPixmap(QRect(0, 0, drawW, mapH), m_mapPixmap,
                        QRect(0, 255 - ceilingI, m_mapColumns, ceilingI - floorI));

    // One unit is one frame when the document is wider than the view.
    painter->setWindow(0, 0, int(std::max<qint64>(N, m_widthPx + 1) * dprF), int(m_heightPx * dprF));
    m_source->drawTrackMarkers(painter, s, 0, m_heightPx - mapH, drawW, 0);
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter->setWindow(0, 0, int(m_widthPx * dprF), int(m_heightPx * dprF));

    // The part of the document the frame display shows.
    const qint64 sf = s.wholeScrollFrame();
    const qint64 c0 = KvFrameGeometry::playPositionOffset(s, m_widthPx);
    const qint64 vis = KvFrameGeometry::visibleFrameCount(m_widthPx, s.hZoom);
    const qint64 lead = std::max<qint64>(0, c0 - sf);
    const qint64 trail = std::max<qint64>(0, vis - N - c0 + sf);
    const qint64 shown = vis - trail - lead;
    const qint64 firstShown = std::max<qint64>(0, sf - c0);
    const double scale = double(drawW) / double(N);
    const KvFramePalette &palette = m_source->palette();

    painter->setPen(Qt::NoPen);
    if (s.selectionStart != -1 && s.selectionEnd != -1) {
        painter->fillRect(int(s.selectionStart * scale), 0, int((s.selectionEnd - s.selectionStart + 1) * scale), mapH,
                          palette.selection);
    }

    const int ratio = s.ratio;
    painter->setBrush(palette.shade);
    painter->setPen(QPen(palette.shadeEdge, int(ratio * dprF)));
    const int xL = int(firstShown * scale - 1);
    const int xR = int((firstShown + shown) * scale + 1);
    if (xL >= 0)
        painter->drawRect(0, ratio / 2, xL, mapH - ratio);
    if (xR <= drawW)
        painter->drawRect(xR, ratio / 2, drawW - xR, mapH - ratio);

    painter->setPen(Qt::NoPen);
    painter->setBrush(Qt::NoBrush);
    painter->fillRect(int(sf * scale), 0, 2 * ratio, mapH, Qt::red);
}

qint64 KvFrameMapPainter::frameAtPixel(const KvFrameViewState &s, int x) const
{
    const qint64 N = s.totalFrames;
    const int drawW = drawnWidth();
    if (N <= 0 || drawW <= 0)
        return -1;
    // The inverse of the drawing: x over the drawn width, in logical pixels.
    const double w = drawW / double(s.ratio) / s.dprF;
    const qint64 frame = qint64(std::floor(x / w * double(N)));
    return std::max<qint64>(0, std::min(frame, N));
}

void KvFrameMapPainter::jumpToPixel(int x)
{
    if (!m_controller)
        return;
    const qint64 frame = frameAtPixel(readFrameViewState(m_controller, m_model, nullptr), x);
    if (frame >= 0)
        m_controller->scrollToFrame(double(frame), false, false);
}
