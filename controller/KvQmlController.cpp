#include "KvQmlController.h"

#include <KvAppUndo.h>
#include <KvClock.h>
#include <KvConnect.h>
#include <KvDocumentFrames.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvPlayThreadFactory.h>
#include <KvTrackInfoUndo.h>
#include <KvUiServices.h>

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QUndoStack>

#include <cmath>
#include <limits>

namespace {

KvQmlController *g_controller = nullptr;
KvQmlModel *g_currentModel = nullptr;

// Frames arrive as doubles from views and scripts: truncate toward zero and
// keep NaN and out-of-range values from becoming undefined conversions.
qint64 toFrame(double value)
{
    if (std::isnan(value))
        return -1;
    constexpr double limit = 9.2e18;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value <= -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(value);
}

bool isSelection(qint64 start, qint64 end) { return start != -1 && end != -1 && start != end; }

void writeEditDone()
{
    QSettings().setValue("HelpUsage/EditDone", true);
}

} // namespace

KvQmlController::KvQmlController(QObject *parent, const KvControllerSeams &seams)
    : QObject(parent), m_seams(seams)
{
    qRegisterMetaType<KvQmlModel *>("KvQmlModel*");
    readSettings();
    g_controller = this;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        kvConnect(QGuiApplication::clipboard(), SIGNAL(changed(QClipboard::Mode)), this,
                    SLOT(ClipboardChanged(QClipboard::Mode)));
    if (qGuiApp) {
        kvConnect(qGuiApp, SIGNAL(paletteChanged(QPalette)), this, SLOT(CheckIsDarkMode(QPalette)));
        loadPaletteColors(m_uiWindowColor, m_uiTextColor);
    }
}

KvQmlController::~KvQmlController()
{
    writeSettings();
    if (g_controller == this)
        g_controller = nullptr;
}

KvQmlController *KvQmlController::instance() { return g_controller; }

KvUiServices &KvQmlController::uiServices() const { return m_seams.ui ? *m_seams.ui : kvUi(); }

KvClock &KvQmlController::clock() const { return m_seams.clock ? *m_seams.clock : KvClock::system(); }

KvPlayThreadFactory &KvQmlController::playThreadFactory() const
{
    return m_seams.playThreads ? *m_seams.playThreads : KvPlayThreadFactory::standard();
}

KvUiServices &KvQmlController::registeredUi() { return g_controller ? g_controller->uiServices() : kvUi(); }

KvQmlModel *KvQmlController::currentModel() { return g_currentModel; }

void KvQmlController::setModel(KvQmlModel *model)
{
    if (model == m_model)
        return;
    m_model = model;
    g_currentModel = model;
    appCurrentModel = model;
    closeProject(true, false);
    emit modelChanged(model);
}

qint64 KvQmlController::documentFrames() const
{
    return m_model ? documentTotalFrames(m_model->fragmentList().get()) : 0;
}

double KvQmlController::totalFrames() const { return double(documentFrames()); }

bool KvQmlController::hasSelection() const { return isSelection(m_selectionStart, m_selectionEnd); }

bool KvQmlController::hasFragments() const { return documentFrames() > 0; }

double KvQmlController::scrollFrame() const { return std::trunc(m_scrollFrame); }

void KvQmlController::setScrollFrame(double frame)
{
    const qint64 n = qBound<qint64>(0, toFrame(frame), documentFrames());
    if (double(n) == m_scrollFrame)
        return;
    m_scrollFrame = double(n);
    updateTrackCapabilities();
    updateTrackPoints();
    updateCurrentPosFileName();
    emit scrollFrameChanged(m_scrollFrame);
}

void KvQmlController::setSelectionStart(double frame)
{
    const qint64 v = toFrame(frame);
    if (v == m_selectionStart)
        return;
    m_selectionStart = v;
    emit selectionStartChanged(double(v));
    refreshDocumentState();
}

void KvQmlController::setSelectionEnd(double frame)
{
    const qint64 v = toFrame(frame);
    if (v == m_selectionEnd)
        return;
    m_selectionEnd = v;
    emit selectionEndChanged(int(v));
    refreshDocumentState();
}

void KvQmlController::setUseAutoTrackNum(bool on)
{
    if (on == m_useAutoTrackNum)
        return;
    m_useAutoTrackNum = on;
    emit useAutoTrackNumChanged(on);
    emit updateWidget();
}

void KvQmlController::setTrackNameFormat(const QString &pattern)
{
    if (pattern == m_trackNameFormat)
        return;
    m_trackNameFormat = pattern;
    emit trackNameFormatChanged(pattern);
    emit updateWidget();
}

void KvQmlController::refreshDocumentState()
{
    if (m_selectionStart != m_publishedSelectionStart || m_selectionEnd != m_publishedSelectionEnd)
        emit selectionChanged();

    // Before the first announcement the views know of no selection.
    const bool selected = isSelection(m_selectionStart, m_selectionEnd);
    const bool wasSelected =
        m_selectionPublished && isSelection(m_publishedSelectionStart, m_publishedSelectionEnd);
    if (selected != wasSelected)
        emit hasSelectionChanged(selected);

    const double count = totalFrames();
    if (count != m_publishedTotalFrames) {
        m_publishedTotalFrames = count;
        emit totalFramesChanged(count);
    }

    const bool present = count > 0;
    if (present != m_publishedFragments) {
        m_publishedFragments = present;
        updateTrackCapabilities();
        updateTrackPoints();
        emit hasFragmentsChanged(present);
    }

    m_publishedSelectionStart = m_selectionStart;
    m_publishedSelectionEnd = m_selectionEnd;
    m_selectionPublished = true;
}

void KvQmlController::refreshAfterUndo()
{
    updateTrackCapabilities();
    updateStatusMessage();
    updateNumTracks();
    updateCurrentPosFileName();
    emit calcViews();
}

void KvQmlController::setCurrentPosFileName(const QString &name)
{
    if (name == m_currentPosFileName)
        return;
    m_currentPosFileName = name;
    emit currentPosFileNameChanged(name);
}

void KvQmlController::updateCurrentPosFileName()
{
    // Only an empty document can be told apart until the cursor can look up
    // the fragment under the position.
    if (documentFrames() <= 0)
        setCurrentPosFileName(QString());
}

QString KvQmlController::updateStatusMessage()
{
    // The document's one-line description comes from the engine's
    // information text, which is not part of the build yet.
    const QString text;
    if (text != m_statusMessage) {
        m_statusMessage = text;
        emit statusMessageChanged(text);
    }
    return m_statusMessage;
}

qint64 KvQmlController::trackCapabilityPosition() const
{
    const qint64 position = toFrame(m_scrollFrame);
    // Just behind the last frame counts as the open end.
    return position == documentFrames() ? KvTagProperty::EndMarker : position;
}

void KvQmlController::updateTrackCapabilities()
{
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    if (!list)
        return;
    const bool frames = documentFrames() >= 1;
    const qint64 pos = trackCapabilityPosition();

    const auto publish = [this](bool value, bool &member, void (KvQmlController::*signal)(bool)) {
        if (value == member)
            return;
        member = value;
        emit(this->*signal)(value);
    };
    publish(list->hasTracks(), m_hasTracks, &KvQmlController::hasTracksChanged);
    publish(frames && list->canSetTrackStart(pos), m_canSetTrackStart,
            &KvQmlController::canSetTrackStartChanged);
    publish(frames && list->canSetTrackEnd(pos), m_canSetTrackEnd,
            &KvQmlController::canSetTrackEndChanged);
    publish(frames && list->canSplitTrack(pos), m_canSplitTrack,
            &KvQmlController::canSplitTrackChanged);
    publish(frames && list->canDeleteTrack(pos), m_canDeleteTrack,
            &KvQmlController::canDeleteTrackChanged);
}

void KvQmlController::updateNumTracks()
{
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const int count = documentFrames() > 0 ? (list ? list->trackCount() : 0) : -1;
    if (count == m_numTracks)
        return;
    m_numTracks = count;
    emit numTracksChanged(count);
}

void KvQmlController::updateTrackPoints()
{
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const qint64 p = toFrame(m_scrollFrame);
    const qint64 total = documentFrames();
    double next = -1.0;
    double previous = -1.0;
    if (list) {
        qint64 n = list->nextTrackPoint(p);
        if (n == KvTagProperty::EndMarker)
            n = p < total ? total : -1;
        next = double(n);
        previous = double(list->previousTrackPoint(p));
    }
    if (next != m_nextTrackPoint) {
        m_nextTrackPoint = next;
        emit nextTrackPointChanged(next);
    }
    if (previous != m_previousTrackPoint) {
        m_previousTrackPoint = previous;
        emit previousTrackPointChanged(previous);
    }
}

void KvQmlController::onTrackInfoUpdated()
{
    updateNumTracks();
    emit TrackInfoUpdated();
}

void KvQmlController::pushTrackCommand(KvTrackInfoUndo *command)
{
    if (command)
        m_model->undoStack()->push(command);
    writeEditDone();
}

void KvQmlController::setTrackStart(double dbFramePos)
{
    const qint64 pos = toFrame(dbFramePos);
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const bool shift = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
    pushTrackCommand(list ? list->setTrackStart(pos, shift) : nullptr);
}

void KvQmlController::setTrackEnd(double dbFramePos)
{
    const qint64 pos = toFrame(dbFramePos);
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const bool shift = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
    pushTrackCommand(list ? list->setTrackEnd(pos, shift) : nullptr);
}

void KvQmlController::splitTrack(double dbFramePos)
{
    const qint64 pos = toFrame(dbFramePos);
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    pushTrackCommand(list ? list->splitTrack(pos, documentFrames()) : nullptr);
}

void KvQmlController::deleteTrack(double dbFramePos)
{
    const qint64 pos = toFrame(dbFramePos);
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const bool shift = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
    pushTrackCommand(list ? list->deleteTrack(pos, shift) : nullptr);
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

void KvQmlController::rememberOpenFolder(const QString &path)
{
    setLastOpenPath(QFileInfo(path).absolutePath());
}
