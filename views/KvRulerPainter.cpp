#include "KvRulerPainter.h"

#include "KvFramePainter.h"
#include "KvFrameViewStateReader.h"

#include <KvQmlController.h>

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

namespace {

struct Row {
    qint64 ms;
    int divisions;
};

const Row kIntervals[] = {
    {50, 5},        {100, 4},       {200, 4},       {500, 5},       {1000, 4},     {2000, 4},    {3000, 6},
    {5000, 5},      {10000, 5},     {20000, 4},     {30000, 6},     {60000, 6},    {120000, 4},  {180000, 6},
    {300000, 5},    {600000, 5},    {1200000, 4},   {1800000, 6},   {3600000, 6},  {7200000, 4}, {10800000, 6},
    {18000000, 5},  {36000000, 5},  {86400000, 4},  {172800000, 4},
};

// The sample labels whose widths decide the spacing, one per format.
const char *const kSampleLabels[3] = {"01:02:03.04", "01:02:03", "01:02"};

int formatOf(qint64 intervalMs)
{
    if (intervalMs % 1000 != 0)
        return KvRulerInterval::Hundredths;
    if (intervalMs % 60000 != 0)
        return KvRulerInterval::Seconds;
    return KvRulerInterval::Minutes;
}

} // namespace

KvRulerPainter::KvRulerPainter(KvQmlModel *const &model, KvQmlController *const &controller)
    : m_model(model), m_controller(controller)
{
}

KvRulerPainter::~KvRulerPainter() = default;

void KvRulerPainter::setTicksFromTop(bool on)
{
    if (on != m_ticksFromTop)
        m_dirty = true;
    m_ticksFromTop = on;
}

void KvRulerPainter::setMapScale(bool on)
{
    if (on != m_mapScale)
        m_dirty = true;
    m_mapScale = on;
}

KvRulerInterval KvRulerPainter::chooseInterval(double pixelsPerFrame, int samplesPerFrame, int sampleRate,
                                               const int neededWidth[3])
{
    KvRulerInterval chosen;
    if (pixelsPerFrame <= 0.0 || samplesPerFrame <= 0 || sampleRate <= 0)
        return chosen;
    for (const Row &row : kIntervals) {
        const int format = formatOf(row.ms);
        // The time the label's width covers at this scale.
        const qint64 needMs =
            qint64(neededWidth[format] / pixelsPerFrame * samplesPerFrame * 1000.0 / sampleRate);
        if (row.ms > needMs) {
            chosen.intervalMs = row.ms;
            chosen.subTicks = row.divisions;
            chosen.format = format;
            chosen.tickPx = double(row.ms) * pixelsPerFrame * sampleRate / (double(samplesPerFrame) * 1000.0);
            return chosen;
        }
    }
    return chosen;
}

QString KvRulerPainter::tickLabel(qint64 ms, qint64 intervalMs)
{
    QString text = KvQmlController::timeToString(ms, false, false);
    if (intervalMs % 60000 == 0)
        text.chop(6);
    else if (intervalMs % 1000 == 0)
        text.chop(3);
    return text;
}

QFont KvRulerPainter::rulerFont(const KvFrameViewState &s) const
{
    QFont font(QStringLiteral("Helvetica"));
    const int px = m_fontPx > 0 ? int(s.ratio * m_fontPx * s.dprF)
                                : int(KvQmlController::scaledPct(12.0) * s.ratio * s.dprF);
    font.setPixelSize(std::max(1, px));
    return font;
}

void KvRulerPainter::chooseTimeFormat(QPainter *painter, const KvFrameViewState &s)
{
    m_dirty = false;
    m_interval = KvRulerInterval();
    if (s.hZoom == 0 || !s.frames || s.sampleRate == 0)
        return;
    const int Wd = painter->device()->width() * s.ratio;
    m_pixelsPerFrame = s.hZoom;
    if (m_mapScale) {
        const qint64 N = s.totalFrames;
        m_pixelsPerFrame = N < Wd ? 1.0 : double(Wd) / double(N);
    }
    const QFontMetrics metrics(rulerFont(s), painter->device());
    QRect rects[3];
    for (int i = 0; i < 3; ++i)
        rects[i] = metrics.tightBoundingRect(QLatin1String(kSampleLabels[i]));
    m_labelH = rects[0].height();
    m_pad = m_labelH / 4;
    int widths[3];
    for (int i = 0; i < 3; ++i)
        widths[i] = rects[i].width() + 4 * m_pad;
    m_interval = chooseInterval(m_pixelsPerFrame, s.samplesPerFrame, s.sampleRate, widths);
    if (m_interval.subTicks > 0)
        m_labelRect = rects[m_interval.format];
}

void KvRulerPainter::paint(QPainter *painter)
{
    if (!m_model)
        return;
    paintState(painter, readFrameViewState(m_controller, m_model, painter));
}

void KvRulerPainter::paintState(QPainter *painter, const KvFrameViewState &s)
{
    const int Wd = painter->device()->width() * s.ratio;
    const int Hd = painter->device()->height() * s.ratio;
    if (Wd < 0 || Hd < 0)
        return;
    painter->setWindow(0, 0, int(Wd * s.dprF), int(Hd * s.dprF));
    if (m_dirty)
        chooseTimeFormat(painter, s);
    painter->setFont(rulerFont(s));
    painter->setPen(Qt::NoPen);

    QLinearGradient gradient(0, 0, 0, Hd);
    gradient.setColorAt(0, s.windowColor);
    gradient.setColorAt(1, s.darkMode ? s.textColor.darker(375) : s.windowColor.darker(120));
    painter->fillRect(0, 0, Wd, Hd, gradient);

    const int subTicks = m_interval.subTicks;
    if (subTicks == 0)
        return;
    const double tickPx = m_interval.tickPx;
    const qint64 N = s.totalFrames;
    double startPx = 0.0, endPx = 0.0;
    if (m_mapScale) {
        endPx = N * m_pixelsPerFrame;
    } else {
        const qint64 c0 = KvFrameGeometry::playPositionOffset(s, Wd);
        startPx = s.hZoom * (c0 - s.scrollFrame);  // x of frame 0
        endPx = s.hZoom * (N + c0 - s.scrollFrame);
    }
    painter->setPen(QPen(s.textColor, int(s.ratio * s.dprF)));

    // Ticks line up with the middle of the play-position line.
    double x = m_mapScale ? 0.0 : double(int(startPx) + int(s.playPosWidth * s.dprF) / 2);
    qint64 t = 0;
    if (startPx < 0) {
        // Start one to two intervals left of the view, so that a label
        // reaching in from the left edge is still drawn.
        const qint64 n = std::max<qint64>(0, -qint64(startPx / tickPx) - 1);
        x += n * tickPx;
        t = n * m_interval.intervalMs;
    }
    const int halfLabel = m_labelRect.width() / 2;
    const int yText = m_ticksFromTop ? Hd - m_pad : m_labelH + m_pad;
    const int yBase = m_ticksFromTop ? 0 : Hd - 1;
    const int zone = Hd - 2 * m_pad - m_labelH;
    const int oddMinor = zone / 2;
    const int evenMinor = subTicks % 2 == 0 ? 3 * zone / 4 : zone / 2;
    bool done = false;
    for (int k = 0; x - halfLabel < Wd; ++k) {
        // Time 0 (the document start) is labelled "0" right of its full-height tick.
        if (x > endPx && done)
            break;
        if (t == 0)
            painter->drawText(QPoint(int(x + m_pad), yText), QStringLiteral("0"));
        else
            painter->drawText(QPoint(int(x - halfLabel), yText), tickLabel(t, m_interval.intervalMs));
        if (x > endPx && k > 0)
            done = true;
        for (int j = 0; j < subTicks; ++j) {
            const double xm = x + j * tickPx / subTicks;
            if (done && j > 0 && xm > endPx)
                break;
            const int length = j == 0 ? (t == 0 ? Hd : zone) : (j % 2 == 1 ? oddMinor : evenMinor);
            const int xi = int(xm);
            if (m_ticksFromTop)
                painter->drawLine(xi, 0, xi, length);
            else
                painter->drawLine(xi, Hd, xi, Hd - length);
        }
        if (!done)
            painter->drawLine(int(x), yBase, int(x + tickPx), yBase);
        x += tickPx;
        t += m_interval.intervalMs;
    }
}
