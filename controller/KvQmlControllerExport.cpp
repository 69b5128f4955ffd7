// Export of the whole document or the selection, track export, and the save
// and folder dialogs that export, recording and conversion share.
#include "KvQmlController.h"

#include <KvUiServices.h>

#include <QCoreApplication>
#include <QFileInfo>

QString KvQmlController::getAudioSaveFileName(QWidget *parent, const QString &caption,
                                              const QString &dir, const QString &format)
{
    QString filter;
    QString suffix = format;
    if (format == QLatin1String("kvlproj")) {
        filter = tr("mp3Morvelta Projects (*.kvlproj)");
    } else if (format == QLatin1String("mp3")) {
        filter = tr("MP3 Audio Files (*.mp3)");
    } else if (format == QLatin1String("m4a")) {
        filter = tr("AAC MPEG-4 Audio Files (*.m4a)");
    } else if (format == QLatin1String("adts")) {
        filter = tr("AAC ADTS Audio Files (*.aac)");
    } else if (format == QLatin1String("aac")) {
        filter = tr("AAC MPEG-4/ADTS Audio Files (*.m4a *.m4b *.m4r *.aac)");
        suffix = QStringLiteral("m4a");
    } else if (format == QLatin1String("wav")) {
        filter = tr("Waveform Audio Files (*.wav)");
    }
    KvUiServices &ui = registeredUi();
    QString name = ui.saveFileName(parent, caption, dir, filter);
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) {
        name += QLatin1Char('.') + suffix;
        if (QFileInfo::exists(name)) {
            const int answer = ui.message(
                parent, KvUi::Warning, QCoreApplication::applicationName(),
                tr("The file \"%1\" already exists, Do you wish to overwrite it?")
                    .arg(QFileInfo(name).fileName()),
                KvUi::Yes | KvUi::No, KvUi::NoButton);
            if (answer != KvUi::Yes)
                return QString();
        }
    }
    return name;
}

QString KvQmlController::getExistingDirectory(QWidget *parent, const QString &caption,
                                              const QString &dir, int options)
{
    return registeredUi().existingDirectory(parent, caption, dir, options);
}

void KvQmlController::actionExportAll()
{
    // Not built yet.
}

void KvQmlController::actionExportSelection()
{
    // Not built yet.
}

void KvQmlController::actionExportTracks()
{
    // Not built yet.
}

bool KvQmlController::exportFileUrl(QUrl fileNameUrl, bool saveSelection, bool promptSend)
{
    // Not built yet.
    return false;
}

void KvQmlController::exportTracksUrl(QUrl dirUrl)
{
    // Not built yet.
}

bool KvQmlController::stateActionExportTrackLoop(int trackNum, KvTrackUI ui, int uiAnswer)
{
    // Not built yet.
    return false;
}

bool KvQmlController::stateActionExportTracksCheckFailed()
{
    // Not built yet.
    return false;
}

bool KvQmlController::stateActionExportTracksAskSend()
{
    // Not built yet.
    return false;
}

bool KvQmlController::stateActionExportTracksFinal(QString folderName)
{
    // Not built yet.
    return false;
}

void KvQmlController::stateActionExportTracksNumUnassignW_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionExportTracksOverwriteW_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionExportTracksFailedWriteTagInfoW_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionExportTracksAskSendQ_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionExportFileFailedWriteTagInfoW_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionExportFileAskSendQ_Finished(int result)
{
    // Not built yet.
}
