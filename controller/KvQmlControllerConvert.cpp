// The controller's share of conversion: the remembered output folder, the help
// flags that follow a finished export or conversion, and the conversion that the
// touch interface drives itself.
#include "KvQmlController.h"

#include <QSettings>

QString KvQmlController::lastConvertPath() const
{
    return QSettings().value(QStringLiteral("Settings/lastConvertPath"), QString()).toString();
}

void KvQmlController::setLastConvertPath(const QString &folder)
{
    QSettings settings;
    if (settings.value(QStringLiteral("Settings/lastConvertPath"), QString()).toString() != folder)
        settings.setValue(QStringLiteral("Settings/lastConvertPath"), folder);
}

void KvQmlController::afterExportOrConvert(bool exportDone, bool convertDone)
{
    QSettings settings;
    if (exportDone)
        settings.setValue(QStringLiteral("HelpUsage/ExportDone"), true);
    if (convertDone)
        settings.setValue(QStringLiteral("HelpUsage/ConvertDone"), true);
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
