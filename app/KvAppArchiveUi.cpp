#include "KvAppArchiveUi.h"

#include "KvAppUndo.h"
#include "KvMessageBox.h"

#include <KvArchiveUi.h>
#include <KvRepackInfo.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>

static_assert(int(KvArchiveButton::Yes) == int(QMessageBox::Yes), "engine button values are QMessageBox's");
static_assert(int(KvArchiveButton::YesToAll) == int(QMessageBox::YesToAll), "engine button values are QMessageBox's");
static_assert(int(KvArchiveButton::No) == int(QMessageBox::No), "engine button values are QMessageBox's");
static_assert(int(KvArchiveButton::NoButton) == int(QMessageBox::NoButton), "engine button values are QMessageBox's");

namespace {

bool onGuiThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return qobject_cast<const QGuiApplication *>(app) && QThread::currentThread() == app->thread();
}

} // namespace

void installAppArchiveUi()
{
    KvArchiveUi ui;
    ui.warning = [](QWidget *parent, const QString &title, const QString &text, int buttons, int defaultButton) {
        return warningMessageBox(parent, title, text, QMessageBox::StandardButtons(buttons),
                                 QMessageBox::StandardButton(defaultButton));
    };
    ui.findInUndoStack = [](QUndoStack *stack, const QString &path, qint64 first, qint64 count) {
        return applyWithAppUndoStack(stack, path, first, count);
    };
    // Cursors belong to the GUI thread; reads elsewhere show none. Each
    // restore matches a show that happened on this thread.
    ui.showWaitCursor = [] {
        if (onGuiThread())
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    };
    ui.restoreCursor = [] {
        if (onGuiThread())
            QGuiApplication::restoreOverrideCursor();
    };
    setKvArchiveUi(ui);
}
