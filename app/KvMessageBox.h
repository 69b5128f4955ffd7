#pragma once
// The one way the program shows a plain question, warning or error box: modal, deleted on
// close, and the caller continues with the standard button pressed.
#include <QMessageBox>
#include <QString>

class QWidget;

int showMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                   const QString &text, QMessageBox::StandardButtons buttons,
                   QMessageBox::StandardButton defaultButton);

int criticalMessageBox(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                       QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int informationMessageBox(QWidget *parent, const QString &title, const QString &text,
                          QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                          QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int questionMessageBox(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                       QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int warningMessageBox(QWidget *parent, const QString &title, const QString &text,
                      QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The application's name, the title of the program's boxes.
QString applicationTitle();
