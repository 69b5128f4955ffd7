#pragma once
// Draws the overview map: the whole document reduced into a pixmap of level
// columns (through the frame display's painter, so that both share one level
// mapping and palette), with the selection, the part the frame display shows,
// the play position and the track markers; and turns a map position back
// into a frame.
#include "KvFrameGeometry.h"

#include <QPixmap>

class KvFramePainter;
class KvQmlController;
class KvQmlModel;
class QPainter;

class KvFrameMapPainter
{
public:
    // The references are the owning view's members, read at each use.
    KvFrameMapPainter(KvQmlModel *const &model, KvQmlController *const &controller);
    virtual ~KvFrameMapPainter();
    KvFrameMapPainter(const KvFrameMapPainter &) = delete;
    KvFrameMapPainter &operator=(const KvFrameMapPainter &) = delete;

    void setSource(KvFramePainter *source) { m_source = source; }
    // The map is rebuilt at the next paint (after edits, loading, rescaling).
    void reset();

    virtual void paint(QPainter *painter);
    void paintState(QPainter *painter, const KvFrameViewState &s);
    // Rebuilds the map pixmap when it is marked or still null.
    void updateMapPixmap(QPainter *painter, const KvFrameViewState &s);

    // Moves the play position to the frame under logical x of the view.
    void jumpToPixel(int x);
    // That frame: x over the drawn width of the last paint, within 0..total
    // frames; -1 when there is nothing to jump in.
    qint64 frameAtPixel(const KvFrameViewState &s, int x) const;

    int framesPerColumn() const { return m_framesPerColumn; }
    int mapColumns() const { return m_mapColumns; }
    const QPixmap &mapPixmap() const { return m_mapPixmap; }
    // The map's columns for a document of `frames` frames at `framesPerColumn`:
    // frame 0 alone, then runs that end at multiples of framesPerColumn, and
    // the run that ends with the last frame.
    static qint64 columnsFor(qint64 frames, int framesPerColumn);

private:
    int drawnWidth() const;

    KvQmlModel *const &m_model;
    KvQmlController *const &m_controller;
    KvFramePainter *m_source = nullptr;
    int m_heightPx = 0;
    int m_widthPx = 0;
    double m_markerDp = 0.0;
    bool m_dirty = false;
    int m_framesPerColumn = 1;
    int m_mapColumns = 0;
    QPixmap m_mapPixmap;
};
