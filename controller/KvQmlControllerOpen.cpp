// Opening and appending files: the open and append dialogs, the picked-file
// continuations of the touch interface, recorded files and recent folders.
#include "KvQmlController.h"

#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvTagProperty.h>

#include <QFileInfo>

void KvQmlController::rememberOpenFolder(const QString &path)
{
    setLastOpenPath(QFileInfo(path).absolutePath());
}

void KvQmlController::loadFileUrl(QUrl urlFilename)
{
    // Not built yet.
}

void KvQmlController::loadFileName(QString fileName)
{
    // Not built yet.
}

void KvQmlController::loadFileUrls(QList<QUrl> fileNameUrlList)
{
    // Not built yet.
}

void KvQmlController::appendFileUrls(QList<QUrl> fileNameUrlList)
{
    // Not built yet.
}

bool KvQmlController::openFileList(const QStringList &fileNames)
{
    // Not built yet.
    return false;
}

void KvQmlController::actionOpen()
{
    // Not built yet.
}

void KvQmlController::actionAppend()
{
    // Not built yet.
}

void KvQmlController::actionImportBrowserOpen()
{
    // Not built yet.
}

void KvQmlController::actionImportBrowserAppend()
{
    // Not built yet.
}

void KvQmlController::actionImportITunesOpen()
{
    // Not built yet.
}

void KvQmlController::actionImportITunesAppend()
{
    // Not built yet.
}

bool KvQmlController::actionLoadRecordedFiles()
{
    // Not built yet.
    return false;
}

bool KvQmlController::actionDeleteRecordedFiles()
{
    // Not built yet.
    return false;
}

bool KvQmlController::actionSearchAudioFiles(QString searchString)
{
    // Not built yet.
    return false;
}

void KvQmlController::actionFilePicked(QUrl fileUrl)
{
    // Not built yet.
}

boost::shared_ptr<KvTagProperty> KvQmlController::tagPropertyAt(int index) const
{
    if (!m_model || index < 0)
        return boost::shared_ptr<KvTagProperty>();
    if (index == 0)
        return m_model->fileTagProperty();
    if (const KvQmlModel::FilePropertiesPtr list = m_model->trackList()) {
        for (const boost::shared_ptr<KvTagProperty> &track : list->tracks())
            if (track && --index == 0)
                return track;
    }
    return boost::shared_ptr<KvTagProperty>();
}

void KvQmlController::stateActionOpenFilesDlg_Picked(QList<QUrl> files)
{
    // Not built yet.
}

void KvQmlController::stateActionAppendFilesDlg_Picked(QList<QUrl> files)
{
    // Not built yet.
}

void KvQmlController::stateActionOpenFileListFailedC_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionOpenFileListDelProjQ_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionLoadFiles()
{
    // Not built yet.
}

void KvQmlController::stateActionLoadFilesSaveChangesQ_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionLoadUrlsHelpW_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionOpenFilesDlg_ErrorsPicked(QString errors, QList<QUrl> files)
{
    // Not built yet.
}

void KvQmlController::stateActionAppendFilesDlg_ErrorsPicked(QString errors, QList<QUrl> files)
{
    // Not built yet.
}

void KvQmlController::stateActionOpenFilesDlg_ErrorsPickedQ(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionAppendFilesDlg_ErrorsPickedQ(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionNativeFileDialogFilesSent(bool accepted, QStringList filesSent)
{
    // Not built yet.
}

void KvQmlController::load_thread_finished()
{
    // Not built yet.
}

void KvQmlController::loadRecordedFileImpl(QString recFile, bool append)
{
    // Not built yet.
}

void KvQmlController::handleFileUrlReceived(QUrl url)
{
    // Not built yet.
}
