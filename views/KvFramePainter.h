#pragma once
// Draws the zoomed frame display: one level bar per frame between a band
// with the play-position head on top and the track-marker band at the
// bottom, with the selection, the caret and the play-position line. Also the
// data source of the overview map (level columns in map mode, the markers,
// the palette). Holds no editing state: everything shown is read from the
// controller and the model at paint time; it keeps a pixmap cache of the bar
// columns that scrolling shifts instead of redrawing.
#include "KvFrameGeometry.h"

#include <QColor>
#include <QFont>
#include <QPixmap>

class KvQmlController;
class KvQmlModel;
class QPainter;

// The colours of the light look; the dark look is derived where they are drawn.
struct KvFramePalette {
    QColor outside;    // columns before the document's first and after its last frame
    QColor play;       // play-position line and head
    QColor playEdge;   // outline of the head
    QColor band;       // top band; the marker band in its dark-mapped form
    QColor bar;
    QColor back;       // column background above the bar
    QColor barStart;   // the first frame of a fragment (an edit seam)
    QColor backStart;
    QColor silenced;   // background of a silenced frame
    QColor broken;     // background of a frame whose bit reservoir is broken
    QColor caret;      // dashed caret of an empty selection
    QColor label;      // track label text
    QColor marker;     // track marker shape
    QColor selection;  // selection overlay (also on the map)
    QColor shade;      // map: outside the part the display shows
    QColor shadeEdge;

    static KvFramePalette standard();
};

class KvFramePainter
{
public:
    // The references are the owning widget's members, read at each use.
    KvFramePainter(KvQmlModel *const &model, KvQmlController *const &controller);
    virtual ~KvFramePainter();
    KvFramePainter(const KvFramePainter &) = delete;
    KvFramePainter &operator=(const KvFramePainter &) = delete;

    virtual void paint(QPainter *painter);

    // What a paint on `painter` shows, from the controller and the model
    // (defaults without them). Also raises the controller's pixel ratio to
    // the painter's device.
    KvFrameViewState viewState(QPainter *painter) const;
    // The whole display from a given state: what paint does after reading it.
    void paintState(QPainter *painter, const KvFrameViewState &s);

    // Geometry with the controller's current state.
    qint64 visibleFrameCount(int widthPx) const;
    qint64 playPositionOffset(int widthPx, qint64 frame = -1) const;

    // Brings the bar cache up to the painter's device size; dFrames is how
    // far the first shown frame moved since the last paint.
    void updateFramePixmap(QPainter *painter, const KvFrameViewState &s, bool full, qint64 dFrames);
    // Bar columns on the painter's device: step 0 is the display (the
    // cache), step >= 1 the overview map with step frames per column.
    void drawFrames(QPainter *painter, const KvFrameViewState &s, int widthPx, int step);
    // Selection, caret, top band and play-position marker.
    void drawSelection(QPainter *painter, const KvFrameViewState &s);
    // The marker band; hZoom 0 is the map's form (no outline, no labels).
    void drawTrackMarkers(QPainter *painter, const KvFrameViewState &s, qint64 firstFrame, int bandPx,
                          int widthPx, int hZoom);

    void initColours() { m_palette = KvFramePalette::standard(); }
    const KvFramePalette &palette() const { return m_palette; }
    // Label font size in logical pixels (0: a default) and the band height it needs.
    void trackLabelSize(double pixelSize, double dprF = 1.0);

    // Vertical bands in logical pixels.
    int topBandDp() const { return m_topBandDp; }
    void setTopBandDp(int dp) { m_topBandDp = dp; }
    int markerBand() const { return m_markerBand; }

    // -1: the next paint redraws the whole cache.
    qint64 lastFirstFrame() const { return m_lastFirstFrame; }
    void setLastFirstFrame(qint64 frame) { m_lastFirstFrame = frame; }
    const QPixmap &framePixmap() const { return m_framePixmap; }

private:
    // The top band, bar area and marker band heights for a device height H.
    void bands(const KvFrameViewState &s, int H, int *top, int *area, int *bottom) const;
    QFont labelFont(int pixelSize) const;

    KvQmlModel *const &m_model;
    KvQmlController *const &m_controller;
    KvFramePalette m_palette;
    int m_markerBand = 0;
    int m_topBandDp = 14;
    double m_markerFontPx = -1.0;
    QPixmap m_framePixmap;
    qint64 m_lastFirstFrame = -1;
    // What the cache was drawn with: any change redraws it whole.
    int m_cachedZoom = -1;
    double m_cachedFloor = 0.0;
    double m_cachedCeiling = 0.0;
    bool m_cachedDark = false;
};
