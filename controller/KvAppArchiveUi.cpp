#include "KvAppArchiveUi.h"

#include "KvQmlController.h"

#include <KvAppUndo.h>
#include <KvArchiveUi.h>
#include <KvRepackInfo.h>
#include <KvUiServices.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>

static_assert(int(KvArchiveButton::Yes) == int(KvUi::Yes), "the engine's buttons are the UI services'");
static_assert(int(KvArchiveButton::YesToAll) == int(KvUi::YesToAll), "the engine's buttons are the UI services'");
static_assert(int(KvArchiveButton::No) == int(KvUi::No), "the engine's buttons are the UI services'");
static_assert(int(KvArchiveButton::NoButton) == int(KvUi::NoButton), "the engine's buttons are the UI services'");

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
        return KvQmlController::registeredUi().message(parent, KvUi::Warning, title, text, buttons, defaultButton);
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
