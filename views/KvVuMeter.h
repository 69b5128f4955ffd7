#pragma once
// Two rows (left, right) of ten segments, green, yellow and red, lit from the left by the
// level in decibels between -60 dB and full scale.
#include <QBrush>
#include <QFrame>
#include <QRect>

class KvVuMeter : public QFrame {
    Q_OBJECT
public:
    explicit KvVuMeter(QWidget *parent = nullptr);

    // Levels on a full scale of 32767; repaints only the span of segments that changed.
    void setLevels(qint16 left, qint16 right);
    QSize sizeHint() const override;

    int litSegments(int channel) const { return m_litSegments[channel]; }
    QRect segmentRect(int segment, int channel) const { return m_segmentRects[segment][channel]; }
    // The area the last setLevels asked to repaint (empty when it asked for none).
    QRect lastUpdateRect() const { return m_lastUpdate; }

    // Blends a translucent foreground over the background into an opaque colour.
    static QColor levelColor(QColor foreground, QColor background);

    static constexpr int segmentCount = 10;
    static constexpr int channelCount = 2;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    static int segmentsFor(double decibels, double floorDb);

    qint16 m_levels[2] = {0, 0};
    double m_decibels[2] = {0.0, 0.0};
    int m_litSegments[2] = {0, 0};
    int m_shownSegments[2] = {0, 0};
    double m_floorDb = -60.0;
    int m_spacing = 2;
    int m_minSegmentWidth = 4;
    int m_minSegmentHeight = 8;
    int m_hintSegmentWidth = 8;
    int m_hintSegmentHeight = 16;
    int m_greenSegments = 5;
    int m_yellowSegments = 3;
    int m_redSegments = 2;
    QRect m_segmentRects[segmentCount][channelCount];
    int m_contentHeight = 0;
    int m_contentWidth = 0;
    int m_marginX = 0;
    int m_marginY = 0;
    QBrush m_unlit[3];
    QBrush m_lit[3];
    QRect m_lastUpdate;
};
