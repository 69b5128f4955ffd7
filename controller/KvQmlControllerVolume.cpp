// Volume and silence edits of the selection, and inserted silence.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvInsertSilence.h>
#include <KvQmlModel.h>
#include <KvVolumeFade.h>
#include <KvVolumeSilence.h>

#include <QUndoStack>

void KvQmlController::setVolumeIncDec(int steps)
{
    if (steps == m_volumeIncDec)
        return;
    m_volumeIncDec = steps;
    emit volumeIncDecChanged(steps);
}

void KvQmlController::setVolumeFade(int steps)
{
    if (steps == m_volumeFade)
        return;
    m_volumeFade = steps;
    emit volumeFadeChanged(steps);
}

bool KvQmlController::editRange(qint64 &start, qint64 &end) const
{
    start = m_selectionStart;
    end = m_selectionEnd;
    if (start == -1 || end == -1 || end <= start || !m_model)
        return false;
    const KvQmlModel::FragmentListPtr cursor = m_model->fragmentList();
    const KvRepackInfoPtrListPtr document = cursor ? cursor->list() : nullptr;
    return document && document->fragmentCount() > 0;
}

KvVolumeFade *KvQmlController::VolumeFadeSelection(int startVolume, int endVolume, int repeatCount)
{
    qint64 start = 0;
    qint64 end = 0;
    if (!editRange(start, end))
        return nullptr;
    return new KvVolumeFade(m_model->fragmentList()->list(), qint64(scrollFrame()), start,
                            startVolume, end, endVolume, this, repeatCount);
}

QUndoCommand *KvQmlController::chainVolumeFade(QUndoCommand *command)
{
    auto *fade = dynamic_cast<KvVolumeFade *>(command);
    if (!fade || !m_model)
        return command;
    const QUndoStack *stack = m_model->undoStack();
    const int below = stack->index() - 1;
    const auto *done = below >= 0 ? dynamic_cast<const KvVolumeFade *>(stack->command(below)) : nullptr;
    if (!done || !done->sameRange(*fade))
        return command;
    auto *chained = new KvVolumeFade(*fade, done->repeatCount() + 1);
    delete command;
    return chained;
}

KvVolumeSilence *KvQmlController::VolumeSilenceSelection(bool removeSilencing)
{
    qint64 start = 0;
    qint64 end = 0;
    if (!editRange(start, end))
        return nullptr;
    const KvRepackInfoPtrListPtr document = m_model->fragmentList()->list();
    auto *command = new KvVolumeSilence(document->copyRange(start, end - start), document,
                                        qint64(scrollFrame()), start, this, removeSilencing);
    if (command->checkRange()) {
        delete command;
        return nullptr;
    }
    return command;
}

KvInsertSilence *KvQmlController::insertSilence(qint64 frames)
{
    if (frames <= 0 || !m_model)
        return nullptr;
    const qint64 position = qint64(scrollFrame());
    const KvQmlModel::FragmentListPtr cursor = m_model->fragmentList();
    const KvRepackInfoPtrListPtr document = cursor ? cursor->list() : nullptr;
    if (!document || document->totalFrames() == 0)
        return nullptr;
    const boost::shared_ptr<KvFrameSizeInfo> format = cursor->formatInfo();
    if (!format)
        return nullptr;
    const KvRepackInfoPtrListPtr clip = createRepackInfoPtrList(document);
    const boost::shared_ptr<KvAudioFile> silence = createAudioFileLike(format, frames);
    if (!clip || !silence)
        return nullptr;
    clip->appendFragment(silence->createRepackInfoFrom(frames));
    return new KvInsertSilence(m_model->trackList().get(), clip, document, position, this);
}

void KvQmlController::runFadeAction(int startVolume, int endVolume, const QString &text, bool chain)
{
    runFrameEdit([=]() -> QUndoCommand * {
        QUndoCommand *command = VolumeFadeSelection(startVolume, endVolume, 1);
        if (!command)
            return nullptr;
        command->setText(text);
        return chain ? chainVolumeFade(command) : command;
    });
}

void KvQmlController::actionFadeInFrames()
{
    runFadeAction(-m_volumeFade, 0, tr("Fade in"), true);
}

void KvQmlController::actionFadeOutFrames()
{
    runFadeAction(0, -m_volumeFade, tr("Fade out"), true);
}

void KvQmlController::actionVolumeIncFrames()
{
    runFadeAction(m_volumeIncDec, m_volumeIncDec, tr("Increase volume"), false);
}

void KvQmlController::actionVolumeDecFrames()
{
    runFadeAction(-m_volumeIncDec, -m_volumeIncDec, tr("Decrease volume"), false);
}

void KvQmlController::actionSilenceFrames()
{
    runFrameEdit([this] { return VolumeSilenceSelection(false); }, false);
}

void KvQmlController::actionRemoveSilenceFrames()
{
    runFrameEdit([this] { return VolumeSilenceSelection(true); }, false);
}

void KvQmlController::stateActionInsertSilenceDlg_Finished(qint64 frames)
{
    if (frames > 0 && m_model) {
        KvWaitCursor wait;
        if (KvInsertSilence *command = insertSilence(frames))
            m_model->undoStack()->push(command);
    }
    setHelpUsage("EditDone");
}

void KvQmlController::stateActionNormalizeDlg_Finished(int steps, const QString &dbText)
{
    if (steps != 0 && m_model) {
        if (KvVolumeFade *command = VolumeFadeSelection(steps, steps, 1)) {
            command->setText(tr("Normalize (%1dB)").arg(dbText));
            m_model->undoStack()->push(command);
        }
    }
    setHelpUsage("EditDone");
}

void KvQmlController::actionInsertSilence()
{
    // Held until the dialog has called back.
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    const KvQmlModel::FragmentListPtr cursor = m_model->fragmentList();
    if (!cursor || cursor->totalFrames() == 0)
        return;
    const boost::shared_ptr<KvFrameSizeInfo> format = cursor->formatInfo();
    if (!format)
        return;
    uiServices().runInsertSilence(this, format, dialogParent());
}

void KvQmlController::actionNormalize()
{
    KvEditLock lock(editMutex());
    if (!lock)
        return;
    qint64 start = 0;
    qint64 end = 0;
    if (!editRange(start, end))
        return;
    // The dialog scans a copy, never the document itself.
    const KvRepackInfoPtrListPtr selected = m_model->fragmentList()->list()->copyRange(start, end - start);
    KvPrepareRepackFlagged(selected, false);
    uiServices().runNormalize(this, selected, dialogParent());
}
