#include "KvAudioTags.h"

#include <KvArtworkCodec.h>
#include <KvByteArray.h>
#include <KvCoverArt.h>
#include <KvTagInfo.h>

#include <QDir>
#include <QImage>

#include <taglib/fileref.h>
#include <taglib/tfilestream.h>
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

// Tag texts end at their first NUL: some writers pad with them.
QString fromTagString(const TagLib::String &text)
{
    const QString s = QString::fromStdWString(text.toWString());
    const int nul = s.indexOf(QChar(0));
    return nul < 0 ? s : s.left(nul);
}

QString id3FrameText(const TagLib::ID3v2::Tag *tag, const char *frameId)
{
    const TagLib::ID3v2::FrameList &frames = tag->frameListMap()[TagLib::ByteVector(frameId, 4)];
    return frames.isEmpty() ? QString() : fromTagString(frames.front()->toString());
}

// "2" and "2/3" both give 2; text without a leading number gives 0.
int leadingNumber(const QString &text)
{
    const QString head = text.trimmed().section(QLatin1Char('/'), 0, 0).trimmed();
    bool ok = false;
    const int n = head.toInt(&ok);
    return ok && n > 0 ? n : 0;
}

// Small covers keep their bytes; larger ones become a 600 x 600 JPEG. A
// picture that does not load is dropped.
KvByteArrayPtr coverArtwork(const QByteArray &bytes)
{
    QImage image;
    if (!image.loadFromData(bytes) || image.isNull())
        return KvByteArrayPtr();
    if (image.width() <= kArtworkMaxSide && image.height() <= kArtworkMaxSide)
        return internArtwork(new KvByteArray(bytes));
    const QByteArray jpeg = encodeArtworkImage(
        image.scaled(kArtworkMaxSide, kArtworkMaxSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return jpeg.isEmpty() ? KvByteArrayPtr() : internArtwork(new KvByteArray(jpeg));
}

void replaceIfNotEmpty(QString &field, const QString &value)
{
    if (!value.isEmpty())
        field = value;
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

bool loadTagsFromFile(KvTagInfo &record, const QString &path)
{
    record = KvTagInfo();
    const QByteArray name = QFile::encodeName(QDir::toNativeSeparators(path));
    // Read-only: reading never changes the file, even one the program has open.
    TagLib::FileStream stream(name.constData(), true);
    if (!stream.isOpen())
        return false;
    const TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Average);
    if (ref.isNull())
        return false;
    bool found = false;
    if (const TagLib::Tag *tag = ref.tag()) {
        QByteArray cover;
        if (readCoverArt(ref, cover))
            record.artwork = coverArtwork(cover);
        record.title = fromTagString(tag->title());
        record.artist = fromTagString(tag->artist());
        record.album = fromTagString(tag->album());
        record.year = int(tag->year());
        record.track = int(tag->track());
        record.genre = fromTagString(tag->genre());
        record.comment = fromTagString(tag->comment());
        found = true;
    }
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file())) {
        // Created empty in memory when the file has none; nothing is saved.
        if (const TagLib::ID3v2::Tag *id3 = mpeg->ID3v2Tag(true)) {
            replaceIfNotEmpty(record.title, fromTagString(id3->title()));
            replaceIfNotEmpty(record.artist, fromTagString(id3->artist()));
            replaceIfNotEmpty(record.album, fromTagString(id3->album()));
            replaceIfNotEmpty(record.genre, fromTagString(id3->genre()));
            replaceIfNotEmpty(record.comment, fromTagString(id3->comment()));
            replaceIfNotEmpty(record.albumArtist, id3FrameText(id3, "TPE2"));
            replaceIfNotEmpty(record.composer, id3FrameText(id3, "TCOM"));
            replaceIfNotEmpty(record.copyright, id3FrameText(id3, "TCOP"));
            if (id3->year() != 0)
                record.year = int(id3->year());
            if (id3->track() != 0)
                record.track = int(id3->track());
            const QString disc = id3FrameText(id3, "TPOS");
            if (!disc.isEmpty())
                record.disc = leadingNumber(disc);
            found = true;
        }
    }
    return found;
}

bool copyTagsAndArtwork(const KvTagInfo &record, const QString &path)
{
    const QByteArray picture = record.artwork ? record.artwork->bytes() : QByteArray();
    const QString native = QDir::toNativeSeparators(path);
    TagLib::FileRef ref(QFile::encodeName(native).constData(), true,
                        TagLib::AudioProperties::Average);
    // A file whose tags cannot be written has not received them; with nothing
    // to write nothing was lost (an ADTS stream has no place for tags).
    if (ref.isNull() || !ref.tag())
        return record == KvTagInfo();
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
