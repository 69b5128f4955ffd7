// Recording control: the recording dialog and the internal recorder of the
// touch interface.
#include "KvQmlController.h"

void KvQmlController::actionRecord()
{
    // Not built yet.
}

bool KvQmlController::actionStartExternalRecord()
{
    // Not built yet.
    return false;
}

QString KvQmlController::actionStartInternalRecording()
{
    // Not built yet.
    return QString();
}

void KvQmlController::actionStopInternalRecording()
{
    // Not built yet.
}
