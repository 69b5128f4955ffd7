#include "AudioTestSettings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

namespace {
struct IsolatedSettings {
    QTemporaryDir dir;
    IsolatedSettings()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("kvedit-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("audio-tests"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    }
};
IsolatedSettings g_isolatedSettings;
} // namespace

namespace kvaudiotest {

void setLameLocation(const QString &location)
{
    QSettings settings;
    if (location.isEmpty())
        settings.remove(QStringLiteral("Settings/LameAppLocation"));
    else
        settings.setValue(QStringLiteral("Settings/LameAppLocation"), location);
    settings.sync();
}

} // namespace kvaudiotest
