#include "KvTrackProperties.h"
#include "ui_KvTrackProperties.h"

#include "KvGenreList.h"

#include <KvConnect.h>
#include <KvArtworkCodec.h>
#include <KvArtworkImageProvider.h>
#include <KvFileProperties.h>
#include <KvResources.h>
#include <KvTagEditContext.h>
#include <KvTagProperty.h>
#include <KvTrackInfoUndo.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QUndoStack>

#include <exception>

namespace {

constexpr int kArtworkSide = 150;

QString numberText(int value) { return value > 0 ? QString::number(value) : QString(); }

int numberValue(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

KvTrackProperties::KvTrackProperties(KvTagEditContext *controller, KvTagProperty *record,
                                     KvFileProperties *trackList, QUndoStack *undoStack,
                                     bool autoTrackNumbering, const QString &documentType,
                                     QWidget *parent)
    : QDialog(parent),
      ui(new Ui::KvTrackProperties),
      autoTrackNumbering(autoTrackNumbering),
      currentTrack(record),
      trackList(trackList),
      undoStack(undoStack),
      documentType(documentType),
      controller(controller)
{
    kvInitResources();
    ui->setupUi(this);
    kvConnect(controller->tagEditNotifier(), SIGNAL(curTrackArtworkDataChanged(QString)), this,
              SLOT(CurTrackArtworkDataChanged(QString)));

    // Album artist, composer, copyright and disc are written only into MP3 tags.
    if (isAacDocument()) {
        ui->lineEditAlbumArtist->setEnabled(false);
        ui->lineEditComposer->setEnabled(false);
        ui->lineEditCopyright->setEnabled(false);
        ui->lineEditDisc->setEnabled(false);
    }
    if (autoTrackNumbering)
        ui->lineEditTrack->setEnabled(false);

    ui->comboBoxGenre->addItems(kvGenreNames());
    ui->comboBoxGenre->setCurrentIndex(-1);

    if (record)
        tagInfo = record->tagInfo();
    updateTrackButtons();

    int index = -1;
    if (trackList && record) {
        index = 0;
        trackList->trackIndexAt(record->start(), &index);
    }
    showTagInfo(tagInfo, index);

    kvConnect(QGuiApplication::clipboard(), SIGNAL(dataChanged()), this, SLOT(ClipboardChanged()));
    adjustSize();
    ClipboardChanged();
    CurTrackArtworkDataChanged(controller->curTrackArtworkData());
}

KvTrackProperties::~KvTrackProperties() { delete ui; }

qint64 KvTrackProperties::currentTrackStart() const
{
    return currentTrack ? currentTrack->start() : -1;
}

bool KvTrackProperties::isAacDocument() const
{
    return documentType == QLatin1String("aac") || documentType == QLatin1String("m4a");
}

void KvTrackProperties::showTagInfo(const KvTagInfo &tags, int index)
{
    // Long texts show their start, not their end.
    const auto show = [](QLineEdit *edit, const QString &text) {
        edit->setText(text);
        edit->home(false);
    };
    show(ui->lineEditTitle, tags.title);
    show(ui->lineEditArtist, tags.artist);
    show(ui->lineEditAlbumArtist, tags.albumArtist);
    show(ui->lineEditComposer, tags.composer);
    show(ui->lineEditAlbum, tags.album);
    show(ui->lineEditCopyright, tags.copyright);
    ui->textEditComment->setPlainText(tags.comment);

    if (autoTrackNumbering && index > 0)
        ui->lineEditTrack->setText(QString::number(index));
    else if (!(autoTrackNumbering && index == 0))
        ui->lineEditTrack->setText(numberText(tags.track));
    ui->lineEditDisc->setText(numberText(tags.disc));
    ui->lineEditYear->setText(numberText(tags.year));

    selectGenre(tags.genre);

    controller->setCurTrackArtworkData(artworkToText(tags.artwork));
    ui->copyArtworkPushButton->setEnabled(tags.artwork && !tags.artwork->bytes().isEmpty());
}

void KvTrackProperties::readTagInfo(KvTagInfo &out) const
{
    out.title = ui->lineEditTitle->text();
    out.artist = ui->lineEditArtist->text();
    out.albumArtist = ui->lineEditAlbumArtist->text();
    out.composer = ui->lineEditComposer->text();
    out.album = ui->lineEditAlbum->text();
    out.copyright = ui->lineEditCopyright->text();
    if (!autoTrackNumbering)
        out.track = numberValue(ui->lineEditTrack->text());
    out.disc = numberValue(ui->lineEditDisc->text());
    out.year = numberValue(ui->lineEditYear->text());
    out.genre = ui->comboBoxGenre->currentIndex() >= 0 ? ui->comboBoxGenre->currentText() : QString();
    out.comment = ui->textEditComment->toPlainText();
    out.artwork = currentArtwork;
}

bool KvTrackProperties::clipboardTagInfo(KvTagInfo &out) const
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty() || !KvTagInfo::hasXmlPrefix(text))
        return false;
    try {
        out.fromXml(text, documentType == QLatin1String("mp3"));
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

void KvTrackProperties::selectGenre(const QString &genre)
{
    QComboBox *box = ui->comboBoxGenre;
    const int listed = kvGenreNames().size();
    while (box->count() > listed)
        box->removeItem(box->count() - 1);
    if (genre.isEmpty()) {
        box->setCurrentIndex(-1);
        return;
    }
    int index = box->findData(genre, Qt::DisplayRole, Qt::MatchFixedString);
    if (index < 0) {
        box->addItem(genre);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

void KvTrackProperties::updateTrackButtons()
{
    ui->pushButtonNextTrack->setEnabled(trackList && trackList->nextTrack(currentTrack));
    ui->pushButtonPreviousTrack->setEnabled(trackList && trackList->previousTrack(currentTrack));
}

void KvTrackProperties::updateCopyArtworkButton()
{
    ui->copyArtworkPushButton->setEnabled(!controller->curTrackArtworkData().isEmpty());
}

void KvTrackProperties::ClipboardChanged()
{
    controller->ClipboardChanged(QClipboard::Clipboard);
    KvTagInfo clip;
    const bool ok = clipboardTagInfo(clip);
    const bool mp3Fields = ok && !isAacDocument();

    ui->pushPasteAll->setEnabled(ok);
    ui->pasteTitlePushButton->setEnabled(ok);
    ui->pasteArtistPushButton->setEnabled(ok);
    ui->pasteAlbumPushButton->setEnabled(ok);
    ui->pasteYearPushButton->setEnabled(ok);
    ui->pasteGenrePushButton->setEnabled(ok);
    ui->pasteCommentPushButton->setEnabled(ok);
    ui->pasteAlbumArtistPushButton->setEnabled(mp3Fields);
    ui->pasteComposerPushButton->setEnabled(mp3Fields);
    ui->pasteCopyrightPushButton->setEnabled(mp3Fields);
    ui->pasteDiscPushButton->setEnabled(mp3Fields);
    ui->pasteTrackPushButton->setEnabled(ok && !autoTrackNumbering);
    ui->pasteTrackPushButton->setToolTip(autoTrackNumbering ? tr("Auto track numbering enabled")
                                                            : tr("Paste track"));

    const bool clipArtwork = ok && clip.artwork && !clip.artwork->bytes().isEmpty();
    ui->pasteArtworkPushButton->setEnabled(clipArtwork || controller->canPasteArtworkTag());
}

void KvTrackProperties::on_pasteTitlePushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditTitle->setText(clip.title);
}

void KvTrackProperties::on_pasteArtistPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditArtist->setText(clip.artist);
}

void KvTrackProperties::on_pasteAlbumArtistPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditAlbumArtist->setText(clip.albumArtist);
}

void KvTrackProperties::on_pasteComposerPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditComposer->setText(clip.composer);
}

void KvTrackProperties::on_pasteAlbumPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditAlbum->setText(clip.album);
}

void KvTrackProperties::on_pasteTrackPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditTrack->setText(numberText(clip.track));
}

void KvTrackProperties::on_pasteDiscPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditDisc->setText(numberText(clip.disc));
}

void KvTrackProperties::on_pasteYearPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditYear->setText(numberText(clip.year));
}

void KvTrackProperties::on_pasteCopyrightPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->lineEditCopyright->setText(clip.copyright);
}

void KvTrackProperties::on_pasteGenrePushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        selectGenre(clip.genre);
}

void KvTrackProperties::on_pasteCommentPushButton_clicked()
{
    KvTagInfo clip;
    if (clipboardTagInfo(clip))
        ui->textEditComment->setPlainText(clip.comment);
}

void KvTrackProperties::on_pushButtonCopyAll_clicked()
{
    KvTagInfo record;
    readTagInfo(record);
    QGuiApplication::clipboard()->setText(record.toXml());
}

void KvTrackProperties::on_pushPasteAll_clicked()
{
    // Parse over what is shown, so the fields this document type does not
    // read from the text (and cannot edit) keep their values.
    KvTagInfo record;
    readTagInfo(record);
    try {
        record.fromXml(QGuiApplication::clipboard()->text(), documentType == QLatin1String("mp3"));
    } catch (const std::exception &) {
        return;
    }
    showTagInfo(record, 0);
}

void KvTrackProperties::on_openImagePushButton_clicked()
{
    controller->actionOpenImage();
    updateCopyArtworkButton();
}

void KvTrackProperties::on_pasteArtworkPushButton_clicked()
{
    controller->pasteArtworkDataTag();
    updateCopyArtworkButton();
}

void KvTrackProperties::on_clearImagePushButton_clicked()
{
    controller->setCurTrackArtworkData(QString());
    ui->copyArtworkPushButton->setEnabled(false);
}

void KvTrackProperties::on_copyArtworkPushButton_clicked() { controller->copyArtworkDataTag(); }

void KvTrackProperties::CurTrackArtworkDataChanged(QString text)
{
    KvArtworkImageProvider provider(controller->paintMetrics());
    ui->labelArtwork->setPixmap(
        provider.makePixmap(text, nullptr, QSize(kArtworkSide, kArtworkSide)));
    currentArtwork = artworkFromText(text);
}

void KvTrackProperties::moveToTrack(bool next)
{
    if (!trackList || !currentTrack)
        return;
    const KvTagPropertyPtr target =
        next ? trackList->nextTrack(currentTrack) : trackList->previousTrack(currentTrack);
    if (!target)
        return;

    readTagInfo(tagInfo);
    if (KvTrackInfoUndo *command = trackList->modifyTrackInfo(currentTrack->start(), &tagInfo)) {
        if (undoStack)
            undoStack->push(command);
        else
            delete command;
    }

    currentTrack = target.get();
    tagInfo = currentTrack->tagInfo();
    updateTrackButtons();
    int index = 0;
    trackList->trackIndexAt(currentTrack->start(), &index);
    showTagInfo(tagInfo, index);
}

void KvTrackProperties::on_pushButtonNextTrack_clicked() { moveToTrack(true); }

void KvTrackProperties::on_pushButtonPreviousTrack_clicked() { moveToTrack(false); }

void KvTrackProperties::on_buttonBox_accepted() { readTagInfo(tagInfo); }
