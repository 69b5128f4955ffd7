// File names from track names, and tags written into converted files read back by TagLib.
#include <KvAudioTags.h>
#include <KvByteArray.h>
#include <KvFileNameText.h>
#include <KvTagInfo.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

TEST(ConvertOutputText, SimplifyTextMakesFileNames)
{
    struct Case { const char *in, *out; } cases[] = {
        {"AC/DC: Live?", "AC_DC Live_"},
        {"a\\b*c\"d<e>f|g^h", "a_b_c_d_e_f_g_h"},
        {"  Two   spaces\tand tab  ", "Two spaces and tab"},
        {"Ends with a dot.", "Ends with a dot"},
        {"Dots . . .", "Dots"},
        {". . .", ""},
        {".hidden", ".hidden"},
        {"..", ""},
        {"../../etc/passwd", ".._.._etc_passwd"},
        {"Bell\x07 and\x1b[31m escape\x7f", "Bell and [31m escape"},
        {"Line\nbreak\r", "Line break"},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(simplifyText(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(ConvertOutputText, TagsAndCoverGoIntoAnMp3)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.mp3");
    ASSERT_TRUE(QFile::copy(kvtest::fixture("cbr128_joint.mp3"), path));
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    KvTagInfo t;
    t.title = QString::fromUtf8("Titel \u00e4\u00f6");
    t.artist = "Artist";
    t.albumArtist = "Album Artist";
    t.album = "Album";
    t.track = 7;
    t.disc = 2;
    t.year = 2021;
    t.genre = "Jazz";
    t.comment = "Comment";
    t.copyright = "(c) Us";
    t.artwork = internArtwork(new KvByteArray(QByteArray("\xff\xd8\xff\xe0 not really a jpeg")));
    ASSERT_TRUE(copyTagsAndArtwork(t, path));

    TagLib::MPEG::File f(QFile::encodeName(path).constData());
    ASSERT_TRUE(f.isValid());
    TagLib::ID3v2::Tag *id3 = f.ID3v2Tag(false);
    ASSERT_TRUE(id3);
    EXPECT_EQ(QString::fromStdWString(id3->title().toWString()), t.title);
    EXPECT_EQ(id3->track(), 7u);
    EXPECT_EQ(id3->year(), 2021u);
    EXPECT_EQ(QString::fromStdWString(id3->frameListMap()["TPE2"].front()->toString().toWString()), "Album Artist");
    EXPECT_EQ(QString::fromStdWString(id3->frameListMap()["TPOS"].front()->toString().toWString()), "2");
    EXPECT_EQ(QString::fromStdWString(id3->frameListMap()["TCOP"].front()->toString().toWString()), "(c) Us");
    ASSERT_FALSE(id3->frameListMap()["APIC"].isEmpty());
    auto *pic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(id3->frameListMap()["APIC"].front());
    ASSERT_TRUE(pic);
    EXPECT_EQ(QByteArray(pic->picture().data(), int(pic->picture().size())), t.artwork->bytes());
}

TEST(ConvertOutputText, EmptyFieldsClearFramesAndUnknownFilesAreLeftAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("tagged.mp3");
    ASSERT_TRUE(QFile::copy(kvtest::fixture("id3v2_tags.mp3"), path));
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    KvTagInfo empty;
    ASSERT_TRUE(copyTagsAndArtwork(empty, path));
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    ASSERT_FALSE(ref.isNull());
    EXPECT_TRUE(ref.tag()->title().isEmpty());
    EXPECT_EQ(ref.tag()->track(), 0u);

    const QString text = dir.filePath("notes.txt");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("plain text");
    f.close();
    // Tags that could not be written are reported, and the file is untouched;
    // an empty record loses nothing there, so it is no failure.
    KvTagInfo titled;
    titled.title = "T";
    EXPECT_FALSE(copyTagsAndArtwork(titled, text));
    EXPECT_TRUE(copyTagsAndArtwork(empty, text));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("plain text"));
}
