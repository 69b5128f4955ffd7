#pragma once
// Every plain question, warning, error and notice goes through
// showMessageBox: a modal box titled by the caller, deleted once closed,
// answered with the standard button that closed it. The short wrappers use
// the application name as title and the program's message-box parent.
#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

int showMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);

int criticalMessage(const QString &text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int criticalMessageBox(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                       QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int informationMessage(const QString &text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                       QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int informationMessageBox(QWidget *parent, const QString &title, const QString &text,
                          QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                          QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int questionMessage(const QString &text, QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int questionMessageBox(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                       QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int warningMessage(const QString &text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                   QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int warningMessageBox(QWidget *parent, const QString &title, const QString &text,
                      QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The application's name, the title of the program's boxes.
QString applicationTitle();
// The parent of the short wrappers' boxes: the controller registers its
// parent widget here when it is made (null until then; held weakly).
void setMessageBoxParent(QWidget *parent);
QWidget *messageBoxParent();

// The one seam through which tests answer boxes: while an answerer is
// installed, showMessageBox builds the box as usual, hands it to the
// answerer instead of running it and returns the answerer's button.
using KvMessageBoxAnswerer = std::function<int(QMessageBox &box)>;
KvMessageBoxAnswerer setMessageBoxAnswerer(KvMessageBoxAnswerer answerer);

// Installs an answerer for the lifetime of the object.
class KvScopedMessageBoxAnswerer {
public:
    explicit KvScopedMessageBoxAnswerer(KvMessageBoxAnswerer answerer)
        : m_before(setMessageBoxAnswerer(std::move(answerer)))
    {
    }
    ~KvScopedMessageBoxAnswerer() { setMessageBoxAnswerer(std::move(m_before)); }
    KvScopedMessageBoxAnswerer(const KvScopedMessageBoxAnswerer &) = delete;
    KvScopedMessageBoxAnswerer &operator=(const KvScopedMessageBoxAnswerer &) = delete;

private:
    KvMessageBoxAnswerer m_before;
};
