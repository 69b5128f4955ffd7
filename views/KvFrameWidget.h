#pragma once
// The zoomed frame display of the editor panel: one level bar per frame,
// drawn by its frame painter, with the selection, the play position and the
// track markers. Turns the mouse into controller calls: selections with
// grabbed edges and auto-scroll past the sides, scrubbing in the strip along
// the top (through the caret ruler), and track selection and editing in the
// band along the bottom. Holds no editing state: selection, scroll position,
// zoom and drag mode are the controller's.
#include "KvFramePainter.h"

#include <QCursor>
#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <boost/shared_ptr.hpp>

class KvAudioFragmentList;
class KvFrameRulerView;
class KvQmlController;
class KvQmlModel;
class KvTagProperty;

// The controller's drag modes (its mouseDragSelecting property).
enum KvDragMode : int {
    KvDragNone = 0,
    KvDragSelect = 3,      // new or extended selection
    KvDragStartEdge = 4,
    KvDragEndEdge = 5,
    KvDragScrub = 8,       // in the strip along the top
};

class KvFrameWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(KvQmlModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(KvQmlController *controller READ controller WRITE setController NOTIFY controllerChanged)

public:
    // The cursors by index.
    enum CursorIndex { AdjustBoth = 0, AdjustLeft, AdjustRight, ArrowScrub, HandScrub, ClosedHandScrub, CursorCount };

    explicit KvFrameWidget(QWidget *parent = nullptr);
    ~KvFrameWidget() override;

    KvQmlModel *model() const { return m_model; }
    void setModel(KvQmlModel *model);
    KvQmlController *controller() const { return m_controller; }
    void setController(KvQmlController *controller);
    KvFramePainter &painter() { return m_painter; }

    // Set-up by the panel, in this order. attach starts the display over a
    // new document at frame 0 without a selection (with keepPlace, where the
    // controller stands); the list is not kept.
    void attach(const boost::shared_ptr<KvAudioFragmentList> &fragments, bool keepPlace = false);
    void setRulerView(KvFrameRulerView *ruler) { m_ruler = ruler; }
    void setEditForm(QWidget *form) { m_editForm = form; }
    QWidget *editForm() const { return m_editForm; }

    // After the play position moved under a resting pointer: a selection
    // drag follows it.
    void playPositionMoved();

    // Frames between the left edge and the play position; width 0: the
    // widget's in device pixels, frame -1: the play position.
    qint64 playPositionOffset(int widthDevicePixels = 0, qint64 frame = -1) const;
    qint64 frameAtMouse(const QPoint &pos, bool clamp) const;
    // The whole play position plus x in frames (no display offset): for differences.
    qint64 frameAtPixel(int x) const;
    // What a point touches (KvFrameHit); event null for synthetic moves.
    int hitTest(const QPoint &pos, QMouseEvent *event) const;

    using QWidget::cursor;
    QCursor *cursor(int index);
    // Sets target's cursor (null: this widget) for the scrub and play state.
    virtual bool checkScrubCursor(QWidget *target, bool overScrubArea, bool dragging);

    // Ticks every 100 ms while a selection drag is past a side.
    QTimer &autoScrollTimer() { return m_autoScroll; }
    static constexpr int AutoScrollFrames = 5;

signals:
    void modelChanged(KvQmlModel *model);
    void controllerChanged(KvQmlController *controller);
    void RaiseCalcViews();

public slots:
    void ScrollValueChanged(qint64 value);
    void SetBegin();
    void SetEnd();
    void GotoSelStart();
    void GotoSelEnd();
    void CalcViews();

protected slots:
    void scrollUpdate();

protected:
    // The panel hands its key events to the display's handlers.
    friend class KvFrameEditForm;

    virtual void onMousePress(QWidget *target, QMouseEvent *event);
    virtual void onMouseMove(QWidget *target, QMouseEvent *event);
    virtual void onMouseRelease(QWidget *target, QMouseEvent *event);

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int dragMode() const;
    void setDragMode(int mode);
    KvFrameViewState state() const;
    // Extends the selection to the frame and repaints only the strips whose edge moved.
    void extendSelectionTo(qint64 frame);
    // The top strip and the bottom band; true when the event was theirs.
    bool handleTrackMarkerMouse(QMouseEvent *event, bool press, bool doubleClick);
    void editTrack(const boost::shared_ptr<KvTagProperty> &track);
    void handleKey(QKeyEvent *event);

    KvQmlModel *m_model = nullptr;
    KvQmlController *m_controller = nullptr;
    KvFramePainter m_painter;
    KvFrameRulerView *m_ruler = nullptr;
    QWidget *m_editForm = nullptr;
    int m_scrubStripHeight = 0;
    QPixmap m_cursorPixmaps[CursorCount];
    QCursor m_cursors[CursorCount];
    QTimer m_autoScroll;
    QPoint m_lastMousePos;
};
