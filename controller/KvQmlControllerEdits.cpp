// Frame edits, undo and redo, and the frame clipboard.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvFragmentListArchive.h>
#include <KvQStringArchive.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvSelectionChange.h>
#include <KvTagInfo.h>
#include <KvTextIArchive.h>
#include <KvUndoCrop.h>
#include <KvUndoDelete.h>
#include <KvUndoPaste.h>

#include <boost/archive/basic_archive.hpp>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUndoStack>

#include <exception>
#include <sstream>
#include <string>

namespace {

const char kFrameMimeType[] = "application/x-mp3morvelta-clip-mime";
// A clipboard text starts with the archive signature, the library version it
// was written with, and the tail that the clipboard's format item makes.
const char kArchiveSignature[] = "22 serialization::archive ";
const char kClipboardTail[] = " 0 1 25 mp3Morvelta.clipboard.fmt";

// The frame data on the clipboard, decoded; empty when there are none.
QString clipboardFrameText()
{
    const QClipboard *board = kvClipboard();
    const QMimeData *mime = board ? board->mimeData(QClipboard::Clipboard) : nullptr;
    return mime ? QString::fromUtf8(mime->data(QLatin1String(kFrameMimeType))) : QString();
}

void putFramesOnClipboard(const QString &text)
{
    QClipboard *board = kvClipboard();
    if (!board)
        return;
    auto *mime = new QMimeData;
    mime->setData(QLatin1String(kFrameMimeType), text.toUtf8());
    board->setMimeData(mime, QClipboard::Clipboard);
}

} // namespace

QClipboard *kvClipboard()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}

bool KvQmlController::isClipboardFormat(const QString &text)
{
    const QLatin1String signature(kArchiveSignature);
    if (!text.startsWith(signature))
        return false;
    // Another copy of the program may have been built with an older library;
    // a newer one writes what this one cannot read.
    const int versionAt = signature.size();
    int at = versionAt;
    unsigned version = 0;
    while (at < text.size() && at - versionAt < 5 && text.at(at) >= QLatin1Char('0') && text.at(at) <= QLatin1Char('9'))
        version = version * 10 + unsigned(text.at(at++).unicode() - '0');
    if (at == versionAt || version == 0 || version > unsigned(boost::archive::BOOST_ARCHIVE_VERSION()))
        return false;
    return text.midRef(at).startsWith(QLatin1String(kClipboardTail));
}

void KvQmlController::ClipboardChanged(QClipboard::Mode mode)
{
    if (mode != QClipboard::Clipboard)
        return;
    QClipboard *board = kvClipboard();
    if (!board)
        return;

    const QString frames = clipboardFrameText();
    assignAndNotify(m_canPaste, !frames.isEmpty() && isClipboardFormat(frames), &KvQmlController::canPasteChanged);

    KvTagInfo scratch;
    assignAndNotify(m_canPasteTags, tagInfoFromClipboardXml(scratch), &KvQmlController::canPasteTagsChanged);
    assignAndNotify(m_canPasteArtworkTag, !board->image().isNull(), &KvQmlController::canPasteArtworkTagChanged);
}

KvUndoDelete *KvQmlController::deleteFrames()
{
    qint64 start = 0;
    qint64 end = 0;
    if (!editRange(start, end))
        return nullptr;
    const KvRepackInfoPtrListPtr document = m_model->fragmentList()->list();
    return new KvUndoDelete(m_model->trackList().get(), document->copyRange(start, end - start), document, start,
                            this);
}

KvUndoCut *KvQmlController::cutFrames(QString &clipText)
{
    qint64 start = 0;
    qint64 end = 0;
    KvUndoCut *command = nullptr;
    if (editRange(start, end)) {
        const KvRepackInfoPtrListPtr document = m_model->fragmentList()->list();
        command = new KvUndoCut(m_model->trackList().get(), document->copyRange(start, end - start), document,
                                start, this);
    }
    // The frames are still in place: the command removes them when pushed.
    copyFramesToClipboard(clipText);
    return command;
}

KvUndoCrop *KvQmlController::cropFrames()
{
    qint64 start = 0;
    qint64 end = 0;
    if (!editRange(start, end))
        return nullptr;
    return new KvUndoCrop(m_model->trackList().get(), m_model->fragmentList()->list(), start, end, this);
}

void KvQmlController::copyFramesToClipboard(QString &clipText)
{
    qint64 start = 0;
    qint64 end = 0;
    if (editRange(start, end))
        clipText = saveFragmentListToString(m_model->fragmentList()->list(), start, end - start);
}

QMutex *KvQmlController::editMutex() const { return m_model ? &m_model->mutex() : nullptr; }

void KvQmlController::runFrameEdit(const std::function<QUndoCommand *()> &build, bool countsAsEditing)
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    {
        KvWaitCursor wait;
        if (QUndoCommand *command = build())
            m_model->undoStack()->push(command);
    }
    if (countsAsEditing)
        setHelpUsage("EditDone");
}

void KvQmlController::actionDeleteFrames()
{
    runFrameEdit([this] { return deleteFrames(); });
}

void KvQmlController::actionCropFrames()
{
    runFrameEdit([this] { return cropFrames(); });
}

void KvQmlController::actionCutFrames()
{
    runFrameEdit([this]() -> QUndoCommand * {
        QString clipText;
        KvUndoCut *command = cutFrames(clipText);
        // Frames leave the document only when they are on the clipboard; a
        // cut that has nothing to cut leaves the clipboard as it was.
        if (clipText.isEmpty()) {
            delete command;
            return nullptr;
        }
        putFramesOnClipboard(clipText);
        ClipboardChanged(QClipboard::Clipboard);
        return command;
    });
}

void KvQmlController::actionCopyFrames()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    KvWaitCursor wait;
    QString clipText;
    copyFramesToClipboard(clipText);
    if (!clipText.isEmpty())
        putFramesOnClipboard(clipText);
    ClipboardChanged(QClipboard::Clipboard);
}

void KvQmlController::actionPasteFrames()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    const QString text = clipboardFrameText();
    if (!text.isEmpty())
        pasteFromClipboard(text, KvLoadOption::Interactive | KvLoadOption::Append, nullptr);
    setHelpUsage("EditDone");
}

void KvQmlController::pasteFromClipboard(QString text, int options, KvRepackInfoPtrListPtr *holder)
{
    if (!kvClipboard() || !m_model)
        return;
    if (text.isEmpty())
        text = clipboardFrameText();
    if (text.isEmpty())
        return;
    const bool hadFrames = documentFrames() != 0;
    KvUndoPaste *command = pasteFramesFromClipboard(options, m_model->undoStack(), m_model->fragmentList(), holder, text);
    if (!command)
        return;
    m_model->undoStack()->push(command);
    if (!hadFrames)
        actionScaleView();
}

void KvQmlController::showPasteError(const QString &text)
{
    uiServices().message(dialogParent(), KvUi::Critical, QCoreApplication::applicationName(), text, KvUi::Ok,
                         KvUi::Ok);
}

KvUndoPaste *KvQmlController::pasteFramesFromClipboard(int options, QUndoStack *undoStack,
                                                       const KvQmlModel::FragmentListPtr &cursor,
                                                       KvRepackInfoPtrListPtr *holder, const QString &text)
{
    // Any program can put data under our type: only text that reads
    // completely as sound frames of open or openable sources is pasted.
    const QString unusable = tr("The clipboard does not hold frames that can be pasted.");
    if (!isClipboardFormat(text)) {
        showPasteError(unusable);
        return nullptr;
    }
    // Without a document the reader makes both lists of the clip's kind.
    KvRepackInfoPtrListPtr clip;
    KvRepackInfoPtrListPtr target = cursor ? cursor->list() : KvRepackInfoPtrListPtr();
    QString errors;
    try {
        const QByteArray utf8 = text.toUtf8();
        std::istringstream is(std::string(utf8.constData(), size_t(utf8.size())));
        KvTextIArchive ar(is);
        QString format;
        ar >> format;
        if (format != QLatin1String(kKvClipboardFormatName))
            return nullptr;
        errors = loadFragmentList(options, undoStack, holder, QString(), QString(), &clip, &target,
                                  KvRepackInfoPtrListPtr(), ar, nullptr, dialogParent());
    } catch (const std::exception &) {
        showPasteError(unusable);
        return nullptr;
    }
    if (options & KvLoadOption::Attach)
        return nullptr;
    if (!errors.isEmpty() && (options & (KvLoadOption::Interactive | KvLoadOption::Append))) {
        showPasteError(errors);
        return nullptr;
    }
    if (!clip || clip->fragmentCount() == 0 || !target)
        return nullptr;

    // Pasting over a usable selection replaces it; else the frames go in at
    // the selection start or, without one, at the view position. Edges
    // beyond the document (stale ones) stop at its end.
    const qint64 total = target->totalFrames();
    const qint64 start = m_selectionStart;
    const qint64 position = qBound<qint64>(0, start == -1 ? kvFrameOf(m_scrollFrame) : start, total);
    const qint64 end = start != -1 && m_selectionEnd > start ? qMin(m_selectionEnd, total) : position;
    const KvRepackInfoPtrListPtr replaced =
        end > position ? target->copyRange(position, end - position) : createRepackInfoPtrList(clip);
    auto *command = new KvUndoPaste(m_model->trackList().get(), clip, replaced, target, position, this);

    // A paste into an empty project makes the document.
    const KvQmlModel::FragmentListPtr pasted = createFragmentListFor(target);
    pasted->setList(target);
    m_model->setFragmentList(pasted);
    return command;
}

void KvQmlController::stepUndoStack(bool redo)
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    KvWaitCursor wait;
    QUndoStack *stack = m_model->undoStack();
    const int at = redo ? stack->index() : stack->index() - 1;
    const QUndoCommand *command = at >= 0 ? stack->command(at) : nullptr;
    const bool clean = stack->isClean();
    if (redo)
        stack->redo();
    else
        stack->undo();
    // Moving over a selection change never makes a saved document dirty.
    if (clean && dynamic_cast<const KvSelectionChange *>(command))
        stack->setClean();
}

void KvQmlController::actionUndo() { stepUndoStack(false); }

void KvQmlController::actionRedo() { stepUndoStack(true); }

void KvQmlController::canUndoSlot(bool canUndo)
{
    if (canUndo == m_canUndo)
        return;
    m_canUndo = canUndo;
    updateCanSaveDirtyProject();
    emit canUndoChanged(canUndo);
}

void KvQmlController::canRedoSlot(bool canRedo)
{
    if (canRedo == m_canRedo)
        return;
    m_canRedo = canRedo;
    updateCanSaveDirtyProject();
    emit canRedoChanged(canRedo);
}

void KvQmlController::cleanChanged(bool)
{
    updateCanSaveDirtyProject();
}

void KvQmlController::indexChanged(int)
{
    // The recovery copy is written a second after editing rests.
    if (m_model && m_model->undoStack()->count() > 0) {
        m_recoveryCountdown = 20;
        m_tourTicks = 0;
    }
    updateTrackCapabilities();
    updateTrackPoints();
    // An undo can put a seam back (or take one away) beside an unmoved position.
    updateEditPoints();
    updateCurrentPosFileName();
}
