// The controller's share of conversion: the remembered output folder, the help
// flags that follow a finished export or conversion, and the conversion that the
// touch interface drives itself.
#include "KvQmlController.h"

QString KvQmlController::lastConvertPath() const { return m_lastConvertPath; }

void KvQmlController::setLastConvertPath(const QString &folder) { m_lastConvertPath = folder; }

void KvQmlController::afterExportOrConvert(bool exportDone, bool convertDone)
{
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
