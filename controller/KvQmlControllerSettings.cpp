// The controller's options and remembered folders in the settings. Every read
// passes the option's current value as its default and goes through the
// option's write accessor, so only what changes is announced.
#include "KvQmlController.h"

#include <QSettings>

void KvQmlController::readSettings()
{
    QSettings s;
    setAlwaysImport(s.value(QStringLiteral("Settings/AlwaysImport"), m_alwaysImport).toBool());
    setOptionDelImageAfterImport(
        s.value(QStringLiteral("Settings/DelImageAfterImport"), m_optionDelImageAfterImport).toBool());
    setLastOpenPath(s.value(QStringLiteral("Settings/lastOpenPath"), defaultFilesPath()).toString());
    setLastSavePath(s.value(QStringLiteral("Settings/lastSavePath")).toString());
    m_lastExportPath = s.value(QStringLiteral("Settings/lastExportPath")).toString();
    m_lastConvertPath = s.value(QStringLiteral("Settings/lastConvertPath")).toString();
    setLastOpenFilter(s.value(QStringLiteral("Settings/lastOpenFilter"), m_lastOpenFilter).toString());
    setNavigateBlockSecs(s.value(QStringLiteral("Settings/navigateBlockSecs"), m_navigateBlockSecs).toDouble());
    setNavigatePageSecs(s.value(QStringLiteral("Settings/navigatePageSecs"), m_navigatePageSecs).toDouble());
    setUseAutoTrackNum(s.value(QStringLiteral("Settings/AutoTrackNum"), m_useAutoTrackNum).toBool());
    setTrackNameFormat(s.value(QStringLiteral("Settings/TrackNameFormat"), m_trackNameFormat).toString());
    // A first start opens zoomed in a little, not at the construction value.
    setHZoom(s.value(QStringLiteral("Settings/HZoom"), 4).toInt());
    setDisplayOffset(s.value(QStringLiteral("Settings/DisplayOffset"), m_displayOffset).toInt());
    setVolumeIncDec(s.value(QStringLiteral("Settings/VolumeIncDec"), m_volumeIncDec).toInt());
    setVolumeFade(s.value(QStringLiteral("Settings/VolumeFade"), m_volumeFade).toInt());
    setLoopAudio(s.value(QStringLiteral("Settings/LoopAudio"), m_loopAudio).toBool());
    setShowIconText(s.value(QStringLiteral("Settings/ShowIconText"), m_showIconText).toBool());
    setIconSizeAdjust(s.value(QStringLiteral("Settings/IconSizeAdjust"), m_iconSizeAdjust).toInt());
    setFontSizeAdjust(s.value(QStringLiteral("Settings/FontSizeAdjust"), m_fontSizeAdjust).toInt());
    setUseExternalRecorder(s.value(QStringLiteral("Settings/UseExternalRecorder"), m_useExternalRecorder).toBool());
    setPromptOnExit(s.value(QStringLiteral("Settings/PromptOnExit"), m_promptOnExit).toBool());
    setIsDarkModeOption(s.value(QStringLiteral("Settings/IsDarkModeOption"), m_isDarkModeOption).toBool());
    setRecordingFormat(s.value(QStringLiteral("Settings/RecordingFormat"), m_recordingFormat).toInt());
    setRecordStereo(s.value(QStringLiteral("Settings/RecordStereo"), m_recordStereo).toBool());
    setRecordingQuality(s.value(QStringLiteral("Settings/RecordingQuality"), m_recordingQuality).toInt());
    setRecordingFrequency(s.value(QStringLiteral("Settings/RecordingFrequency"), m_recordingFrequency).toInt());
    setConvertingFormat(s.value(QStringLiteral("Settings/ConvertingFormat"), m_convertingFormat).toInt());
    setConvertStereo(s.value(QStringLiteral("Settings/ConvertStereo"), m_convertStereo).toBool());
    setConvertingQuality(s.value(QStringLiteral("Settings/ConvertingQuality"), m_convertingQuality).toInt());
    setConvertingFrequency(s.value(QStringLiteral("Settings/ConvertingFrequency"), m_convertingFrequency).toInt());
    // Taken as stored: missing files are dealt with when they are opened.
    assignAndNotify(m_recentFiles, s.value(QStringLiteral("Settings/recentFileList")).toStringList(),
                    &KvQmlController::recentFilesChanged);
    // "Settings/Ceiling" and "Settings/Floor" are written only: each document is scaled anew.
}

void KvQmlController::writeSettings()
{
    QSettings s;
    s.setValue(QStringLiteral("Settings/lastOpenPath"), m_lastOpenPath);
    s.setValue(QStringLiteral("Settings/lastSavePath"), m_lastSavePath);
    s.setValue(QStringLiteral("Settings/lastExportPath"), m_lastExportPath);
    s.setValue(QStringLiteral("Settings/lastConvertPath"), m_lastConvertPath);
    s.setValue(QStringLiteral("Settings/lastOpenFilter"), m_lastOpenFilter);
    s.setValue(QStringLiteral("Settings/navigateBlockSecs"), m_navigateBlockSecs);
    s.setValue(QStringLiteral("Settings/navigatePageSecs"), m_navigatePageSecs);
    s.setValue(QStringLiteral("Settings/AutoTrackNum"), m_useAutoTrackNum);
    s.setValue(QStringLiteral("Settings/TrackNameFormat"), m_trackNameFormat);
    s.setValue(QStringLiteral("Settings/Ceiling"), m_ceiling);
    s.setValue(QStringLiteral("Settings/Floor"), m_floor);
    s.setValue(QStringLiteral("Settings/HZoom"), m_hZoom);
    s.setValue(QStringLiteral("Settings/DisplayOffset"), m_displayOffset);
    s.setValue(QStringLiteral("Settings/VolumeIncDec"), m_volumeIncDec);
    s.setValue(QStringLiteral("Settings/VolumeFade"), m_volumeFade);
    s.setValue(QStringLiteral("Settings/LoopAudio"), m_loopAudio);
    s.setValue(QStringLiteral("Settings/ShowIconText"), m_showIconText);
    s.setValue(QStringLiteral("Settings/IconSizeAdjust"), m_iconSizeAdjust);
    s.setValue(QStringLiteral("Settings/FontSizeAdjust"), m_fontSizeAdjust);
    s.setValue(QStringLiteral("Settings/UseExternalRecorder"), m_useExternalRecorder);
    s.setValue(QStringLiteral("Settings/PromptOnExit"), m_promptOnExit);
    s.setValue(QStringLiteral("Settings/IsDarkModeOption"), m_isDarkModeOption);
    s.setValue(QStringLiteral("Settings/RecordingFormat"), m_recordingFormat);
    s.setValue(QStringLiteral("Settings/RecordStereo"), m_recordStereo);
    s.setValue(QStringLiteral("Settings/RecordingQuality"), m_recordingQuality);
    s.setValue(QStringLiteral("Settings/RecordingFrequency"), m_recordingFrequency);
    s.setValue(QStringLiteral("Settings/ConvertingFormat"), m_convertingFormat);
    s.setValue(QStringLiteral("Settings/ConvertStereo"), m_convertStereo);
    s.setValue(QStringLiteral("Settings/ConvertingQuality"), m_convertingQuality);
    s.setValue(QStringLiteral("Settings/ConvertingFrequency"), m_convertingFrequency);
    s.setValue(QStringLiteral("Settings/AlwaysImport"), m_alwaysImport);
    s.setValue(QStringLiteral("Settings/DelImageAfterImport"), m_optionDelImageAfterImport);
    s.setValue(QStringLiteral("Settings/recentFileList"), m_recentFiles);
}

void KvQmlController::resetUIWarnings()
{
    QSettings().remove(QStringLiteral("Warnings"));
}
