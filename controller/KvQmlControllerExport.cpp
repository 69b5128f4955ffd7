// Export of the whole document or the selection, track export, and the save
// and folder dialogs that export, recording and conversion share.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvAudioTags.h>
#include <KvEngineFactories.h>
#include <KvFileNameText.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagProperty.h>
#include <KvUiServices.h>

#include <QCoreApplication>
#include <QDir>
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
        // The filter's own suffix: a ".adts" file would not open again.
        suffix = QStringLiteral("aac");
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
                KvUi::Yes | KvUi::No, KvUi::No);
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

QString KvQmlController::getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                                         const QString &filter, int options)
{
    return registeredUi().openFileName(parent, caption, dir, filter, options);
}

namespace {

// The document behind the model's cursor; null when there is none or it has no fragment.
boost::shared_ptr<KvRepackInfoPtrList> exportableDocument(const KvQmlModel *model)
{
    const KvQmlModel::FragmentListPtr cursor = model ? model->fragmentList() : KvQmlModel::FragmentListPtr();
    const boost::shared_ptr<KvRepackInfoPtrList> list = cursor ? cursor->list() : boost::shared_ptr<KvRepackInfoPtrList>();
    if (!list || !list->list() || list->list()->empty())
        return boost::shared_ptr<KvRepackInfoPtrList>();
    return list;
}

} // namespace

void KvQmlController::setExportWaiting(bool on)
{
    if (on == m_exportWaiting)
        return;
    m_exportWaiting = on;
    if (on)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

int KvQmlController::exportMessage(KvUi::Icon icon, const QString &text, int buttons, int defaultButton)
{
    setExportWaiting(false);
    return uiServices().message(m_messageBoxParent, icon, QCoreApplication::applicationName(), text, buttons,
                                defaultButton);
}

void KvQmlController::exportDocumentAs(bool selection)
{
    KvEditLock lock(editMutex());
    if (!lock || !m_model || !m_model->fragmentList())
        return;
    const QString format = documentFileSuffix(m_model->fragmentList()->list());
    // Asking for a name first and then writing the whole document under the
    // selection's name would report something that was not done.
    if (selection && !(m_selectionStart != -1 && m_selectionEnd != -1 && m_selectionStart < m_selectionEnd)) {
        uiServices().message(m_messageBoxParent, KvUi::Warning, QCoreApplication::applicationName(),
                             tr("There is no selection to export."), KvUi::Ok, KvUi::Ok);
        return;
    }
    const QString dir = m_lastExportPath.isEmpty() ? m_lastOpenPath : m_lastExportPath;
    QString caption;
    if (format == QLatin1String("mp3"))
        caption = selection ? tr("Export Selection As MP3") : tr("Export All As MP3");
    else if (format == QLatin1String("aac"))
        caption = selection ? tr("Export Selection As AAC MPEG-4/ADTS") : tr("Export All As AAC MPEG-4/ADTS");
    else
        caption = selection ? tr("Export Selection As AAC MPEG-4") : tr("Export All As AAC MPEG-4");
    const QString name = getAudioSaveFileName(m_messageBoxParent, caption, dir, format);
    if (!name.isEmpty())
        exportFileUrl(QUrl::fromLocalFile(name), selection, true);
}

void KvQmlController::actionExportAll() { exportDocumentAs(false); }

void KvQmlController::actionExportSelection() { exportDocumentAs(true); }

bool KvQmlController::exportFileUrl(QUrl fileNameUrl, bool saveSelection, bool promptSend)
{
    m_exportFileName = fileNameUrl.toLocalFile();
    m_exportIsSelection = saveSelection;
    const QString path = QDir::toNativeSeparators(m_exportFileName);
    setExportWaiting(true);

    boost::shared_ptr<KvRepackInfoPtrList> list = exportableDocument(m_model);
    if (!list) {
        exportMessage(KvUi::Critical, tr("Failed to save the file: Unknown error"), KvUi::Ok, KvUi::NoButton);
        return false;
    }
    if (saveSelection) {
        if (!(m_selectionStart != -1 && m_selectionEnd != -1 && m_selectionStart < m_selectionEnd)) {
            exportMessage(KvUi::Critical,
                          tr("Failed to save the file: %1\nError: %2").arg(path, tr("There is no selection to export.")),
                          KvUi::Ok, KvUi::NoButton);
            return false;
        }
        list = list->copyRange(m_selectionStart, m_selectionEnd - m_selectionStart);
    }
    KvPrepareRepack(list);
    // Repaints what the file dialog uncovered. Keys and clicks wait until the
    // file is written: they could reach commands that change the document
    // without taking its lock (the tag editors, closing the window).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // The engine refuses a file this program reads (a source of the document
    // or of its undo history) and writes under a temporary name first.
    const QString error = saveDocumentFile(list, path);
    if (!error.isEmpty()) {
        exportMessage(KvUi::Critical, tr("Failed to save the file: %1\nError: %2").arg(path, error), KvUi::Ok,
                      KvUi::NoButton);
        return false;
    }
    if (const KvTagPropertyPtr tags = m_model->fileTagProperty()) {
        if (!copyTagsAndArtwork(tags->tagInfo(), path)) {
            exportMessage(KvUi::Warning, tr("Failed to write tag information to the file: %1").arg(path), KvUi::Ok,
                          KvUi::NoButton);
            setExportWaiting(true);
        }
    }
    setExportWaiting(false);
    if (!promptSend)
        return true;
    exportMessage(KvUi::Information,
                  saveSelection ? tr("The selection was successfully exported.")
                                : tr("The project was successfully exported."),
                  KvUi::Close, KvUi::Close);
    stateActionExportFileAskSendQ_Finished(KvUi::Close);
    return false;
}

void KvQmlController::exportAllFilePicked(const QString &fileName, bool promptSend)
{
    exportFileUrl(QUrl::fromLocalFile(fileName), false, promptSend);
}

void KvQmlController::exportSelectionFilePicked(const QString &fileName)
{
    exportFileUrl(QUrl::fromLocalFile(fileName), true, true);
}

void KvQmlController::stateActionExportFileFailedWriteTagInfoW_Finished(int result)
{
    Q_UNUSED(result);
    exportMessage(KvUi::Information,
                  m_exportIsSelection ? tr("The selection was successfully exported.")
                                      : tr("The project was successfully exported."),
                  KvUi::Close, KvUi::Close);
    stateActionExportFileAskSendQ_Finished(KvUi::Close);
}

void KvQmlController::stateActionExportFileAskSendQ_Finished(int result)
{
    Q_UNUSED(result);
    afterExportOrConvert(true, false);
    const QString folder = QFileInfo(m_exportFileName).absolutePath();
    if (folder != m_lastExportPath)
        m_lastExportPath = folder;
}

void KvQmlController::actionExportTracks()
{
    KvEditLock lock(editMutex());
    if (!lock || !m_model || !m_model->fragmentList())
        return;
    const QString dir = m_lastExportPath.isEmpty() ? m_lastOpenPath : m_lastExportPath;
    const QString folder = getExistingDirectory(m_messageBoxParent, tr("Track Export Directory"), dir,
                                                KvUi::ShowDirsOnly | KvUi::DontResolveSymlinks);
    if (!folder.isEmpty())
        exportTracksUrl(QUrl::fromLocalFile(folder));
}

void KvQmlController::exportTracksFolderPicked(const QString &folder)
{
    exportTracksUrl(QUrl::fromLocalFile(folder));
}

void KvQmlController::exportTracksUrl(QUrl dirUrl)
{
    if (!dirUrl.isEmpty()) {
        m_exportFolder = QDir(dirUrl.toLocalFile()).absolutePath();
        m_exportNothing = false;
        m_exportError.clear();
        m_exportUnnumbered.clear();
        m_exportedCount = 0;
        m_exportFailureShown = false;
        m_exportWrittenFiles.clear();
        m_exportUnnumberedCount = 0;
        m_exportTrackCount = 0;
        m_exportCurrentTrack = 0;
        m_exportOverwriteAnswer = KvUi::NoButton;
    }
    setExportWaiting(true);
    if (!m_model || !m_model->fragmentList()) {
        m_exportNothing = true;
        finishTrackExport();
        return;
    }
    if (const KvQmlModel::FilePropertiesPtr tracks = m_model->trackList()) {
        for (const KvTagPropertyPtr &track : tracks->tracks()) {
            if (!track)
                continue;
            m_exportTrackCount += 1;
            if (!m_useAutoTrackNum && track->tagInfo().track == 0) {
                if (!m_exportUnnumbered.isEmpty())
                    m_exportUnnumbered += QLatin1Char('\n');
                m_exportUnnumbered += tr("Track '%1' was not assigned a track number.")
                                          .arg(track->formatTrackName(m_exportTrackCount, m_useAutoTrackNum,
                                                                      m_trackNameFormat));
                m_exportUnnumberedCount += 1;
            }
        }
    }
    if (m_exportUnnumberedCount == 0) {
        if (!exportTrackRange(1, TrackUiAsk, KvUi::NoButton)) {
            setExportWaiting(false);
            return;
        }
        finishTrackExport();
        return;
    }
    if (m_exportUnnumberedCount == m_exportTrackCount) {
        if (!m_exportError.isEmpty())
            m_exportError += QLatin1Char('\n');
        m_exportError += tr("Failed to save the %1 track(s) as no tracks were assigned a track number")
                             .arg(m_exportTrackCount);
        m_exportFailureShown = true;
        finishTrackExport();
        return;
    }
    const int answer = exportMessage(
        KvUi::Warning,
        tr("%1 track(s) have not been assigned a track number and will not be exported.\n"
           "Do you wish to continue creating the other tracks?")
            .arg(m_exportUnnumberedCount),
        KvUi::Yes | KvUi::No, KvUi::No);
    stateActionExportTracksNumUnassignW_Finished(answer);
}

void KvQmlController::stateActionExportTracksNumUnassignW_Finished(int result)
{
    if (result == KvUi::Yes) {
        setExportWaiting(true);
        if (!exportTrackRange(1, TrackUiAsk, KvUi::NoButton))
            setExportWaiting(false);
    } else {
        exportMessage(KvUi::Information, m_exportUnnumbered, KvUi::Ok, KvUi::NoButton);
        setExportWaiting(true);
        m_exportFailureShown = true;
    }
    finishTrackExport();
}

bool KvQmlController::exportTrackRange(int from, KvTrackUI ui, int uiAnswer)
{
    for (int i = from; i <= m_exportTrackCount; ++i) {
        if (!stateActionExportTrackLoop(i, i == from ? ui : TrackUiAsk, uiAnswer))
            return false;
    }
    return true;
}

void KvQmlController::finishTrackExport()
{
    if (stateActionExportTracksCheckFailed()) {
        stateActionExportTracksAskSend();
        stateActionExportTracksFinal(m_exportFolder);
    }
    setExportWaiting(false);
}

bool KvQmlController::stateActionExportTrackLoop(int trackNum, KvTrackUI ui, int uiAnswer)
{
    m_exportCurrentTrack = 0;
    KvTagPropertyPtr track;
    if (const KvQmlModel::FilePropertiesPtr tracks = m_model ? m_model->trackList() : KvQmlModel::FilePropertiesPtr()) {
        for (const KvTagPropertyPtr &entry : tracks->tracks()) {
            if (entry && ++m_exportCurrentTrack == trackNum) {
                track = entry;
                break;
            }
        }
    }
    if (!track)
        return true;

    const boost::shared_ptr<KvRepackInfoPtrList> document = exportableDocument(m_model);
    if (!document) {
        if (!m_exportError.isEmpty())
            m_exportError += QLatin1Char('\n');
        m_exportError += tr("Internal error: Invalid or empty project file list.");
        m_exportNothing = true;
        return true;
    }
    // The cleaner leaves no folder separator and no control character, and a
    // name of dots only comes out empty.
    QString name = simplifyText(track->formatTrackName(m_exportCurrentTrack, m_useAutoTrackNum, m_trackNameFormat));
    if (name.isEmpty())
        name = tr("%1 (empty)").arg(m_exportCurrentTrack, 2, 10, QLatin1Char('0'));
    if (!m_useAutoTrackNum && track->tagInfo().track == 0)
        return true;

    const boost::shared_ptr<KvRepackInfoPtrList> clip = document->copyRange(track->start(), track->end() - track->start());
    const QString suffix = documentFileSuffix(clip) == QLatin1String("mp3") ? QStringLiteral(".mp3")
                                                                           : QStringLiteral(".m4a");
    const QString path = QDir::toNativeSeparators(m_exportFolder + QDir::separator() + name + suffix);

    if (QFileInfo::exists(path) && m_exportOverwriteAnswer != KvUi::YesToAll) {
        if (ui == TrackUiAnswer) {
            m_exportOverwriteAnswer = uiAnswer;
        } else if (ui == TrackUiAsk && m_exportOverwriteAnswer != KvUi::NoToAll) {
            m_exportOverwriteAnswer = exportMessage(
                KvUi::Warning, tr("File %1 already exists!\nDo you wish to overwrite?").arg(path),
                KvUi::Yes | KvUi::YesToAll | KvUi::No | KvUi::NoToAll | KvUi::Cancel, KvUi::Cancel);
            setExportWaiting(true);
        }
        if (m_exportOverwriteAnswer != KvUi::Yes && m_exportOverwriteAnswer != KvUi::YesToAll) {
            // Cancel, or a box closed without an answer, ends the export.
            return m_exportOverwriteAnswer == KvUi::No || m_exportOverwriteAnswer == KvUi::NoToAll;
        }
    }

    KvPrepareRepack(clip);
    const QString error = saveDocumentFile(clip, path);
    if (!error.isEmpty()) {
        exportMessage(KvUi::Critical, tr("Failed to save the file: %1\nError: %2").arg(path, error), KvUi::Ok,
                      KvUi::NoButton);
        return false;
    }
    if (!copyTagsAndArtwork(track->tagInfo(), path)) {
        exportMessage(KvUi::Warning, tr("Failed to write tag information to the track: %1").arg(path), KvUi::Ok,
                      KvUi::NoButton);
        setExportWaiting(true);
    }
    m_exportedCount += 1;
    m_exportWrittenFiles << path;
    return true;
}

bool KvQmlController::stateActionExportTracksCheckFailed()
{
    if (!m_exportNothing && m_exportError.isEmpty()) {
        const QString folder = QDir(m_exportFolder).absolutePath();
        if (folder != m_lastExportPath)
            m_lastExportPath = folder;
        return true;
    }
    exportMessage(KvUi::Critical,
                  m_exportError.isEmpty() ? tr("Failed to export one or more the tracks: Unknown error")
                                          : m_exportError,
                  KvUi::Ok, KvUi::NoButton);
    return false;
}

bool KvQmlController::stateActionExportTracksAskSend()
{
    if (m_exportedCount > 0)
        exportMessage(KvUi::Information, tr("%1 track(s) were successfully exported.").arg(m_exportedCount),
                      KvUi::Ok, KvUi::NoButton);
    else if (!m_exportFailureShown)
        exportMessage(KvUi::Warning, tr("No tracks were exported!"), KvUi::Ok, KvUi::NoButton);
    return true;
}

bool KvQmlController::stateActionExportTracksFinal(QString folderName)
{
    const QString folder = QDir(folderName).absolutePath();
    if (folder != m_lastExportPath)
        m_lastExportPath = folder;
    afterExportOrConvert(true, false);
    return true;
}

void KvQmlController::stateActionExportTracksOverwriteW_Finished(int result)
{
    setExportWaiting(true);
    if (exportTrackRange(m_exportCurrentTrack, TrackUiAnswer, result))
        finishTrackExport();
    else
        setExportWaiting(false);
}

void KvQmlController::stateActionExportTracksFailedWriteTagInfoW_Finished(int result)
{
    Q_UNUSED(result);
    setExportWaiting(true);
    if (exportTrackRange(m_exportCurrentTrack + 1, TrackUiKeep, KvUi::NoButton))
        finishTrackExport();
    else
        setExportWaiting(false);
}

void KvQmlController::stateActionExportTracksAskSendQ_Finished(int result)
{
    Q_UNUSED(result);
    stateActionExportTracksFinal(m_exportFolder);
}
