#pragma once
#include <KvTagInfo.h>

#include <QDialog>
#include <QString>

class KvFileProperties;
class KvTagEditContext;
class KvTagProperty;
class QUndoStack;
namespace Ui {
class KvTrackProperties;
}

// Modal tag editor for one track, or for the whole-file record (no track
// list). It never changes a record itself: the caller reads tagInfo after
// OK, and Previous/Next push "Modify track information" for the track they
// leave on the undo stack.
class KvTrackProperties : public QDialog
{
    Q_OBJECT
public:
    // `documentType` is the document's file suffix ("mp3", "aac", "m4a").
    KvTrackProperties(KvTagEditContext *controller, KvTagProperty *record,
                      KvFileProperties *trackList, QUndoStack *undoStack,
                      bool autoTrackNumbering, const QString &documentType,
                      QWidget *parent = nullptr);
    ~KvTrackProperties() override;

    // Start frame of the track shown last, -1 when there is none.
    qint64 currentTrackStart() const;

    // The record being edited; read it after exec() returned Accepted.
    KvTagInfo tagInfo;

private slots:
    void on_buttonBox_accepted();
    void on_clearImagePushButton_clicked();
    void on_copyArtworkPushButton_clicked();
    void on_openImagePushButton_clicked();
    void on_pasteAlbumArtistPushButton_clicked();
    void on_pasteAlbumPushButton_clicked();
    void on_pasteArtistPushButton_clicked();
    void on_pasteArtworkPushButton_clicked();
    void on_pasteCommentPushButton_clicked();
    void on_pasteComposerPushButton_clicked();
    void on_pasteCopyrightPushButton_clicked();
    void on_pasteDiscPushButton_clicked();
    void on_pasteGenrePushButton_clicked();
    void on_pasteTitlePushButton_clicked();
    void on_pasteTrackPushButton_clicked();
    void on_pasteYearPushButton_clicked();
    void on_pushButtonCopyAll_clicked();
    void on_pushButtonNextTrack_clicked();
    void on_pushButtonPreviousTrack_clicked();
    void on_pushPasteAll_clicked();
    void ClipboardChanged();
    void CurTrackArtworkDataChanged(QString text);

private:
    bool isAacDocument() const;
    void showTagInfo(const KvTagInfo &tags, int index);
    void readTagInfo(KvTagInfo &out) const;
    bool clipboardTagInfo(KvTagInfo &out) const;
    // Selects the list entry equal to the genre ignoring case. A genre the
    // list lacks is shown as an extra entry so that it is kept.
    void selectGenre(const QString &genre);
    void moveToTrack(bool next);
    void updateTrackButtons();
    void updateCopyArtworkButton();

    Ui::KvTrackProperties *ui;
    bool autoTrackNumbering;
    KvByteArrayPtr currentArtwork;
    KvTagProperty *currentTrack;
    KvFileProperties *trackList;
    QUndoStack *undoStack;
    QString documentType;
    KvTagEditContext *controller;
};
