// Frame edits, undo and redo, and the frame clipboard.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvTagInfo.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace {

const char kFrameMimeType[] = "application/x-mp3morvelta-clip-mime";
const char kFrameClipboardPrefix[] = "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt";
static_assert(sizeof(kFrameClipboardPrefix) - 1 == 61, "archive header and format name");

} // namespace

QClipboard *kvClipboard()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}

bool KvQmlController::isClipboardFormat(const QString &text)
{
    return text.startsWith(QLatin1String(kFrameClipboardPrefix));
}

void KvQmlController::ClipboardChanged(QClipboard::Mode mode)
{
    if (mode != QClipboard::Clipboard)
        return;
    QClipboard *board = kvClipboard();
    if (!board)
        return;

    bool frames = false;
    if (const QMimeData *mime = board->mimeData()) {
        const QByteArray data = mime->data(QLatin1String(kFrameMimeType));
        frames = !data.isEmpty() && isClipboardFormat(QString::fromUtf8(data));
    }
    if (frames != m_canPaste) {
        m_canPaste = frames;
        emit canPasteChanged(frames);
    }

    KvTagInfo scratch;
    const bool tags = tagInfoFromClipboardXml(scratch);
    if (tags != m_canPasteTags) {
        m_canPasteTags = tags;
        emit canPasteTagsChanged(tags);
    }

    const bool image = !board->image().isNull();
    if (image != m_canPasteArtworkTag) {
        m_canPasteArtworkTag = image;
        emit canPasteArtworkTagChanged(image);
    }
}

void KvQmlController::actionDeleteFrames()
{
    // Not built yet.
}

void KvQmlController::actionCutFrames()
{
    // Not built yet.
}

void KvQmlController::actionCopyFrames()
{
    // Not built yet.
}

void KvQmlController::actionPasteFrames()
{
    // Not built yet.
}

void KvQmlController::actionCropFrames()
{
    // Not built yet.
}

void KvQmlController::actionUndo()
{
    // Not built yet.
}

void KvQmlController::actionRedo()
{
    // Not built yet.
}

void KvQmlController::canUndoSlot(bool canUndo)
{
    // Not built yet.
}

void KvQmlController::canRedoSlot(bool canRedo)
{
    // Not built yet.
}

void KvQmlController::cleanChanged(bool clean)
{
    // Not built yet.
}

void KvQmlController::indexChanged(int idx)
{
    // Not built yet.
}
