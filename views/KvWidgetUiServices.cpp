#include "KvWidgetUiServices.h"

#include "KvConvert.h"
#include "KvInsertSilenceDlg.h"
#include "KvMessageBox.h"
#include "KvNormalizeDlg.h"
#include "KvNoticeDlg.h"
#include "KvRateAppDlg.h"
#include "KvRecord.h"
#include "KvTrackProperties.h"

#include <KvQmlController.h>

#include <QApplication>
#include <QFileDialog>
#include <QProgressDialog>

// The interface's values are Qt's, so that they pass through unchanged.
static_assert(int(KvUi::Warning) == int(QMessageBox::Warning) && int(KvUi::Critical) == int(QMessageBox::Critical)
                  && int(KvUi::Information) == int(QMessageBox::Information)
                  && int(KvUi::Question) == int(QMessageBox::Question) && int(KvUi::NoIcon) == int(QMessageBox::NoIcon),
              "message box icons");
static_assert(int(KvUi::Ok) == int(QMessageBox::Ok) && int(KvUi::Yes) == int(QMessageBox::Yes)
                  && int(KvUi::YesToAll) == int(QMessageBox::YesToAll) && int(KvUi::No) == int(QMessageBox::No)
                  && int(KvUi::NoToAll) == int(QMessageBox::NoToAll) && int(KvUi::Retry) == int(QMessageBox::Retry)
                  && int(KvUi::Close) == int(QMessageBox::Close) && int(KvUi::Cancel) == int(QMessageBox::Cancel)
                  && int(KvUi::Save) == int(QMessageBox::Save) && int(KvUi::Discard) == int(QMessageBox::Discard)
                  && int(KvUi::Help) == int(QMessageBox::Help) && int(KvUi::Abort) == int(QMessageBox::Abort)
                  && int(KvUi::Ignore) == int(QMessageBox::Ignore)
                  && int(KvUi::RestoreDefaults) == int(QMessageBox::RestoreDefaults),
              "message box buttons");
static_assert(int(KvUi::ShowDirsOnly) == int(QFileDialog::ShowDirsOnly)
                  && int(KvUi::DontResolveSymlinks) == int(QFileDialog::DontResolveSymlinks),
              "folder chooser options");

namespace {

bool hasWidgets() { return qobject_cast<QApplication *>(QCoreApplication::instance()); }

} // namespace

int KvWidgetUiServices::message(QWidget *parent, KvUi::Icon icon, const QString &title, const QString &text,
                                int buttons, int defaultButton)
{
    return showMessageBox(parent, QMessageBox::Icon(icon), title, text, QMessageBox::StandardButtons(buttons),
                          QMessageBox::StandardButton(defaultButton));
}

QStringList KvWidgetUiServices::openFileNames(QWidget *parent, const QString &caption, const QString &dir,
                                              const QString &filter, QString *selectedFilter)
{
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter, selectedFilter);
}

QString KvWidgetUiServices::openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                         const QString &filter, int options)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter, nullptr, QFileDialog::Options(options));
}

QString KvWidgetUiServices::saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                         const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString KvWidgetUiServices::existingDirectory(QWidget *parent, const QString &caption, const QString &dir,
                                              int options)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir, QFileDialog::Options(options));
}

namespace {

// Runs a dialog that deletes itself once closed; its destructor may have settings to write.
int execDeletedOnClose(QDialog *dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog->exec();
}

} // namespace

int KvWidgetUiServices::runInsertSilence(QObject *controller, const boost::shared_ptr<KvFrameSizeInfo> &format,
                                         QWidget *parent)
{
    return execDeletedOnClose(new KvInsertSilenceDlg(format, parent, qobject_cast<KvQmlController *>(controller)));
}

int KvWidgetUiServices::runNormalize(QObject *controller, const ListPtr &frames, QWidget *parent)
{
    return execDeletedOnClose(new KvNormalizeDlg(frames, parent, qobject_cast<KvQmlController *>(controller)));
}

int KvWidgetUiServices::runNotice(KvUi::Notice notice, QWidget *parent)
{
    switch (notice) {
    case KvUi::ConvertWarning:
        return execDeletedOnClose(new KvConvertWarnDlg(parent));
    case KvUi::SaveProjectWarning:
        return execDeletedOnClose(new KvSaveProjWarnDlg(parent));
    case KvUi::HeAacWarning: {
        KvHeAacWarningDlg dialog(parent);
        return dialog.exec();
    }
    }
    return 0;
}

int KvWidgetUiServices::runTrackProperties(KvTrackPropertiesRequest &request)
{
    KvTrackProperties dialog(request.context, request.record, request.trackList, request.undoStack,
                             request.autoTrackNumbering, request.documentType, request.parent);
    if (!request.title.isEmpty())
        dialog.setWindowTitle(request.title);
    const int result = dialog.exec();
    if (result == QDialog::Accepted && request.tagInfo)
        *request.tagInfo = dialog.tagInfo;
    request.currentTrackStart = dialog.currentTrackStart();
    return result;
}

int KvWidgetUiServices::runConvert(QObject *controller, const QList<ListPtr> &lists, QWidget *parent, int pitch,
                                   int tempo, bool tracks, bool selection)
{
    KvConvert dialog(qobject_cast<KvQmlController *>(controller), lists, parent, pitch, tempo, tracks, selection);
    return dialog.exec();
}

int KvWidgetUiServices::runRecord(QObject *controller, QWidget *parent)
{
    KvRecord dialog(qobject_cast<KvQmlController *>(controller), parent);
    return dialog.exec();
}

QObject *KvWidgetUiServices::createRecorder(QObject *controller, QWidget *parent)
{
    return new KvRecord(qobject_cast<KvQmlController *>(controller), parent);
}

int KvWidgetUiServices::runRateApp(bool isAutomatic, QWidget *parent)
{
    // Its destructor records the days of use and thanks the user, whatever closed it.
    QDialog *dialog = new KvRateAppDlg(isAutomatic, parent);
    dialog->setModal(true);
    return execDeletedOnClose(dialog);
}

QPalette KvWidgetUiServices::palette() const
{
    return hasWidgets() ? QApplication::palette() : KvUiServices::palette();
}

QWidget *KvWidgetUiServices::activeModalWidget() const
{
    return hasWidgets() ? QApplication::activeModalWidget() : nullptr;
}

QWidget *KvWidgetUiServices::activeWindow() const
{
    return hasWidgets() ? QApplication::activeWindow() : nullptr;
}

QWidget *KvWidgetUiServices::widgetOf(QObject *object) const
{
    return object && object->isWidgetType() ? static_cast<QWidget *>(object) : nullptr;
}

KvWidgetUiServices &installKvWidgetUiServices()
{
    static KvWidgetUiServices services;
    setKvUiServices(&services);
    return services;
}

bool KvWidgetUiServices::showProgress(QWidget *parent, const QString &text, int value, int maximum)
{
    if (!m_progress) {
        m_progress = new QProgressDialog(parent);
        m_progress->setWindowTitle(QApplication::applicationName());
        m_progress->setWindowModality(Qt::ApplicationModal);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setMinimumDuration(0);
        m_progress->setMinimumWidth(420);
    }
    if (m_progress->wasCanceled())
        return false;
    m_progress->setLabelText(text);
    m_progress->setRange(0, qMax(0, maximum));
    m_progress->setValue(maximum > 0 ? qBound(0, value, maximum) : 0);
    if (!m_progress->isVisible())
        m_progress->show();
    return !m_progress->wasCanceled();
}

void KvWidgetUiServices::hideProgress()
{
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
}
