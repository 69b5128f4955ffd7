// Opening and appending files: the open and append dialogs, the picked-file
// continuations of the touch interface, recorded files and recent folders.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvAudioTags.h>
#include <KvEngineFactories.h>
#include <KvFile.h>
#include <KvFileProperties.h>
#include <KvFindSource.h>
#include <KvFrameRepacker.h>
#include <KvLibavLoad.h>
#include <KvQmlModel.h>
#include <KvRepackInfo.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagInfo.h>
#include <KvTagProperty.h>
#include <KvUndoPaste.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <QUndoStack>

#include <boost/make_shared.hpp>

#include <memory>

namespace {

// The open modes of the desktop and the touch interface; either bit makes a
// call interactive.
bool isInteractive(int openMode) { return (openMode & 5) != 0; }

bool isProjectName(const QString &name)
{
    return name.endsWith(QLatin1String(".kvlproj"), Qt::CaseInsensitive);
}

bool isAacName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("m4a") || suffix == QLatin1String("m4b") || suffix == QLatin1String("m4r") ||
           suffix == QLatin1String("mp4") || suffix == QLatin1String("aac");
}

QList<QUrl> localUrls(const QStringList &names)
{
    QList<QUrl> urls;
    for (const QString &name : names)
        urls << QUrl::fromLocalFile(name);
    return urls;
}

QStringList localPaths(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls)
        paths << url.toLocalFile();
    return paths;
}

} // namespace

// One open or append request: what it reports at the end, the HE-AAC answer
// it gave, and its wait cursor and progress window.
struct KvQmlController::OpenRun {
    OpenRun(KvUiServices &ui, QWidget *parent, bool interactive, int fileCount)
        : ui(ui), parent(parent), interactive(interactive), fileCount(fileCount)
    {
        if (interactive)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~OpenRun() { restoreCursor(); }
    OpenRun(const OpenRun &) = delete;
    OpenRun &operator=(const OpenRun &) = delete;

    void restoreCursor()
    {
        hideProgress();
        if (cursorSet) {
            QGuiApplication::restoreOverrideCursor();
            cursorSet = false;
        }
    }
    void hideProgress()
    {
        if (progressShown) {
            ui.hideProgress();
            progressShown = false;
        }
    }
    void refuse(const QString &reason, const QString &path)
    {
        errors += QStringLiteral("%1: %2\n").arg(reason, QDir::toNativeSeparators(path));
    }

    KvUiServices &ui;
    QWidget *parent;
    const bool interactive;
    const int fileCount;
    bool cursorSet = interactive;
    bool progressShown = false;
    bool cancelled = false;
    int fileIndex = 0;
    QString errors;
    QString helpAddress;
    // One line per file whose index kept damaged or unreadable frames.
    QString damage;
    bool heAacAsked = false;
    bool heAacAccepted = false;
};

QString KvQmlController::joiningFormatsHelpAddress()
{
    return QStringLiteral("https://www.veltranix.example/help/joining-formats");
}

void KvQmlController::rememberOpenFolder(const QString &path)
{
    setLastOpenPath(QFileInfo(path).absolutePath());
    setLastSavePath(QString());
}

QString KvQmlController::isInStandardLocation(const QString &) const
{
    return QString();
}

void KvQmlController::resetPendingState(const QString &projectPath)
{
    m_pendingFiles.clear();
    m_pendingText.clear();
    m_pendingText2.clear();
    m_pendingClose = false;
    m_pendingExit = false;
    m_pendingProjectPath = projectPath;
}

void KvQmlController::setPendingFiles(const QStringList &files)
{
    resetPendingState(QString());
    m_pendingFiles = files;
}

void KvQmlController::stopLoadThread(bool interrupt)
{
    if (!m_workerThread)
        return;
    if (interrupt)
        m_workerThread->requestInterruption();
    m_workerThread->wait();
    delete m_workerThread;
    m_workerThread = nullptr;
}

// ---- Opening ----

void KvQmlController::openFileOrProjectList(const QStringList &fileNames)
{
    setHelpUsage("FileOpen");
    m_tourTicks = 0;
    for (const QString &name : fileNames) {
        if (isProjectName(name)) {
            resetPendingState(name);
            openProjectPath(name);
            return;
        }
    }
    if (fileNames.isEmpty())
        return;
    openFileList(fileNames);
    rememberOpenFolder(fileNames.first());
}

bool KvQmlController::openFileList(const QStringList &fileNames)
{
    setPendingFiles(fileNames);
    if (!checkSaveChanges(false, true, false))
        return false;
    loadFileUrls(localUrls(fileNames));
    if (!fileNames.isEmpty())
        rememberOpenFolder(fileNames.first());
    return true;
}

bool KvQmlController::openProjectPath(const QString &path)
{
    resetPendingState(path);
    if (!checkSaveChanges(false, true, false))
        return false;
    if (!loadProjectUrl(QUrl::fromLocalFile(path)))
        return true;
    updateRecentFiles(path);
    rememberOpenFolder(path);
    return false;
}

void KvQmlController::loadFileUrls(QList<QUrl> fileNameUrlList)
{
    QList<QUrl> loaded;
    openFilesImpl(5, fileNameUrlList, &loaded, boost::make_shared<OpenedSources>());
}

void KvQmlController::loadFileUrl(QUrl urlFilename)
{
    loadFileUrls({QUrl::fromLocalFile(urlFilename.toLocalFile())});
}

void KvQmlController::loadFileName(QString fileName)
{
    if (isProjectName(fileName))
        openProjectPath(fileName);
    else
        openFileList({fileName});
}

boost::shared_ptr<KvRepackInfo> KvQmlController::resolveOpenSource(OpenRun &run, const QString &normalizedPath,
                                                                   const KvRepackInfoPtrListPtr &document,
                                                                   bool &heAac, QString &reason)
{
    heAac = false;
    reason.clear();
    ++run.fileIndex;
    // A file the document or its undo history holds open is shared, not
    // indexed again.
    if (document) {
        if (KvRepackInfoPtr fragment = document->createFragmentForSource(normalizedPath, 0, -1))
            return fragment;
    }
    if (m_model) {
        if (KvRepackInfoPtr fragment = findSourceInUndoStack(m_model->undoStack(), normalizedPath, 0, -1))
            return fragment;
    }
    if (isAacName(normalizedPath) && KvLibavLoad::instance()->loadedValue() == 0) {
        reason = tr("AAC files cannot be opened: the AAC library could not be loaded.");
        return KvRepackInfoPtr();
    }

    // Indexing reads the whole file: it runs on a worker thread while this
    // one keeps the window painted. User input waits until the progress
    // window, which is modal, is up.
    boost::shared_ptr<KvAudioFile> file;
    bool workerHeAac = false;
    QString workerReason;
    QThread *gui = QThread::currentThread();
    std::unique_ptr<QThread> worker(QThread::create([&file, &workerHeAac, &workerReason, normalizedPath, gui] {
        file = createAudioFileByExtension(normalizedPath, workerHeAac, workerReason);
        // The open file is read from the GUI and play threads from now on.
        if (file && file->repacker() && file->repacker()->device())
            file->repacker()->device()->moveToThread(gui);
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    worker->start();
    tick.start();
    const QString name = QFileInfo(normalizedPath).fileName();
    for (bool first = true; first || !worker->isFinished(); first = false) {
        if (!first)
            loop.exec(run.progressShown ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (!run.interactive || run.cancelled ||
            (!run.progressShown && clock.elapsed() < m_seams.openProgressDelayMs))
            continue;
        const QString text = run.fileCount > 1
                                 ? tr("Opening %1 (file %2 of %3)...").arg(name).arg(run.fileIndex).arg(run.fileCount)
                                 : tr("Opening %1...").arg(name);
        run.progressShown = true;
        if (!run.ui.showProgress(run.parent, text, run.fileCount > 1 ? run.fileIndex - 1 : 0,
                                 run.fileCount > 1 ? run.fileCount : 0)) {
            run.cancelled = true;
            worker->requestInterruption();
        }
    }
    worker->wait();
    heAac = workerHeAac;
    if (run.cancelled)
        return KvRepackInfoPtr();
    if (!file || file->frameCount() <= 0) {
        reason = workerReason;
        return KvRepackInfoPtr();
    }
    const QString damage = file->damageReport();
    if (!damage.isEmpty())
        run.damage += QStringLiteral("%1: %2\n").arg(QDir::toNativeSeparators(normalizedPath), damage);
    return file->createRepackInfo(0, -1);
}

bool KvQmlController::acceptHeAac(OpenRun &run)
{
    if (!run.heAacAsked) {
        run.heAacAsked = true;
        // The question is a modal window of its own: no progress, no wait cursor.
        run.hideProgress();
        if (run.cursorSet)
            QGuiApplication::restoreOverrideCursor();
        run.heAacAccepted = uiServices().runNotice(KvUi::HeAacWarning, dialogParent()) == 1;
        if (run.cursorSet)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    return run.heAacAccepted;
}

void KvQmlController::reportOpenRun(OpenRun &run, bool append)
{
    if (!run.interactive)
        return;
    const QString title = QCoreApplication::applicationName();
    if (!run.damage.isEmpty())
        uiServices().message(dialogParent(), KvUi::Information, title,
                             tr("Some of the files were opened with frames that could not be read:\n") + run.damage,
                             KvUi::Ok, KvUi::Ok);
    if (run.errors.isEmpty())
        return;
    const QString text = (append ? tr("Some of the selected files could not be appended:\n")
                                 : tr("Some of the selected files could not be opened:\n")) +
                         run.errors;
    const bool help = !run.helpAddress.isEmpty();
    const int answer = uiServices().message(dialogParent(), KvUi::Warning, title, text,
                                            help ? KvUi::Ok | KvUi::Help : KvUi::Ok, help ? KvUi::Help : KvUi::Ok);
    if (help && answer == KvUi::Help)
        QDesktopServices::openUrl(QUrl(run.helpAddress, QUrl::StrictMode));
}

boost::shared_ptr<KvRepackInfo>
KvQmlController::acceptOpenSource(OpenRun &run, const QString &normalized, const KvRepackInfoPtrListPtr &document,
                                  const std::function<bool(const KvRepackInfoPtr &)> &fits)
{
    bool heAac = false;
    QString reason;
    const KvRepackInfoPtr fragment = resolveOpenSource(run, normalized, document, heAac, reason);
    if (run.cancelled)
        return nullptr;
    if (!fragment) {
        run.refuse(reason, normalized);
        return nullptr;
    }
    if (fragment->sourceFrameCount() == 0 || !fits(fragment)) {
        run.refuse(tr("Incompatible audio file cannot be loaded into project."), normalized);
        if (run.helpAddress.isEmpty())
            run.helpAddress = joiningFormatsHelpAddress();
        return nullptr;
    }
    if (heAac && !acceptHeAac(run)) {
        run.refuse(tr("HE-AAC v1/v2 files are not fully supported and the file was not loaded into the project."),
                   normalized);
        return nullptr;
    }
    return fragment;
}

void KvQmlController::openFilesImpl(int openMode, const QList<QUrl> &files, QList<QUrl> *,
                                    const boost::shared_ptr<OpenedSources> &)
{
    if (!m_model)
        return;
    OpenRun run(uiServices(), dialogParent(), isInteractive(openMode), files.size());

    // The new document is built beside the current one, which keeps its
    // sources reachable and stays as it is when no file is accepted.
    const KvQmlModel::FragmentListPtr current = m_model->fragmentList();
    const KvRepackInfoPtrListPtr currentList = current ? current->list() : KvRepackInfoPtrListPtr();
    KvQmlModel::FragmentListPtr built;
    KvTagInfo tags;
    bool tagsRead = false;
    QStringList accepted;

    for (const QUrl &url : files) {
        const QString normalized = normalizeLongPath(url.toLocalFile());
        const KvRepackInfoPtr fragment =
            acceptOpenSource(run, normalized, currentList, [&built](const KvRepackInfoPtr &f) {
                // Until a file is accepted, the next one decides the document's kind.
                if (!built || built->list()->fragmentCount() == 0)
                    built = createFragmentListForFile(f);
                return built && built->isCompatible(f->sizeInfo());
            });
        if (run.cancelled)
            break;
        if (!fragment)
            continue;
        built->list()->appendFragment(fragment);
        if (!tagsRead)
            tagsRead = loadTagsFromFile(tags, normalized);
        accepted << normalized;
    }

    if (run.cancelled) {
        run.restoreCursor();
        refreshDocumentState();
        return;
    }
    if (!accepted.isEmpty()) {
        closeProject(false, false);
        m_model->setFragmentList(built);
        if (tagsRead && m_model->fileTagProperty())
            m_model->fileTagProperty()->setTagInfo(tags);
        if (const KvQmlModel::FilePropertiesPtr tracks = m_model->trackList())
            tracks->clearTracks();
        for (const QString &path : qAsConst(accepted))
            updateRecentFiles(path);
        rememberOpenFolder(accepted.first());
        m_model->clearUndo();
    }
    run.restoreCursor();
    if (!accepted.isEmpty()) {
        autoScaleView();
        resetSelection();
        setScrollFrame(0.0);
        m_model->setProjectFile(QString());
        refreshAfterUndo();
    }
    reportOpenRun(run, false);
    refreshDocumentState();
}

// ---- Appending ----

void KvQmlController::appendFileList(const QStringList &fileNames)
{
    appendFiles(fileNames);
    if (!fileNames.isEmpty())
        rememberOpenFolder(fileNames.first());
}

void KvQmlController::appendFiles(const QStringList &fileNames)
{
    if (fileNames.isEmpty())
        return;
    QList<QUrl> loaded;
    appendFilesImpl(5, localUrls(fileNames), &loaded, boost::make_shared<OpenedSources>());
    rememberOpenFolder(fileNames.first());
}

void KvQmlController::appendFileUrls(QList<QUrl> fileNameUrlList)
{
    QList<QUrl> loaded;
    appendFilesImpl(5, fileNameUrlList, &loaded, boost::make_shared<OpenedSources>());
}

void KvQmlController::appendFilesImpl(int openMode, const QList<QUrl> &files, QList<QUrl> *loadedUrls,
                                      const boost::shared_ptr<OpenedSources> &openedSources)
{
    if (!m_model)
        return;
    const KvQmlModel::FragmentListPtr cursor = m_model->fragmentList();
    // Nothing to append to: the files become the document.
    if (!cursor || !cursor->list() || cursor->list()->fragmentCount() == 0) {
        openFilesImpl(openMode, files, loadedUrls, openedSources);
        return;
    }
    OpenRun run(uiServices(), dialogParent(), isInteractive(openMode), files.size());
    const KvRepackInfoPtrListPtr document = cursor->list();
    const KvRepackInfoPtrListPtr added = createRepackInfoPtrListForFragmentList(cursor);
    QString firstAccepted;

    for (const QUrl &url : files) {
        const QString normalized = normalizeLongPath(url.toLocalFile());
        const KvRepackInfoPtr fragment =
            acceptOpenSource(run, normalized, document, [&document, &added](const KvRepackInfoPtr &f) {
                return document->isCompatible(f->sizeInfo()) && added->isCompatible(f->sizeInfo());
            });
        if (run.cancelled)
            break;
        if (!fragment)
            continue;
        added->appendFragment(fragment);
        if (firstAccepted.isEmpty())
            firstAccepted = normalized;
    }

    run.restoreCursor();
    if (run.cancelled) {
        refreshDocumentState();
        return;
    }
    if (added->fragmentCount() > 0) {
        rememberOpenFolder(firstAccepted);
        const KvRepackInfoPtrListPtr nothing = createRepackInfoPtrListForFragmentList(cursor);
        const KvQmlModel::FilePropertiesPtr tracks = m_model->trackList();
        m_model->undoStack()->push(
            new KvUndoPaste(tracks.get(), added, nothing, document, cursor->totalFrames(), this));
    }
    autoScaleView();
    refreshAfterUndo();
    reportOpenRun(run, true);
    refreshDocumentState();
}

// ---- The open and append dialogs ----

void KvQmlController::actionImportOpenAppend(int, bool append)
{
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : KvQmlModel::FragmentListPtr();
    if (append && !cursor)
        return;
    setHelpUsage("FileOpen");
    QString title;
    QString filter;
    if (!append) {
        title = tr("Open audio files or a Project");
        filter = tr("Audio Files and Projects (*.m4a *.m4b *.m4r *.mp4 *.aac *.mp3 *.kvlproj)");
        m_pickerMode = 0;
    } else {
        if (documentFileSuffix(cursor->list()) == QLatin1String("mp3")) {
            title = tr("Append MP3 Files");
            filter = tr("MP3 Audio Files (*.mp3)");
        } else {
            title = tr("Append AAC Files");
            filter = tr("AAC MPEG-4/ADTS Audio Files (*.m4a *.m4b *.m4r *.mp4 *.aac)");
        }
        m_pickerMode = 2;
    }
    const QStringList files = chooseOpenFileNames(title, filter);
    if (files.isEmpty())
        return;
    if (append)
        appendFileList(files);
    else
        openFileOrProjectList(files);
}

void KvQmlController::actionOpen()
{
    KvEditLock lock(m_model ? &m_model->mutex() : nullptr);
    if (m_model && !lock)
        return;
    actionImportOpenAppend(0, false);
}

void KvQmlController::actionAppend()
{
    KvEditLock lock(m_model ? &m_model->mutex() : nullptr);
    if (m_model && !lock)
        return;
    actionImportOpenAppend(0, true);
}

void KvQmlController::actionImportBrowserOpen()
{
    KvEditLock lock(m_model ? &m_model->mutex() : nullptr);
    if (m_model && !lock)
        return;
    actionImportOpenAppend(1, false);
}

void KvQmlController::actionImportBrowserAppend()
{
    KvEditLock lock(m_model ? &m_model->mutex() : nullptr);
    if (m_model && !lock)
        return;
    actionImportOpenAppend(1, true);
}

void KvQmlController::actionImportITunesOpen()
{
    KvEditLock lock(m_model ? &m_model->mutex() : nullptr);
    if (m_model && !lock)
        return;
    actionImportOpenAppend(2, false);
}

void KvQmlController::actionImportITunesAppend()
{
    KvEditLock lock(m_model ? &m_model->mutex() : nullptr);
    if (m_model && !lock)
        return;
    actionImportOpenAppend(2, true);
}

// ---- Recorded files, search and the touch interface's picker ----

bool KvQmlController::actionLoadRecordedFiles()
{
    if (!m_recordedFiles.isEmpty())
        openFileList(m_recordedFiles);
    m_recordedFiles.clear();
    return true;
}

bool KvQmlController::actionDeleteRecordedFiles()
{
    if (!m_recordedFiles.isEmpty()) {
        const int answer = uiServices().message(m_messageBoxParent, KvUi::Warning,
                                                QCoreApplication::applicationName(),
                                                tr("Are you sure you wish to discard the recordings?"),
                                                KvUi::Yes | KvUi::No, KvUi::No);
        if (answer != KvUi::Yes)
            return false;
    }
    for (const QString &file : qAsConst(m_recordedFiles))
        QFile::remove(file);
    m_recordedFiles.clear();
    return true;
}

bool KvQmlController::actionSearchAudioFiles(QString)
{
    setToastMessage(tr("Not implemented!"));
    return false;
}

void KvQmlController::actionFilePicked(QUrl fileUrl)
{
    if (fileUrl.isEmpty())
        return;
    const QString path = fileUrl.toLocalFile();
    switch (m_pickerMode) {
    case 0:
        openFileOrProjectList({path});
        break;
    case 1: {
        bool removeAfter = false;
        if (importArtworkImage({path}, removeAfter))
            rememberOpenFolder(path);
        break;
    }
    case 2:
        appendFileList({path});
        break;
    case 3:
        projectSavedAsPicked(path);
        break;
    case 4:
        exportSelectionFilePicked(path);
        break;
    case 5:
        exportAllFilePicked(path, true);
        break;
    case 6:
        exportTracksFolderPicked(path);
        break;
    case 7:
    case 8:
    case 9:
        // Selection, all, tracks: the order of the conversion commands.
        convertFileOrTracksUrl(fileUrl, m_pickerMode == 7, m_pickerMode == 9);
        break;
    default:
        break;
    }
}

void KvQmlController::projectSavedAsPicked(const QString &path)
{
    // What waited for the save is read first: opening or loading it sets
    // the pending state anew.
    const QStringList files = m_pendingFiles;
    const QString project = m_pendingProjectPath;
    const bool close = m_pendingClose;
    const bool exit = m_pendingExit;
    if (!setLastSavePathFromFile(path))
        return;
    resetPendingState(QString());
    if (!project.isEmpty())
        loadProjectUrl(QUrl::fromLocalFile(project));
    else if (!files.isEmpty())
        openFileOrProjectList(files);
    else if (close)
        closeProject(true, true);
    else if (exit)
        stateActionExitAskSureQ_Finished(KvUi::Yes);
    // Whatever followed set nothing that still waits.
    resetPendingState(QString());
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
    if (files.isEmpty())
        return;
    if (m_pickerMode == 1)
        actionFilePicked(files.first());
    else
        openFileOrProjectList(localPaths(files));
}

void KvQmlController::stateActionAppendFilesDlg_Picked(QList<QUrl> files)
{
    if (files.isEmpty())
        return;
    appendFiles(localPaths(files));
}

void KvQmlController::stateActionOpenFileListFailedC_Finished(int)
{
    uiServices().message(m_messageBoxParent, KvUi::Question, QCoreApplication::applicationName(),
                         tr("Project file failed to load. Do you wish to delete it?"), KvUi::Yes | KvUi::No,
                         KvUi::No);
}

void KvQmlController::stateActionOpenFileListDelProjQ_Finished(int result)
{
    if (result == KvUi::Yes)
        assignAndNotify(m_delProjFileName, m_pendingProjectPath, &KvQmlController::delProjFileNameChanged);
}

void KvQmlController::stateActionLoadFiles()
{
    if (m_playState == 1 || m_playState == 2)
        stop();
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : KvQmlModel::FragmentListPtr();
    const bool changed = m_model && (!m_model->undoStack()->isClean() || m_model->projectChanged());
    if (cursor && cursor->totalFrames() > 0 && changed) {
        const QString project = m_model->projectFile();
        const QString question = project.isEmpty()
                                     ? tr("Save changes to untitled project?")
                                     : tr("Save changes to project %1?").arg(nativeLongPath(project));
        const int answer = uiServices().message(m_messageBoxParent, KvUi::Question,
                                                QCoreApplication::applicationName(), question,
                                                KvUi::Yes | KvUi::No | KvUi::Cancel, KvUi::Cancel);
        stateActionLoadFilesSaveChangesQ_Finished(answer);
        return;
    }
    stateActionLoadFilesSaveChangesQ_Finished(0);
}

void KvQmlController::stateActionLoadFilesSaveChangesQ_Finished(int result)
{
    // Saving through save-as empties the pending state; what waits to be
    // loaded is taken first.
    const QStringList files = m_pendingFiles;
    const QString path = m_pendingProjectPath;
    if (result == KvUi::Yes) {
        const bool saved = m_model && !m_model->projectFile().isEmpty() ? actionSaveProject()
                                                                          : actionSaveProjectAs(false);
        if (!saved)
            return;
    } else if (result == KvUi::Ok) {
        if (!actionSaveProjectAs(false))
            return;
    }
    if (result == KvUi::Cancel)
        return;
    if (path.isEmpty()) {
        loadFileUrls(localUrls(files));
        if (!files.isEmpty())
            rememberOpenFolder(files.first());
    } else {
        if (loadProjectUrl(QUrl::fromLocalFile(path))) {
            updateRecentFiles(path);
            rememberOpenFolder(path);
        }
    }
}

void KvQmlController::stateActionLoadUrlsHelpW_Finished(int result)
{
    if (result == KvUi::Help)
        QDesktopServices::openUrl(QUrl(joiningFormatsHelpAddress(), QUrl::StrictMode));
}

int KvQmlController::pickedFilesAnswer(const QString &errors, const QList<QUrl> &files)
{
    setPendingFiles(localPaths(files));
    int answer = KvUi::Ok;
    if (!errors.isEmpty()) {
        const bool remain = !m_pendingFiles.isEmpty();
        answer = uiServices().message(
            m_messageBoxParent, KvUi::Warning, QCoreApplication::applicationName(),
            errors + (remain ? tr("\nDo you wish to continue?") : tr("\n\nUnable to continue!")),
            remain ? KvUi::Ok | KvUi::Cancel : KvUi::Abort, remain ? KvUi::Ok : KvUi::Abort);
    }
    return answer;
}

void KvQmlController::stateActionOpenFilesDlg_ErrorsPicked(QString errors, QList<QUrl> files)
{
    stateActionOpenFilesDlg_ErrorsPickedQ(pickedFilesAnswer(errors, files));
}

void KvQmlController::stateActionAppendFilesDlg_ErrorsPicked(QString errors, QList<QUrl> files)
{
    stateActionAppendFilesDlg_ErrorsPickedQ(pickedFilesAnswer(errors, files));
}

void KvQmlController::stateActionOpenFilesDlg_ErrorsPickedQ(int result)
{
    if (result == KvUi::Ok && !m_pendingFiles.isEmpty())
        openFileList(m_pendingFiles);
}

void KvQmlController::stateActionAppendFilesDlg_ErrorsPickedQ(int result)
{
    if (result == KvUi::Ok && !m_pendingFiles.isEmpty())
        appendFiles(m_pendingFiles);
}

void KvQmlController::stateActionNativeFileDialogFilesSent(bool, QStringList)
{
    // Files handed over by an export, else by a conversion.
    setHelpUsage(m_filesSentByExport ? "ExportDone" : "ConvertDone");
}

void KvQmlController::load_thread_finished()
{
    QSettings settings;
    const double position = settings.value(QStringLiteral("Settings/suspendedProjectScrollPos"), -1).toDouble();
    settings.setValue(QStringLiteral("Settings/suspendedProjectScrollPos"), -1);
    if (position != -1)
        setScrollFrame(position);
    // What was loaded is recorded as the document to resume (a recovery copy
    // only in touch mode).
    suspendProject();
    emit loadRecordedFileSig(QString(), false);
}

void KvQmlController::loadRecordedFileImpl(QString recFile, bool append)
{
    if (recFile.isEmpty())
        return;
    if (!append) {
        openFileList({recFile});
        return;
    }
    bool removeAfter = false;
    if (importArtworkImage({recFile}, removeAfter))
        rememberOpenFolder(recFile);
}

void KvQmlController::handleFileUrlReceived(QUrl url)
{
    const QString file = url.toLocalFile();
    if (!file.isEmpty())
        emit loadRecordedFileSig(file, false);
}
