#include "KvTagProperty.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char *pattern;
    int number;
    bool useNumber;
    const char *title;
    int recordTrack;
    const char *expected;
};

TEST(FormatTrackName, Patterns)
{
    const NameCase cases[] = {
        // A pattern without number or title placeholder gets "%0N " in front.
        {"%A", 7, true, "Song", 0, "07 Artist"},
        {"%A-%T", 7, true, "", 0, "Artist-(Track 7)"},
        {"%A-%T", 7, true, "   ", 0, "Artist-(Track 7)"},
        {"Disc%00N", 5, true, "Song", 0, "Disc005"},
        {"", 3, true, "Song", 0, "[03] Song"},
        {"   ", 3, true, "Song", 0, "[03] Song"},
        // The bracket form always shows the caller's number.
        {"", 3, false, "Song", 9, "[03] Song"},
        {"", 4, true, "", 0, "[04] (Track 4)"},
        {"%0N %T", 1, true, "Intro", 0, "01 Intro"},
        {"  %0N %T  ", 1, true, "Intro", 0, "01 Intro"},
        {"%N. %T", 12, true, "X", 0, "12. X"},
        {"%00N-%0N-%N", 7, true, "X", 0, "007-07-7"},
        {"%0N", 123, true, "X", 0, "123"},
        // Without numbering the record's own track number is used.
        {"%0N %T", 1, false, "Intro", 9, "09 Intro"},
        {"%0N %T", 1, false, "", 9, "09 (Track 9)"},
        // A title's "%A" is filled in, its "%N" stays.
        {"%T", 2, true, "By %A", 0, "By Artist"},
        {"%T", 2, true, "No %N here", 0, "No %N here"},
        {"%t %a", 2, true, "T", 0, "02 %t %a"},
        {"%T [%A]", 2, true, "T", 0, "T [Artist]"},
    };
    for (const auto &c : cases) {
        KvTagInfo tags;
        tags.title = c.title;
        tags.artist = "Artist";
        tags.track = c.recordTrack;
        const KvTagProperty track(0, 10, tags);
        EXPECT_EQ(track.formatTrackName(c.number, c.useNumber, c.pattern), QString(c.expected))
            << "pattern '" << c.pattern << "' n=" << c.number << " title '" << c.title << "'";
    }
}

TEST(TagProperty, LoaderDefaultAndAccessors)
{
    KvTagProperty p;
    EXPECT_EQ(p.start(), -1);
    EXPECT_EQ(p.end(), -1);
    EXPECT_EQ(p.tagInfo(), KvTagInfo());
    p.setArtist("A");
    p.setTitle("T");
    EXPECT_EQ(p.artist(), "A");
    EXPECT_EQ(p.tagInfo().title, "T");
    KvTagInfo t;
    t.album = "Al";
    p.setTagInfo(t);
    EXPECT_EQ(p.tagInfo(), t);
}

} // namespace
