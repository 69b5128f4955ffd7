#include "KvConvertWorker.h"

#include "KvDecodeThread.h"
#include "audio_lib.h"

#include <KvAudioFragmentList.h>
#include <KvAudioTags.h>
#include <KvConnect.h>
#include <KvFileNameText.h>
#include <KvFileProperties.h>
#include <KvFrameSizeInfo.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagProperty.h>

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QVariant>

namespace {
const char kDefaultTrackNameFormat[] = "%0N %T";
} // namespace

KvConvertWorker::KvConvertWorker(QObject *controller, const QList<ListPtr> &lists, QWidget *dialogParent,
                                 KvUiServices *ui)
    : QObject(nullptr), m_lists(lists), m_dialogParent(dialogParent), m_controller(controller), m_ui(ui)
{
    if (controller)
        m_model = qobject_cast<KvQmlModel *>(controller->property("model").value<QObject *>());
    for (const ListPtr &list : m_lists)
        if (list)
            m_totalFrames += list->totalFrames();
}

KvConvertWorker::~KvConvertWorker() { stop(); }

void KvConvertWorker::restoreCursors()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void KvConvertWorker::setBusyCursor()
{
    restoreCursors();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

int KvConvertWorker::message(KvUi::Icon icon, const QString &text, int buttons, int defaultButton)
{
    restoreCursors();
    return ui().message(m_dialogParent, icon, QCoreApplication::applicationName(), text, buttons, defaultButton);
}

bool KvConvertWorker::useAutoTrackNum() const
{
    return m_controller && m_controller->property("useAutoTrackNum").toBool();
}

QString KvConvertWorker::trackNameFormat() const
{
    return m_controller ? m_controller->property("trackNameFormat").toString()
                        : QString::fromLatin1(kDefaultTrackNameFormat);
}

void KvConvertWorker::rememberConvertFolder(const QString &folder, bool exported, bool converted)
{
    if (!m_controller)
        return;
    kvInvoke(m_controller, "setLastConvertPath", Q_ARG(QString, folder));
    kvInvoke(m_controller, "afterExportOrConvert", Q_ARG(bool, exported), Q_ARG(bool, converted));
}

QString KvConvertWorker::outputExtension() const
{
    QString ext = m_encoder ? m_encoder->fileExtension() : QString();
    if (ext == QLatin1String("aac"))
        ext = QStringLiteral("m4a");
    return ext;
}

QString KvConvertWorker::startFolder() const
{
    if (!m_controller)
        return QString();
    QString last;
    kvInvoke(m_controller, "lastConvertPath", Q_RETURN_ARG(QString, last));
    return last.isEmpty() ? m_controller->property("lastOpenPath").toString() : last;
}

bool KvConvertWorker::startDecode(const KvAudioLibPtr &encoder, const audio_preset &preset,
                                  double tempo, double pitch)
{
    m_tempo = tempo;
    m_pitch = pitch;
    m_encoder = encoder;
    m_format = QAudioFormat();
    m_format.setSampleRate(preset.sampleRate);
    m_format.setChannelCount(preset.channels);
    m_format.setSampleSize(16);
    m_format.setSampleType(QAudioFormat::SignedInt);
    m_format.setByteOrder(QAudioFormat::LittleEndian);
    m_format.setCodec(QStringLiteral("audio/pcm"));
    m_preset = preset;

    double ratio = 1.0;
    if (!m_lists.isEmpty() && m_lists.first()) {
        const boost::shared_ptr<KvFrameSizeInfo> info = m_lists.first()->firstSourceInfo();
        if (info && info->sampleRate() > 0)
            ratio = double(preset.sampleRate) / double(info->sampleRate());
    }
    const int channelsOut = m_format.channelCount();

    stop();
    m_listsStarted += 1;
    if (m_listsStarted > m_lists.size())
        return true;
    if (m_listsStarted > 1 && m_lists.at(m_listsStarted - 2))
        m_doneFrames += m_lists.at(m_listsStarted - 2)->totalFrames();
    const ListPtr &list = m_lists.at(m_listsStarted - 1);
    m_currentFrames = list ? list->totalFrames() : 0;

    decodeThread = new KvDecodeThread(list, m_format, m_encoder, preset.mode, preset.bitrate,
                                      preset.vbrQuality, ratio, channelsOut, preset.sampleRate,
                                      true, m_tempo, m_pitch, this);
    kvConnect(decodeThread, SIGNAL(finished()), this, SLOT(convertFinished()));
    kvConnect(decodeThread, SIGNAL(decodeProgress(int)), this, SLOT(decodeProgress(int)));
    started = true;
    return true;
}

void KvConvertWorker::stop()
{
    if (!decodeThread)
        return;
    KvDecodeThread *thread = decodeThread;
    decodeThread = nullptr;
    thread->disconnect(this);
    thread->requestStop();
    thread->exit(0);
    thread->wait();
    delete thread;
}

int KvConvertWorker::combinedPercent(qint64 percent) const
{
    if (m_totalFrames <= 0)
        return 100;
    const double value = ((double(percent) / 100.0) * double(m_currentFrames) + double(m_doneFrames))
                         / double(m_totalFrames) * 100.0;
    return int(value);
}

void KvConvertWorker::decodeProgress(int percent)
{
    m_decodePercent = percent;
    const int value = combinedPercent(m_decodePercent);
    if (value != m_lastPercent) {
        m_lastPercent = value;
        emit raiseDecodeProgress(value);
    }
}

void KvConvertWorker::convertFinished()
{
    if (!decodeThread) {
        emit raiseConvertFinished(false);
        return;
    }
    if (!decodeThread->errorText().isEmpty()) {
        QString why = decodeThread->errorText();
        // The reasons are sentences of their own.
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        message(KvUi::Critical, tr("Conversion Error: %1.").arg(why));
        emit raiseConvertFinished(false);
        return;
    }
    m_outputs.append(decodeThread->outputFile());
    if (m_listsStarted < m_lists.size()) {
        startDecode(m_encoder, m_preset, m_tempo, m_pitch);
        decodeProgress(0);
        if (decodeThread)
            decodeThread->start(QThread::InheritPriority);
        return;
    }
    emit raiseConvertFinished(true);
}

bool KvConvertWorker::saveConvertedFile(const QString &fileNameIn)
{
    struct CursorGuard {
        ~CursorGuard() { restoreCursors(); }
    } guard;
    if (!m_model || !m_model->fragmentList())
        return false;
    setBusyCursor();
    if (m_outputs.isEmpty() || m_lists.isEmpty())
        return false;
    if (!m_outputs.first() || m_outputs.first()->size() == 0) {
        message(KvUi::Critical, tr("No converted audio is available to save!"));
        return false;
    }
    const QString ext = outputExtension();
    QString fileName = fileNameIn;
    if (fileName.isEmpty()) {
        restoreCursors();
        if (m_controller)
            kvInvoke(m_controller, "getAudioSaveFileName", Q_RETURN_ARG(QString, fileName),
                     Q_ARG(QWidget *, m_dialogParent), Q_ARG(QString, tr("Save Converted Audio")),
                     Q_ARG(QString, startFolder()), Q_ARG(QString, ext));
        if (fileName.isEmpty())
            return false;
        setBusyCursor();
    }
    m_savedFile = fileName;
    const QString error = AudioInfo::saveToFile(m_outputs.first(), fileName,
                                                ext == QLatin1String("m4a"), m_preset.sampleRate,
                                                m_format.channelCount());
    if (!error.isEmpty()) {
        message(KvUi::Critical,
                tr("Error encountered saving the converted file: %1\n%2").arg(fileName, error));
        return false;
    }
    if (ext != QLatin1String("wav") && m_model->fileTagProperty()) {
        if (!copyTagsAndArtwork(m_model->fileTagProperty()->tagInfo(), fileName)) {
            const int answer = message(KvUi::Warning,
                                       tr("Failed to write tag information to the file: %1").arg(fileName));
            if (answer == 0)
                return false;
            setBusyCursor();
        }
    }
    const int answer = message(KvUi::Information,
                               selection ? tr("The selection was successfully converted.")
                                         : tr("The project was successfully converted."),
                               KvUi::Close, KvUi::Close);
    if (answer != 0) {
        rememberConvertFolder(QFileInfo(m_savedFile).absolutePath(), true, false);
        emit raiseConvertSaveFinished();
    }
    return true;
}

bool KvConvertWorker::convertTracks(const QString &folderNameIn)
{
    QString folderName = folderNameIn;
    if (folderName.isEmpty()) {
        restoreCursors();
        if (m_controller)
            kvInvoke(m_controller, "getExistingDirectory", Q_RETURN_ARG(QString, folderName),
                     Q_ARG(QWidget *, m_dialogParent), Q_ARG(QString, tr("Track Convert Directory")),
                     Q_ARG(QString, startFolder()),
                     Q_ARG(int, KvUi::ShowDirsOnly | KvUi::DontResolveSymlinks));
        if (folderName.isEmpty())
            return false;
    }
    m_trackCount = 0;
    m_failed = false;
    m_unassignedCount = 0;
    m_failMessages.clear();
    m_unassignedNames.clear();
    m_skipNoTracksMessage = false;
    m_currentTrack = 0;
    m_folder = folderName;
    m_overwriteAnswer = 0;
    m_successCount = 0;
    m_savedFiles.clear();
    setBusyCursor();

    if (!m_model || !m_model->fragmentList() || !m_model->trackList()) {
        m_failed = true;
        return closingSteps();
    }
    const bool autoNum = useAutoTrackNum();
    const QString pattern = trackNameFormat();
    for (const KvTagPropertyPtr &track : m_model->trackList()->tracks()) {
        if (!track)
            continue;
        m_trackCount += 1;
        if (!autoNum && track->tagInfo().track == 0) {
            if (!m_unassignedNames.isEmpty())
                m_unassignedNames += QLatin1Char('\n');
            m_unassignedNames += tr("Track '%1' was not assigned a track number.")
                                     .arg(track->formatTrackName(m_trackCount, autoNum, pattern));
            m_unassignedCount += 1;
        }
    }
    if (m_unassignedCount > 0) {
        if (m_unassignedCount == m_trackCount) {
            m_failMessages += tr("Failed to save the %1 track(s) as no tracks were assigned a track number")
                                  .arg(m_trackCount);
            m_skipNoTracksMessage = true;
            return closingSteps();
        }
        const int answer = message(
            KvUi::Warning,
            tr("%1 track(s) have not been assigned a track number and will not be converted.\n"
               "Do you wish to continue creating the other tracks?")
                .arg(m_unassignedCount),
            KvUi::Yes | KvUi::No, KvUi::No);
        if (answer == 0)
            return false;
        if (answer != KvUi::Yes) {
            stateActionConvertTracksNumUnassignW_Finished(answer);
            return false;
        }
    }
    for (int i = 1; i <= m_trackCount; ++i) {
        if (!stateActionConvertTrackLoop(i, TrackUiAsk, 0)) {
            restoreCursors();
            return false;
        }
    }
    return closingSteps();
}

bool KvConvertWorker::closingSteps()
{
    bool ok = stateActionConvertTracksCheckFailed() && stateActionConvertTracksAskSend()
              && stateActionConvertTracksFinal(m_folder);
    restoreCursors();
    return ok;
}

bool KvConvertWorker::stateActionConvertTrackLoop(int trackNum, int ui, int uiAnswer)
{
    if (!m_model || !m_model->trackList())
        return true;
    // The k-th output belongs to the k-th track that exists; null entries have no output.
    m_currentTrack = 0;
    KvTagPropertyPtr track;
    for (const KvTagPropertyPtr &entry : m_model->trackList()->tracks()) {
        if (!entry)
            continue;
        if (++m_currentTrack == trackNum) {
            track = entry;
            break;
        }
    }
    if (!track || trackNum - 1 >= m_outputs.size())
        return true;
    const KvTempFilePtr output = m_outputs.at(trackNum - 1);

    const boost::shared_ptr<KvAudioFragmentList> fragments = m_model->fragmentList();
    if (!fragments || !fragments->list() || !fragments->list()->list() || fragments->list()->list()->empty()) {
        if (!m_failMessages.isEmpty())
            m_failMessages += QLatin1Char('\n');
        m_failMessages += tr("Internal error: Invalid or empty project file list.");
        m_failed = true;
        return true;
    }
    const bool autoNum = useAutoTrackNum();
    const QString pattern = trackNameFormat();
    QString name = simplifyText(track->formatTrackName(trackNum, autoNum, pattern));
    if (name.isEmpty())
        name = tr("%1 (empty)").arg(trackNum, 2, 10, QLatin1Char('0'));
    if (!autoNum && track->tagInfo().track == 0)
        return true;
    if (!output || output->size() == 0) {
        message(KvUi::Warning, tr("No converted audio is available to save for track %1").arg(name));
        return false;
    }
    const QString ext = outputExtension();
    const QString path = m_folder + QDir::separator() + name + QLatin1Char('.') + ext;
    const QString shown = QDir::toNativeSeparators(path);
    if (QFile::exists(path) && m_overwriteAnswer != KvUi::YesToAll) {
        if (m_overwriteAnswer == KvUi::NoToAll)
            return true;
        if (ui == TrackUiAnswer) {
            m_overwriteAnswer = uiAnswer;
        } else if (ui == TrackUiAsk) {
            m_overwriteAnswer = message(
                KvUi::Warning,
                tr("File %1 already exists!\nDo you wish to overwrite?").arg(shown),
                KvUi::Yes | KvUi::YesToAll | KvUi::No | KvUi::NoToAll
                    | KvUi::Cancel,
                KvUi::Cancel);
            if (m_overwriteAnswer == 0)
                return false;
            setBusyCursor();
        }
        if (m_overwriteAnswer == KvUi::Cancel)
            return false;
        if (m_overwriteAnswer != KvUi::Yes && m_overwriteAnswer != KvUi::YesToAll)
            return true;
    }
    const QString error = AudioInfo::saveToFile(output, path, ext == QLatin1String("m4a"),
                                                m_preset.sampleRate, m_format.channelCount());
    if (!error.isEmpty()) {
        message(KvUi::Critical, tr("Failed to save the file: %1\nError: %2").arg(path, error));
        return false;
    }
    bool result = true;
    if (ext != QLatin1String("wav") && !copyTagsAndArtwork(track->tagInfo(), path)) {
        const int answer = message(KvUi::Warning,
                                   tr("Failed to write tag information to the track: %1").arg(shown));
        if (answer == 0)
            result = false;
        else
            setBusyCursor();
    }
    m_successCount += 1;
    m_savedFiles.append(path);
    return result;
}

bool KvConvertWorker::stateActionConvertTracksCheckFailed()
{
    if (!m_failed && m_failMessages.isEmpty())
        return true;
    message(KvUi::Critical, m_failMessages.isEmpty()
                                       ? tr("Failed to convert one or more the tracks: Unknown error")
                                       : m_failMessages);
    return false;
}

bool KvConvertWorker::stateActionConvertTracksAskSend()
{
    restoreCursors();
    if (m_successCount > 0)
        return message(KvUi::Information,
                       tr("%1 track(s) were successfully converted.").arg(m_successCount)) != 0;
    if (!m_skipNoTracksMessage)
        return message(KvUi::Warning, tr("No tracks were converted!")) != 0;
    return true;
}

bool KvConvertWorker::stateActionConvertTracksFinal(const QString &folderName)
{
    rememberConvertFolder(QDir(folderName).absolutePath(), false, true);
    emit raiseConvertSaveFinished();
    return true;
}

bool KvConvertWorker::stateActionConvertFileFailedWriteTagInfoW_Finished(int)
{
    const int answer = message(KvUi::Information,
                               selection ? tr("The selection was successfully converted.")
                                         : tr("The project was successfully converted."),
                               KvUi::Close, KvUi::Close);
    if (answer != 0) {
        rememberConvertFolder(QFileInfo(m_savedFile).absolutePath(), true, false);
        emit raiseConvertSaveFinished();
    }
    return false;
}

void KvConvertWorker::stateActionConvertFileAskSendQ_Finished(int)
{
    rememberConvertFolder(QFileInfo(m_savedFile).absolutePath(), true, false);
    emit raiseConvertSaveFinished();
}

void KvConvertWorker::stateActionConvertTracksNumUnassignW_Finished(int answer)
{
    setBusyCursor();
    if (answer != KvUi::Yes) {
        // Nothing is written: list the tracks that lack a number and say so.
        const int shown = message(KvUi::Information, m_unassignedNames);
        if (shown != 0)
            message(KvUi::Warning, tr("No tracks were converted!"));
        emit raiseConvertSaveFinished();
        restoreCursors();
        return;
    }
    runTracksFrom(1, TrackUiAsk, 0);
}

void KvConvertWorker::runTracksFrom(int first, int ui, int uiAnswer)
{
    for (int i = first; i <= m_trackCount; ++i) {
        if (!stateActionConvertTrackLoop(i, i == first ? ui : TrackUiAsk, uiAnswer)) {
            restoreCursors();
            return;
        }
    }
    closingSteps();
}

void KvConvertWorker::stateActionConvertTracksOverwriteW_Finished(int answer)
{
    setBusyCursor();
    runTracksFrom(m_currentTrack, TrackUiAnswer, answer);
}

void KvConvertWorker::stateActionConvertTracksFailedWriteTagInfoW_Finished(int)
{
    setBusyCursor();
    runTracksFrom(m_currentTrack + 1, TrackUiKeep, 0);
}

void KvConvertWorker::stateActionConvertTracksAskSendQ_Finished(int answer)
{
    rememberConvertFolder(QDir(m_folder).absolutePath(), false, true);
    emit raiseConvertSaveFinished();
}

void KvConvertWorker::stateActionCancelConvertQ_Finished(int answer)
{
    if (m_controller)
        kvInvoke(m_controller, "stateActionCancelConvertQ_Finished", Q_ARG(int, answer));
}
