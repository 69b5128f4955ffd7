// The controller's share of conversion: the remembered output folder, the folder
// picker and the help flags that follow a finished export or conversion.
#include "KvQmlController.h"

#include <KvUiServices.h>

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

QString KvQmlController::getExistingDirectory(QWidget *parent, const QString &caption,
                                              const QString &dir, int options)
{
    return registeredUi().existingDirectory(parent, caption, dir, options);
}

void KvQmlController::afterExportOrConvert(bool exportDone, bool convertDone)
{
    QSettings settings;
    if (exportDone)
        settings.setValue(QStringLiteral("HelpUsage/ExportDone"), true);
    if (convertDone)
        settings.setValue(QStringLiteral("HelpUsage/ConvertDone"), true);
}
