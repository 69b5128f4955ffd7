#pragma once
// The overview map of the editor panel: the whole document zoomed out, drawn
// by its map painter. Pressing or dragging on it jumps the play position to
// the time under the pointer.
#include "KvFrameMapPainter.h"

#include <QWidget>

class KvFrameWidget;
class KvQmlController;
class KvQmlModel;

class KvFrameMapView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(KvQmlModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(KvQmlController *controller READ controller WRITE setController NOTIFY controllerChanged)

public:
    explicit KvFrameMapView(QWidget *parent = nullptr);
    ~KvFrameMapView() override;

    KvQmlModel *model() const { return m_model; }
    void setModel(KvQmlModel *model);
    KvQmlController *controller() const { return m_controller; }
    void setController(KvQmlController *controller);
    KvFrameMapPainter &painter() { return m_painter; }

    // Set-up by the panel, then CalcViews().
    void setFrameWidget(KvFrameWidget *frameWidget);
    void setEditForm(QWidget *form) { m_editForm = form; }

    void jumpToPixel(int x) { m_painter.jumpToPixel(x); }
    // The arrow, or the scrub arrow while playing.
    void checkScrubCursor();

signals:
    void modelChanged(KvQmlModel *model);
    void controllerChanged(KvQmlController *controller);

public slots:
    void ScrollValueChanged(qint64 value);
    void CalcViews();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    KvQmlModel *m_model = nullptr;
    KvQmlController *m_controller = nullptr;
    KvFrameWidget *m_frameWidget = nullptr;
    QWidget *m_editForm = nullptr;
    bool m_pressed = false;
    KvFrameMapPainter m_painter;
};
