// The controller's share of conversion: the remembered output folder, the help
// flags that follow a finished export or conversion, and the conversion that the
// touch interface drives itself.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvClock.h>
#include <KvConvertWorker.h>
#include <KvDecodeThread.h>
#include <KvEncoderFactory.h>
#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagProperty.h>
#include <KvUiServices.h>
#include <audio_lib.h>

#include <QCoreApplication>
#include <QDir>
#include <QMutexLocker>
#include <QSettings>

#include <memory>

QString KvQmlController::lastConvertPath() const { return m_lastConvertPath; }

void KvQmlController::setLastConvertPath(const QString &folder)
{
    if (folder != m_lastConvertPath)
        m_lastConvertPath = folder;
}

int KvQmlController::UpdateTotalDaysUsed()
{
    const KvQmlController *registered = instance();
    const QString today = (registered ? registered->clock() : KvClock::system())
                              .now()
                              .date()
                              .toString(QStringLiteral("yyyy-MM-dd"));
    QSettings settings;
    int total = settings.value(QStringLiteral("Settings/TotalDaysUsed"), 0).toInt();
    if (settings.value(QStringLiteral("Settings/LastDayUsed"), QString()).toString() != today) {
        ++total;
        settings.setValue(QStringLiteral("Settings/LastDayUsed"), today);
        settings.setValue(QStringLiteral("Settings/TotalDaysUsed"), total);
    }
    return total;
}

void KvQmlController::afterExportOrConvert(bool exportDone, bool convertDone)
{
    QSettings settings;
    if (!isActionEditMode() && settings.value(QStringLiteral("Warnings/ShowRateAppDlg2022-01-12"), true).toBool()) {
        const int last = settings.value(QStringLiteral("Warnings/LastShowOnDaysUsed"), 0).toInt();
        if (UpdateTotalDaysUsed() >= last + 3)
            uiServices().runRateApp(true, uiServices().widgetOf(parent()));
    }
    if (exportDone)
        setHelpUsage("ExportDone");
    if (convertDone)
        setHelpUsage("ConvertDone");
}

bool KvQmlController::checkConvertWarning()
{
    if (QSettings().value(QStringLiteral("Warnings/ShowConvertWarnDlg"), true).toBool())
        uiServices().runNotice(KvUi::ConvertWarning, m_messageBoxParent);
    return true;
}

QObject *KvQmlController::convertWorker() const { return m_convertWorker; }

void KvQmlController::setConvertProgress(int percent)
{
    if (percent == m_convertProgress)
        return;
    m_convertProgress = percent;
    emit convertProgressChanged(percent);
}

void KvQmlController::releaseConvertWorker()
{
    if (!m_convertWorker)
        return;
    KvConvertWorker *worker = m_convertWorker;
    m_convertWorker = nullptr;
    worker->disconnect(this);
    worker->stop();
    // The worker may be the caller (its cancel question ends here).
    worker->deleteLater();
}

void KvQmlController::startConvert(bool convSelection, bool convTracks, bool askWarning)
{
    QMutexLocker locker(&m_convertMutex);
    if (askWarning && QSettings().value(QStringLiteral("Warnings/ShowConvertWarnDlg"), true).toBool())
        uiServices().runNotice(KvUi::ConvertWarning, m_messageBoxParent);

    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : KvQmlModel::FragmentListPtr();
    const boost::shared_ptr<KvRepackInfoPtrList> document = cursor ? cursor->list() : boost::shared_ptr<KvRepackInfoPtrList>();
    if (!document || !document->list() || document->list()->empty())
        return;

    QList<KvConvertWorker::ListPtr> lists;
    if (convTracks) {
        if (const KvQmlModel::FilePropertiesPtr tracks = m_model->trackList()) {
            for (const KvTagPropertyPtr &track : tracks->tracks())
                if (track)
                    lists << document->copyRange(track->start(), track->end() - track->start());
        }
    } else if (convSelection) {
        if (m_selectionStart != -1 && m_selectionEnd != -1 && m_selectionStart < m_selectionEnd)
            lists << document->copyRange(m_selectionStart, m_selectionEnd - m_selectionStart);
    } else {
        lists << document;
    }
    if (lists.isEmpty())
        return;

    releaseConvertWorker();
    m_convertEncoders = createEncoders(KvAudioFrameReaderPtr(), true, QStringLiteral("wav"));
    const QString extension = m_convertingFormat == 0 ? QStringLiteral("mp3") : QStringLiteral("aac");
    KvAudioLibPtr encoder;
    for (const KvAudioLibPtr &candidate : m_convertEncoders) {
        if (candidate && candidate->fileExtension() == extension) {
            encoder = candidate;
            break;
        }
    }
    if (!encoder)
        return;

    audio_preset preset;
    switch (m_convertingQuality) {
    case 1: preset.bitrate = 96; break;
    case 2: preset.bitrate = 128; break;
    case 3: preset.bitrate = 160; break;
    case 4: preset.bitrate = 192; break;
    default: preset.bitrate = 224; break;
    }
    const int kbps = preset.bitrate;
    preset.bitrate = encoderBitrate(encoder, kbps);
    preset.channels = m_convertStereo ? 2 : 1;
    preset.sampleRate = m_convertingFrequency == 1 ? 44100 : 48000;
    preset.mode = 2;
    preset.vbrQuality = -1;

    m_convertWorker = new KvConvertWorker(this, lists, m_messageBoxParent, &uiServices());
    m_convertWorker->selection = convSelection;
    m_convertWorker->tracks = convTracks;
    connect(m_convertWorker, &KvConvertWorker::raiseConvertFinished, this, &KvQmlController::convertFinished,
            Qt::DirectConnection);
    connect(m_convertWorker, &KvConvertWorker::raiseDecodeProgress, this, &KvQmlController::decodeProgress,
            Qt::DirectConnection);
    connect(m_convertWorker, &KvConvertWorker::raiseConvertSaveFinished, this,
            &KvQmlController::convertSaveFinished, Qt::QueuedConnection);
    m_convertWorker->startDecode(encoder, preset, m_tempo * 0.01 + 1.0, m_pitch);
    if (m_convertWorker->decodeThread)
        m_convertWorker->decodeThread->start(QThread::InheritPriority);

    setConvertProgressText(
        tr("<br/><h1>%1</h1><br/><h1>%2</h1><br/><h3>%3</h3><br/><h3>%4 kbps</h3><br/><h3>%5 Hz</h3><br/>")
            .arg(convTracks ? tr("Converting Tracks to...")
                            : convSelection ? tr("Converting Selection to...") : tr("Converting All to..."))
            .arg(m_convertingFormat == 0 ? tr("MP3") : tr("AAC"))
            .arg(m_convertStereo ? tr("Stereo") : tr("Mono"))
            .arg(kbps, 0, 10)
            .arg(preset.sampleRate, 0, 10));
}

void KvQmlController::convertFileOrTracksUrl(QUrl fileNameUrl, bool convSelection, bool convTracks)
{
    Q_UNUSED(convSelection);
    QMutexLocker locker(&m_convertMutex);
    if (!m_convertWorker)
        return;
    const QString path = QDir::toNativeSeparators(fileNameUrl.toLocalFile());
    if (convTracks)
        m_convertWorker->convertTracks(path);
    else
        m_convertWorker->saveConvertedFile(path);
}

void KvQmlController::actionConvertAll()
{
    KvEditLock lock(editMutex());
    if (!lock || !m_model || !m_model->fragmentList())
        return;
    m_convertPendingAction = 8;
    startConvert(false, false, true);
}

void KvQmlController::actionConvertSelection()
{
    KvEditLock lock(editMutex());
    if (!lock || !m_model || !m_model->fragmentList())
        return;
    m_convertPendingAction = 7;
    startConvert(true, false, true);
}

void KvQmlController::actionConvertTracks()
{
    KvEditLock lock(editMutex());
    if (!lock || !m_model || !m_model->fragmentList())
        return;
    m_convertPendingAction = 9;
    startConvert(false, true, true);
}

void KvQmlController::actionCancelConvert(bool bAskToCancel)
{
    QMutexLocker locker(&m_convertMutex);
    if (!m_convertWorker)
        return;
    if (bAskToCancel
        && uiServices().message(m_messageBoxParent, KvUi::Question, QCoreApplication::applicationName(),
                                tr("Are you sure you want to cancel the conversion?"), KvUi::Yes | KvUi::No,
                                KvUi::No)
               != KvUi::Yes)
        return;
    releaseConvertWorker();
    setConvertProgress(-1);
}

void KvQmlController::decodeProgress(int percent) { setConvertProgress(percent); }

void KvQmlController::convertSaveFinished()
{
    // Queued: a worker already let go, or replaced since, is not this one's to delete.
    QObject *from = sender();
    if (from && from != m_convertWorker)
        return;
    QMutexLocker locker(&m_convertMutex);
    if (!m_convertWorker)
        return;
    m_convertWorker->disconnect(this);
    m_convertWorker->deleteLater();
    m_convertWorker = nullptr;
}

void KvQmlController::convertFinished(bool savedOk)
{
    if (KvConvertWorker *worker = m_convertWorker) {
        // A conversion that failed has nothing to save; asking where to put
        // it would only lead to more errors.
        bool saved = false;
        if (savedOk)
            saved = worker->tracks ? worker->convertTracks(QString()) : worker->saveConvertedFile(QString());
        // Nothing saved (failed, or no place chosen): the worker reports no
        // end of its own, and its converted audio is let go here.
        if (!saved && worker == m_convertWorker)
            releaseConvertWorker();
    }
    setConvertProgress(-1);
}

void KvQmlController::stateActionConvertWarnQ_Finished(int result)
{
    if (result != 1)
        return;
    if (m_convertPendingAction == 7 || m_convertPendingAction == 8)
        startConvert(m_convertPendingAction == 7, false, false);
    else if (m_convertPendingAction == 9)
        startConvert(false, true, false);
}

void KvQmlController::stateActionCancelConvertQ_Finished(int result)
{
    if (result == KvUi::Yes) {
        QMutexLocker locker(&m_convertMutex);
        if (m_convertWorker) {
            releaseConvertWorker();
            setConvertProgress(-1);
        }
    }
    emit closeFilePicker();
}
