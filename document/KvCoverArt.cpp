#include "KvCoverArt.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>

#include <vector>

namespace {

QByteArray toQByteArray(const TagLib::ByteVector &v) { return QByteArray(v.data(), int(v.size())); }

TagLib::ByteVector toByteVector(const QByteArray &b)
{
    return TagLib::ByteVector(b.constData(), unsigned(b.size()));
}

bool deliver(const QByteArray &picture, QByteArray &out)
{
    if (picture.isEmpty())
        return false;
    out = picture;
    return true;
}

QByteArray imageFormat(const QByteArray &picture)
{
    QBuffer buffer;
    buffer.setData(picture);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).format();
}

} // namespace

bool readId3v2CoverArt(const TagLib::ID3v2::Tag *tag, QByteArray &out)
{
    if (!tag)
        return false;
    const TagLib::ID3v2::FrameList frames = tag->frameList("APIC");
    if (frames.isEmpty())
        return false;
    const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frames.front());
    return picture && deliver(toQByteArray(picture->picture()), out);
}

bool readApeCoverArt(const TagLib::APE::Tag *tag, QByteArray &out)
{
    if (!tag)
        return false;
    const TagLib::APE::ItemListMap &items = tag->itemListMap();
    // Keys are stored upper-case by TagLib.
    const auto it = items.find("COVER ART (FRONT)");
    if (it == items.end())
        return false;
    const QByteArray value = toQByteArray(it->second.binaryData());
    const int zero = value.indexOf('\0');
    if (zero < 0)
        return false;
    return deliver(value.mid(zero + 1), out);
}

bool readMp4CoverArt(const TagLib::MP4::Tag *tag, QByteArray &out)
{
    if (!tag || !tag->contains("covr"))
        return false;
    const TagLib::MP4::CoverArtList covers = tag->item("covr").toCoverArtList();
    if (covers.isEmpty())
        return false;
    return deliver(toQByteArray(covers.front().data()), out);
}

bool readAsfCoverArt(const TagLib::ASF::Tag *tag, QByteArray &out)
{
    if (!tag)
        return false;
    const TagLib::ASF::AttributeListMap &attributes = tag->attributeListMap();
    const auto it = attributes.find("WM/Picture");
    if (it == attributes.end() || it->second.isEmpty())
        return false;
    const TagLib::ASF::Picture picture = it->second.front().toPicture();
    return picture.isValid() && deliver(toQByteArray(picture.picture()), out);
}

bool readCoverArt(const TagLib::FileRef &ref, QByteArray &out)
{
    TagLib::File *file = ref.file();
    if (!file)
        return false;
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        if (TagLib::ID3v2::Tag *id3 = mpeg->ID3v2Tag(false); id3 && readId3v2CoverArt(id3, out))
            return true;
        TagLib::APE::Tag *ape = mpeg->APETag(false);
        return ape && readApeCoverArt(ape, out);
    }
    if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        const TagLib::List<TagLib::FLAC::Picture *> pictures = flac->pictureList();
        if (!pictures.isEmpty())
            return deliver(toQByteArray(pictures.front()->data()), out);
        TagLib::ID3v2::Tag *id3 = flac->ID3v2Tag(false);
        return id3 && readId3v2CoverArt(id3, out);
    }
    if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file))
        return readMp4CoverArt(mp4->tag(), out);
    if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file))
        return readAsfCoverArt(asf->tag(), out);
    if (auto *ape = dynamic_cast<TagLib::APE::File *>(file)) {
        TagLib::APE::Tag *tag = ape->APETag(false);
        return tag && readApeCoverArt(tag, out);
    }
    if (auto *mpc = dynamic_cast<TagLib::MPC::File *>(file)) {
        TagLib::APE::Tag *tag = mpc->APETag(false);
        return tag && readApeCoverArt(tag, out);
    }
    return false;
}

bool readCoverArtFile(const QString &path, QByteArray &out)
{
    const QByteArray name = QFile::encodeName(QDir::toNativeSeparators(path));
    const TagLib::FileRef ref(name.constData(), false);
    if (ref.isNull() || !ref.tag())
        return false;
    return readCoverArt(ref, out);
}

QString artworkMimeType(const QByteArray &picture)
{
    const QByteArray format = imageFormat(picture);
    return format.isEmpty() ? QString() : QStringLiteral("image/") + QString::fromLatin1(format);
}

void writeId3v2CoverArt(TagLib::ID3v2::Tag *tag, const QByteArray &picture)
{
    if (!tag || picture.isEmpty())
        return;
    using TagLib::ID3v2::AttachedPictureFrame;

    // Take every picture out, drop the front covers and put the others back
    // behind the new cover, which readers that take the first picture find.
    std::vector<TagLib::ID3v2::Frame *> kept;
    const TagLib::ID3v2::FrameList frames = tag->frameList("APIC");
    for (TagLib::ID3v2::Frame *frame : frames) {
        const auto *apic = dynamic_cast<AttachedPictureFrame *>(frame);
        const bool frontCover = apic && apic->type() == AttachedPictureFrame::FrontCover;
        tag->removeFrame(frame, frontCover);
        if (!frontCover)
            kept.push_back(frame);
    }

    auto *cover = new AttachedPictureFrame;
    cover->setType(AttachedPictureFrame::FrontCover);
    const QString mime = artworkMimeType(picture);
    if (!mime.isEmpty())
        cover->setMimeType(TagLib::String(mime.toStdString(), TagLib::String::Latin1));
    cover->setPicture(toByteVector(picture));
    tag->addFrame(cover);
    for (TagLib::ID3v2::Frame *frame : kept)
        tag->addFrame(frame);
}

void writeMp4CoverArt(TagLib::MP4::Tag *tag, const QByteArray &picture)
{
    if (!tag || picture.isEmpty())
        return;
    using TagLib::MP4::CoverArt;
    const QByteArray format = imageFormat(picture);
    CoverArt::Format type = CoverArt::Unknown;
    if (format == "jpeg")
        type = CoverArt::JPEG;
    else if (format == "png")
        type = CoverArt::PNG;
    else if (format == "bmp")
        type = CoverArt::BMP;
    else if (format == "gif")
        type = CoverArt::GIF;
    // MP4 covers carry no picture type: the first one is the front cover
    // that players show, so it is replaced and the others stay behind it.
    TagLib::MP4::CoverArtList covers;
    covers.append(CoverArt(type, toByteVector(picture)));
    if (tag->contains("covr")) {
        const TagLib::MP4::CoverArtList old = tag->item("covr").toCoverArtList();
        for (auto it = old.begin(); it != old.end(); ++it)
            if (it != old.begin())
                covers.append(*it);
    }
    tag->setItem("covr", TagLib::MP4::Item(covers));
}
