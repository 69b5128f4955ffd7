// Recording control: the recording dialog and the internal recorder of the
// touch interface.
#include "KvQmlController.h"

#include <KvClock.h>
#include <KvUiServices.h>

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

namespace {

const char *const kRecordingFolder = "mp3Morvelta_Rec";

void stopAndDeleteRecorder(QObject *recorder)
{
    QMetaObject::invokeMethod(recorder, "stopRecordThread", Qt::DirectConnection);
    delete recorder;
}

} // namespace

int KvQmlController::encoderBitrateForQuality(int quality)
{
    switch (quality) {
    case 1: return 96;
    case 2: return 128;
    case 3: return 160;
    case 4: return 192;
    default: return 224;
    }
}

int KvQmlController::encoderSampleRateForFrequency(int frequency) { return frequency == 1 ? 44100 : 48000; }

void KvQmlController::actionRecord()
{
    uiServices().runRecord(this, m_messageBoxParent);
}

bool KvQmlController::actionStartExternalRecord()
{
    setToastMessage(tr("Not implemented!"));
    return false;
}

QString KvQmlController::actionStartInternalRecording()
{
    // One take at a time: starting again would throw the running take away and leave
    // its announced name without a file.
    if (m_recorder)
        return tr("A recording is already running.");

    const bool mp3 = m_recordingFormat == 0;
    const QString base = defaultFilesPath();
    if (base.isEmpty() || !QFileInfo::exists(base))
        return tr("Unable to locate Music folder");
    const QString folder = base + QDir::separator() + QLatin1String(kRecordingFolder);
    if (!QDir(folder).exists() && !QDir().mkpath(folder))
        return tr("Unable to create recording folder");

    // Names are the start time to the second: a start within the same second waits for the next.
    QString fileName;
    for (;;) {
        fileName = folder + QDir::separator() + clock().now().toString(QStringLiteral("yyyyMMdd_HHmmss"))
            + (mp3 ? QStringLiteral(".mp3") : QStringLiteral(".m4a"));
        if (!QFileInfo::exists(fileName))
            break;
        clock().waitMs(1000);
    }

    const int channels = m_recordStereo ? 2 : 1;
    const int bitrate = encoderBitrateForQuality(m_recordingQuality);
    const int sampleRate = encoderSampleRateForFrequency(m_recordingFrequency);

    QObject *recorder = uiServices().createRecorder(this, m_messageBoxParent);
    bool started = false;
    if (recorder)
        QMetaObject::invokeMethod(recorder, "startRecordingWithSettings", Qt::DirectConnection,
                                  Q_RETURN_ARG(bool, started),
                                  Q_ARG(QString, mp3 ? QStringLiteral("mp3") : QStringLiteral("aac")),
                                  Q_ARG(int, channels), Q_ARG(int, bitrate), Q_ARG(int, sampleRate));
    if (!started) {
        if (recorder)
            stopAndDeleteRecorder(recorder);
        return tr("Recording Failed!");
    }
    m_recorder = recorder;
    m_recordedFiles.append(fileName);
    return QString();
}

void KvQmlController::actionStopInternalRecording()
{
    if (!m_recorder)
        return;
    if (!m_recordedFiles.isEmpty()) {
        bool saved = false;
        QMetaObject::invokeMethod(m_recorder, "takeRecording", Qt::DirectConnection, Q_RETURN_ARG(bool, saved),
                                  Q_ARG(QString, m_recordedFiles.last()));
        if (!saved)
            m_recordedFiles.removeLast();
    }
    QObject *recorder = m_recorder;
    m_recorder = nullptr;
    stopAndDeleteRecorder(recorder);
}
