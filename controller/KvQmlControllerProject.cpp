// Project files, the project commands, and suspend and recovery.
#include "KvQmlController.h"

#include <KvAudioFragmentList.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvTagArchive.h>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>

#include <QFile>
#include <QSettings>
#include <QUndoStack>

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

void KvQmlController::loadProjectTracks(boost::archive::text_iarchive &ar, bool install)
{
    // A file may name one stored object twice; owning it twice would free it
    // twice, so such a file is refused. Everything read stays alive until the
    // end, so that no address is reused while it is being compared.
    std::vector<KvTagPropertyPtr> loaded;
    const auto readOne = [&ar, &loaded]() {
        ar.register_type<KvTagProperty>();
        if (auto *checked = dynamic_cast<KvTextIArchive *>(&ar))
            checked->expectPointer(typeid(KvTagProperty));
        KvTagProperty *raw = nullptr;
        ar >> raw;
        if (!raw)
            return KvTagPropertyPtr();
        for (const KvTagPropertyPtr &p : loaded)
            if (p.get() == raw)
                boost::serialization::throw_exception(boost::archive::archive_exception(
                    boost::archive::archive_exception::pointer_conflict));
        loaded.emplace_back(raw);
        return loaded.back();
    };

    int count = 0;
    ar >> count;
    KvQmlModel::FilePropertiesPtr list;
    if (install && m_model) {
        list.reset(new KvFileProperties(this));
        m_model->setTrackList(list);
    }
    for (int i = 0; i < count; ++i) {
        const KvTagPropertyPtr track = readOne();
        // Null entries are dropped: every user of the list expects a track.
        if (list)
            list->appendTrack(track);
    }
    const KvTagPropertyPtr fileTags = readOne();
    if (install && m_model)
        m_model->setFileTagProperty(fileTags);
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
    if (m_selectionStart != -1) {
        m_selectionStart = -1;
        emit selectionStartChanged(-1.0);
        refreshDocumentState();
    }
    if (m_selectionEnd != -1) {
        m_selectionEnd = -1;
        emit selectionEndChanged(-1);
        refreshDocumentState();
    }
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

bool KvQmlController::loadProjectUrl(QUrl projectNameUrl)
{
    // Not built yet.
    return false;
}

bool KvQmlController::saveProjectUrl(QUrl projectNameUrl)
{
    // Not built yet.
    return false;
}

void KvQmlController::initialise()
{
    // Not built yet.
}

void KvQmlController::initDelProjFilesModel(QAbstractItemModel *model, QString delProjFileName)
{
    // Not built yet.
}

bool KvQmlController::actionClose()
{
    // Not built yet.
    return false;
}

bool KvQmlController::actionExit()
{
    // Not built yet.
    return false;
}

bool KvQmlController::actionSaveOverExit()
{
    // Not built yet.
    return false;
}

bool KvQmlController::checkSaveChanges(bool exiting, bool keepPending, bool loadAfter)
{
    // Not built yet.
    return true;
}

void KvQmlController::updateRecentFiles(const QString &file)
{
    // Not built yet.
}

bool KvQmlController::actionSaveProject()
{
    // Not built yet.
    return false;
}

bool KvQmlController::actionSaveProjectAs(bool loadAfter)
{
    // Not built yet.
    return false;
}

bool KvQmlController::actionRevertProjectToSaved()
{
    // Not built yet.
    return false;
}

void KvQmlController::actionSuspend()
{
    // Not built yet.
}

void KvQmlController::stateActionExit()
{
    // Not built yet.
}

void KvQmlController::stateActionClose()
{
    // Not built yet.
}

void KvQmlController::stateActionCloseSaveChangesQ_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionSaveProjectAsI_Finished()
{
    // Not built yet.
}

void KvQmlController::stateActionRevertProjectToSavedQ_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionExitSaveChangesQ_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::stateActionExitAskSureQ_Finished(int result)
{
    // Not built yet.
}

void KvQmlController::appStateChanged(Qt::ApplicationState appState)
{
    // Not built yet.
}
