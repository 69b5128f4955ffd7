// The controller's share of conversion: the remembered output folder, the help
// flags that follow a finished export or conversion, and the conversion that the
// touch interface drives itself.
#include "KvQmlController.h"

#include <KvClock.h>
#include <KvUiServices.h>

#include <QSettings>

QString KvQmlController::lastConvertPath() const { return m_lastConvertPath; }

void KvQmlController::setLastConvertPath(const QString &folder) { m_lastConvertPath = folder; }

int KvQmlController::UpdateTotalDaysUsed()
{
    const KvQmlController *registered = instance();
    const QString today = (registered ? registered->clock() : KvClock::system())
                              .now()
                              .date()
                              .toString(QStringLiteral("yyyy-MM-dd"));
    QSettings settings;
    int total = settings.value(QStringLiteral("Settings/TotalDaysUsed"), 0).toInt();
    if (settings.value(QStringLiteral("Settings/LastDayUsed"), QString()).toString() != today) {
        ++total;
        settings.setValue(QStringLiteral("Settings/LastDayUsed"), today);
        settings.setValue(QStringLiteral("Settings/TotalDaysUsed"), total);
    }
    return total;
}

void KvQmlController::afterExportOrConvert(bool exportDone, bool convertDone)
{
    QSettings settings;
    if (!isActionEditMode() && settings.value(QStringLiteral("Warnings/ShowRateAppDlg2022-01-12"), true).toBool()) {
        const int last = settings.value(QStringLiteral("Warnings/LastShowOnDaysUsed"), 0).toInt();
        if (UpdateTotalDaysUsed() >= last + 3)
            uiServices().runRateApp(true, uiServices().widgetOf(parent()));
    }
    if (exportDone)
        setHelpUsage("ExportDone");
    if (convertDone)
        setHelpUsage("ConvertDone");
}

bool KvQmlController::checkConvertWarning()
{
    // Not built yet.
    return true;
}

void KvQmlController::convertFileOrTracksUrl(QUrl fileNameUrl, bool convSelection, bool convTracks)
{
    // Not built yet.
}

void KvQmlController::actionConvertAll()
{
    // Not built yet.
}

void KvQmlController::actionConvertSelection()
{
    // Not built yet.
}

void KvQmlController::actionConvertTracks()
{
    // Not built yet.
}

void KvQmlController::actionCancelConvert(bool bAskToCancel)
{
    // Not built yet.
}

void KvQmlController::decodeProgress(int percent)
{
    // Not built yet.
}

void KvQmlController::convertSaveFinished()
{
    // Not built yet.
}

void KvQmlController::convertFinished(bool savedOk)
{
    // Not built yet.
}

void KvQmlController::stateActionConvertWarnQ_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionCancelConvertQ_Finished(int result)
{
    // Not built yet.
}
