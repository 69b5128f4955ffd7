#include "KvMessageBox.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace {

KvMessageBoxAnswerer &answerer()
{
    static KvMessageBoxAnswerer a;
    return a;
}

QPointer<QWidget> &defaultParent()
{
    static QPointer<QWidget> p;
    return p;
}

} // namespace

int showMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox *box =
        new QMessageBox(icon, title, text, buttons, parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(defaultButton);
    if (answerer()) {
        // Copied first: an answerer may install another one.
        const KvMessageBoxAnswerer answer = answerer();
        const int result = answer(*box);
        delete box;
        return result;
    }
    // The box deletes itself once closed; it is not touched after exec().
    return box->exec();
}

int criticalMessage(const QString &text, QMessageBox::StandardButtons buttons,
                    QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(messageBoxParent(), QMessageBox::Critical, applicationTitle(), text, buttons, defaultButton);
}

int criticalMessageBox(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(parent, QMessageBox::Critical, title, text, buttons, defaultButton);
}

int informationMessage(const QString &text, QMessageBox::StandardButtons buttons,
                       QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(messageBoxParent(), QMessageBox::Information, applicationTitle(), text, buttons,
                          defaultButton);
}

int informationMessageBox(QWidget *parent, const QString &title, const QString &text,
                          QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(parent, QMessageBox::Information, title, text, buttons, defaultButton);
}

int questionMessage(const QString &text, QMessageBox::StandardButtons buttons,
                    QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(messageBoxParent(), QMessageBox::Question, applicationTitle(), text, buttons, defaultButton);
}

int questionMessageBox(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

int warningMessage(const QString &text, QMessageBox::StandardButtons buttons,
                   QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(messageBoxParent(), QMessageBox::Warning, applicationTitle(), text, buttons, defaultButton);
}

int warningMessageBox(QWidget *parent, const QString &title, const QString &text,
                      QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showMessageBox(parent, QMessageBox::Warning, title, text, buttons, defaultButton);
}

QString applicationTitle()
{
    return QCoreApplication::applicationName();
}

void setMessageBoxParent(QWidget *parent)
{
    defaultParent() = parent;
}

QWidget *messageBoxParent()
{
    return defaultParent().data();
}

KvMessageBoxAnswerer setMessageBoxAnswerer(KvMessageBoxAnswerer a)
{
    KvMessageBoxAnswerer before = std::move(answerer());
    answerer() = std::move(a);
    return before;
}
