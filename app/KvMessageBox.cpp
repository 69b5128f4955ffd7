#include "KvMessageBox.h"

#include <QCoreApplication>

int showMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                   const QString &text, QMessageBox::StandardButtons buttons,
                   QMessageBox::StandardButton defaultButton)
{
    auto *box = new QMessageBox(icon, title, text, buttons, parent,
                                Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(defaultButton);
    return box->exec();
}

int criticalMessageBox(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(parent, QMessageBox::Critical, title, text, buttons, defaultButton);
}

int informationMessageBox(QWidget *parent, const QString &title, const QString &text,
                          QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(parent, QMessageBox::Information, title, text, buttons, defaultButton);
}

int questionMessageBox(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

int warningMessageBox(QWidget *parent, const QString &title, const QString &text,
                      QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(parent, QMessageBox::Warning, title, text, buttons, defaultButton);
}

QString applicationTitle() { return QCoreApplication::applicationName(); }
