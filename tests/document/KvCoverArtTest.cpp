#include "KvCoverArt.h"
#include "KvTestImages.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>

namespace {

using TagLib::ID3v2::AttachedPictureFrame;

TagLib::ByteVector bv(const QByteArray &b) { return TagLib::ByteVector(b.constData(), unsigned(b.size())); }

QByteArray png(QColor tint) { return kvtest::encodeImage(kvtest::testImage(40, 30, tint), "PNG"); }
QByteArray jpeg(QColor tint) { return kvtest::encodeImage(kvtest::testImage(40, 30, tint), "JPG", 80); }

AttachedPictureFrame *apic(const QByteArray &bytes, AttachedPictureFrame::Type type)
{
    auto *frame = new AttachedPictureFrame;
    frame->setType(type);
    frame->setMimeType("image/png");
    frame->setPicture(bv(bytes));
    return frame;
}

// A cover item as players write it: file name, zero byte, picture.
TagLib::APE::Item apeCover(const QByteArray &value)
{
    return TagLib::APE::Item("COVER ART (FRONT)", bv(value), true);
}

QByteArray nameThenPicture(const QByteArray &picture)
{
    return QByteArray("cover.jpg") + '\0' + picture;
}

class CoverArt : public ::testing::Test
{
protected:
    // A copy of a generated audio fixture in this test's own folder.
    QString copy(const QString &fixture, const QString &name)
    {
        const QString path = dir.file(name);
        EXPECT_TRUE(QFile::copy(kvtest::fixture(fixture), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    static QByteArray read(const QString &path, bool *found = nullptr)
    {
        QByteArray out = "untouched";
        const bool ok = readCoverArtFile(path, out);
        if (found)
            *found = ok;
        return out;
    }

    kvtest::TempDir dir;
};

TEST_F(CoverArt, Mp3WithoutPictureFrameFallsBackToTheApeCover)
{
    const QString path = copy("cbr128_joint.mp3", "ape.mp3");
    const QByteArray cover = jpeg(Qt::blue);
    {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        f.ID3v2Tag(true)->setTitle("no picture here");
        f.APETag(true)->setItem("COVER ART (FRONT)", apeCover(nameThenPicture(cover)));
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2 | TagLib::MPEG::File::APE));
    }
    {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        ASSERT_TRUE(f.hasID3v2Tag());
        ASSERT_TRUE(f.hasAPETag());
    }
    bool found = false;
    EXPECT_EQ(read(path, &found), cover);
    EXPECT_TRUE(found);
}

TEST_F(CoverArt, Mp3PictureFrameComesBeforeTheApeCover)
{
    const QString path = copy("cbr128_joint.mp3", "both.mp3");
    const QByteArray first = png(Qt::red), second = png(Qt::green), ape = jpeg(Qt::blue);
    {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        f.ID3v2Tag(true)->addFrame(apic(first, AttachedPictureFrame::BackCover));
        f.ID3v2Tag()->addFrame(apic(second, AttachedPictureFrame::FrontCover));
        f.APETag(true)->setItem("COVER ART (FRONT)", apeCover(nameThenPicture(ape)));
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2 | TagLib::MPEG::File::APE));
    }
    // The first picture frame, whatever its picture type.
    EXPECT_EQ(read(path), first);
}

TEST_F(CoverArt, FlacPictureBlockComesBeforeId3v2)
{
    const QString path = copy("short.flac", "both.flac");
    const QByteArray block = png(Qt::yellow), frame = png(Qt::cyan);
    {
        TagLib::FLAC::File f(QFile::encodeName(path).constData());
        auto *picture = new TagLib::FLAC::Picture;
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType("image/png");
        picture->setData(bv(block));
        f.addPicture(picture);
        f.ID3v2Tag(true)->addFrame(apic(frame, AttachedPictureFrame::FrontCover));
        ASSERT_TRUE(f.save());
    }
    {
        TagLib::FLAC::File f(QFile::encodeName(path).constData());
        ASSERT_TRUE(f.hasID3v2Tag());
        ASSERT_EQ(f.pictureList().size(), 1u);
    }
    EXPECT_EQ(read(path), block);
}

TEST_F(CoverArt, FlacWithoutPictureBlockUsesId3v2)
{
    const QString path = copy("short.flac", "id3.flac");
    const QByteArray frame = png(Qt::magenta);
    {
        TagLib::FLAC::File f(QFile::encodeName(path).constData());
        f.ID3v2Tag(true)->addFrame(apic(frame, AttachedPictureFrame::FrontCover));
        ASSERT_TRUE(f.save());
    }
    EXPECT_EQ(read(path), frame);
}

TEST_F(CoverArt, Mp4FirstCoverOfCovr)
{
    const QString path = copy("aac_lc_stereo.m4a", "covr.m4a");
    const QByteArray first = jpeg(Qt::darkRed), second = png(Qt::darkGreen);
    {
        TagLib::MP4::File f(QFile::encodeName(path).constData());
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG, bv(first)));
        covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::PNG, bv(second)));
        f.tag()->setItem("covr", TagLib::MP4::Item(covers));
        ASSERT_TRUE(f.save());
    }
    EXPECT_EQ(read(path), first);
}

TEST_F(CoverArt, AsfPictureAttribute)
{
    const QString path = copy("short.wma", "pic.wma");
    const QByteArray cover = jpeg(Qt::darkBlue);
    {
        TagLib::ASF::File f(QFile::encodeName(path).constData());
        TagLib::ASF::Picture picture;
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setMimeType("image/jpeg");
        picture.setPicture(bv(cover));
        f.tag()->setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
        ASSERT_TRUE(f.save());
    }
    EXPECT_EQ(read(path), cover);
}

TEST_F(CoverArt, FilesWithoutCoverLeaveTheOutputAlone)
{
    const QString image = dir.file("picture.png");
    ASSERT_TRUE(kvtest::writeFile(image, png(Qt::gray)));
    const QString notThere = dir.file("missing.mp3");
    for (const QString &path : {copy("cbr128_joint.mp3", "plain.mp3"), copy("short.flac", "plain.flac"),
                                copy("aac_lc_stereo.m4a", "plain.m4a"), copy("short.wma", "plain.wma"),
                                kvtest::fixture("id3v2_tags.mp3"), image, notThere}) {
        bool found = true;
        EXPECT_EQ(read(path, &found), "untouched") << path.toStdString();
        EXPECT_FALSE(found) << path.toStdString();
    }
}

TEST_F(CoverArt, LameWrittenPictureIsFound)
{
    // Written by another program: lame's --ti.
    QByteArray cover;
    ASSERT_TRUE(readCoverArtFile(kvtest::fixture("id3v2_art_v1.mp3"), cover));
    EXPECT_EQ(kvtest::imageFacts(cover).format, "jpeg");
    EXPECT_EQ(kvtest::imageFacts(cover).size, QSize(64, 64));
}

TEST(ApeCover, OnlyTheBytesAfterTheFirstZeroArePicture)
{
    const QByteArray picture = QByteArray("\x89PNG\0\0rest", 10);
    const struct {
        QByteArray value;
        bool found;
        QByteArray out;
    } cases[] = {
        {nameThenPicture(picture), true, picture},
        {QByteArray("\0", 1) + picture, true, picture},
        {QByteArray("cover.jpg"), false, "keep"},
        {QByteArray("cover.jpg\0", 10), false, "keep"},
    };
    for (const auto &c : cases) {
        TagLib::APE::Tag tag;
        tag.setItem("COVER ART (FRONT)", apeCover(c.value));
        QByteArray out = "keep";
        EXPECT_EQ(readApeCoverArt(&tag, out), c.found) << c.value.toHex().toStdString();
        EXPECT_EQ(out, c.out);
    }
    TagLib::APE::Tag other;
    other.setItem("COVER ART (BACK)", apeCover(nameThenPicture(picture)));
    QByteArray out;
    EXPECT_FALSE(readApeCoverArt(&other, out));
    EXPECT_FALSE(readApeCoverArt(nullptr, out));
}

TEST(Id3v2CoverWriter, ReplacesTheFrontCoverAndKeepsOtherPictures)
{
    TagLib::ID3v2::Tag tag;
    const QByteArray back = png(Qt::green), oldFront = png(Qt::red), newFront = png(Qt::blue);
    tag.addFrame(apic(back, AttachedPictureFrame::BackCover));
    tag.addFrame(apic(oldFront, AttachedPictureFrame::FrontCover));

    writeId3v2CoverArt(&tag, newFront);
    writeId3v2CoverArt(&tag, QByteArray()); // no picture: nothing changes

    const TagLib::ID3v2::FrameList frames = tag.frameList("APIC");
    ASSERT_EQ(frames.size(), 2u);
    const auto *first = dynamic_cast<AttachedPictureFrame *>(frames[0]);
    const auto *second = dynamic_cast<AttachedPictureFrame *>(frames[1]);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->type(), AttachedPictureFrame::FrontCover);
    EXPECT_EQ(first->mimeType(), "image/png");
    EXPECT_EQ(QByteArray(first->picture().data(), int(first->picture().size())), newFront);
    EXPECT_EQ(second->type(), AttachedPictureFrame::BackCover);
    QByteArray out;
    ASSERT_TRUE(readId3v2CoverArt(&tag, out));
    EXPECT_EQ(out, newFront);
}

TEST_F(CoverArt, WritingTwiceLeavesOneCoverInTheFile)
{
    const QString path = copy("cbr128_joint.mp3", "written.mp3");
    const QByteArray first = jpeg(Qt::red), second = jpeg(Qt::blue);
    for (const QByteArray &cover : {first, second}) {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        writeId3v2CoverArt(f.ID3v2Tag(true), cover);
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2));
    }
    EXPECT_EQ(read(path), second);
    // ffprobe lists every embedded picture as an attached-picture stream.
    QByteArray probe;
    ASSERT_EQ(kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                                             "stream=codec_name", "-of", "csv=p=0", path},
                                 &probe),
              0);
    EXPECT_EQ(probe.trimmed(), "mjpeg");
}

TEST_F(CoverArt, Mp4CoverTypeFollowsThePicture)
{
    const struct {
        QByteArray picture;
        TagLib::MP4::CoverArt::Format format;
        const char *codec;
    } cases[] = {
        {png(Qt::red), TagLib::MP4::CoverArt::PNG, "png"},
        {jpeg(Qt::red), TagLib::MP4::CoverArt::JPEG, "mjpeg"},
        {kvtest::encodeImage(kvtest::testImage(8, 8), "BMP"), TagLib::MP4::CoverArt::BMP, nullptr},
    };
    int n = 0;
    for (const auto &c : cases) {
        const QString path = copy("aac_lc_stereo.m4a", QString("typed%1.m4a").arg(n++));
        {
            TagLib::MP4::File f(QFile::encodeName(path).constData());
            // An earlier cover is replaced, not kept.
            TagLib::MP4::CoverArtList old;
            old.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG, bv(jpeg(Qt::gray))));
            f.tag()->setItem("covr", TagLib::MP4::Item(old));
            writeMp4CoverArt(f.tag(), c.picture);
            ASSERT_TRUE(f.save());
        }
        TagLib::MP4::File f(QFile::encodeName(path).constData());
        const TagLib::MP4::CoverArtList covers = f.tag()->item("covr").toCoverArtList();
        ASSERT_EQ(covers.size(), 1u);
        EXPECT_EQ(covers.front().format(), c.format);
        EXPECT_EQ(read(path), c.picture);
        if (c.codec) {
            QByteArray probe;
            ASSERT_EQ(kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "v",
                                                     "-show_entries", "stream=codec_name", "-of",
                                                     "csv=p=0", path},
                                         &probe),
                      0);
            EXPECT_EQ(probe.trimmed(), c.codec);
        }
    }
}

TEST(ArtworkMime, FollowsTheBytesNotTheName)
{
    EXPECT_EQ(artworkMimeType(png(Qt::red)), "image/png");
    EXPECT_EQ(artworkMimeType(jpeg(Qt::red)), "image/jpeg");
    EXPECT_EQ(artworkMimeType(QByteArray("not a picture")), "");
    EXPECT_EQ(artworkMimeType(QByteArray()), "");
}

} // namespace
