#include "KvByteArray.h"
#include "KvTagInfo.h"

#include <gtest/gtest.h>

#include <boost/weak_ptr.hpp>

#include <functional>

namespace {

class ArtworkCache : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(artworkCacheSize(), 0); }
    void TearDown() override { EXPECT_EQ(artworkCacheSize(), 0) << "a picture outlived its holders"; }
};

QByteArray picture(int size, char last)
{
    QByteArray b(size, 'x');
    for (int i = 0; i < size; ++i)
        b[i] = char(i * 7);
    if (size > 0)
        b[size - 1] = last;
    return b;
}

TEST_F(ArtworkCache, EqualBytesShareOneObject)
{
    // Sizes around the four-byte stride of the comparison.
    for (int size : {1, 3, 4, 5, 8, 1001}) {
        KvByteArrayPtr a = internArtwork(new KvByteArray(picture(size, 'z')));
        KvByteArrayPtr b = internArtwork(new KvByteArray(picture(size, 'z')));
        ASSERT_TRUE(a);
        EXPECT_EQ(a.get(), b.get()) << size;
        EXPECT_EQ(artworkCacheSize(), 1);
    }
}

TEST_F(ArtworkCache, SameSizeDifferentLastByteIsANewPicture)
{
    for (int size : {1, 4, 7, 64}) {
        KvByteArrayPtr a = internArtwork(new KvByteArray(picture(size, 'a')));
        KvByteArrayPtr b = internArtwork(new KvByteArray(picture(size, 'b')));
        EXPECT_NE(a.get(), b.get()) << size;
        EXPECT_EQ(artworkCacheSize(), 2);
    }
}

TEST_F(ArtworkCache, EmptyOrNullPictureIsNoPicture)
{
    EXPECT_FALSE(internArtwork(nullptr));
    EXPECT_FALSE(internArtwork(new KvByteArray(QByteArray())));
    EXPECT_FALSE(internArtworkShared(KvByteArrayPtr()));
    EXPECT_FALSE(internArtworkShared(KvByteArrayPtr(new KvByteArray(QByteArray()))));
    EXPECT_EQ(artworkCacheSize(), 0);
}

TEST_F(ArtworkCache, EntryGoesWithTheLastHolder)
{
    boost::weak_ptr<KvByteArray> old;
    {
        KvTagInfo a, b;
        a.artwork = internArtwork(new KvByteArray("cover"));
        b = a;
        old = a.artwork;
        a.artwork.reset();
        EXPECT_EQ(artworkCacheSize(), 1) << "b still shows the picture";
    }
    EXPECT_TRUE(old.expired());
    EXPECT_EQ(artworkCacheSize(), 0);

    KvByteArrayPtr again = internArtwork(new KvByteArray("cover"));
    EXPECT_EQ(artworkCacheSize(), 1);
    EXPECT_EQ(again->bytes(), QByteArray("cover"));
}

TEST_F(ArtworkCache, SharedObjectMatchingALivePictureIsNotEntered)
{
    KvByteArrayPtr live = internArtwork(new KvByteArray("same"));
    boost::weak_ptr<KvByteArray> loose;
    {
        KvByteArrayPtr loaded(new KvByteArray("same"));
        loose = loaded;
        EXPECT_EQ(internArtworkShared(loaded).get(), live.get());
    }
    EXPECT_TRUE(loose.expired());
    EXPECT_EQ(artworkCacheSize(), 1) << "the live picture keeps its entry";
    EXPECT_EQ(internArtwork(new KvByteArray("same")).get(), live.get());

    KvByteArrayPtr fresh(new KvByteArray("other"));
    EXPECT_EQ(internArtworkShared(fresh).get(), fresh.get());
    EXPECT_EQ(artworkCacheSize(), 2);
}

TEST_F(ArtworkCache, RecordsCompareArtworkByIdentity)
{
    KvTagInfo a, b;
    a.title = b.title = "t";
    a.artwork.reset(new KvByteArray("pic"));
    b.artwork.reset(new KvByteArray("pic"));
    EXPECT_NE(a, b) << "never interned: two objects";

    a.artwork = internArtworkShared(a.artwork);
    b.artwork = internArtworkShared(b.artwork);
    EXPECT_EQ(a, b);
    b.comment = "c";
    EXPECT_NE(a, b);
}

TEST(TagInfoEquality, EveryFieldCounts)
{
    const KvTagInfo base;
    const std::function<void(KvTagInfo &)> changes[] = {
        [](KvTagInfo &t) { t.title = "x"; },     [](KvTagInfo &t) { t.artist = "x"; },
        [](KvTagInfo &t) { t.albumArtist = "x"; }, [](KvTagInfo &t) { t.composer = "x"; },
        [](KvTagInfo &t) { t.album = "x"; },     [](KvTagInfo &t) { t.track = 1; },
        [](KvTagInfo &t) { t.disc = 1; },        [](KvTagInfo &t) { t.year = 1; },
        [](KvTagInfo &t) { t.copyright = "x"; }, [](KvTagInfo &t) { t.genre = "x"; },
        [](KvTagInfo &t) { t.comment = "x"; },   [](KvTagInfo &t) { t.artwork.reset(new KvByteArray("p")); },
    };
    for (const auto &change : changes) {
        KvTagInfo t;
        change(t);
        EXPECT_NE(t, base);
    }
    KvTagInfo caseOnly;
    caseOnly.title = "Title";
    KvTagInfo lower;
    lower.title = "title";
    EXPECT_NE(caseOnly, lower);
}

} // namespace
