#include "KvArchiveText.h"
#include "KvQmlController.h"

#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvTagArchive.h>

#include <gtest/gtest.h>

#include <boost/archive/archive_exception.hpp>

#include <random>

namespace {

using kvtest::readArchive;
using kvtest::writeArchive;

constexpr qint64 E = KvTagProperty::EndMarker;

struct Project {
    KvQmlModel model;
    KvQmlController controller;
    Project() { controller.setModel(&model); }
};

KvTagInfo tagsNamed(const QString &title, const KvByteArrayPtr &picture)
{
    KvTagInfo t;
    t.title = title;
    t.artist = "Artist";
    t.artwork = picture;
    return t;
}

std::string saved(const KvQmlController &c)
{
    return writeArchive([&](auto &oa) { c.saveProjectTracks(oa); });
}

TEST(ProjectTracks, RoundTripIntoAnotherModel)
{
    std::string text;
    {
        Project p;
        const KvByteArrayPtr cover = internArtwork(new KvByteArray(QByteArray(500, 'c')));
        p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 100, tagsNamed("one", cover))));
        p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(100, 250, tagsNamed("two", cover))));
        p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(250, E, tagsNamed("three", cover))));
        p.model.fileTagProperty()->setTagInfo(tagsNamed("album", cover));
        text = saved(p.controller);
        EXPECT_NE(text.find(QByteArray(500, 'c').toBase64().toStdString()), std::string::npos);
        EXPECT_EQ(text.find(QByteArray(500, 'c').toBase64().toStdString()),
                  text.rfind(QByteArray(500, 'c').toBase64().toStdString()))
            << "the picture is stored once";
    }
    ASSERT_EQ(artworkCacheSize(), 0);

    Project q;
    const auto oldList = q.model.trackList();
    readArchive(text, [&](auto &ia) { q.controller.loadProjectTracks(ia, true); });
    ASSERT_NE(q.model.trackList(), oldList) << "a fresh list is installed";
    EXPECT_EQ(q.model.trackList()->owner(), &q.controller);
    const auto &tracks = q.model.trackList()->tracks();
    ASSERT_EQ(tracks.size(), 3u);
    const qint64 bounds[][2] = {{0, 100}, {100, 250}, {250, E}};
    const char *titles[] = {"one", "two", "three"};
    int i = 0;
    for (const auto &t : tracks) {
        EXPECT_EQ(t->start(), bounds[i][0]);
        EXPECT_EQ(t->end(), bounds[i][1]);
        EXPECT_EQ(t->tagInfo().title, titles[i]);
        EXPECT_EQ(t->tagInfo().artwork.get(), q.model.fileTagProperty()->tagInfo().artwork.get());
        ++i;
    }
    EXPECT_EQ(q.model.fileTagProperty()->tagInfo().title, "album");
    EXPECT_EQ(q.model.fileTagProperty()->tagInfo().artwork->bytes(), QByteArray(500, 'c'));
    EXPECT_EQ(artworkCacheSize(), 1);
}

TEST(ProjectTracks, CheckingPassChangesNothing)
{
    Project p;
    p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, E)));
    const std::string text = saved(p.controller);

    Project q;
    const auto list = q.model.trackList();
    const auto fileTags = q.model.fileTagProperty();
    readArchive(text, [&](auto &ia) { q.controller.loadProjectTracks(ia, false); });
    EXPECT_EQ(q.model.trackList(), list);
    EXPECT_FALSE(list->hasTracks());
    EXPECT_EQ(q.model.fileTagProperty(), fileTags);
}

TEST(ProjectTracks, NoTracksAndNoFileTags)
{
    Project p;
    p.model.setFileTagProperty(KvTagPropertyPtr());
    const std::string text = saved(p.controller);
    EXPECT_EQ(text, std::string(kvtest::kArchiveHeader) + " 0 -1\n");

    Project q;
    readArchive(text, [&](auto &ia) { q.controller.loadProjectTracks(ia, true); });
    EXPECT_FALSE(q.model.trackList()->hasTracks());
    EXPECT_FALSE(q.model.fileTagProperty());
}

// Writes a track count and the given entries, then file tags, as pointers.
std::string rawTracks(int count, const std::vector<const KvTagProperty *> &entries,
                      const KvTagProperty *fileTags)
{
    return writeArchive([&](boost::archive::text_oarchive &oa) {
        oa << count;
        for (const KvTagProperty *p : entries) {
            oa.register_type<KvTagProperty>();
            oa << p;
        }
        oa.register_type<KvTagProperty>();
        oa << fileTags;
    });
}

TEST(ProjectTracks, NullTrackEntriesAreDropped)
{
    const KvTagProperty a(0, 10, tagsNamed("a", {}));
    const KvTagProperty b(10, 20, tagsNamed("b", {}));
    const std::string text = rawTracks(3, {&a, nullptr, &b}, nullptr);
    Project q;
    readArchive(text, [&](auto &ia) { q.controller.loadProjectTracks(ia, true); });
    const auto &tracks = q.model.trackList()->tracks();
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks.front()->tagInfo().title, "a");
    EXPECT_EQ(tracks.back()->tagInfo().title, "b");
    EXPECT_EQ(q.model.trackList()->trackCount(), 2);
}

TEST(ProjectTracks, AnObjectStoredTwiceIsRefused)
{
    const KvTagProperty a(0, 10, tagsNamed("a", {}));
    // The second entry, or the file tags, refer back to the first track.
    for (const std::string &text : {rawTracks(2, {&a, &a}, nullptr), rawTracks(1, {&a}, &a)}) {
        Project q;
        EXPECT_THROW(readArchive(text, [&](auto &ia) { q.controller.loadProjectTracks(ia, true); }),
                     boost::archive::archive_exception);
    }
}

TEST(ProjectTracks, TruncatedTracksThrow)
{
    Project p;
    p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 10, tagsNamed("title", {}))));
    const std::string text = saved(p.controller);
    for (size_t cut = std::string(kvtest::kArchiveHeader).size() + 1; cut + 2 < text.size(); ++cut) {
        Project q;
        EXPECT_THROW(readArchive(text.substr(0, cut), [&](auto &ia) { q.controller.loadProjectTracks(ia, true); }),
                     boost::archive::archive_exception)
            << cut;
    }
}

} // namespace

namespace {

// Damaged project tails either load or fail with an exception; they never
// crash or leave two owners of one track.
TEST(ProjectTracks, DamagedTextLoadsOrThrows)
{
    std::string text;
    {
        Project p;
        const KvByteArrayPtr cover = internArtwork(new KvByteArray("cover picture bytes"));
        p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 100, tagsNamed("one", cover))));
        p.model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(100, E, tagsNamed("two", cover))));
        p.model.fileTagProperty()->setTagInfo(tagsNamed("album", cover));
        text = saved(p.controller);
    }
    const char replacements[] = {' ', '0', '1', '2', '-', 'x', '\n', '9'};
    std::mt19937 random(1234);
    int loaded = 0;
    Project q;
    for (int round = 0; round < 20000; ++round) {
        std::string damaged = text;
        const int edits = 1 + int(random() % 3);
        for (int e = 0; e < edits; ++e) {
            const size_t at = std::string(kvtest::kArchiveHeader).size() + random() % (text.size() - 29);
            damaged[at] = replacements[random() % sizeof(replacements)];
        }
        try {
            readArchive(damaged, [&](auto &ia) { q.controller.loadProjectTracks(ia, true); });
            ++loaded;
            for (const auto &t : q.model.trackList()->tracks())
                ASSERT_TRUE(t);
        } catch (const std::exception &) {
        }
    }
    EXPECT_GT(loaded, 0);
    q.controller.closeProject(true, false);
    EXPECT_EQ(artworkCacheSize(), 0);
}

} // namespace
