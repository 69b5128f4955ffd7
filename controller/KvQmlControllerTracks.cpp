// Tracks: the track commands and capabilities, the current track's tags and
// the tag clipboard.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvDocumentFrames.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvTagInfo.h>
#include <KvTrackInfoUndo.h>

#include <QGuiApplication>
#include <QUndoStack>

qint64 KvQmlController::trackCapabilityPosition() const
{
    const qint64 position = kvFrameOf(m_scrollFrame);
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

void KvQmlController::onTrackInfoUpdated()
{
    updateNumTracks();
    emit TrackInfoUpdated();
}

void KvQmlController::pushTrackCommand(KvTrackInfoUndo *command)
{
    if (command)
        m_model->undoStack()->push(command);
    setHelpUsage("EditDone");
}

void KvQmlController::setTrackStart(double dbFramePos)
{
    const qint64 pos = kvFrameOf(dbFramePos);
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const bool shift = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
    pushTrackCommand(list ? list->setTrackStart(pos, shift) : nullptr);
}

void KvQmlController::setTrackEnd(double dbFramePos)
{
    const qint64 pos = kvFrameOf(dbFramePos);
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const bool shift = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
    pushTrackCommand(list ? list->setTrackEnd(pos, shift) : nullptr);
}

void KvQmlController::splitTrack(double dbFramePos)
{
    const qint64 pos = kvFrameOf(dbFramePos);
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    pushTrackCommand(list ? list->splitTrack(pos, documentFrames()) : nullptr);
}

void KvQmlController::deleteTrack(double dbFramePos)
{
    const qint64 pos = kvFrameOf(dbFramePos);
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const bool shift = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
    pushTrackCommand(list ? list->deleteTrack(pos, shift) : nullptr);
}

void KvQmlController::saveCurTrackTagInfo()
{
    // Not built yet.
}

void KvQmlController::loadCurTrackTagInfo()
{
    // Not built yet.
}

void KvQmlController::copyAllTags()
{
    // Not built yet.
}

void KvQmlController::pasteAllTags()
{
    // Not built yet.
}

void KvQmlController::pasteTitleTag()
{
    // Not built yet.
}

void KvQmlController::pasteArtistTag()
{
    // Not built yet.
}

void KvQmlController::pasteAlbumArtistTag()
{
    // Not built yet.
}

void KvQmlController::pasteComposerTag()
{
    // Not built yet.
}

void KvQmlController::pasteAlbumTag()
{
    // Not built yet.
}

void KvQmlController::pasteCopyrightTag()
{
    // Not built yet.
}

void KvQmlController::pasteGenreTag()
{
    // Not built yet.
}

void KvQmlController::pasteCommentTag()
{
    // Not built yet.
}

void KvQmlController::pasteTrackTag()
{
    // Not built yet.
}

void KvQmlController::pasteDiscTag()
{
    // Not built yet.
}

void KvQmlController::pasteYearTag()
{
    // Not built yet.
}

void KvQmlController::setCurTrackTags(const KvTagInfo &record)
{
    // Not built yet.
}
