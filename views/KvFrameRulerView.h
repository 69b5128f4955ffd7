#pragma once
// A time ruler of the editor panel, used twice: the caret ruler above the
// frame display, where dragging grabs the time line and moves it with the
// pointer (scrubbing while playing), and the map ruler under the overview
// map, where pressing and dragging jump like a click on the map.
#include "KvRulerPainter.h"

#include <QWidget>

#include <boost/shared_ptr.hpp>

class KvAudioFragmentList;
class KvFrameMapView;
class KvFrameWidget;
class KvQmlController;
class KvQmlModel;

class KvFrameRulerView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(KvQmlModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(KvQmlController *controller READ controller WRITE setController NOTIFY controllerChanged)

public:
    // The drag state.
    enum Drag { NoDrag = 0, CaretDrag = 1, MapDrag = 2 };

    explicit KvFrameRulerView(QWidget *parent = nullptr);
    ~KvFrameRulerView() override;

    KvQmlModel *model() const { return m_model; }
    void setModel(KvQmlModel *model);
    KvQmlController *controller() const { return m_controller; }
    void setController(KvQmlController *controller);
    KvRulerPainter &painter() { return m_painter; }

    // Set-up by the panel, in this order.
    void attach(const boost::shared_ptr<KvAudioFragmentList> &) {}
    void setFrameWidget(KvFrameWidget *frameWidget);
    // The panel; its overview map takes the map ruler's jumps.
    void setEditForm(QWidget *form) { m_editForm = form; }
    void setCaretMode(bool on);
    void setRulerMode(bool mapScale);
    void setTicksFromTop(bool on) { m_painter.setTicksFromTop(on); }
    // Label size from the height of a time label in the default font.
    void setHeightScale(double factor);

    void checkScrubCursor();

    // Drags, also started from the frame display's top strip; target is the
    // widget that received the event.
    void dragTo(QWidget *target, QMouseEvent *event);
    void dragMove(QWidget *target, QMouseEvent *event);
    void endDrag() { m_drag = NoDrag; }
    int dragState() const { return m_drag; }

signals:
    void modelChanged(KvQmlModel *model);
    void controllerChanged(KvQmlController *controller);

public slots:
    void SetHZoom(int hZoom);
    void CalcViews();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    KvFrameMapView *mapView() const;
    void refreshCursor(bool dragging);

    KvQmlModel *m_model = nullptr;
    KvQmlController *m_controller = nullptr;
    KvRulerPainter m_painter;
    bool m_caretMode = false;
    int m_drag = NoDrag;
    qint64 m_pressFrame = 0;
    KvFrameWidget *m_frameWidget = nullptr;
    QWidget *m_editForm = nullptr;
};
