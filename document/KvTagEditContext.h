#pragma once
#include <QClipboard>
#include <QString>

class KvPaintMetrics;
class QObject;

// What the track properties dialog uses of the editing controller: its
// clipboard state and the artwork of the current track, which the
// controller holds as artwork text (see KvArtworkCodec.h). The controller
// implements it; document code never sees the controller.
class KvTagEditContext
{
public:
    virtual ~KvTagEditContext() = default;

    // The object that emits curTrackArtworkDataChanged(QString).
    virtual QObject *tagEditNotifier() = 0;
    virtual KvPaintMetrics *paintMetrics() = 0;

    // Recomputes what the clipboard holds.
    virtual void ClipboardChanged(QClipboard::Mode mode) = 0;
    // The clipboard held an image at the last ClipboardChanged.
    virtual bool canPasteArtworkTag() const = 0;
    // Puts a tag record holding only the current artwork on the clipboard.
    virtual void copyArtworkDataTag() = 0;
    // Takes the artwork of a tag record, or an image, from the clipboard.
    virtual void pasteArtworkDataTag() = 0;
    // Lets the user choose an image (or an audio file with a cover).
    virtual void actionOpenImage() = 0;

    virtual QString curTrackArtworkData() const = 0;
    virtual void setCurTrackArtworkData(const QString &text) = 0;
};
