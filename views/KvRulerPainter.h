#pragma once
// Draws a time ruler: a gradient strip with labelled major ticks and
// unlabelled minor ticks, spaced so that the labels never collide. The caret
// ruler follows the frame display at hZoom pixels per frame and scrolls with
// it; the map ruler spans the whole document.
#include "KvFrameGeometry.h"

#include <QFont>
#include <QRect>

class KvFramePainter;
class KvQmlController;
class KvQmlModel;
class QPainter;

// A major tick interval and how it is labelled.
struct KvRulerInterval {
    enum Format { Hundredths = 0, Seconds = 1, Minutes = 2 };
    qint64 intervalMs = 0;  // 0: no interval fits
    int subTicks = 0;       // minor divisions; 0 draws no ticks
    double tickPx = 0.0;    // device pixels between major ticks
    int format = Hundredths;
};

class KvRulerPainter
{
public:
    // The references are the owning view's members, read at each use.
    KvRulerPainter(KvQmlModel *const &model, KvQmlController *const &controller);
    virtual ~KvRulerPainter();
    KvRulerPainter(const KvRulerPainter &) = delete;
    KvRulerPainter &operator=(const KvRulerPainter &) = delete;

    void setSource(KvFramePainter *source) { m_source = source; }
    // false: ticks rise from the bottom, labels on top (caret ruler).
    void setTicksFromTop(bool on);
    // true: the whole document across the width (map ruler).
    void setMapScale(bool on);
    bool mapScale() const { return m_mapScale; }
    // The tick interval is chosen again at the next paint.
    void markDirty() { m_dirty = true; }
    bool isDirty() const { return m_dirty; }
    // Label font size in logical pixels (0: a default).
    void setFontPx(double px) { m_fontPx = px; }

    virtual void paint(QPainter *painter);
    void paintState(QPainter *painter, const KvFrameViewState &s);
    void chooseTimeFormat(QPainter *painter, const KvFrameViewState &s);
    const KvRulerInterval &interval() const { return m_interval; }

    // The first interval of the table longer than the time a label needs at
    // that scale (strictly). neededWidth: the device pixels a label of each
    // format takes, padding included.
    static KvRulerInterval chooseInterval(double pixelsPerFrame, int samplesPerFrame, int sampleRate,
                                          const int neededWidth[3]);
    // The label of a tick at `ms`: hundredths dropped for whole-second
    // intervals, seconds too for whole-minute intervals.
    static QString tickLabel(qint64 ms, qint64 intervalMs);

private:
    QFont rulerFont(const KvFrameViewState &s) const;

    KvQmlModel *const &m_model;
    KvQmlController *const &m_controller;
    KvFramePainter *m_source = nullptr;
    bool m_dirty = true;
    bool m_mapScale = false;
    bool m_ticksFromTop = false;
    KvRulerInterval m_interval;
    double m_pixelsPerFrame = 0.0;
    int m_pad = 0;
    int m_labelH = 0;
    double m_fontPx = 0.0;
    QRect m_labelRect;
};
