#pragma once
// The text label of a guide bubble: presses on its links stay with the label,
// every other press falls through to the bubble so that it can be dragged.
#include <QLabel>

class KvGuideLabel : public QLabel
{
    Q_OBJECT
public:
    explicit KvGuideLabel(QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool linkPressed = false;
};
