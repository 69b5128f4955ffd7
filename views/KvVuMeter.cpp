#include "KvVuMeter.h"

#include <KvQmlController.h>

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

KvVuMeter::KvVuMeter(QWidget *parent) : QFrame(parent)
{
    const int f = frameWidth();
    setMinimumSize(m_minSegmentWidth * segmentCount + (segmentCount - 1) * m_spacing + 8 * f,
                   m_minSegmentHeight * channelCount + (channelCount - 1) * m_spacing + 8 * f);
    for (int i = 0; i < 3; ++i) {
        m_unlit[i] = QBrush(Qt::SolidPattern);
        m_lit[i] = QBrush(Qt::SolidPattern);
    }
}

QSize KvVuMeter::sizeHint() const
{
    const int f = frameWidth();
    return QSize(m_hintSegmentWidth * segmentCount + (segmentCount - 1) * m_spacing + 8 * f,
                 m_hintSegmentHeight * channelCount + (channelCount - 1) * m_spacing + 8 * f);
}

int KvVuMeter::segmentsFor(double decibels, double floorDb)
{
    // NaN (from a negative level) and minus infinity (level 0) fail the test.
    if (!(decibels >= floorDb))
        return 0;
    return int((floorDb - decibels) / floorDb * segmentCount);
}

void KvVuMeter::setLevels(qint16 left, qint16 right)
{
    m_levels[0] = left;
    m_levels[1] = right;
    int low = segmentCount + 1;
    int high = -1;
    for (int c = 0; c < channelCount; ++c) {
        const int old = m_litSegments[c];
        m_decibels[c] = std::log(m_levels[c] / 32767.0) / (std::log(10.0) / 20.0);
        const int lit = std::min(segmentsFor(m_decibels[c], m_floorDb), segmentCount);
        m_litSegments[c] = lit;
        if (lit != old) {
            low = std::min(low, std::min(lit, old));
            high = std::max(high, std::max(lit, old));
        }
    }
    m_lastUpdate = QRect();
    if (high < 0)
        return;
    const int leftX = low == 0 ? 0 : m_segmentRects[low - 1][0].left();
    const int rightX = high == 0 ? 0 : m_segmentRects[high - 1][0].right();
    for (int c = 0; c < channelCount; ++c)
        m_shownSegments[c] = m_litSegments[c];
    m_lastUpdate = QRect(leftX, 0, rightX - leftX + 1, height());
    update(m_lastUpdate);
}

void KvVuMeter::resizeEvent(QResizeEvent *event)
{
    const int f = frameWidth();
    m_contentHeight = height() - 8 * f;
    m_contentWidth = width() - 8 * f;
    m_marginX = m_marginY = 4 * f;
    const int w = (m_contentWidth - (segmentCount - 1) * m_spacing) / segmentCount;
    for (int i = 0; i < segmentCount; ++i) {
        const int x = 4 * f + i * (w + m_spacing);
        if (channelCount == 2) {
            const int half = m_contentHeight / 2;
            m_segmentRects[i][0] = QRect(x, 4 * f, w, half - m_spacing);
            m_segmentRects[i][1] = QRect(x, 4 * f + m_contentHeight - half + m_spacing, w, half - m_spacing);
        } else {
            m_segmentRects[i][0] = QRect(x, 4 * f, w, m_contentHeight);
        }
    }
    QFrame::resizeEvent(event);
}

void KvVuMeter::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);

    const bool dark = KvQmlController::registeredIsDarkMode();
    if (dark) {
        m_lit[0].setColor(QColor(0, 210, 0));
        m_lit[1].setColor(QColor(210, 205, 0));
        m_lit[2].setColor(QColor(210, 0, 0));
    } else {
        m_lit[0].setColor(QColor(0, 250, 0));
        m_lit[1].setColor(QColor(250, 235, 0));
        m_lit[2].setColor(QColor(250, 0, 0));
    }
    const QColor unlit =
        KvQmlController::registeredDarkModeColor(QColor(Qt::white).darker(150).lighter(110));
    for (QBrush &b : m_unlit)
        b.setColor(unlit);

    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    const QRect area = event->rect();
    int first = 0;
    while (first < segmentCount && m_segmentRects[first][0].right() < area.left())
        ++first;
    int last = first;
    while (last < segmentCount && m_segmentRects[last][0].left() <= area.right())
        ++last;
    for (int c = 0; c < channelCount; ++c) {
        for (int i = first; i < last; ++i) {
            const int zone = i < m_greenSegments ? 0 : (i < m_greenSegments + m_yellowSegments ? 1 : 2);
            painter.fillRect(m_segmentRects[i][c], i < m_litSegments[c] ? m_lit[zone] : m_unlit[zone]);
        }
    }
}

QColor KvVuMeter::levelColor(QColor foreground, QColor background)
{
    const double a = foreground.alphaF();
    auto mix = [a](int f, int b) { return int(f * a + b * (1.0 - a)); };
    return QColor(mix(foreground.red(), background.red()), mix(foreground.green(), background.green()),
                  mix(foreground.blue(), background.blue()));
}
