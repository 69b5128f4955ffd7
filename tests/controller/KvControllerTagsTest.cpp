// The current track's tags: loaded from the track under the position or the
// whole file, saved back as undo commands, and the tag clipboard whole and
// field by field; the MP3-only fields of other documents stay empty.
#include "KvControllerTestSupport.h"
#include "KvQmlController.h"

#include <KvArtworkCodec.h>
#include <KvAudioFile.h>
#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvRepackInfo.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagInfo.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QUndoStack>

#include <functional>
#include <vector>

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;

QClipboard *board() { return QGuiApplication::clipboard(); }

KvTagInfo fullRecord()
{
    KvTagInfo r;
    r.title = "Title ä";
    r.artist = "Artist <&>";
    r.albumArtist = "Album Artist";
    r.composer = "Composer";
    r.album = "Album";
    r.track = 7;
    r.disc = 2;
    r.year = 1999;
    r.copyright = "(c) Someone";
    r.genre = "Rock";
    r.comment = "Line one\nline two";
    r.artwork = artworkFromText(artworkToText(QByteArray("\x89PNG not really a picture \xff\xfe", 28)));
    return r;
}

// The twelve properties, in a form that compares and prints.
std::vector<QString> shown(const KvQmlController &c)
{
    return {c.curTrackTitle(),   c.curTrackArtist(),  c.curTrackAlbumArtist(),
            c.curTrackComposer(), c.curTrackAlbum(),   c.curTrackCopyright(),
            c.curTrackGenre(),   c.curTrackComment(), c.curTrackArtworkData(),
            QString::number(c.curTrackTrack()), QString::number(c.curTrackDisc()),
            QString::number(c.curTrackYear())};
}

class ControllerTags : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        board()->clear();
        controller.setModel(&model);
    }
    void TearDown() override { model.clearUndo(); }

    void openMp3(qint64 frames)
    {
        model.setFragmentList(kvSilentDocument(frames));
        controller.refreshDocumentState();
    }
    void openAac()
    {
        QString error;
        const KvQmlModel::FragmentListPtr cursor = kvDocumentOfFile(kvtest::fixture("aac_lc_stereo.m4a"), &error);
        ASSERT_TRUE(cursor) << error.toStdString();
        model.setFragmentList(cursor);
        controller.refreshDocumentState();
    }

    KvQmlModel model;
    KvQmlController controller;
};

TEST_F(ControllerTags, CopyAllThenPasteAllGivesBackEveryField)
{
    openMp3(100);
    ASSERT_EQ(controller.audioType(), "mp3");
    controller.setCurTrackTags(fullRecord());
    const std::vector<QString> full = shown(controller);
    controller.copyAllTags();
    EXPECT_TRUE(controller.canPasteTags());

    controller.setCurTrackTags(KvTagInfo());
    ASSERT_NE(shown(controller), full);
    controller.pasteAllTags();
    EXPECT_EQ(shown(controller), full);

    KvTagInfo back;
    controller.curTrackTagsToTagInfo(back);
    EXPECT_TRUE(back == fullRecord()) << "the same interned picture";
}

TEST_F(ControllerTags, SingleFieldPastesTakeOneFieldEvenWhenEmpty)
{
    openMp3(100);
    controller.setCurTrackTags(fullRecord());
    controller.copyAllTags();
    struct Case {
        const char *field;
        std::function<void()> paste;
        std::function<QString()> read;
        size_t index;
    };
    const std::vector<Case> cases{
        {"title", [&] { controller.pasteTitleTag(); }, [&] { return controller.curTrackTitle(); }, 0},
        {"artist", [&] { controller.pasteArtistTag(); }, [&] { return controller.curTrackArtist(); }, 1},
        {"album artist", [&] { controller.pasteAlbumArtistTag(); }, [&] { return controller.curTrackAlbumArtist(); }, 2},
        {"composer", [&] { controller.pasteComposerTag(); }, [&] { return controller.curTrackComposer(); }, 3},
        {"album", [&] { controller.pasteAlbumTag(); }, [&] { return controller.curTrackAlbum(); }, 4},
        {"copyright", [&] { controller.pasteCopyrightTag(); }, [&] { return controller.curTrackCopyright(); }, 5},
        {"genre", [&] { controller.pasteGenreTag(); }, [&] { return controller.curTrackGenre(); }, 6},
        {"comment", [&] { controller.pasteCommentTag(); }, [&] { return controller.curTrackComment(); }, 7},
        {"artwork", [&] { controller.pasteArtworkDataTag(); }, [&] { return controller.curTrackArtworkData(); }, 8},
        {"track", [&] { controller.pasteTrackTag(); }, [&] { return QString::number(controller.curTrackTrack()); }, 9},
        {"disc", [&] { controller.pasteDiscTag(); }, [&] { return QString::number(controller.curTrackDisc()); }, 10},
        {"year", [&] { controller.pasteYearTag(); }, [&] { return QString::number(controller.curTrackYear()); }, 11},
    };
    const std::vector<QString> full = shown(controller);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        controller.setCurTrackTags(KvTagInfo());
        std::vector<QString> expected = shown(controller);
        c.paste();
        expected[c.index] = full[c.index];
        EXPECT_EQ(shown(controller), expected);
    }

    // An empty field on the clipboard empties the property.
    board()->setText(KvTagInfo().toXml());
    controller.pasteTitleTag();
    EXPECT_EQ(controller.curTrackTitle(), "");
    // Text that is no tag record changes nothing.
    board()->setText("Title: not tags");
    controller.setCurTrackTitle("kept");
    controller.pasteTitleTag();
    controller.pasteAllTags();
    EXPECT_EQ(controller.curTrackTitle(), "kept");
}

TEST_F(ControllerTags, MpegOnlyFieldsStayEmptyForAac)
{
    openAac();
    ASSERT_NE(controller.audioType(), "");
    ASSERT_NE(controller.audioType(), "mp3");

    controller.setCurTrackTags(fullRecord());
    EXPECT_EQ(controller.curTrackAlbumArtist(), "");
    EXPECT_EQ(controller.curTrackComposer(), "");
    EXPECT_EQ(controller.curTrackCopyright(), "");
    EXPECT_EQ(controller.curTrackDisc(), 0);
    EXPECT_EQ(controller.curTrackTitle(), "Title ä");

    board()->setText(fullRecord().toXml());
    controller.setCurTrackTags(KvTagInfo());
    controller.pasteAllTags();
    controller.pasteAlbumArtistTag();
    controller.pasteComposerTag();
    controller.pasteCopyrightTag();
    controller.pasteDiscTag();
    EXPECT_EQ(controller.curTrackAlbumArtist(), "");
    EXPECT_EQ(controller.curTrackComposer(), "");
    EXPECT_EQ(controller.curTrackCopyright(), "");
    EXPECT_EQ(controller.curTrackDisc(), 0);
    EXPECT_EQ(controller.curTrackAlbum(), "Album");
    EXPECT_EQ(controller.curTrackYear(), 1999);

    // Saving what is shown keeps the file's MP3-only fields: they were
    // hidden, not edited.
    KvTagInfo stored = fullRecord();
    model.fileTagProperty()->tagInfo() = stored;
    controller.setCurTrack(0);
    controller.saveCurTrackTagInfo();
    EXPECT_EQ(model.undoStack()->count(), 0) << "nothing was changed";
    controller.setCurTrackTitle("New title");
    controller.saveCurTrackTagInfo();
    ASSERT_EQ(model.undoStack()->count(), 1);
    stored.title = "New title";
    EXPECT_TRUE(model.fileTagProperty()->tagInfo() == stored);
}

TEST_F(ControllerTags, LoadFollowsTheTrackUnderThePosition)
{
    KvTagInfo file;
    file.title = "Whole file";
    KvTagInfo second;
    second.title = "Second";
    KvTagInfo fourth;
    fourth.title = "Fourth";

    // No document: no current track.
    controller.loadCurTrackTagInfo();
    EXPECT_EQ(controller.curTrack(), -1);
    EXPECT_EQ(controller.curTrackTitle(), "");

    openMp3(1000);
    model.fileTagProperty()->tagInfo() = file;
    model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(100, 200)));
    model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(200, 300, second)));
    model.trackList()->appendTrack(KvTagPropertyPtr());
    model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(500, 600)));
    model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(600, E, fourth)));

    struct Case {
        qint64 position;
        int track;
        const char *title;
    };
    for (const Case &c : std::vector<Case>{{0, 0, "Whole file"}, {250, 2, "Second"}, {400, 0, "Whole file"},
                                          {999, 4, "Fourth"}, {100, 1, ""}}) {
        SCOPED_TRACE(c.position);
        controller.setScrollFrame(double(c.position));
        controller.loadCurTrackTagInfo();
        EXPECT_EQ(controller.curTrack(), c.track);
        EXPECT_EQ(controller.curTrackTitle(), c.title);
    }

    // The same track again keeps unsaved edits.
    controller.setCurTrackTitle("edited");
    controller.loadCurTrackTagInfo();
    EXPECT_EQ(controller.curTrackTitle(), "edited");
}

TEST_F(ControllerTags, SaveBecomesAnUndoCommandOnlyForChanges)
{
    openMp3(1000);
    model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 400)));
    model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(400, E)));
    QUndoStack &stack = *model.undoStack();

    // The whole file.
    controller.setScrollFrame(0);
    controller.setCurTrack(0);
    controller.saveCurTrackTagInfo();
    EXPECT_EQ(stack.count(), 0);
    controller.setCurTrackTags(fullRecord());
    controller.saveCurTrackTagInfo();
    ASSERT_EQ(stack.count(), 1);
    EXPECT_EQ(stack.text(0), "Edit File Information");
    EXPECT_TRUE(model.fileTagProperty()->tagInfo() == fullRecord());
    controller.saveCurTrackTagInfo();
    EXPECT_EQ(stack.count(), 1) << "equal pictures are one interned object";

    // Track 2 from elsewhere in the document: the view goes to its start.
    controller.setScrollFrame(50);
    controller.setCurTrack(2);
    controller.setCurTrackArtist("Someone");
    QSignalSpy updated(&controller, &KvQmlController::TrackInfoUpdated);
    controller.saveCurTrackTagInfo();
    ASSERT_EQ(stack.count(), 2);
    EXPECT_EQ(stack.text(1), "Modify track information");
    EXPECT_EQ(controller.scrollFrame(), 400.0);
    EXPECT_EQ(model.trackList()->tracks().back()->tagInfo().artist, "Someone");
    EXPECT_EQ(updated.count(), 1);

    stack.undo();
    EXPECT_EQ(model.trackList()->tracks().back()->tagInfo().artist, "");
    stack.undo();
    EXPECT_TRUE(model.fileTagProperty()->tagInfo() == KvTagInfo());

    // No entry: nothing.
    controller.setCurTrack(5);
    controller.setCurTrackTitle("x");
    controller.saveCurTrackTagInfo();
    EXPECT_EQ(stack.count(), 2);
}

// The undo stack's index reaches the track state without a refresh.
TEST_F(ControllerTags, TrackCapabilitiesFollowUndoAndRedo)
{
    openMp3(1000);
    controller.refreshAfterUndo();
    controller.setScrollFrame(300);
    EXPECT_FALSE(controller.canDeleteTrack());
    controller.setTrackStart(300);
    EXPECT_TRUE(controller.canDeleteTrack());
    EXPECT_FALSE(controller.canSetTrackStart());
    EXPECT_EQ(controller.nextTrackPoint(), 1000.0);
    EXPECT_TRUE(controller.canUndo());

    model.undoStack()->undo();
    EXPECT_FALSE(controller.canDeleteTrack());
    EXPECT_TRUE(controller.canSetTrackStart());
    EXPECT_EQ(controller.nextTrackPoint(), -1.0);
    EXPECT_FALSE(controller.canUndo());
    EXPECT_TRUE(controller.canRedo());

    model.undoStack()->redo();
    EXPECT_TRUE(controller.canDeleteTrack());
    EXPECT_FALSE(controller.canRedo());
}

} // namespace
