// Tracks: the track commands and capabilities, the current track's tags and
// the tag clipboard.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvArtworkCodec.h>
#include <KvDocumentFrames.h>
#include <KvFileInfoUndo.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvTagInfo.h>
#include <KvTrackInfoUndo.h>

#include <QClipboard>
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

void KvQmlController::setCurTrackTags(const KvTagInfo &record)
{
    // The MP3-only fields have no place in other documents' tags.
    const bool mp3 = m_audioType == QLatin1String("mp3");
    setCurTrackAlbumArtist(mp3 ? record.albumArtist : QString());
    setCurTrackComposer(mp3 ? record.composer : QString());
    setCurTrackCopyright(mp3 ? record.copyright : QString());
    setCurTrackDisc(mp3 ? record.disc : 0);
    setCurTrackTitle(record.title);
    setCurTrackArtist(record.artist);
    setCurTrackAlbum(record.album);
    setCurTrackGenre(record.genre);
    setCurTrackComment(record.comment);
    setCurTrackTrack(record.track);
    setCurTrackYear(record.year);
    setCurTrackArtworkData(artworkToText(record.artwork));
}

void KvQmlController::curTrackTagsToTagInfo(KvTagInfo &record) const
{
    record.title = m_curTrackTitle;
    record.artist = m_curTrackArtist;
    record.albumArtist = m_curTrackAlbumArtist;
    record.composer = m_curTrackComposer;
    record.album = m_curTrackAlbum;
    record.copyright = m_curTrackCopyright;
    record.genre = m_curTrackGenre;
    record.comment = m_curTrackComment;
    record.track = m_curTrackTrack;
    record.disc = m_curTrackDisc;
    record.year = m_curTrackYear;
    // Interned: equal pictures are one object, and records compare them so.
    record.artwork = m_curTrackArtworkData.isEmpty() ? KvByteArrayPtr() : artworkFromText(m_curTrackArtworkData);
}

void KvQmlController::loadCurTrackTagInfo()
{
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    int index = 0;
    if (list)
        list->trackIndexAt(kvFrameOf(m_scrollFrame), &index);
    if (index == 0 && documentFrames() <= 0)
        index = -1;
    setCurTrack(index);
}

void KvQmlController::saveCurTrackTagInfo()
{
    const KvTagPropertyPtr entry = tagPropertyAt(m_curTrack);
    if (!entry)
        return;
    KvTagInfo record;
    curTrackTagsToTagInfo(record);
    if (m_audioType != QLatin1String("mp3")) {
        // Shown empty, not cleared: what the file's tags hold there stays.
        const KvTagInfo &stored = entry->tagInfo();
        record.albumArtist = stored.albumArtist;
        record.composer = stored.composer;
        record.copyright = stored.copyright;
        record.disc = stored.disc;
    }
    if (record == entry->tagInfo())
        return;
    QUndoCommand *command = nullptr;
    if (m_curTrack == 0) {
        command = new KvFileInfoUndo(tr("Edit File Information"), &record, entry.get(), this);
    } else {
        setScrollFrame(double(entry->start()));
        command = m_model->trackList()->modifyTrackInfo(entry->start(), &record);
    }
    if (command)
        m_model->undoStack()->push(command);
}

void KvQmlController::copyAllTags()
{
    QClipboard *board = kvClipboard();
    if (!board)
        return;
    KvTagInfo record;
    curTrackTagsToTagInfo(record);
    board->setText(record.toXml());
}

void KvQmlController::pasteAllTags()
{
    KvTagInfo record;
    if (tagInfoFromClipboardXml(record))
        setCurTrackTags(record);
}

namespace {

// One field of the clipboard's tag record into one property.
template<typename T, typename Setter>
void pasteTagField(KvQmlController &controller, T KvTagInfo::*field, Setter setter)
{
    KvTagInfo record;
    if (controller.tagInfoFromClipboardXml(record))
        (controller.*setter)(record.*field);
}

} // namespace

void KvQmlController::pasteTitleTag() { pasteTagField(*this, &KvTagInfo::title, &KvQmlController::setCurTrackTitle); }

void KvQmlController::pasteArtistTag()
{
    pasteTagField(*this, &KvTagInfo::artist, &KvQmlController::setCurTrackArtist);
}

void KvQmlController::pasteAlbumArtistTag()
{
    pasteTagField(*this, &KvTagInfo::albumArtist, &KvQmlController::setCurTrackAlbumArtist);
}

void KvQmlController::pasteComposerTag()
{
    pasteTagField(*this, &KvTagInfo::composer, &KvQmlController::setCurTrackComposer);
}

void KvQmlController::pasteAlbumTag() { pasteTagField(*this, &KvTagInfo::album, &KvQmlController::setCurTrackAlbum); }

void KvQmlController::pasteCopyrightTag()
{
    pasteTagField(*this, &KvTagInfo::copyright, &KvQmlController::setCurTrackCopyright);
}

void KvQmlController::pasteGenreTag() { pasteTagField(*this, &KvTagInfo::genre, &KvQmlController::setCurTrackGenre); }

void KvQmlController::pasteCommentTag()
{
    pasteTagField(*this, &KvTagInfo::comment, &KvQmlController::setCurTrackComment);
}

void KvQmlController::pasteTrackTag() { pasteTagField(*this, &KvTagInfo::track, &KvQmlController::setCurTrackTrack); }

void KvQmlController::pasteDiscTag() { pasteTagField(*this, &KvTagInfo::disc, &KvQmlController::setCurTrackDisc); }

void KvQmlController::pasteYearTag() { pasteTagField(*this, &KvTagInfo::year, &KvQmlController::setCurTrackYear); }
