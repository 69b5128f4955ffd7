#include "KvByteArray.h"
#include "KvTagInfo.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <sstream>

namespace {

const QString kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

TEST(TagXml, DefaultRecordIsOneLineAfterTheDeclaration)
{
    EXPECT_EQ(KvTagInfo().toXml(),
              kDeclaration
                  + "<KvTagInfo><title/><artist/><albumArtist/><composer/><album/>"
                    "<track>0</track><disc>0</disc><year>0</year><copyright/><genre/><comment/>"
                    "<artwork/></KvTagInfo>");
}

TEST(TagXml, FieldsAreWrittenInOrderWithEscapes)
{
    KvTagInfo t;
    t.title = "a<b&c>\"d'";
    t.track = 7;
    t.disc = -2;
    t.year = 1999;
    t.artwork = internArtwork(new KvByteArray(QByteArray("\x00\xff\x10pic", 6)));
    EXPECT_EQ(t.toXml(),
              kDeclaration
                  + "<KvTagInfo><title>a&lt;b&amp;c&gt;&quot;d&apos;</title><artist/><albumArtist/>"
                    "<composer/><album/><track>7</track><disc>-2</disc><year>1999</year>"
                    "<copyright/><genre/><comment/><artwork>AP8QcGlj</artwork></KvTagInfo>");
}

KvTagInfo fullRecord()
{
    KvTagInfo t;
    t.title = QString::fromUtf8("Tür <zu> & \"mehr\" 'x'");
    t.artist = QString::fromUtf8("Ørjan Ånd 日本語 🎵");
    t.albumArtist = "Various & Others";
    t.composer = QString::fromUtf8("Dvořák");
    t.album = " spaced  album ";
    t.track = 12;
    t.disc = 3;
    t.year = 2024;
    t.copyright = QString::fromUtf8("© 2024");
    t.genre = "Rock";
    t.comment = "line1\nline2";
    QByteArray pic(3000, '\0');
    for (int i = 0; i < pic.size(); ++i)
        pic[i] = char(i * 31 + 5);
    t.artwork = internArtwork(new KvByteArray(pic));
    return t;
}

TEST(TagXml, RoundTripKeepsEveryField)
{
    const KvTagInfo original = fullRecord();
    KvTagInfo copy;
    copy.fromXml(original.toXml(), true);
    EXPECT_EQ(copy, original) << "interning hands back the same picture object";
    EXPECT_EQ(copy.title, original.title);
    EXPECT_EQ(copy.artist, original.artist);
    EXPECT_EQ(copy.comment, original.comment);
}

TEST(TagXml, PictureFromTwoTextsIsOneObject)
{
    const QString text = fullRecord().toXml(); // the record and its picture die here
    ASSERT_EQ(artworkCacheSize(), 0);
    KvTagInfo a, b;
    a.fromXml(text, true);
    b.fromXml(text, true);
    ASSERT_TRUE(a.artwork);
    EXPECT_EQ(a.artwork.get(), b.artwork.get());
    EXPECT_EQ(a, b);
}

TEST(TagXml, PartialReadLeavesTheMp3OnlyFields)
{
    KvTagInfo target;
    target.albumArtist = "keep AA";
    target.composer = "keep C";
    target.disc = 9;
    target.copyright = "keep (c)";
    target.title = "replaced";

    const KvTagInfo source = fullRecord();
    for (bool full : {false, true}) {
        KvTagInfo t = target;
        t.fromXml(source.toXml(), full);
        EXPECT_EQ(t.title, source.title);
        EXPECT_EQ(t.artist, source.artist);
        EXPECT_EQ(t.album, source.album);
        EXPECT_EQ(t.track, source.track);
        EXPECT_EQ(t.year, source.year);
        EXPECT_EQ(t.genre, source.genre);
        EXPECT_EQ(t.comment, source.comment);
        EXPECT_EQ(t.artwork, source.artwork);
        const KvTagInfo &expect = full ? source : target;
        EXPECT_EQ(t.albumArtist, expect.albumArtist) << full;
        EXPECT_EQ(t.composer, expect.composer) << full;
        EXPECT_EQ(t.disc, expect.disc) << full;
        EXPECT_EQ(t.copyright, expect.copyright) << full;
    }
}

QString withElement(const QString &name, const QString &element)
{
    QString text = KvTagInfo().toXml();
    const QString empty = "<" + name + "/>";
    const int at = text.indexOf(empty);
    EXPECT_GE(at, 0) << name.toStdString();
    return text.replace(at, empty.size(), element);
}

TEST(TagXml, NumbersDefaultToZero)
{
    struct Case {
        const char *element;
        int track;
    } cases[] = {
        {"<track>abc</track>", 0},
        {"<track>12abc</track>", 0},
        {"<track/>", 0},
        {"<track>42</track>", 42},
        {"<track>-3</track>", -3},
    };
    for (const auto &c : cases) {
        QString text = KvTagInfo().toXml().replace("<track>0</track>", c.element);
        KvTagInfo t;
        t.track = 99;
        EXPECT_NO_THROW(t.fromXml(text, true)) << c.element;
        EXPECT_EQ(t.track, c.track) << c.element;
    }
    // A missing number node is no error either.
    QString noYear = KvTagInfo().toXml().remove("<year>0</year>");
    KvTagInfo t;
    t.year = 5;
    EXPECT_NO_THROW(t.fromXml(noYear, true));
    EXPECT_EQ(t.year, 0);
}

TEST(TagXml, EmptyArtworkTextIsNoPicture)
{
    KvTagInfo t;
    t.artwork = internArtwork(new KvByteArray("old"));
    t.fromXml(withElement("artwork", "<artwork></artwork>"), true);
    EXPECT_FALSE(t.artwork);
}

TEST(TagXml, MissingTextNodeOrBrokenXmlThrows)
{
    const QString noTitle = KvTagInfo().toXml().remove("<title/>");
    KvTagInfo t;
    try {
        t.fromXml(noTitle, true);
        FAIL() << "a record without a title was accepted";
    } catch (const std::exception &e) {
        EXPECT_TRUE(QString(e.what()).startsWith("No such node")) << e.what();
    }

    const QString noArtwork = KvTagInfo().toXml().remove("<artwork/>");
    EXPECT_THROW(t.fromXml(noArtwork, true), std::exception);

    for (const char *broken : {"", "not xml", "<KvTagInfo><title>", "<?xml version=\"1.0\"?><a></b>"})
        EXPECT_THROW(t.fromXml(QString(broken), true), std::exception) << broken;

    // Without `full` the MP3-only nodes need not exist.
    QString noComposer = KvTagInfo().toXml().remove("<composer/>");
    EXPECT_NO_THROW(t.fromXml(noComposer, false));
    EXPECT_THROW(t.fromXml(noComposer, true), std::exception);
}

TEST(TagXml, FieldsBeforeAFailureKeepTheirNewValues)
{
    QString text = KvTagInfo().toXml().replace("<title/>", "<title>new</title>").remove("<genre/>");
    KvTagInfo t;
    t.title = "old";
    EXPECT_THROW(t.fromXml(text, true), std::exception);
    EXPECT_EQ(t.title, "new");
}

TEST(TagXml, IndentedTextFromElsewhereIsRead)
{
    const QString indented =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n  <KvTagInfo>\n    <title>T</title>\n"
        "  <artist>A</artist>\n  <albumArtist/>\n  <composer/>\n  <album/>\n  <track>4</track>\n"
        "  <disc>0</disc>\n  <year>0</year>\n  <copyright/>\n  <genre/>\n  <comment/>\n"
        "  <artwork/>\n</KvTagInfo>\n";
    KvTagInfo t;
    t.fromXml(indented, true);
    EXPECT_EQ(t.title, "T");
    EXPECT_EQ(t.artist, "A");
    EXPECT_EQ(t.track, 4);
    EXPECT_FALSE(KvTagInfo::hasXmlPrefix(indented));

    // Indented inside the root only: the prefix still matches.
    const QString innerIndent = QString(indented).replace("\n  <KvTagInfo>", "\n<KvTagInfo>");
    EXPECT_TRUE(KvTagInfo::hasXmlPrefix(innerIndent));
    KvTagInfo u;
    u.fromXml(innerIndent, true);
    EXPECT_EQ(u, t);
}

TEST(TagXml, PrefixTest)
{
    const QString exact = KvTagInfo().toXml();
    const QString prefix = exact.left(50);
    struct Case {
        QString text;
        bool expected;
    } cases[] = {
        {exact, true},
        {prefix, true},
        {prefix + "garbage", true},
        {prefix.left(49), false},
        {QString(), false},
        {" " + exact, false},
        {QString(exact).replace("\n", "\r\n"), false},
        {QString(exact).replace("utf-8", "UTF-8"), false},
        {QString(exact).replace("<KvTagInfo>", "<KvTagInfo >"), false},
        {QString(exact).replace("<KvTagInfo>", "<kvTagInfo>"), false},
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?><KvTagInfo>", false},
        {"<?xml version='1.0' encoding='utf-8'?>\n<KvTagInfo>", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KvTagInfo::hasXmlPrefix(c.text), c.expected) << c.text.toStdString();
    EXPECT_EQ(prefix.size(), 50);
}

TEST(TagXml, ReadsFromAWideStream)
{
    const KvTagInfo source = fullRecord();
    std::wistringstream in(source.toXml().toStdWString());
    KvTagInfo t;
    t.fromXml(in, true);
    EXPECT_EQ(t, source);
}

} // namespace

namespace {

// Damaged clipboard text is read or refused with an exception, never worse.
TEST(TagXml, DamagedTextReadsOrThrows)
{
    const QString text = fullRecord().toXml();
    const QChar replacements[] = {'<', '>', '&', '/', ' ', 'x', '"', '\n', QChar(0x00e9), QChar(0)};
    std::mt19937 random(99);
    int read = 0;
    for (int round = 0; round < 5000; ++round) {
        QString damaged = text;
        const int edits = 1 + int(random() % 3);
        for (int e = 0; e < edits; ++e)
            damaged[int(random() % uint(damaged.size()))] = replacements[random() % std::size(replacements)];
        if (random() % 4 == 0)
            damaged.truncate(int(random() % uint(damaged.size())));
        for (bool full : {true, false}) {
            KvTagInfo t;
            try {
                t.fromXml(damaged, full);
                ++read;
            } catch (const std::exception &) {
            }
        }
    }
    EXPECT_GT(read, 0);
}

} // namespace
