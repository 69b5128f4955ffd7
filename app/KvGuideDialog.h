#pragma once
// The pop-up guide bubble: a frameless speech bubble over the main window whose
// pointer touches the control it explains, with the table of every guide.
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

namespace Ui { class KvGuideDialog; }

// One row of the guide table.
struct KvGuideEntry {
    QString id;
    int guideType = 0; // 0 step guide (stop and next buttons), 1 notice (dismiss button)
    QString title;
    QString text;
    QString moreText; // appended by the "#more" link; usually empty
};

class KvGuideDialog : public QWidget
{
    Q_OBJECT
public:
    KvGuideDialog(const QString &guideId, QWidget *parent);
    ~KvGuideDialog() override;

    // Sizes the bubble and places it beside the anchor; both in global coordinates.
    void showGuide(QRect anchor, QRect window);

    QRect stopButtonRect() const;
    QRect nextButtonRect() const;

    // Rebuilds the table from freshly translated texts.
    static void initGuides();
    static void addGuide(const QString &id, int guideType, const QString &title, const QString &text,
                         const QString &moreText);
    // The first guide in table order whose bubble the user has not closed yet.
    static QString nextUnshownGuideId();
    static QList<KvGuideEntry *> guideList;

    // The id was in the table; only such a bubble is shown.
    bool guideFound = false;
    QString guideId;

    int guideType() const { return m_guideType; }
    QPoint tip() const { return QPoint(tipX, tipY); }
    bool isExpanded() const { return expanded; }

signals:
    void guideClosing(QString guideId, bool stop);

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void on_labelGuideText_linkActivated(QString link);

private:
    void setGuideText(int type, const QString &newTitle, const QString &newText, const QString &newMoreText);
    void updateMask();
    QWidget *mainWindowParent() const;

    Ui::KvGuideDialog *ui = nullptr;
    int m_guideType = 0;
    QString title;
    QString text;
    QString moreText;
    int tipX = 0;
    int tipY = 0;
    QPoint dragOffset;
    bool dragging = false;
    bool expanded = false;
    bool stopPressed = false;
    bool stopDown = false;
    QPixmap stopImage;
    QPixmap stopDownImage;
    bool nextPressed = false;
    bool nextDown = false;
    QPixmap nextImage;
    QPixmap nextDownImage;
};
