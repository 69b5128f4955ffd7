// Project files, the project commands, and suspend and recovery.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvFile.h>
#include <KvFileProperties.h>
#include <KvFragmentListArchive.h>
#include <KvQStringArchive.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagArchive.h>
#include <KvTextIArchive.h>
#include <KvUiServices.h>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>
#include <QUndoStack>

#include <sstream>
#include <string>
#include <vector>

void KvQmlController::saveProjectTracks(boost::archive::text_oarchive &ar) const
{
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const int count = list ? int(list->tracks().size()) : 0;
    ar << count;
    if (list) {
        for (const KvTagPropertyPtr &track : list->tracks()) {
            ar.register_type<KvTagProperty>();
            const KvTagProperty *p = track.get();
            ar << p;
        }
    }
    ar.register_type<KvTagProperty>();
    const KvTagProperty *fileTags = m_model ? m_model->fileTagProperty().get() : nullptr;
    ar << fileTags;
}

namespace {

// The tail of a project: a fresh track list (entries read in order, null
// ones dropped: every user of the list expects a track) and the whole-file
// tags. Nothing of the model is touched, so a failed read leaves it as it was.
void readProjectTail(boost::archive::text_iarchive &ar, KvFileProperties &list, KvTagPropertyPtr &fileTags)
{
    // A file may name one stored object twice; owning it twice would free it
    // twice, so such a file is refused. Everything read stays alive until the
    // end, so that no address is reused while it is being compared.
    std::vector<KvTagPropertyPtr> loaded;
    KvArchiveLoadGuard guard;
    const auto readOne = [&ar, &loaded]() {
        ar.register_type<KvTagProperty>();
        if (auto *checked = dynamic_cast<KvTextIArchive *>(&ar))
            checked->expectPointer(typeid(KvTagProperty));
        KvTagProperty *raw = nullptr;
        ar >> raw;
        if (!raw)
            return KvTagPropertyPtr();
        KvArchiveLoadGuard::adopt(raw);
        for (const KvTagPropertyPtr &p : loaded)
            if (p.get() == raw)
                boost::serialization::throw_exception(boost::archive::archive_exception(
                    boost::archive::archive_exception::pointer_conflict));
        loaded.emplace_back(raw);
        return loaded.back();
    };

    int count = 0;
    ar >> count;
    if (count < 0)
        boost::serialization::throw_exception(
            boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error));
    for (int i = 0; i < count; ++i) {
        const KvTagPropertyPtr track = readOne();
        if (track)
            list.appendTrack(track);
    }
    fileTags = readOne();
}

} // namespace

void KvQmlController::loadProjectTracks(boost::archive::text_iarchive &ar, bool install)
{
    const KvQmlModel::FilePropertiesPtr list(new KvFileProperties(this));
    KvTagPropertyPtr fileTags;
    readProjectTail(ar, *list, fileTags);
    if (install && m_model) {
        m_model->setTrackList(list);
        m_model->setFileTagProperty(fileTags);
    }
}

void KvQmlController::closeProject(bool clearStack, bool clearSuspendedProj)
{
    if (m_model) {
        m_model->setFragmentList(KvQmlModel::FragmentListPtr());
        m_model->setTrackList(KvQmlModel::FilePropertiesPtr(new KvFileProperties(this)));
        m_model->setFileTagProperty(KvTagPropertyPtr(new KvTagProperty(-1, -1)));
        m_model->setProjectFile(QString());
    }
    if (clearSuspendedProj) {
        QSettings settings;
        clearSuspendedProject(settings);
        settings.setValue("Settings/lastOpenProjectPath", QString());
    }
    if (clearStack && m_model)
        m_model->clearUndo();

    setScrollFrame(0);
    resetSelection();
    refreshDocumentState();
    refreshAfterUndo();
}

void KvQmlController::clearSuspendedProject(QSettings &settings)
{
    settings.setValue("Settings/suspendedProjectHasChanges", false);
    settings.setValue("Settings/suspendedProjectPath", QString());
    if (!m_suspendedFile.isEmpty() && QFile::exists(m_suspendedFile))
        QFile::remove(m_suspendedFile);
    m_suspendedFile.clear();
}

namespace {

const char kSignature[] = "mp3Morvelta.ver.kvlproj";
const char kOldMp3Signature[] = "mp3Morvelta.kvlproj";
const char kOldAacSignature[] = "aacMorvelta.kvlproj";
const int kProjectVersion = 2;

bool s_touchMode = false;

// The long canonical name the file will have once written: a new file's
// folder is resolved instead of the file itself.
QString writtenPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return normalizeLongPath(path);
    return QDir::toNativeSeparators(normalizeLongPath(info.absolutePath()) + QLatin1Char('/') + info.fileName());
}

// Every line end becomes LF, so that a copy with CR LF or CR line ends reads
// the same.
QByteArray withUnixLineEnds(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (int i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '\r') {
            out.append('\n');
            if (i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
                ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace

bool KvQmlController::touchMode() { return s_touchMode; }

void KvQmlController::setTouchMode(bool on) { s_touchMode = on; }

int KvQmlController::projectMessage(int icon, const QString &text, int buttons, int defaultButton)
{
    // The wait cursor is not shown over a question.
    const bool waiting = QGuiApplication::overrideCursor() != nullptr;
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
    const int answer = uiServices().message(m_messageBoxParent, KvUi::Icon(icon),
                                            QCoreApplication::applicationName(), text, buttons, defaultButton);
    if (waiting)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    return answer;
}

bool KvQmlController::writeProject(const QString &path)
{
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr;
    if (!cursor)
        return false;
    const QString target = normalizeLongPath(path);
    const auto fail = [this](const QString &reason) {
        projectMessage(KvUi::Critical,
                       tr("Unable to save project: %1 - Do you want to try saving the project under a new name or "
                          "folder?")
                           .arg(reason),
                       KvUi::Ok | KvUi::Cancel, KvUi::Ok);
        return false;
    };

    // The text is built in memory first: a failing write never leaves a
    // half-written project in place of a good one.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return fail(tr("open failed"));
    std::ostringstream os;
    try {
        os << kKvArchiveHeader << ' ';
        boost::archive::text_oarchive ar(os, boost::archive::no_header);
        const std::string signature(kSignature);
        const int version = kProjectVersion;
        const KvRepackInfoPtrListPtr list = cursor->list();
        const QByteArray format = documentFileSuffix(list).toUtf8();
        const std::string formatName(format.constData(), size_t(format.size()));
        const qint64 scroll = kvFrameOf(m_scrollFrame);
        const qint64 selStart = m_selectionStart;
        const qint64 selEnd = m_selectionEnd;
        ar << signature << version << formatName << scroll << selStart << selEnd;
        const QString projectPath = writtenPath(target);
        ar << projectPath;
        saveFragmentList(list, ar);
        saveProjectTracks(ar);
    } catch (const std::exception &) {
        file.cancelWriting();
        return fail(tr("write failed"));
    }
    const std::string text = os.str();
    if (!os || file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit())
        return fail(tr("write failed"));
    m_model->setProjectChanged(false);
    return true;
}

QString KvQmlController::readProject(int flags, const QString &path, bool remember,
                                     KvRepackInfoPtrListPtr *loadState)
{
    const bool show = (flags & (KvLoadOption::Interactive | KvLoadOption::Append)) != 0;
    const bool install = (flags & KvLoadOption::Append) != 0;
    const auto failure = [this, show](const QString &text) {
        if (show)
            projectMessage(KvUi::Critical, text, KvUi::Ok, KvUi::Ok);
        refreshDocumentState();
        return text;
    };
    if (!m_model)
        return failure(tr("Unable to load project: %1 - please check for an updated version of this application.")
                           .arg(tr("no document")));

    const QString newPath = normalizeLongPath(path);
    if (!QFileInfo(newPath).isFile())
        return failure(tr("Unable to load project: %1 - the file does not exist.").arg(newPath));
    QFile file(newPath);
    if (!file.open(QIODevice::ReadOnly))
        return failure(tr("Unable to load project: %1 - please check for an updated version of this application.")
                           .arg(file.errorString()));
    const QByteArray bytes = withUnixLineEnds(file.readAll());
    file.close();

    // The current document stays as it is until the new one has been read
    // completely; its sources may be shared by the new one.
    const KvQmlModel::FragmentListPtr current = m_model->fragmentList();
    const KvRepackInfoPtrListPtr currentList = current ? current->list() : KvRepackInfoPtrListPtr();
    const QString unrecognized =
        tr("File format is not recognized - please check for an updated version of this application.");

    QString format;
    qint64 scroll = 0;
    qint64 selStart = -1;
    qint64 selEnd = -1;
    KvRepackInfoPtrListPtr loaded;
    bool relocated = false;
    const KvQmlModel::FilePropertiesPtr tracks(new KvFileProperties(this));
    KvTagPropertyPtr fileTags;
    try {
        std::istringstream is(std::string(bytes.constData(), size_t(bytes.size())));
        KvTextIArchive ar(is);
        std::string signature;
        ar.loadString(signature);
        if (signature == kSignature) {
            int version = 0;
            ar.loadInteger(version);
            // Every file with this signature was written as version 2 or later.
            if (version < kProjectVersion)
                return failure(unrecognized);
            std::string name;
            ar.loadString(name);
            format = QString::fromUtf8(name.data(), int(name.size()));
            ar.loadInteger(scroll);
            ar.loadInteger(selStart);
            ar.loadInteger(selEnd);
        } else if (signature == kOldMp3Signature) {
            format = QStringLiteral("mp3");
        } else if (signature == kOldAacSignature) {
            format = QStringLiteral("aac");
        } else {
            return failure(unrecognized);
        }
        QString savedPath;
        ar >> savedPath;

        KvRepackInfoPtrListPtr reference;
        const QString errors = loadFragmentList(flags, m_model->undoStack(), loadState, savedPath, newPath, &loaded,
                                                &reference, currentList, ar, &relocated, m_messageBoxParent);
        if (!errors.isEmpty())
            return failure(errors);
        readProjectTail(ar, *tracks, fileTags);
    } catch (const boost::archive::archive_exception &e) {
        const QString reason = e.code == boost::archive::archive_exception::unsupported_version
                                   ? tr("Archive created with a later version")
                                   : QString::fromLocal8Bit(e.what());
        return failure(
            tr("Unable to load project: %1 - please check for an updated version of this application.").arg(reason));
    } catch (const std::exception &e) {
        return failure(tr("Unable to load project: %1 - please check for an updated version of this application.")
                           .arg(QString::fromLocal8Bit(e.what())));
    }

    if (install) {
        // The list read decides the cursor's kind; the format name only
        // matters for a project without frames.
        KvQmlModel::FragmentListPtr cursor;
        if (loaded && loaded->fragmentCount() > 0) {
            cursor = createFragmentListFor(loaded);
            cursor->setList(loaded);
        } else {
            cursor = createFragmentListByFormat(format);
        }
        closeProject(true, false);
        m_model->setFragmentList(cursor);
        m_model->setTrackList(tracks);
        m_model->setFileTagProperty(fileTags);
        m_model->setProjectChanged(relocated);
        if (remember) {
            m_model->setProjectFile(newPath);
            updateRecentFiles(newPath);
        }
        m_model->clearUndo();
        resetSelection();
        setScrollFrame(double(scroll));
        // Edges a writer cannot have stored (outside the document) are unset.
        const qint64 total = documentFrames();
        if (selStart < -1 || selStart > total)
            selStart = -1;
        if (selEnd < -1 || selEnd > total)
            selEnd = -1;
        if (m_selectionStart != selStart) {
            m_selectionStart = selStart;
            emit selectionStartChanged(double(selStart));
            refreshDocumentState();
        }
        if (m_selectionEnd != selEnd) {
            m_selectionEnd = selEnd;
            emit selectionEndChanged(int(selEnd));
            refreshDocumentState();
        }
        actionScaleView();
        if (remember) {
            setLastOpenPath(QFileInfo(path).absolutePath());
            setLastSavePath(QString());
        }
        updateCanSaveDirtyProject();
    }
    refreshDocumentState();
    return QString();
}

bool KvQmlController::loadProjectFile(const QString &path, bool remember, const QString &, int)
{
    KvRepackInfoPtrListPtr loadState;
    const QString checked = readProject(KvLoadOption::Interactive, path, remember, &loadState);
    QString loaded;
    if (checked.isEmpty()) {
        loaded = readProject(KvLoadOption::Append, path, remember, &loadState);
        if (!loaded.isEmpty())
            projectMessage(KvUi::Critical, loaded, KvUi::Ok, KvUi::NoButton);
    }
    suspendProject();
    return !checked.isEmpty() || !loaded.isEmpty();
}

bool KvQmlController::loadProjectUrl(QUrl projectNameUrl)
{
    return loadProjectFile(projectNameUrl.toLocalFile(), true, QString(), 0);
}

bool KvQmlController::saveProjectUrl(QUrl projectNameUrl)
{
    bool saved = false;
    {
        KvWaitCursor wait;
        const QString path = projectNameUrl.toLocalFile();
        saved = writeProject(path);
        if (saved) {
            m_model->undoStack()->setClean();
            suspendProject();
            setLastSavePath(QFileInfo(path).absolutePath());
        }
        refreshDocumentState();
    }
    updateCanSaveDirtyProject();
    return saved;
}

bool KvQmlController::saveProjectFile(const QString &path)
{
    QString target = path.isEmpty() && m_model ? m_model->projectFile() : path;
    if (target.isEmpty())
        return saveProjectAsDialog(QString(), false, false, true);
    target = QUrl::fromLocalFile(target).toLocalFile();
    bool saved = false;
    {
        KvWaitCursor wait;
        saved = writeProject(target);
        if (saved) {
            m_model->undoStack()->setClean();
            // Named before the suspend step, which must see the saved
            // project as the one to resume, not as an untitled document.
            m_model->setProjectFile(normalizeLongPath(target));
            suspendProject();
            refreshDocumentState();
            setLastSavePath(QFileInfo(target).absolutePath());
        } else {
            refreshDocumentState();
        }
    }
    updateCanSaveDirtyProject();
    return saved;
}

bool KvQmlController::saveProjectAsDialog(const QString &name, bool keepPending, bool loadAfter, bool allowNotice)
{
    if (!keepPending)
        m_pendingFiles.clear();
    m_loadAfter = loadAfter;
    if (allowNotice && QSettings().value(QStringLiteral("Warnings/ShowSaveProjWarnDlg"), true).toBool())
        uiServices().runNotice(KvUi::SaveProjectWarning, m_messageBoxParent);
    if (!m_model || !m_model->fragmentList())
        return false;
    QString start = m_lastSavePath.isEmpty() ? m_lastOpenPath : m_lastSavePath;
    if (!name.isEmpty())
        start = name;
    else if (!m_model->projectFile().isEmpty())
        start = m_model->projectFile();
    const QString file =
        getAudioSaveFileName(m_messageBoxParent, tr("Save Project As"), start, QStringLiteral("kvlproj"));
    if (file.isEmpty())
        return false;
    return setLastSavePathFromFile(file);
}

bool KvQmlController::setLastSavePathFromFile(const QString &file)
{
    if (!saveProjectFile(file))
        return false;
    updateRecentFiles(m_model->projectFile());
    setLastSavePath(QFileInfo(m_model->projectFile()).absolutePath());
    afterExportOrConvert(false, false);
    return true;
}

bool KvQmlController::hasUnsavedChanges() const
{
    return m_model && documentFrames() > 0 && (!m_model->undoStack()->isClean() || m_model->projectChanged());
}

void KvQmlController::updateCanSaveDirtyProject()
{
    bool can = false;
    if (hasUnsavedChanges())
        can = !isPlaying();
    else
        can = m_model && m_model->projectFile().isEmpty() && documentFrames() > 0 && !isPlaying();
    assignAndNotify(m_canSaveDirtyProject, can, &KvQmlController::canSaveDirtyProjectChanged);
}

bool KvQmlController::saveChangesExitSteps()
{
    m_exiting = true;
    writeSettings();
    saveCurTrackTagInfo();
    suspendProject();
    return true;
}

bool KvQmlController::saveChangesClearingSteps()
{
    QSettings settings;
    clearSuspendedProject(settings);
    settings.setValue(QStringLiteral("Settings/lastOpenProjectPath"), QString());
    return true;
}

bool KvQmlController::checkSaveChanges(bool exiting, bool keepPending, bool loadAfter)
{
    if (isPlaying())
        stop();
    if (!m_promptOnExit && exiting)
        return saveChangesExitSteps();
    const auto goOn = [this, exiting] { return exiting ? saveChangesExitSteps() : saveChangesClearingSteps(); };
    if (hasUnsavedChanges()) {
        const QString projectFile = m_model->projectFile();
        const QString text = projectFile.isEmpty()
                                 ? tr("Save changes to untitled project?")
                                 : tr("Save changes to project %1?").arg(nativeLongPath(projectFile));
        const int answer =
            projectMessage(KvUi::Warning, text, KvUi::Yes | KvUi::No | KvUi::Cancel, KvUi::Cancel);
        if (answer == KvUi::Yes) {
            const bool saved = projectFile.isEmpty() ? saveProjectAsDialog(QString(), keepPending, loadAfter, true)
                                                     : saveProjectFile(QString());
            if (!saved)
                return false;
        } else if (answer != KvUi::No) {
            return false;
        }
        return goOn();
    }
    if (!m_promptOnExit || !exiting)
        return goOn();
    if (documentFrames() > 0 && (m_model->undoStack()->canUndo() || m_model->undoStack()->canRedo())) {
        if (projectMessage(KvUi::Warning, tr("Are you sure you wish to exit?"), KvUi::Yes | KvUi::No, KvUi::No) !=
            KvUi::Yes)
            return false;
    }
    return saveChangesExitSteps();
}

bool KvQmlController::actionClose()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return false;
    if (!checkSaveChanges(false, false, true))
        return false;
    closeProject(true, false);
    return true;
}

bool KvQmlController::actionExit() { return checkSaveChanges(true, false, false); }

bool KvQmlController::actionSaveProject()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return false;
    return saveProjectFile(QString());
}

bool KvQmlController::actionSaveProjectAs(bool loadAfter)
{
    KvEditLock lock(editMutex());
    if (!lock)
        return false;
    resetPendingState(QString());
    return saveProjectAsDialog(QString(), false, loadAfter, true);
}

bool KvQmlController::actionRevertProjectToSaved()
{
    KvEditLock lock(editMutex());
    if (!lock || !m_model)
        return false;
    const QString projectFile = m_model->projectFile();
    if (projectFile.isEmpty() || !QFileInfo::exists(projectFile))
        return false;
    const int answer = projectMessage(
        KvUi::Warning,
        tr("You will loose all your unsaved changes if you continue to Revert the file:\n\"%1\"\nPress OK to proceed "
           "or cancel to abort the Revert command.")
            .arg(projectFile),
        KvUi::Ok | KvUi::Cancel, KvUi::Cancel);
    if (answer != KvUi::Ok)
        return false;
    stateActionRevertProjectToSavedQ_Finished(KvUi::Ok);
    return true;
}

void KvQmlController::stateActionRevertProjectToSavedQ_Finished(int result)
{
    if (result != KvUi::Ok || !m_model)
        return;
    const QString projectFile = m_model->projectFile();
    QSettings settings;
    clearSuspendedProject(settings);
    loadProjectFile(projectFile, true);
    updateRecentFiles(projectFile);
    setLastOpenPath(QFileInfo(projectFile).absolutePath());
    setLastSavePath(QString());
}

void KvQmlController::updateRecentFiles(const QString &file)
{
    QStringList list;
    QString first;
    if (!file.isEmpty() && QFileInfo::exists(file)) {
        first = nativeLongPath(file);
        if (!first.isEmpty() && QFileInfo::exists(first))
            list << first;
    }
    for (const QString &entry : qAsConst(m_recentFiles))
        if (entry != first && QFileInfo::exists(entry))
            list << entry;
    while (list.size() > 10)
        list.removeLast();
    m_recentFiles = list;
    emit recentFilesChanged(list);
}

void KvQmlController::suspendProject()
{
    if (!touchMode() || m_isActionEditMode || !m_model || m_resuming)
        return;
    QSettings settings;
    const QString projectFile = m_model->projectFile();
    const qint64 frames = documentFrames();
    if (frames > 0 && m_model->undoStack()->isClean() && !m_model->projectChanged() && !projectFile.isEmpty() &&
        QFileInfo::exists(projectFile)) {
        clearSuspendedProject(settings);
        settings.setValue(QStringLiteral("Settings/lastOpenProjectPath"), projectFile);
        return;
    }
    if (frames <= 0) {
        if (!m_isWaiting)
            clearSuspendedProject(settings);
        return;
    }

    const QString folder = QDir::tempPath() + QStringLiteral("/RECOVERED");
    QString name;
    if (QDir().mkpath(folder)) {
        QTemporaryFile copy(folder + QStringLiteral("/mp3Morvelta_Susp_XXXXXX.kvlproj"));
        copy.setAutoRemove(false);
        if (copy.open())
            name = copy.fileName();
    }
    updateCanSaveDirtyProject();
    bool written = false;
    if (m_canSaveDirtyProject && !name.isEmpty()) {
        const bool changes = hasUnsavedChanges();
        written = writeProject(name);
        if (written) {
            settings.setValue(QStringLiteral("Settings/suspendedProjectHasChanges"), changes);
            settings.setValue(QStringLiteral("Settings/suspendedProjectPath"), name);
            settings.setValue(QStringLiteral("Settings/suspendedProjectScrollPos"), -1);
            if (!m_suspendedFile.isEmpty() && m_suspendedFile != name && QFileInfo::exists(m_suspendedFile))
                QFile::remove(m_suspendedFile);
            m_suspendedFile = name;
        }
        // The writer took the mark of unsaved changes off the document.
        if (changes)
            m_model->setProjectChanged(true);
    }
    // An unused recovery name is not left behind.
    if (!written && !name.isEmpty())
        QFile::remove(name);
    settings.setValue(QStringLiteral("Settings/lastOpenProjectPath"), projectFile);
}

void KvQmlController::initialise()
{
    ClipboardChanged(QClipboard::Clipboard);
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(static_cast<QGuiApplication *>(app), &QGuiApplication::applicationStateChanged, this,
                &KvQmlController::appStateChanged, Qt::UniqueConnection);
    m_timer.start(50);

    QSettings settings;
    const QString suspended = settings.value(QStringLiteral("Settings/suspendedProjectPath")).toString();
    const bool changes = settings.value(QStringLiteral("Settings/suspendedProjectHasChanges"), false).toBool();
    const QString lastProject = settings.value(QStringLiteral("Settings/lastOpenProjectPath")).toString();
    QString notice;
    bool resumedCopy = false;
    if (!suspended.isEmpty() && QFileInfo::exists(suspended)) {
        settings.setValue(QStringLiteral("Settings/suspendedProjectHasChanges"), false);
        settings.setValue(QStringLiteral("Settings/suspendedProjectPath"), QString());
        m_resuming = true;
        const bool failed = loadProjectFile(suspended, false);
        m_resuming = false;
        const bool untitled = lastProject.isEmpty();
        if (failed) {
            notice = untitled ? tr("Resuming edits failed!") : tr("Resuming project failed!");
            clearSuspendedProject(settings);
        } else {
            resumedCopy = true;
            // The copy is kept until the next suspension replaces it.
            m_suspendedFile = suspended;
            m_model->setProjectFile(lastProject);
            m_model->setProjectChanged(changes);
            notice = untitled ? tr("Resuming edits") : tr("Resuming project");
            if (!untitled && changes)
                notice += tr("\n'File | Revert' possible");
            updateCanSaveDirtyProject();
        }
    } else if (!lastProject.isEmpty() && QFileInfo::exists(lastProject)) {
        clearSuspendedProject(settings);
        settings.setValue(QStringLiteral("Settings/lastOpenProjectPath"), QString());
        const bool failed = loadProjectUrl(QUrl::fromLocalFile(lastProject));
        notice = failed ? tr("Resuming project failed!") : tr("Resuming project");
        if (failed)
            clearSuspendedProject(settings);
    } else {
        clearSuspendedProject(settings);
    }
    if (!notice.isEmpty() && notice != m_toastMessage)
        setToastMessage(notice);
    if (QCoreApplication *app = QCoreApplication::instance())
        app->setProperty("styleSheet", uiStyleSheet());
    if (!resumedCopy)
        emit loadRecordedFileSig(QString(), false);
}

void KvQmlController::saveForSuspension()
{
    writeSettings();
    saveCurTrackTagInfo();
    QSettings settings;
    settings.setValue(QStringLiteral("Settings/suspendedProjectScrollPos"),
                      documentFrames() > 0 ? double(kvFrameOf(m_scrollFrame)) : -1.0);
    settings.sync();
    if (m_recoveryCountdown > 0) {
        m_recoveryCountdown = 0;
        suspendProject();
    }
}

void KvQmlController::appStateChanged(Qt::ApplicationState appState)
{
    m_appState = appState;
    if (appState == Qt::ApplicationActive) {
        m_timer.start(50);
        emit scrollFrameChanged(m_scrollFrame);
    } else {
        m_timer.stop();
    }
    if (m_exiting || isPlaying() || m_flingVelocity != 0.0 || m_dragging)
        return;
    if (appState == Qt::ApplicationSuspended || appState == Qt::ApplicationInactive)
        saveForSuspension();
}

void KvQmlController::actionSuspend()
{
    m_timer.stop();
    if (m_appState == Qt::ApplicationActive)
        emit scrollFrameChanged(m_scrollFrame);
    saveForSuspension();
}

void KvQmlController::quitSteps()
{
    m_exiting = true;
    saveAndQuit();
}

void KvQmlController::saveAndQuit()
{
    writeSettings();
    saveCurTrackTagInfo();
    if (m_isActionEditMode)
        closeProject(true, true);
    else
        suspendProject();
    QCoreApplication::processEvents();
    QCoreApplication::quit();
}

bool KvQmlController::actionSaveOverExit()
{
    // No lock here: the export takes the model's mutex itself.
    const QString suffix =
        m_model && m_model->fragmentList() && documentFileSuffix(m_model->fragmentList()->list()) == "mp3"
            ? QStringLiteral("mp3")
            : QStringLiteral("m4a");
    QString name;
    {
        QTemporaryFile out(QDir::tempPath() + QStringLiteral("/MP3KQ_EXPA-XXXXXX.") + suffix);
        out.setAutoRemove(false);
        if (!out.open())
            return false;
        name = out.fileName();
    }
    exportFileUrl(QUrl::fromLocalFile(name), false, false);
    closeProject(true, true);
    saveAndQuit();
    return true;
}

void KvQmlController::initDelProjFilesModel(QAbstractItemModel *, QString) {}

void KvQmlController::stateActionClose()
{
    if (isPlaying())
        stop();
    if (hasUnsavedChanges()) {
        // The touch interface answers through stateActionCloseSaveChangesQ_Finished.
        const QString projectFile = m_model->projectFile();
        projectMessage(KvUi::Question,
                       projectFile.isEmpty() ? tr("Save changes to untitled project?")
                                             : tr("Save changes to project %1?").arg(nativeLongPath(projectFile)),
                       KvUi::Yes | KvUi::No | KvUi::Cancel, KvUi::Cancel);
        return;
    }
    closeProject(true, true);
}

void KvQmlController::stateActionCloseSaveChangesQ_Finished(int result)
{
    if (result == KvUi::Yes) {
        if (m_model && !m_model->projectFile().isEmpty()) {
            saveProjectFile(QString());
            closeProject(true, true);
        } else {
            saveProjectAsDialog(QString(), false, true, true);
        }
    } else if (result == KvUi::No) {
        closeProject(true, true);
    }
}

void KvQmlController::stateActionExit()
{
    if (isPlaying())
        stop();
    if (!m_promptOnExit) {
        quitSteps();
        return;
    }
    // The touch interface answers through the exit continuations below.
    if (hasUnsavedChanges()) {
        if (m_isActionEditMode) {
            projectMessage(KvUi::Question, tr("Are you sure you wish to exit without saving?"),
                           KvUi::Yes | KvUi::No, KvUi::No);
        } else {
            const QString projectFile = m_model->projectFile();
            projectMessage(KvUi::Question,
                           projectFile.isEmpty()
                               ? tr("Save changes to untitled project?")
                               : tr("Save changes to project %1?").arg(nativeLongPath(projectFile)),
                           KvUi::Yes | KvUi::No | KvUi::Cancel, KvUi::Cancel);
        }
        return;
    }
    if (documentFrames() > 0 && m_model && (m_model->undoStack()->canUndo() || m_model->undoStack()->canRedo())) {
        projectMessage(KvUi::Question, tr("Are you sure you wish to exit?"), KvUi::Yes | KvUi::No, KvUi::No);
        return;
    }
    quitSteps();
}

void KvQmlController::stateActionExitSaveChangesQ_Finished(int result)
{
    if (result == KvUi::Cancel)
        return;
    if (result == KvUi::Yes) {
        if (!m_model || m_model->projectFile().isEmpty()) {
            saveProjectAsDialog(QString(), false, false, true);
            return;
        }
        saveProjectFile(QString());
    }
    quitSteps();
}

void KvQmlController::stateActionExitAskSureQ_Finished(int result)
{
    if (result == KvUi::Yes)
        quitSteps();
}

void KvQmlController::stateActionSaveProjectAsI_Finished()
{
    saveProjectAsDialog(QString(), true, m_loadAfter, false);
}
