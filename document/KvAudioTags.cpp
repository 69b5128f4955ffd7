#include "KvAudioTags.h"

#include <KvByteArray.h>
#include <KvCoverArt.h>
#include <KvTagInfo.h>

#include <QDir>

#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>

namespace {

TagLib::String tagString(const QString &text)
{
    return TagLib::String(text.toStdWString());
}

void setId3TextFrame(TagLib::ID3v2::Tag *tag, const char *frameId, const QString &text)
{
    const TagLib::ByteVector id(frameId, 4);
    if (text.isEmpty()) {
        tag->removeFrames(id);
        return;
    }
    const TagLib::ID3v2::FrameList &frames = tag->frameListMap()[id];
    if (!frames.isEmpty()) {
        frames.front()->setText(tagString(text));
        return;
    }
    auto *frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::Latin1);
    tag->addFrame(frame);
    frame->setText(tagString(text));
}

} // namespace

bool copyTagsAndArtwork(const KvTagInfo &record, const QString &path)
{
    const QByteArray picture = record.artwork ? record.artwork->bytes() : QByteArray();
    const QString native = QDir::toNativeSeparators(path);
    TagLib::FileRef ref(QFile::encodeName(native).constData(), true,
                        TagLib::AudioProperties::Average);
    if (ref.isNull() || !ref.tag())
        return true;
    TagLib::Tag *tag = ref.tag();
    tag->setTitle(tagString(record.title));
    tag->setArtist(tagString(record.artist));
    tag->setAlbum(tagString(record.album));
    tag->setYear(record.year > 0 ? unsigned(record.year) : 0);
    tag->setTrack(record.track > 0 ? unsigned(record.track) : 0);
    tag->setGenre(tagString(record.genre));
    tag->setComment(tagString(record.comment));

    if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(ref.file())) {
        if (!picture.isEmpty() && mp4->tag())
            writeMp4CoverArt(mp4->tag(), picture);
    } else if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file())) {
        if (TagLib::ID3v2::Tag *id3 = mpeg->ID3v2Tag(true)) {
            id3->setTitle(tagString(record.title));
            id3->setArtist(tagString(record.artist));
            id3->setAlbum(tagString(record.album));
            setId3TextFrame(id3, "TPE2", record.albumArtist);
            setId3TextFrame(id3, "TCOM", record.composer);
            id3->setYear(record.year > 0 ? unsigned(record.year) : 0);
            id3->setTrack(record.track > 0 ? unsigned(record.track) : 0);
            setId3TextFrame(id3, "TPOS", record.disc > 0 ? QString::number(record.disc) : QString());
            id3->setGenre(tagString(record.genre));
            id3->setComment(tagString(record.comment));
            setId3TextFrame(id3, "TCOP", record.copyright);
            if (!picture.isEmpty())
                writeId3v2CoverArt(id3, picture);
        }
    }
    return ref.save();
}
