#include "KvQmlController.h"

#include <KvArtworkCodec.h>
#include <KvQmlModel.h>
#include <KvTagInfo.h>

#include "KvTestImages.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QWidget>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace {

QClipboard *board() { return QGuiApplication::clipboard(); }

// Answers the open dialog with a fixed choice and notes whether the model's
// mutex was held while it was asked.
class ChoosingController : public KvQmlController
{
public:
    QStringList answer;
    int asked = 0;
    bool mutexHeld = false;

protected:
    QStringList chooseOpenFileNames(const QString &title, const QString &filter) override
    {
        ++asked;
        EXPECT_EQ(title, "Open image or audio files");
        EXPECT_EQ(filter, "Audio Files and Images (*.m4a *.m4b *.m4r *.mp3 *.jpg *.jpeg *.png)");
        if (model()) {
            mutexHeld = !model()->mutex().tryLock();
            if (!mutexHeld)
                model()->mutex().unlock();
        }
        return answer;
    }
};

class ControllerArtwork : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        board()->clear();
        controller.setModel(&model);
    }

    KvTagInfo clipboardRecord() const
    {
        KvTagInfo record;
        record.fromXml(board()->text(), true);
        return record;
    }

    KvQmlModel model;
    ChoosingController controller;
    kvtest::TempDir dir;
};

TEST_F(ControllerArtwork, ClipboardStateFollowsTheClipboard)
{
    QSignalSpy frames(&controller, &KvQmlController::canPasteChanged);
    QSignalSpy tags(&controller, &KvQmlController::canPasteTagsChanged);
    QSignalSpy image(&controller, &KvQmlController::canPasteArtworkTagChanged);

    // Each change of the clipboard reaches the controller by the signal.
    board()->setImage(kvtest::testImage(20, 10));
    EXPECT_TRUE(controller.canPasteArtworkTag());
    EXPECT_FALSE(controller.canPasteTags());

    board()->setText(KvTagInfo().toXml());
    EXPECT_FALSE(controller.canPasteArtworkTag());
    EXPECT_TRUE(controller.canPasteTags());

    board()->setText(" " + KvTagInfo().toXml());
    EXPECT_FALSE(controller.canPasteTags());

    auto *mime = new QMimeData;
    mime->setData("application/x-mp3morvelta-clip-mime",
                  "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt 0 0");
    board()->setMimeData(mime);
    EXPECT_TRUE(controller.canPaste());

    // The format name elsewhere in plain text is not frames.
    board()->setText("x 22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt");
    EXPECT_FALSE(controller.canPaste());

    EXPECT_EQ(frames.count(), 2);
    EXPECT_EQ(tags.count(), 2);
    EXPECT_EQ(image.count(), 2);

    // Other clipboard modes are ignored.
    board()->setImage(kvtest::testImage(20, 10));
    controller.ClipboardChanged(QClipboard::Selection);
    EXPECT_TRUE(controller.canPasteArtworkTag());
}

TEST_F(ControllerArtwork, ArtworkTextAnnouncesOnlyChanges)
{
    QSignalSpy changed(&controller, &KvQmlController::curTrackArtworkDataChanged);
    controller.setCurTrackArtworkData("YWJj");
    controller.setCurTrackArtworkData("YWJj");
    controller.setCurTrackArtworkData("");
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(0).at(0).toString(), "YWJj");
    EXPECT_EQ(changed.at(1).at(0).toString(), "");
}

TEST_F(ControllerArtwork, PastedImagesBecomeSmallJpegs)
{
    const struct {
        QSize in;
        QSize out;
    } cases[] = {
        {{800, 800}, {600, 600}},
        {{600, 600}, {600, 600}},
        {{1000, 500}, {600, 300}},
        {{64, 80}, {64, 80}},
    };
    for (const auto &c : cases) {
        controller.setCurTrackArtworkData(QString());
        board()->setImage(kvtest::testImage(c.in.width(), c.in.height()));
        QSignalSpy changed(&controller, &KvQmlController::curTrackArtworkDataChanged);
        controller.pasteArtworkDataTag();
        ASSERT_EQ(changed.count(), 1);
        const QString text = controller.curTrackArtworkData();
        EXPECT_TRUE(QRegularExpression("^[A-Za-z0-9_-]+$").match(text).hasMatch()) << "URL-safe, no =";
        const kvtest::ImageFacts facts = kvtest::imageFacts(artworkTextToBytes(text));
        EXPECT_EQ(facts.format, "jpeg");
        EXPECT_EQ(facts.size, c.out);
    }
}

TEST_F(ControllerArtwork, PasteTakesTheArtworkOfATagRecord)
{
    const QByteArray picture = kvtest::encodeImage(kvtest::testImage(30, 30), "PNG");
    KvTagInfo record;
    record.title = "ignored";
    record.artwork = internArtwork(new KvByteArray(picture));
    board()->setText(record.toXml());
    controller.pasteArtworkDataTag();
    EXPECT_EQ(artworkTextToBytes(controller.curTrackArtworkData()), picture);

    // A record without a picture clears the artwork.
    board()->setText(KvTagInfo().toXml());
    controller.pasteArtworkDataTag();
    EXPECT_EQ(controller.curTrackArtworkData(), "");

    // Neither a record nor an image: nothing happens.
    controller.setCurTrackArtworkData("YWJj");
    board()->setText("just text");
    controller.pasteArtworkDataTag();
    EXPECT_EQ(controller.curTrackArtworkData(), "YWJj");
}

TEST_F(ControllerArtwork, CopyPutsARecordHoldingOnlyTheArtwork)
{
    const QByteArray picture("\xff\xd8\xff pretend jpeg \xfb\xff", 19);
    controller.setCurTrackArtworkData(artworkToText(picture));
    controller.copyArtworkDataTag();
    ASSERT_TRUE(KvTagInfo::hasXmlPrefix(board()->text()));
    EXPECT_TRUE(controller.canPasteTags());
    const KvTagInfo copied = clipboardRecord();
    KvTagInfo expected;
    expected.artwork = internArtwork(new KvByteArray(picture));
    EXPECT_TRUE(copied == expected);

    // And back again through paste.
    controller.setCurTrackArtworkData(QString());
    controller.pasteArtworkDataTag();
    EXPECT_EQ(artworkTextToBytes(controller.curTrackArtworkData()), picture);
}

TEST_F(ControllerArtwork, ImportTakesImagesAndAudioCovers)
{
    const QByteArray smallPng = kvtest::encodeImage(kvtest::testImage(500, 600), "PNG");
    ASSERT_TRUE(kvtest::writeFile(dir.file("small.PNG"), smallPng));
    ASSERT_TRUE(kvtest::writeFile(dir.file("wide.png"),
                                  kvtest::encodeImage(kvtest::testImage(601, 300), "PNG")));
    // A JPEG under a .png name: the contents decide how it is read.
    const QByteArray jpegBytes = kvtest::encodeImage(kvtest::testImage(50, 50), "JPG", 90);
    ASSERT_TRUE(kvtest::writeFile(dir.file("really-jpeg.png"), jpegBytes));

    const QString mp3 = dir.file("cover.mp3");
    ASSERT_TRUE(QFile::copy(kvtest::fixture("cbr128_joint.mp3"), mp3));
    QFile::setPermissions(mp3, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray cover = kvtest::encodeImage(kvtest::testImage(700, 700), "JPG", 90);
    {
        TagLib::MPEG::File f(QFile::encodeName(mp3).constData());
        auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setPicture(TagLib::ByteVector(cover.constData(), unsigned(cover.size())));
        f.ID3v2Tag(true)->addFrame(frame);
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2));
    }

    bool removeAfter = true;
    ASSERT_TRUE(controller.importArtworkImage({dir.file("small.PNG")}, removeAfter));
    EXPECT_FALSE(removeAfter);
    EXPECT_EQ(artworkTextToBytes(controller.curTrackArtworkData()), smallPng) << "the file's own bytes";

    ASSERT_TRUE(controller.importArtworkImage({dir.file("wide.png")}, removeAfter));
    kvtest::ImageFacts facts = kvtest::imageFacts(artworkTextToBytes(controller.curTrackArtworkData()));
    EXPECT_EQ(facts.format, "jpeg");
    EXPECT_EQ(facts.size.width(), 600);
    EXPECT_LE(facts.size.height(), 300);

    ASSERT_TRUE(controller.importArtworkImage({dir.file("really-jpeg.png")}, removeAfter));
    EXPECT_EQ(artworkTextToBytes(controller.curTrackArtworkData()), jpegBytes);

    // An audio file's embedded picture is taken as it is.
    ASSERT_TRUE(controller.importArtworkImage({mp3, dir.file("small.PNG")}, removeAfter));
    EXPECT_EQ(artworkTextToBytes(controller.curTrackArtworkData()), cover);
}

TEST_F(ControllerArtwork, FailedImportClearsTheArtwork)
{
    ASSERT_TRUE(kvtest::writeFile(dir.file("picture.gif"),
                                  kvtest::encodeImage(kvtest::testImage(10, 10), "GIF")));
    ASSERT_TRUE(kvtest::writeFile(dir.file("broken.jpg"), "not an image"));
    const QStringList failing[] = {
        {},
        {dir.file("picture.gif")},
        {dir.file("broken.jpg")},
        {dir.file("missing.png")},
        {kvtest::fixture("cbr128_joint.mp3")},
    };
    for (const QStringList &files : failing) {
        controller.setCurTrackArtworkData("YWJj");
        bool removeAfter = true;
        EXPECT_FALSE(controller.importArtworkImage(files, removeAfter)) << files.value(0).toStdString();
        EXPECT_FALSE(removeAfter);
        EXPECT_EQ(controller.curTrackArtworkData(), "");
    }
}

TEST_F(ControllerArtwork, OpenImageAsksUnderTheMutexAndRemembersTheFolder)
{
    const QString image = dir.file("front.png");
    const QByteArray bytes = kvtest::encodeImage(kvtest::testImage(40, 40), "PNG");
    ASSERT_TRUE(kvtest::writeFile(image, bytes));
    controller.setLastOpenPath("/somewhere/else");

    // Cancelled: nothing changes.
    controller.setCurTrackArtworkData("YWJj");
    controller.actionOpenImage();
    EXPECT_EQ(controller.asked, 1);
    EXPECT_TRUE(controller.mutexHeld);
    EXPECT_EQ(controller.curTrackArtworkData(), "YWJj");
    EXPECT_EQ(controller.lastOpenPath(), "/somewhere/else");

    controller.answer = QStringList{image};
    QSignalSpy folder(&controller, &KvQmlController::lastOpenPathChanged);
    controller.actionOpenImage();
    EXPECT_EQ(artworkTextToBytes(controller.curTrackArtworkData()), bytes);
    EXPECT_EQ(controller.lastOpenPath(), QFileInfo(image).absolutePath());
    EXPECT_EQ(folder.count(), 1);
    // The mutex is free again.
    ASSERT_TRUE(model.mutex().tryLock());
    model.mutex().unlock();
}

TEST_F(ControllerArtwork, AnImageOpenedThroughTheTouchPickerIsImportedNotOpened)
{
    const QString image = dir.file("picked.png");
    const QByteArray bytes = kvtest::encodeImage(kvtest::testImage(24, 24), "PNG");
    ASSERT_TRUE(kvtest::writeFile(image, bytes));
    // The picker was last used to append files.
    controller.setPickerMode(2);
    // The command opens the picker (here: its chooser, dismissed); the
    // picker then reports its file.
    controller.actionOpenImage();
    controller.actionFilePicked(QUrl::fromLocalFile(image));
    EXPECT_EQ(artworkTextToBytes(controller.curTrackArtworkData()), bytes);
    EXPECT_FALSE(model.fragmentList()) << "the image was taken for audio";
}

TEST_F(ControllerArtwork, PainterRatioOnlyGrows)
{
    QSignalSpy views(&controller, &KvQmlController::calcViews);
    EXPECT_EQ(controller.checkPainterPixelRatio(nullptr), 1);

    QImage sharp(8, 8, QImage::Format_RGB32);
    sharp.setDevicePixelRatio(2);
    {
        QPainter p(&sharp);
        EXPECT_EQ(controller.checkPainterPixelRatio(&p), 2);
        EXPECT_EQ(controller.checkPainterPixelRatio(&p), 2);
    }
    QImage plain(8, 8, QImage::Format_RGB32);
    {
        QPainter p(&plain);
        EXPECT_EQ(controller.checkPainterPixelRatio(&p), 2);
    }
    EXPECT_EQ(controller.checkPainterPixelRatio(nullptr), 2);
    EXPECT_EQ(views.count(), 1);
}

TEST_F(ControllerArtwork, DevicePixelRatio)
{
    EXPECT_EQ(KvQmlController::devicePixelRatioFor(nullptr), 1.0);

    EXPECT_EQ(controller.screenDevicePixelRatio(), 0.0);
    QSignalSpy announced(&controller, &KvQmlController::screenDevicePixelRatioChanged);
    const double screen = QGuiApplication::primaryScreen()->devicePixelRatio();
    EXPECT_EQ(KvQmlController::devicePixelRatioFor(&controller), screen);
    EXPECT_EQ(controller.screenDevicePixelRatio(), screen);
    EXPECT_EQ(KvQmlController::devicePixelRatioFor(&controller), screen);
    EXPECT_EQ(announced.count(), 1);

    // Under the desktop window: always 1.
    QWidget window;
    KvQmlController desktop(&window);
    EXPECT_EQ(desktop.devicePixelRatio(), 1.0);
    EXPECT_EQ(desktop.screenDevicePixelRatio(), 1.0);
}

} // namespace
