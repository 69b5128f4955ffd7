// The current track's artwork: the artwork clipboard and the image import.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvArtworkCodec.h>
#include <KvCoverArt.h>
#include <KvQmlModel.h>
#include <KvTagInfo.h>
#include <KvUiServices.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>

#include <exception>

bool KvQmlController::tagInfoFromClipboardXml(KvTagInfo &record) const
{
    QClipboard *board = kvClipboard();
    const QString text = board ? board->text() : QString();
    if (text.isEmpty() || !KvTagInfo::hasXmlPrefix(text))
        return false;
    try {
        record.fromXml(text, m_audioType == QLatin1String("mp3"));
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

void KvQmlController::setCurTrackArtworkData(const QString &text)
{
    if (text == m_curTrackArtworkData)
        return;
    m_curTrackArtworkData = text;
    emit curTrackArtworkDataChanged(text);
}

void KvQmlController::copyArtworkDataTag()
{
    QClipboard *board = kvClipboard();
    if (!board)
        return;
    KvTagInfo record;
    record.artwork = artworkFromText(m_curTrackArtworkData);
    board->setText(record.toXml());
}

void KvQmlController::pasteArtworkDataTag()
{
    KvTagInfo record;
    if (tagInfoFromClipboardXml(record)) {
        setCurTrackArtworkData(artworkToText(record.artwork));
        return;
    }
    QClipboard *board = kvClipboard();
    if (!board)
        return;
    const QByteArray bytes = encodeArtworkImage(board->image());
    if (!bytes.isEmpty())
        setCurTrackArtworkData(artworkToText(bytes));
}

void KvQmlController::actionOpenImage()
{
    KvEditLock lock(m_model ? &m_model->mutex() : nullptr);
    if (m_model && !lock)
        return;
    actionImportImages(false);
}

void KvQmlController::actionImportImage()
{
    KvEditLock lock(m_model ? &m_model->mutex() : nullptr);
    if (m_model && !lock)
        return;
    actionImportImages(true);
}

void KvQmlController::actionImportImages(bool)
{
    m_pickerMode = 1;
    const QStringList files =
        chooseOpenFileNames(tr("Open image or audio files"),
                            tr("Audio Files and Images (*.m4a *.m4b *.m4r *.mp3 *.jpg *.jpeg *.png)"));
    if (files.isEmpty())
        return;
    bool removeAfter = false;
    if (importArtworkImage(files, removeAfter))
        rememberOpenFolder(files.first());
}

bool KvQmlController::importArtworkImage(const QStringList &files, bool &removeAfter)
{
    removeAfter = false;
    const auto fail = [this] {
        setCurTrackArtworkData(QString());
        return false;
    };
    if (files.isEmpty())
        return fail();
    const QString path = QDir::toNativeSeparators(files.first());

    QByteArray bytes;
    if (readCoverArtFile(path, bytes)) {
        setCurTrackArtworkData(artworkToText(bytes));
        return true;
    }

    const QString lower = path.toLower();
    if (!lower.endsWith(".jpg") && !lower.endsWith(".jpeg") && !lower.endsWith(".png"))
        return fail();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull())
        return fail();
    if (image.width() <= kArtworkMaxSide && image.height() <= kArtworkMaxSide) {
        // Small enough: keep the file's own bytes, whatever their format.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail();
        bytes = file.readAll();
    } else {
        bytes = encodeArtworkImage(image);
    }
    if (bytes.isEmpty())
        return fail();
    setCurTrackArtworkData(artworkToText(bytes));
    return true;
}

QWidget *KvQmlController::dialogParent() const
{
    const KvUiServices &ui = uiServices();
    if (QWidget *modal = ui.activeModalWidget())
        return modal;
    if (QWidget *window = ui.widgetOf(parent()))
        return window;
    return ui.activeWindow();
}

QStringList KvQmlController::chooseOpenFileNames(const QString &title, const QString &filter)
{
    return uiServices().openFileNames(dialogParent(), title, m_lastOpenPath, filter, nullptr);
}
