// The controller's options and remembered folders in the settings.
#include "KvQmlController.h"

#include <QSettings>

void KvQmlController::readSettings()
{
    QSettings settings;
    setLastOpenPath(settings.value("Settings/lastOpenPath", defaultFilesPath()).toString());
    setIsDarkModeOption(settings.value("Settings/IsDarkModeOption", m_isDarkModeOption).toBool());
    setUseAutoTrackNum(settings.value("Settings/AutoTrackNum", m_useAutoTrackNum).toBool());
    setTrackNameFormat(settings.value("Settings/TrackNameFormat", m_trackNameFormat).toString());
    setVolumeIncDec(settings.value("Settings/VolumeIncDec", m_volumeIncDec).toInt());
    setVolumeFade(settings.value("Settings/VolumeFade", m_volumeFade).toInt());
}

void KvQmlController::writeSettings()
{
    QSettings settings;
    settings.setValue("Settings/lastOpenPath", m_lastOpenPath);
    settings.setValue("Settings/IsDarkModeOption", m_isDarkModeOption);
    settings.setValue("Settings/AutoTrackNum", m_useAutoTrackNum);
    settings.setValue("Settings/TrackNameFormat", m_trackNameFormat);
    settings.setValue("Settings/VolumeIncDec", m_volumeIncDec);
    settings.setValue("Settings/VolumeFade", m_volumeFade);
}

void KvQmlController::resetUIWarnings()
{
    QSettings().remove(QStringLiteral("Warnings"));
}
