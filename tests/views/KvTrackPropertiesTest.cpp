#include "KvTrackProperties.h"

#include "KvGenreList.h"
#include "KvTestImages.h"

#include <KvArtworkCodec.h>
#include <KvFileProperties.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvTagProperty.h>
#include <KvTrackInfoUndo.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QUndoStack>

#include <memory>

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;

KvTagInfo tags(const QString &title, int track = 0)
{
    KvTagInfo t;
    t.title = title;
    t.artist = title + " artist";
    t.albumArtist = title + " album artist";
    t.composer = title + " composer";
    t.album = "Album";
    t.track = track;
    t.disc = 2;
    t.year = 1999;
    t.copyright = "(c) " + title;
    t.genre = "Jazz";
    t.comment = "line one\nline two";
    return t;
}

class TrackProperties : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        QGuiApplication::clipboard()->clear();
        controller.setModel(&model);
        list = model.trackList().get();
        list->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 100, tags("One", 11))));
        list->appendTrack(KvTagPropertyPtr(new KvTagProperty(100, 200, tags("Two", 12))));
        list->appendTrack(KvTagPropertyPtr(new KvTagProperty(200, E, tags("Three", 13))));
    }

    KvTagProperty *track(int n) const { return std::next(list->tracks().begin(), n - 1)->get(); }

    void open(KvTagProperty *record, bool autoNumbering = false, const QString &type = "mp3",
              KvFileProperties *tracks = reinterpret_cast<KvFileProperties *>(-1))
    {
        if (tracks == reinterpret_cast<KvFileProperties *>(-1))
            tracks = list;
        dialog.reset(new KvTrackProperties(&controller, record, tracks, model.undoStack(),
                                           autoNumbering, type));
    }

    // The form's widgets by object name.
    template <class T> T *w(const char *name) const
    {
        T *found = dialog->findChild<T *>(name);
        EXPECT_TRUE(found) << name;
        return found;
    }
    QLineEdit *edit(const char *name) const { return w<QLineEdit>(name); }
    QPushButton *button(const char *name) const { return w<QPushButton>(name); }
    QComboBox *genre() const { return w<QComboBox>("comboBoxGenre"); }

    void click(const char *name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void clickOk() const
    {
        QTest::mouseClick(w<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }

    KvQmlModel model;
    KvQmlController controller;
    KvFileProperties *list = nullptr;
    std::unique_ptr<KvTrackProperties> dialog;
};

TEST_F(TrackProperties, ShowsTheRecord)
{
    open(track(2));
    EXPECT_EQ(edit("lineEditTitle")->text(), "Two");
    EXPECT_EQ(edit("lineEditArtist")->text(), "Two artist");
    EXPECT_EQ(edit("lineEditAlbumArtist")->text(), "Two album artist");
    EXPECT_EQ(edit("lineEditComposer")->text(), "Two composer");
    EXPECT_EQ(edit("lineEditAlbum")->text(), "Album");
    EXPECT_EQ(edit("lineEditTrack")->text(), "12");
    EXPECT_EQ(edit("lineEditDisc")->text(), "2");
    EXPECT_EQ(edit("lineEditYear")->text(), "1999");
    EXPECT_EQ(edit("lineEditCopyright")->text(), "(c) Two");
    EXPECT_EQ(genre()->currentText(), "Jazz");
    EXPECT_EQ(w<QTextEdit>("textEditComment")->toPlainText(), "line one\nline two");
    EXPECT_EQ(dialog->objectName(), "KvTrackProperties");
    EXPECT_EQ(dialog->windowTitle(), "Add Track Information");
    EXPECT_TRUE(button("pushButtonNextTrack")->isEnabled());
    EXPECT_TRUE(button("pushButtonPreviousTrack")->isEnabled());
    EXPECT_EQ(dialog->currentTrackStart(), 100);

    // OK without edits gives the record back unchanged.
    clickOk();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(dialog->tagInfo == track(2)->tagInfo());
    EXPECT_EQ(model.undoStack()->count(), 0);
}

TEST_F(TrackProperties, GenreListIsTheFixedTable)
{
    open(track(1));
    ASSERT_EQ(genre()->count(), 148);
    EXPECT_EQ(genre()->itemText(0), "Blues");
    EXPECT_EQ(genre()->itemText(30), "Fusion");
    EXPECT_EQ(genre()->itemText(84), "Fusion");
    EXPECT_EQ(genre()->itemText(79), "Hard Rock");
    EXPECT_EQ(genre()->itemText(125), "Dance Hall");
    EXPECT_EQ(genre()->itemText(132), "BritPop");
    EXPECT_EQ(genre()->itemText(134), "Polsk Punk");
    EXPECT_EQ(genre()->itemText(147), "Synthpop");
    EXPECT_FALSE(genre()->isEditable());
    EXPECT_EQ(kvGenreNames().size(), 148);
}

TEST_F(TrackProperties, AacDocumentsDisableTheMp3OnlyFields)
{
    KvTagInfo clip = tags("Clip");
    QGuiApplication::clipboard()->setText(clip.toXml());
    const char *mp3Only[] = {"lineEditAlbumArtist", "lineEditComposer", "lineEditCopyright",
                             "lineEditDisc"};
    const char *mp3OnlyPaste[] = {"pasteAlbumArtistPushButton", "pasteComposerPushButton",
                                  "pasteCopyrightPushButton", "pasteDiscPushButton"};
    const char *alwaysPaste[] = {"pasteTitlePushButton", "pasteArtistPushButton",
                                 "pasteAlbumPushButton", "pasteYearPushButton",
                                 "pasteGenrePushButton", "pasteCommentPushButton",
                                 "pasteTrackPushButton", "pushPasteAll"};
    for (const char *type : {"m4a", "aac", "mp3"}) {
        open(track(2), false, type);
        const bool mp3 = QString(type) == "mp3";
        for (const char *name : mp3Only)
            EXPECT_EQ(edit(name)->isEnabled(), mp3) << type << " " << name;
        for (const char *name : mp3OnlyPaste)
            EXPECT_EQ(button(name)->isEnabled(), mp3) << type << " " << name;
        for (const char *name : alwaysPaste)
            EXPECT_TRUE(button(name)->isEnabled()) << type << " " << name;
        EXPECT_TRUE(edit("lineEditTitle")->isEnabled());
    }
}

TEST_F(TrackProperties, PasteAllInAnAacDocumentKeepsTheMp3OnlyFields)
{
    KvTagInfo clip = tags("Clip", 4);
    QGuiApplication::clipboard()->setText(clip.toXml());
    open(track(2), false, "m4a");
    click("pushPasteAll");
    EXPECT_EQ(edit("lineEditTitle")->text(), "Clip");
    EXPECT_EQ(edit("lineEditTrack")->text(), "4");
    EXPECT_EQ(edit("lineEditAlbumArtist")->text(), "Two album artist");
    EXPECT_EQ(edit("lineEditComposer")->text(), "Two composer");
    EXPECT_EQ(edit("lineEditCopyright")->text(), "(c) Two");
    EXPECT_EQ(edit("lineEditDisc")->text(), "2");
}

TEST_F(TrackProperties, AutomaticNumberingShowsThePositionAndKeepsTheTag)
{
    QGuiApplication::clipboard()->setText(tags("Clip", 5).toXml());
    open(track(3), true);
    EXPECT_EQ(edit("lineEditTrack")->text(), "3");
    EXPECT_FALSE(edit("lineEditTrack")->isEnabled());
    EXPECT_FALSE(button("pasteTrackPushButton")->isEnabled());
    EXPECT_EQ(button("pasteTrackPushButton")->toolTip(), "Auto track numbering enabled");

    // Paste All leaves the numbered field alone.
    click("pushPasteAll");
    EXPECT_EQ(edit("lineEditTrack")->text(), "3");

    clickOk();
    EXPECT_EQ(dialog->tagInfo.track, 13);
    EXPECT_EQ(dialog->tagInfo.title, "Clip");

    // Without numbering the field is the tag's own and can be pasted.
    open(track(3), false);
    EXPECT_EQ(edit("lineEditTrack")->text(), "13");
    EXPECT_TRUE(edit("lineEditTrack")->isEnabled());
    EXPECT_TRUE(button("pasteTrackPushButton")->isEnabled());
    EXPECT_EQ(button("pasteTrackPushButton")->toolTip(), "Paste track");
    click("pasteTrackPushButton");
    EXPECT_EQ(edit("lineEditTrack")->text(), "5");
    clickOk();
    EXPECT_EQ(dialog->tagInfo.track, 5);
}

TEST_F(TrackProperties, NewUnlistedTrackHasNoNeighboursAndNoNumber)
{
    // A new track where no listed track is (the open end of the document).
    KvTagProperty fresh(E, E);
    fresh.tagInfo().track = 7;
    open(&fresh, true);
    EXPECT_FALSE(button("pushButtonNextTrack")->isEnabled());
    EXPECT_FALSE(button("pushButtonPreviousTrack")->isEnabled());
    EXPECT_EQ(edit("lineEditTrack")->text(), "");
    clickOk();
    EXPECT_EQ(dialog->tagInfo.track, 7);

    // The whole-file record: no track list.
    KvTagProperty file(-1, -1, tags("File", 9));
    open(&file, true, "mp3", nullptr);
    EXPECT_EQ(edit("lineEditTrack")->text(), "9");
    EXPECT_FALSE(button("pushButtonNextTrack")->isEnabled());
    EXPECT_EQ(dialog->currentTrackStart(), -1);
}

TEST_F(TrackProperties, NextCommitsTheEditAsOneCommandAndMovesOn)
{
    open(track(2));
    edit("lineEditTitle")->setText("Two edited");
    click("pushButtonNextTrack");

    QUndoStack *stack = model.undoStack();
    ASSERT_EQ(stack->count(), 1);
    EXPECT_EQ(stack->text(0), "Modify track information");
    EXPECT_EQ(track(2)->tagInfo().title, "Two edited");
    EXPECT_EQ(track(2)->tagInfo().artist, "Two artist");
    EXPECT_EQ(track(1)->tagInfo().title, "One");

    EXPECT_EQ(edit("lineEditTitle")->text(), "Three");
    EXPECT_EQ(edit("lineEditTrack")->text(), "13");
    EXPECT_FALSE(button("pushButtonNextTrack")->isEnabled());
    EXPECT_TRUE(button("pushButtonPreviousTrack")->isEnabled());
    EXPECT_EQ(dialog->currentTrackStart(), 200);

    // At the end of the list Next does nothing.
    click("pushButtonNextTrack");
    EXPECT_EQ(stack->count(), 1);

    // Previous without an edit pushes nothing.
    click("pushButtonPreviousTrack");
    EXPECT_EQ(stack->count(), 1);
    EXPECT_EQ(edit("lineEditTitle")->text(), "Two edited");
    EXPECT_EQ(dialog->currentTrackStart(), 100);

    stack->undo();
    EXPECT_EQ(track(2)->tagInfo().title, "Two");
}

TEST_F(TrackProperties, CallerCommitsTheTrackShownLastAfterOk)
{
    // As the main window does for "Edit Track Information".
    open(track(1));
    edit("lineEditTitle")->setText("One edited");
    click("pushButtonNextTrack");
    edit("lineEditArtist")->setText("Two edited");
    clickOk();
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    KvTrackInfoUndo *command = list->modifyTrackInfo(dialog->currentTrackStart(), &dialog->tagInfo);
    ASSERT_TRUE(command);
    model.undoStack()->push(command);

    ASSERT_EQ(model.undoStack()->count(), 2);
    EXPECT_EQ(track(1)->tagInfo().title, "One edited");
    EXPECT_EQ(track(2)->tagInfo().artist, "Two edited");
    EXPECT_EQ(track(2)->tagInfo().title, "Two");
    EXPECT_EQ(track(3)->tagInfo().title, "Three");

    // Cancel after stepping keeps the command of the step only.
    open(track(1));
    edit("lineEditTitle")->setText("One again");
    click("pushButtonNextTrack");
    QTest::mouseClick(w<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Cancel),
                      Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(model.undoStack()->count(), 3);
    EXPECT_EQ(track(1)->tagInfo().title, "One again");
}

TEST_F(TrackProperties, EmptyNumbersReadBackAsZero)
{
    KvTagInfo t = tags("Zero");
    t.disc = 0;
    t.year = 0;
    KvTagProperty record(0, E, t);
    open(&record);
    EXPECT_EQ(edit("lineEditTrack")->text(), "");
    EXPECT_EQ(edit("lineEditDisc")->text(), "");
    EXPECT_EQ(edit("lineEditYear")->text(), "");
    edit("lineEditYear")->setText("19x9");
    clickOk();
    EXPECT_EQ(dialog->tagInfo.track, 0);
    EXPECT_EQ(dialog->tagInfo.disc, 0);
    EXPECT_EQ(dialog->tagInfo.year, 0);
}

TEST_F(TrackProperties, GenreLookupIgnoresCaseAndKeepsUnlistedGenres)
{
    const struct {
        QString given;
        QString shown;
        int index;
    } cases[] = {
        {"rock", "Rock", 17},
        {"HIP-HOP", "Hip-Hop", 7},
        {"", "", -1},
        {"Synthwave", "Synthwave", 148},
    };
    for (const auto &c : cases) {
        KvTagInfo t = tags("G");
        t.genre = c.given;
        KvTagProperty record(0, E, t);
        open(&record);
        EXPECT_EQ(genre()->currentIndex(), c.index) << c.given.toStdString();
        clickOk();
        EXPECT_EQ(dialog->tagInfo.genre, c.shown) << c.given.toStdString();
    }

    // The extra entry goes when a listed genre is shown.
    track(2)->tagInfo().genre = "Chiptune";
    open(track(2));
    EXPECT_EQ(genre()->count(), 149);
    EXPECT_EQ(genre()->currentText(), "Chiptune");
    click("pushButtonNextTrack");
    EXPECT_EQ(genre()->count(), 148);
    EXPECT_EQ(genre()->currentText(), "Jazz");
    EXPECT_EQ(model.undoStack()->count(), 0) << "the unlisted genre was kept";
}

TEST_F(TrackProperties, OnlyExactTagTextEnablesPasting)
{
    const char *paste[] = {"pushPasteAll", "pasteTitlePushButton", "pasteGenrePushButton",
                           "pasteTrackPushButton", "pasteDiscPushButton"};
    open(track(1));
    for (const char *name : paste)
        EXPECT_FALSE(button(name)->isEnabled()) << name;

    QGuiApplication::clipboard()->setText(" " + tags("Clip").toXml());
    for (const char *name : paste)
        EXPECT_FALSE(button(name)->isEnabled()) << name;

    QGuiApplication::clipboard()->setText(tags("Clip").toXml());
    for (const char *name : paste)
        EXPECT_TRUE(button(name)->isEnabled()) << name;

    // A damaged text with the right start is not a record either.
    QGuiApplication::clipboard()->setText(tags("Clip").toXml().left(80));
    for (const char *name : paste)
        EXPECT_FALSE(button(name)->isEnabled()) << name;
}

TEST_F(TrackProperties, FieldPastesTakeOneFieldEach)
{
    KvTagInfo clip;
    clip.title = "T";
    clip.artist = "Ar";
    clip.albumArtist = "AA";
    clip.composer = "Co";
    clip.album = "Al";
    clip.track = 3;
    clip.disc = 0;
    clip.year = 2001;
    clip.copyright = "Cr";
    clip.genre = "r&b";
    clip.comment = "Cm";
    QGuiApplication::clipboard()->setText(clip.toXml());
    open(track(1));
    const struct {
        const char *button;
        const char *field;
        QString value;
    } cases[] = {
        {"pasteTitlePushButton", "lineEditTitle", "T"},
        {"pasteArtistPushButton", "lineEditArtist", "Ar"},
        {"pasteAlbumArtistPushButton", "lineEditAlbumArtist", "AA"},
        {"pasteComposerPushButton", "lineEditComposer", "Co"},
        {"pasteAlbumPushButton", "lineEditAlbum", "Al"},
        {"pasteTrackPushButton", "lineEditTrack", "3"},
        {"pasteDiscPushButton", "lineEditDisc", ""},
        {"pasteYearPushButton", "lineEditYear", "2001"},
        {"pasteCopyrightPushButton", "lineEditCopyright", "Cr"},
    };
    for (const auto &c : cases) {
        click(c.button);
        EXPECT_EQ(edit(c.field)->text(), c.value) << c.button;
    }
    EXPECT_EQ(edit("lineEditTitle")->text(), "T");
    click("pasteGenrePushButton");
    EXPECT_EQ(genre()->currentText(), "R&B");
    click("pasteCommentPushButton");
    EXPECT_EQ(w<QTextEdit>("textEditComment")->toPlainText(), "Cm");
}

TEST_F(TrackProperties, CopyAllPutsTheShownFieldsOnTheClipboard)
{
    open(track(2));
    edit("lineEditAlbum")->setText("Other <album> & more");
    click("pushButtonCopyAll");
    const QString text = QGuiApplication::clipboard()->text();
    ASSERT_TRUE(KvTagInfo::hasXmlPrefix(text));
    KvTagInfo copied;
    copied.fromXml(text, true);
    KvTagInfo expected = track(2)->tagInfo();
    expected.album = "Other <album> & more";
    EXPECT_TRUE(copied == expected);
    // The copied text now enables pasting in the open dialog.
    EXPECT_TRUE(button("pushPasteAll")->isEnabled());
}

TEST_F(TrackProperties, ArtworkFollowsTheControllersText)
{
    const QImage image = kvtest::testImage(300, 200);
    const QByteArray picture = kvtest::encodeImage(image, "PNG");
    track(2)->tagInfo().artwork = internArtwork(new KvByteArray(picture));

    open(track(2));
    EXPECT_EQ(artworkTextToBytes(controller.curTrackArtworkData()), picture);
    EXPECT_TRUE(button("copyArtworkPushButton")->isEnabled());
    const QPixmap shown = w<QLabel>("labelArtwork")->pixmap(Qt::ReturnByValue);
    EXPECT_EQ(shown.size(), QSize(150, 150));

    // Copy, clear, paste back: the record keeps the one shared picture.
    click("copyArtworkPushButton");
    EXPECT_TRUE(button("pasteArtworkPushButton")->isEnabled());
    click("clearImagePushButton");
    EXPECT_EQ(controller.curTrackArtworkData(), "");
    EXPECT_FALSE(button("copyArtworkPushButton")->isEnabled());
    click("pasteArtworkPushButton");
    EXPECT_TRUE(button("copyArtworkPushButton")->isEnabled());
    clickOk();
    EXPECT_EQ(dialog->tagInfo.artwork.get(), track(2)->tagInfo().artwork.get());

    // Moving to a track without a picture clears it and shows the placeholder.
    open(track(2));
    click("pushButtonNextTrack");
    EXPECT_EQ(controller.curTrackArtworkData(), "");
    EXPECT_FALSE(button("copyArtworkPushButton")->isEnabled());
    const QImage placeholder = w<QLabel>("labelArtwork")->pixmap(Qt::ReturnByValue).toImage();
    EXPECT_EQ(placeholder.pixelColor(75, 20), QColor("gray"));
    EXPECT_EQ(model.undoStack()->count(), 0);
}

TEST_F(TrackProperties, ImagesOnTheClipboardCanBePasted)
{
    open(track(1));
    EXPECT_FALSE(button("pasteArtworkPushButton")->isEnabled());
    QGuiApplication::clipboard()->setImage(kvtest::testImage(900, 900));
    EXPECT_TRUE(button("pasteArtworkPushButton")->isEnabled());
    EXPECT_FALSE(button("pushPasteAll")->isEnabled());
    click("pasteArtworkPushButton");
    const kvtest::ImageFacts facts =
        kvtest::imageFacts(artworkTextToBytes(controller.curTrackArtworkData()));
    EXPECT_EQ(facts.format, "jpeg");
    EXPECT_EQ(facts.size, QSize(600, 600));
    clickOk();
    ASSERT_TRUE(dialog->tagInfo.artwork);
    EXPECT_EQ(dialog->tagInfo.artwork->bytes(), artworkTextToBytes(controller.curTrackArtworkData()));

    // A record without a picture on the clipboard: Paste All clears it.
    QGuiApplication::clipboard()->setText(tags("No picture").toXml());
    EXPECT_FALSE(button("pasteArtworkPushButton")->isEnabled());
    click("pushPasteAll");
    EXPECT_EQ(controller.curTrackArtworkData(), "");
}

TEST_F(TrackProperties, LooksTidy)
{
    KvTagInfo t = tags("A title long enough to show how the line edits stretch");
    t.artwork = internArtwork(new KvByteArray(kvtest::encodeImage(kvtest::testImage(300, 300), "PNG")));
    KvTagProperty record(100, 200, t);
    *track(2) = record;
    open(track(2));
    dialog->setWindowTitle("Edit Track Information");
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));

    // Every widget of the form lies inside the dialog and the field rows do
    // not overlap.
    const QRect inside = dialog->rect();
    for (QWidget *child : dialog->findChildren<QWidget *>()) {
        if (!child->isVisible() || child->window() != dialog.get())
            continue;
        const QRect r(child->mapTo(dialog.get(), QPoint(0, 0)), child->size());
        EXPECT_TRUE(inside.contains(r)) << child->objectName().toStdString();
    }
    int lastBottom = -1;
    for (const char *name : {"lineEditTitle", "lineEditArtist", "lineEditAlbumArtist",
                             "lineEditComposer", "lineEditAlbum", "lineEditTrack", "lineEditDisc",
                             "lineEditYear", "lineEditCopyright", "comboBoxGenre",
                             "textEditComment", "labelArtwork"}) {
        QWidget *field = w<QWidget>(name);
        const int top = field->mapTo(dialog.get(), QPoint(0, 0)).y();
        EXPECT_GT(top, lastBottom) << name;
        lastBottom = top + field->height() - 1;
    }
    EXPECT_EQ(w<QLabel>("labelArtwork")->size(), QSize(150, 150));
    EXPECT_GE(button("pushButtonNextTrack")->width(), 92);
    EXPECT_LE(button("pasteTitlePushButton")->width(), 32);
    EXPECT_GE(w<QTextEdit>("textEditComment")->width(), 550);

    const QByteArray grabPath = qgetenv("KV_DIALOG_GRAB");
    if (!grabPath.isEmpty()) {
        EXPECT_TRUE(dialog->grab().save(QString::fromLocal8Bit(grabPath)));
    }
}

} // namespace
