// The write accessors of the plain properties: each stores and announces a
// changed value only; the few that clamp or announce more say so. Also the
// touch interface's hooks that do nothing.
#include "KvQmlController.h"

#include <KvQmlModel.h>
#include <KvTagInfo.h>
#include <KvTagProperty.h>

#include <algorithm>
#include <cmath>

namespace {

// The edit mode outlives a controller: the next one starts with it.
bool g_editMode = false;

} // namespace

void KvQmlController::resetProcessState() { g_editMode = false; }

void KvQmlController::setHZoom(int zoom)
{
    if (!assignAndNotify(m_hZoom, qBound(1, zoom, maxHZoom()), &KvQmlController::hZoomChanged))
        return;
    // The play-position marker grows with the zoom between 3 and 5 dp.
    int width = (m_hZoom + 2) / 3;
    width = std::max(width, scaledDp(3.0) * m_painterPixelRatio);
    width = std::min(width, scaledDp(5.0) * m_painterPixelRatio);
    assignAndNotify(m_playPosWidth, width, &KvQmlController::playPosWidthChanged);
}

void KvQmlController::setMouseDragSelecting(MouseDragSelType mode)
{
    assignAndNotify(m_mouseDragSelecting, mode, &KvQmlController::mouseDragSelectingChanged);
}

void KvQmlController::setCeiling(double value) { assignAndNotify(m_ceiling, value, &KvQmlController::ceilingChanged); }

void KvQmlController::setFloor(double value) { assignAndNotify(m_floor, value, &KvQmlController::floorChanged); }

void KvQmlController::setHasDisplayGap(bool on)
{
    if (assignAndNotify(m_hasDisplayGap, on, &KvQmlController::hasDisplayGapChanged))
        emit updateWidget();
}

void KvQmlController::setDisplayOffset(int percent)
{
    if (assignAndNotify(m_displayOffset, qBound(0, percent, 100), &KvQmlController::displayOffsetChanged))
        emit updateWidget();
}

void KvQmlController::setUseAutoTrackNum(bool on)
{
    if (assignAndNotify(m_useAutoTrackNum, on, &KvQmlController::useAutoTrackNumChanged))
        emit updateWidget();
}

void KvQmlController::setTrackNameFormat(const QString &pattern)
{
    if (assignAndNotify(m_trackNameFormat, pattern, &KvQmlController::trackNameFormatChanged))
        emit updateWidget();
}

void KvQmlController::setLastOpenPath(const QString &folder)
{
    if (assignAndNotify(m_lastOpenPath, folder, &KvQmlController::lastOpenPathChanged))
        emit lastOpenPathUrlChanged(lastOpenPathUrl());
}

void KvQmlController::setLastSavePath(const QString &folder)
{
    if (assignAndNotify(m_lastSavePath, folder, &KvQmlController::lastSavePathChanged))
        emit lastSavePathUrlChanged(lastSavePathUrl());
}

QUrl KvQmlController::lastOpenPathUrl() const
{
    return m_lastOpenPath.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_lastOpenPath);
}

QUrl KvQmlController::lastSavePathUrl() const
{
    return m_lastSavePath.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_lastSavePath);
}

void KvQmlController::setLastOpenPathUrl(const QUrl &url)
{
    const QString folder = url.toLocalFile();
    if (folder == m_lastOpenPath)
        return;
    setLastOpenPath(folder);
    emit lastOpenPathUrlChanged(url);
}

void KvQmlController::setLastSavePathUrl(const QUrl &url)
{
    const QString folder = url.toLocalFile();
    if (folder == m_lastSavePath)
        return;
    setLastSavePath(folder);
    emit lastSavePathUrlChanged(url);
}

void KvQmlController::setLastOpenFilter(const QString &filter)
{
    assignAndNotify(m_lastOpenFilter, filter, &KvQmlController::lastOpenFilterChanged);
}

// A step must be a finite, positive time: anything else would make every
// time move undefined or a no-op.
void KvQmlController::setNavigateBlockSecs(double secs)
{
    if (!(std::isfinite(secs) && secs > 0.0))
        return;
    assignAndNotify(m_navigateBlockSecs, secs, &KvQmlController::navigateBlockSecsChanged);
}

void KvQmlController::setNavigatePageSecs(double secs)
{
    if (!(std::isfinite(secs) && secs > 0.0))
        return;
    assignAndNotify(m_navigatePageSecs, secs, &KvQmlController::navigatePageSecsChanged);
}

void KvQmlController::setUiWindowColor(const QColor &color)
{
    assignAndNotify(m_uiWindowColor, color, &KvQmlController::uiWindowColorChanged);
}

void KvQmlController::setUiTextColor(const QColor &color)
{
    assignAndNotify(m_uiTextColor, color, &KvQmlController::uiTextColorChanged);
}

void KvQmlController::setToastMessage(const QString &text)
{
    assignAndNotify(m_toastMessage, text, &KvQmlController::toastMessageChanged);
}

void KvQmlController::setLoopAudio(bool on) { assignAndNotify(m_loopAudio, on, &KvQmlController::loopAudioChanged); }

void KvQmlController::setCurTrack(int track)
{
    if (!assignAndNotify(m_curTrack, track, &KvQmlController::curTrackChanged))
        return;
    const boost::shared_ptr<KvTagProperty> property = tagPropertyAt(track);
    setCurTrackTags(property ? property->tagInfo() : KvTagInfo());
}

void KvQmlController::setCurTrackTitle(const QString &text)
{
    assignAndNotify(m_curTrackTitle, text, &KvQmlController::curTrackTitleChanged);
}

void KvQmlController::setCurTrackArtist(const QString &text)
{
    assignAndNotify(m_curTrackArtist, text, &KvQmlController::curTrackArtistChanged);
}

void KvQmlController::setCurTrackAlbumArtist(const QString &text)
{
    assignAndNotify(m_curTrackAlbumArtist, text, &KvQmlController::curTrackAlbumArtistChanged);
}

void KvQmlController::setCurTrackComposer(const QString &text)
{
    assignAndNotify(m_curTrackComposer, text, &KvQmlController::curTrackComposerChanged);
}

void KvQmlController::setCurTrackAlbum(const QString &text)
{
    assignAndNotify(m_curTrackAlbum, text, &KvQmlController::curTrackAlbumChanged);
}

void KvQmlController::setCurTrackCopyright(const QString &text)
{
    assignAndNotify(m_curTrackCopyright, text, &KvQmlController::curTrackCopyrightChanged);
}

void KvQmlController::setCurTrackGenre(const QString &text)
{
    assignAndNotify(m_curTrackGenre, text, &KvQmlController::curTrackGenreChanged);
}

void KvQmlController::setCurTrackComment(const QString &text)
{
    assignAndNotify(m_curTrackComment, text, &KvQmlController::curTrackCommentChanged);
}

void KvQmlController::setCurTrackTrack(int value)
{
    assignAndNotify(m_curTrackTrack, value, &KvQmlController::curTrackTrackChanged);
}

void KvQmlController::setCurTrackDisc(int value)
{
    assignAndNotify(m_curTrackDisc, value, &KvQmlController::curTrackDiscChanged);
}

void KvQmlController::setCurTrackYear(int value)
{
    assignAndNotify(m_curTrackYear, value, &KvQmlController::curTrackYearChanged);
}

void KvQmlController::setShowIconText(bool on)
{
    assignAndNotify(m_showIconText, on, &KvQmlController::showIconTextChanged);
}

void KvQmlController::setShareStatistics(bool on)
{
    assignAndNotify(m_shareStatistics, on, &KvQmlController::shareStatisticsChanged);
}

void KvQmlController::setIconSizeAdjust(int steps)
{
    if (steps == m_iconSizeAdjust)
        return;
    m_iconSizeAdjust = steps;
    emit iconSizeAdjustChanged(steps != 0);
    emit calcViews();
}

void KvQmlController::setFontSizeAdjust(int steps)
{
    if (steps == m_fontSizeAdjust)
        return;
    m_fontSizeAdjust = steps;
    emit fontSizeAdjustChanged(steps != 0);
    emit calcViews();
}

void KvQmlController::setUseExternalRecorder(bool on)
{
    assignAndNotify(m_useExternalRecorder, on, &KvQmlController::useExternalRecorderChanged);
}

void KvQmlController::setPromptOnExit(bool on)
{
    assignAndNotify(m_promptOnExit, on, &KvQmlController::promptOnExitChanged);
}

void KvQmlController::setIsDarkModeOption(bool on)
{
    assignAndNotify(m_isDarkModeOption, on, &KvQmlController::isDarkModeOptionChanged);
}

void KvQmlController::setRecordingFormat(int value)
{
    assignAndNotify(m_recordingFormat, value, &KvQmlController::recordingFormatChanged);
}

void KvQmlController::setRecordStereo(bool on)
{
    assignAndNotify(m_recordStereo, on, &KvQmlController::recordStereoChanged);
}

void KvQmlController::setRecordingQuality(int value)
{
    assignAndNotify(m_recordingQuality, value, &KvQmlController::recordingQualityChanged);
}

void KvQmlController::setRecordingFrequency(int value)
{
    assignAndNotify(m_recordingFrequency, value, &KvQmlController::recordingFrequencyChanged);
}

void KvQmlController::setConvertingFormat(int value)
{
    assignAndNotify(m_convertingFormat, value, &KvQmlController::convertingFormatChanged);
}

void KvQmlController::setConvertStereo(bool on)
{
    assignAndNotify(m_convertStereo, on, &KvQmlController::convertStereoChanged);
}

void KvQmlController::setConvertingQuality(int value)
{
    assignAndNotify(m_convertingQuality, value, &KvQmlController::convertingQualityChanged);
}

void KvQmlController::setConvertingFrequency(int value)
{
    assignAndNotify(m_convertingFrequency, value, &KvQmlController::convertingFrequencyChanged);
}

void KvQmlController::setConvertProgressText(const QString &text)
{
    assignAndNotify(m_convertProgressText, text, &KvQmlController::convertProgressTextChanged);
}

void KvQmlController::setAlwaysImport(bool on)
{
    // The first write announces even the construction value.
    if (on == m_alwaysImport && m_alwaysImportSet)
        return;
    m_alwaysImportSet = true;
    m_alwaysImport = on;
    emit alwaysImportChanged(on);
}

void KvQmlController::setOptionDelImageAfterImport(bool on)
{
    assignAndNotify(m_optionDelImageAfterImport, on, &KvQmlController::optionDelImageAfterImportChanged);
}

bool KvQmlController::processEditMode() { return g_editMode; }

void KvQmlController::setIsActionEditMode(bool on)
{
    g_editMode = on;
    if (assignAndNotify(m_isActionEditMode, on, &KvQmlController::isActionEditModeChanged) && m_model)
        m_model->updateTitle();
}

void KvQmlController::actionSendFile(QString, bool) {}

void KvQmlController::deleteProjFiles(QAbstractItemModel *) {}

void KvQmlController::actionDeleteImportedImages(int) {}

void KvQmlController::DoOpenFilesAfter(QStringList) {}

void KvQmlController::DoOpenFileAfter(QString) {}

void KvQmlController::DoLoadProjAfter(QString) {}

void KvQmlController::DoCloseProjAfter() {}

void KvQmlController::DoExitProjAfter() {}

void KvQmlController::DoSendFileAfter(QString) {}

void KvQmlController::DoNothingAfter() {}

void KvQmlController::stateActionDoNothing(int) {}

void KvQmlController::stateActionOpenSaveChangesQ_Finished(int) {}

void KvQmlController::stateActionAppendSaveChangesQ_Finished(int) {}
