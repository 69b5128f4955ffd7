#include <KvArchiveText.h>
#include "KvTagArchive.h"

#include <gtest/gtest.h>

#include <boost/archive/archive_exception.hpp>

#include <vector>

namespace {

using kvtest::readArchive;
using kvtest::writeArchive;

constexpr qint64 kEnd = KvTagProperty::EndMarker;

class TagArchive : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(artworkCacheSize(), 0); }
    void TearDown() override { EXPECT_EQ(artworkCacheSize(), 0); }
};

// Tracks are stored as pointers, the type registered before each one, as
// project files hold them.
std::string saveTracks(const std::vector<KvTagPropertyPtr> &tracks)
{
    return writeArchive([&](boost::archive::text_oarchive &oa) {
        for (const auto &t : tracks) {
            oa.register_type<KvTagProperty>();
            const KvTagProperty *p = t.get();
            oa << p;
        }
    });
}

std::vector<KvTagPropertyPtr> loadTracks(const std::string &text, int count)
{
    std::vector<KvTagPropertyPtr> out;
    // As the project reader does: what a failed read made is freed.
    KvArchiveLoadGuard guard;
    readArchive(text, [&](boost::archive::text_iarchive &ia) {
        for (int i = 0; i < count; ++i) {
            ia.register_type<KvTagProperty>();
            if (auto *checked = dynamic_cast<KvTextIArchive *>(&ia))
                checked->expectPointer(typeid(KvTagProperty));
            KvTagProperty *p = nullptr;
            ia >> p;
            KvArchiveLoadGuard::adopt(p);
            out.emplace_back(p);
        }
    });
    return out;
}

int occurrences(const std::string &text, const std::string &what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(TagArchive, OneTrackHasTheExpectedLayout)
{
    KvTagInfo tags;
    tags.title = "Ab";
    tags.track = 3;
    tags.year = 2001;
    tags.genre = QString::fromUtf8("Pop é");
    tags.artwork = internArtwork(new KvByteArray("PIC"));
    const std::string text = saveTracks({KvTagPropertyPtr(new KvTagProperty(5, kEnd, tags))});
    // Pointer to a new class: class id, tracking, version, object id; the
    // record's class information; the first string's class information; the
    // shared pointer's class information; the picture pointer's preamble.
    EXPECT_EQ(text,
              "22 serialization::archive 17 0 1 0\n0 5 9223372036854775807 0 1 0 1 2 Ab 0  0  0  0  "
              "3 0 2001 0  6 Pop \xc3\xa9 0  0 1 4 1 0\n1 4 UElD\n");
}

TEST_F(TagArchive, SharedPictureIsStoredOnceAndReloadsShared)
{
    const QByteArray bytes(2048, '\x5a');
    const std::string base64 = bytes.toBase64().toStdString();
    std::string text;
    {
        KvTagInfo tags;
        tags.artwork = internArtwork(new KvByteArray(bytes));
        std::vector<KvTagPropertyPtr> tracks;
        for (int i = 0; i < 3; ++i) {
            tags.title = QString("Track %1").arg(i + 1);
            tags.track = i + 1;
            tracks.emplace_back(new KvTagProperty(i * 100, i == 2 ? kEnd : (i + 1) * 100, tags));
        }
        text = saveTracks(tracks);
    }
    EXPECT_EQ(occurrences(text, base64), 1);
    ASSERT_EQ(artworkCacheSize(), 0);

    {
        const auto loaded = loadTracks(text, 3);
        ASSERT_EQ(loaded.size(), 3u);
        const KvByteArray *shared = loaded[0]->tagInfo().artwork.get();
        ASSERT_TRUE(shared);
        EXPECT_EQ(shared->bytes(), bytes);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(loaded[i]->tagInfo().artwork.get(), shared) << i;
            EXPECT_EQ(loaded[i]->start(), i * 100);
            EXPECT_EQ(loaded[i]->end(), i == 2 ? kEnd : (i + 1) * 100);
            EXPECT_EQ(loaded[i]->tagInfo().title, QString("Track %1").arg(i + 1));
            EXPECT_EQ(loaded[i]->tagInfo().track, i + 1);
        }
        EXPECT_EQ(artworkCacheSize(), 1);
    }
    EXPECT_EQ(artworkCacheSize(), 0);
}

TEST_F(TagArchive, LoadedPictureJoinsALiveEqualPicture)
{
    KvTagInfo live;
    live.artwork = internArtwork(new KvByteArray("cover bytes"));
    const std::string text = saveTracks({KvTagPropertyPtr(new KvTagProperty(0, 10, live))});
    const auto loaded = loadTracks(text, 1);
    EXPECT_EQ(loaded[0]->tagInfo().artwork.get(), live.artwork.get());
    EXPECT_EQ(loaded[0]->tagInfo(), live);
    EXPECT_EQ(artworkCacheSize(), 1);
}

TEST_F(TagArchive, RecordRoundTripWithAndWithoutPicture)
{
    for (bool withPicture : {false, true}) {
        KvTagInfo t;
        t.title = QString::fromUtf8("日本 & <x>");
        t.artist = "A";
        t.albumArtist = "AA";
        t.composer = "C";
        t.album = "Al";
        t.track = -1;
        t.disc = 2;
        t.year = 1970;
        t.copyright = "(c)";
        t.genre = "G";
        t.comment = "multi\nline";
        if (withPicture)
            t.artwork = internArtwork(new KvByteArray(QByteArray("\0\1\2", 3)));
        const std::string text = writeArchive([&](auto &oa) { oa << static_cast<const KvTagInfo &>(t); });
        KvTagInfo back;
        readArchive(text, [&](auto &ia) { ia >> back; });
        EXPECT_EQ(back, t) << withPicture;
        EXPECT_EQ(back.artwork != nullptr, withPicture);
    }
}

TEST_F(TagArchive, VersionZeroBodyHasNoPicture)
{
    // Record class information (tracking 0, version 0), then the first
    // string's class information and eleven fields; no picture item.
    const std::string text =
        "22 serialization::archive 17 0 0 0 1 5 Title 6 Artist 0  0  5 Album 4 1 1987 3 (c) 4 Rock 3 Com";
    KvTagInfo t;
    t.artwork = internArtwork(new KvByteArray("old picture"));
    readArchive(text, [&](auto &ia) { ia >> t; });
    EXPECT_EQ(t.title, "Title");
    EXPECT_EQ(t.artist, "Artist");
    EXPECT_EQ(t.albumArtist, "");
    EXPECT_EQ(t.album, "Album");
    EXPECT_EQ(t.track, 4);
    EXPECT_EQ(t.disc, 1);
    EXPECT_EQ(t.year, 1987);
    EXPECT_EQ(t.copyright, "(c)");
    EXPECT_EQ(t.genre, "Rock");
    EXPECT_EQ(t.comment, "Com");
    EXPECT_FALSE(t.artwork);
}

TEST_F(TagArchive, EmptyStoredPictureIsNoPicture)
{
    KvTagInfo t;
    t.artwork.reset(new KvByteArray(QByteArray())); // never interned, so it can be written
    const std::string text = writeArchive([&](auto &oa) { oa << static_cast<const KvTagInfo &>(t); });
    KvTagInfo back;
    readArchive(text, [&](auto &ia) { ia >> back; });
    EXPECT_FALSE(back.artwork);
}

TEST_F(TagArchive, NullTrackPointerRoundTrips)
{
    const std::string text = saveTracks({KvTagPropertyPtr()});
    EXPECT_EQ(text, "22 serialization::archive 17 -1\n");
    const auto loaded = loadTracks(text, 1);
    EXPECT_FALSE(loaded[0]);
}

TEST_F(TagArchive, MalformedInputThrows)
{
    KvTagInfo tags;
    tags.title = "Some title";
    tags.artwork = internArtwork(new KvByteArray("picture bytes"));
    const std::string text = saveTracks({KvTagPropertyPtr(new KvTagProperty(1, 2, tags))});
    tags.artwork.reset();
    // Cut inside every item from the first track field on.
    const size_t bodyStart = std::string("22 serialization::archive 17 0 1 0\n0 ").size();
    for (size_t cut = bodyStart; cut + 2 < text.size(); cut += 3)
        EXPECT_THROW(loadTracks(text.substr(0, cut), 1), boost::archive::archive_exception) << cut;
    EXPECT_THROW(loadTracks("22 serialization::archive 17 0 1 0\n0 x 2", 1),
                 boost::archive::archive_exception);
}

// Class ids and object references that do not fit what came before, and
// string lengths beyond the text, are refused instead of trusted.
TEST_F(TagArchive, CheckedArchiveRefusesBadIdsAndLengths)
{
    KvTagInfo tags;
    tags.title = "one";
    tags.artwork = internArtwork(new KvByteArray("PIC"));
    const KvTagProperty first(0, 10, tags);
    const KvTagProperty second(10, 20, tags);
    const std::string good = writeArchive([&](boost::archive::text_oarchive &oa) {
        for (const KvTagProperty *p : {&first, &second}) {
            oa.register_type<KvTagProperty>();
            oa << p;
        }
    });
    tags.artwork.reset();
    // The second track's picture is "4 1": class 4, object 1.
    const size_t ref = good.rfind(" 4 1");
    ASSERT_NE(ref, std::string::npos);
    ASSERT_EQ(loadTracks(good, 2).size(), 2u);

    struct Case {
        const char *replacement;
        const char *what;
    } cases[] = {
        {" 421 1", "a class id far past the known classes"},
        {" 5 1", "the next class id without class information"},
        {" 4 0", "a reference to an object of another class (the first track)"},
        {" 4 7", "an object id that skips ahead"},
    };
    for (const auto &c : cases) {
        std::string bad = good;
        bad.replace(ref, 4, c.replacement);
        EXPECT_THROW(loadTracks(bad, 2), boost::archive::archive_exception) << c.what;
    }

    // A string length far beyond the text fails without allocating it.
    std::string huge = good;
    const size_t title = huge.find(" 3 one");
    ASSERT_NE(title, std::string::npos);
    huge.replace(title, 6, " 900000000000 one");
    EXPECT_THROW(loadTracks(huge, 2), boost::archive::archive_exception);
}

TEST(QStringArchive, VersionZeroBodyDropsItsLeadingNewline)
{
    struct Case {
        const char *text;
        const char *value;
    } cases[] = {
        {"22 serialization::archive 17 0 0 4 \nabc", "abc"},
        {"22 serialization::archive 17 0 0 0 ", ""},
        {"22 serialization::archive 17 0 1 4 \nabc", "\nabc"},
        {"22 serialization::archive 17 0 1 3 abc", "abc"},
    };
    for (const auto &c : cases) {
        QString s = "unchanged";
        readArchive(c.text, [&](auto &ia) { ia >> s; });
        EXPECT_EQ(s, QString(c.value)) << c.text;
    }
}

TEST(QStringArchive, WritesUtf8CutAtTheFirstZero)
{
    const QString s = QString::fromUtf8("é") + QChar(0) + "tail";
    const std::string text = writeArchive([&](auto &oa) {
        oa << static_cast<const QString &>(s);
        oa << static_cast<const QString &>(QString("second"));
    });
    EXPECT_EQ(text, "22 serialization::archive 17 0 1 2 \xc3\xa9 6 second\n");
}

} // namespace
