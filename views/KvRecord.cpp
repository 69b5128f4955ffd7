#include "KvRecord.h"

#include "ui_KvRecord.h"

#include <KvConnect.h>
#include <KvEncoderFactory.h>
#include <KvLameInstallDlg.h>
#include <KvMessageBox.h>
#include <KvQmlController.h>
#include <KvRecordThread.h>
#include <audio_lib.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>

#include <algorithm>
#include <cmath>

KvRecord::KvRecord(KvQmlController *controller, QWidget *parent)
    : QDialog(parent), ui(new Ui::KvRecord), m_provider(kvCaptureProvider()), m_controller(controller)
{
    qRegisterMetaType<KvCaptureDevice>("KvCaptureDevice");
    qRegisterMetaType<QAudio::State>("QAudio::State");
    ui->setupUi(this);
    if (parent && parent->inherits("MainWindow"))
        m_mainWindow = parent;

    m_encoders = createEncoders(KvAudioFrameReaderPtr(), true, QString());
    for (const KvAudioLibPtr &e : m_encoders)
        if (e->fileExtension() == QLatin1String("mp3"))
            m_mp3EncoderPresent = true;

    m_normalPalette = palette();
    m_warningPalette = palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText}) {
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            m_warningPalette.setColor(group, role, Qt::red);
    }
    loadSettings();

    ui->buttonBox->button(QDialogButtonBox::Save)->setEnabled(false);
    ui->buttonBox->button(QDialogButtonBox::Discard)->setEnabled(false);
    ui->buttonBox->button(QDialogButtonBox::Close)->setEnabled(true);
    ui->lcdTimerRecord->setPalette(m_normalPalette);

    m_lastSavePath = QSettings().value("Settings/RecordLastSavePath", KvQmlController::defaultFilesPath()).toString();

    ui->lcdTimerRecord->setSmallDecimalPoint(true);
    ui->lcdTimerRecord->display(KvQmlController::timeToString(0, true, false));
    ui->frameVuRecord->setLevels(0, 0);
    ui->frameVuRecord->repaint();

    kvConnect(&m_levelTimer, SIGNAL(timeout()), this, SLOT(InputLevelCheck()));
    m_levelTimer.start(200);
    adjustSize();
}

KvRecord::~KvRecord()
{
    stopRecordThread();
}

QString KvRecord::recordingExtension(const KvAudioLibPtr &encoder)
{
    const QString ext = encoder ? encoder->fileExtension() : QString();
    return ext == QLatin1String("aac") ? QStringLiteral("m4a") : ext;
}

void KvRecord::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    if (!visible)
        return;
    const bool noDevices = ui->comboBoxInputDev->count() == 0;
    const bool noFormats = ui->comboBoxRecordingFormat->count() == 0;
    if (noDevices || noFormats) {
        setRecordingFinished(true);
        const QString text = noDevices && noFormats
            ? tr("No suitable recording devices or recording formats found.")
            : (noFormats ? tr("No suitable recording formats found.")
                         : tr("No suitable recording devices found."));
        criticalMessageBox(this, applicationTitle(), text, QMessageBox::Ok);
    }
    if (!m_mp3EncoderPresent && QSettings().value("Warnings/ShowLameInstallDlg", true).toBool()) {
        KvLameInstallDlg notice(this);
        notice.exec();
        if (notice.dontShowAgain())
            QSettings().setValue("Warnings/ShowLameInstallDlg", false);
    }
    // Rejecting inside show() would hide the dialog before exec() starts its loop, which
    // then never ends: leave once the loop runs.
    if (m_encoders.isEmpty() || ui->comboBoxInputDev->count() == 0)
        QTimer::singleShot(0, this, SLOT(reject()));
}

void KvRecord::on_pushButtonRecord_clicked() { toggleSuspend(); }

void KvRecord::toggleSuspend()
{
    if (!m_recordingStarted) {
        if (!startRecording()) {
            setRecordingFinished(true);
            return;
        }
        ui->pushButtonRecord->setChecked(true);
        for (QWidget *w : std::initializer_list<QWidget *>{
                 ui->comboBoxInputDev, ui->comboBoxRecordingEncoder, ui->comboBoxRecordingSampFreq,
                 ui->radioButtonEncodeCBR, ui->radioButtonEncodeABR, ui->radioButtonEncodeVBR,
                 ui->radioButtonMono, ui->radioButtonStereo, ui->checkBox24bitRec,
                 ui->comboBoxRecordingFormat})
            w->setEnabled(false);
        ui->frameVuRecord->setLevels(0, 0);
        ui->groupBoxRecord->setTitle(tr("Recording..."));
        ui->pushButtonRecord->setToolTip(tr("Press to pause recording."));
        updateButtons(true);
        return;
    }
    m_paused = !m_paused;
    if (m_thread)
        m_thread->setSuspendAudio(m_paused);
    audioStateChanged(m_paused ? QAudio::SuspendedState : QAudio::ActiveState);
}

int KvRecord::deviceDefaultRate() const
{
    QList<int> rates = m_device.sampleRates;
    std::sort(rates.begin(), rates.end());
    if (rates.isEmpty())
        return 44100;
    if (rates.contains(48000))
        return 48000;
    if (rates.contains(44100))
        return 44100;
    return rates.last();
}

bool KvRecord::startRecording()
{
    const int formatIndex = ui->comboBoxRecordingFormat->currentIndex();
    if (formatIndex < 0 || formatIndex >= m_shownPresets.size())
        return false;
    const PresetPtr preset = m_shownPresets.at(formatIndex);

    int rateChoice = ui->comboBoxRecordingSampFreq->currentData().toInt();
    if (rateChoice <= 0)
        rateChoice = preset->sampleRate;

    const int defaultRate = deviceDefaultRate();
    const int channels = preset->channels != 0 ? preset->channels
                                               : (ui->radioButtonMono->isChecked() ? 1 : 2);
    const int sampleSize = ui->checkBox24bitRec->isChecked() ? 24 : 16;
    QAudioFormat format = kvPcmFormat(preset->sampleRate != 0 ? preset->sampleRate : defaultRate,
                                      channels, sampleSize);

    auto acceptable = [this](const QAudioFormat &f) {
        if (m_provider->isFormatSupported(m_device, f))
            return true;
        // Devices that list only 16 bits may still capture 24.
        if (f.sampleSize() == 24) {
            QAudioFormat twin = f;
            twin.setSampleSize(16);
            return m_provider->isFormatSupported(m_device, twin);
        }
        return false;
    };
    bool ok = acceptable(format);
    if (!ok) {
        format.setSampleRate(defaultRate);
        ok = acceptable(format);
    }
    if (!ok) {
        const QAudioFormat nearest = m_provider->nearestFormat(m_device, format);
        const bool channelsDiffer = nearest.channelCount() != channels;
        const bool sizesDiffer = nearest.sampleSize() != sampleSize;
        if (!channelsDiffer && !sizesDiffer && nearest.sampleRate() > 0) {
            // Captured at the device's rate; the encoder is opened at that same rate, so
            // the take plays at its true speed.
            format = nearest;
        } else {
            QString why = QStringLiteral("\n");
            if (channelsDiffer)
                why += tr("Stereo mode ");
            if (channelsDiffer && sizesDiffer)
                why += tr("or ");
            if (sizesDiffer)
                why += tr("24-bit recording ");
            why += tr("may not be supported on your hardware.");
            criticalMessageBox(this, applicationTitle(),
                               tr("Unable to open recording device with selected format.%1").arg(why),
                               QMessageBox::Ok);
            return false;
        }
    }
    m_format = format;

    stopRecordThread();
    const int deviceIndex = ui->comboBoxInputDev->currentIndex();
    if (deviceIndex < 0)
        return false;
    m_device = ui->comboBoxInputDev->itemData(deviceIndex).value<KvCaptureDevice>();
    const int encoderIndex = ui->comboBoxRecordingEncoder->currentIndex();
    if (encoderIndex < 0 || encoderIndex >= m_encoders.size())
        return false;
    return startThread(m_device, m_encoders.at(encoderIndex), preset->mode, preset->bitrate,
                       preset->vbrQuality, channels, rateChoice, true);
}

bool KvRecord::startThread(const KvCaptureDevice &device, const KvAudioLibPtr &encoder, int mode,
                           int bitrate, int vbrQuality, int channels, int resampleRate, bool relayAll)
{
    m_thread = new KvRecordThread(device, m_format, encoder, mode, bitrate, vbrQuality, 1.0,
                                  channels, resampleRate);
    if (relayAll) {
        kvConnect(m_thread, SIGNAL(processedAudio(qint64, qint16, qint16)), this,
                  SLOT(processedAudio(qint64, qint16, qint16)));
        kvConnect(m_thread, SIGNAL(signalStateChanged(QAudio::State)), this,
                  SLOT(audioStateChanged(QAudio::State)));
    }
    kvConnect(m_thread, SIGNAL(finished()), this, SLOT(recordFinished()));
    m_thread->start(QThread::HighPriority);
    // Without the dialog nobody would hear of an encoder or device that failed to open:
    // the caller must learn it from this answer, so wait for the thread's start-up.
    if (!relayAll)
        m_thread->waitForStartUp();
    const QString error = m_thread->errorText();
    if (!error.isEmpty()) {
        // Told here already; the thread's end must not tell it a second time.
        stopRecordThread();
        if (relayAll)
            criticalMessageBox(this, applicationTitle(), error, QMessageBox::Ok);
        return false;
    }
    m_recordingStarted = true;
    return true;
}

void KvRecord::audioStateChanged(QAudio::State state)
{
    bool checked;
    QString title, tip;
    bool recording;
    switch (state) {
    case QAudio::ActiveState:
        checked = true, title = tr("Recording..."), tip = tr("Press to pause recording."), recording = true;
        break;
    case QAudio::SuspendedState:
        checked = false, title = tr("Paused recording..."), tip = tr("Press to resume recording."), recording = false;
        break;
    case QAudio::StoppedState:
        checked = false, title = tr("Stopped recording..."), tip = tr("Recording stopped."), recording = true;
        break;
    case QAudio::IdleState:
        checked = true, title = tr("Suspended recording..."), tip = tr("Recording suspended."), recording = false;
        break;
    default:
        return;
    }
    ui->pushButtonRecord->setChecked(checked);
    ui->groupBoxRecord->setTitle(title);
    ui->pushButtonRecord->setToolTip(tip);
    updateButtons(recording);
    ui->frameVuRecord->setLevels(0, 0);
}

void KvRecord::updateButtons(bool recording)
{
    QPushButton *save = ui->buttonBox->button(QDialogButtonBox::Save);
    QPushButton *discard = ui->buttonBox->button(QDialogButtonBox::Discard);
    QPushButton *close = ui->buttonBox->button(QDialogButtonBox::Close);
    if (recording) {
        save->setEnabled(false);
        discard->setEnabled(false);
        close->setEnabled(true);
        ui->lcdTimerRecord->setPalette(m_warningPalette);
    } else {
        const bool haveAudio = m_thread && m_thread->recordedSize() > 0;
        save->setEnabled(haveAudio);
        discard->setEnabled(haveAudio);
        close->setEnabled(!haveAudio);
        ui->lcdTimerRecord->setPalette(m_normalPalette);
    }
}

void KvRecord::processedAudio(qint64 processedUSecs, qint16 volumeLeft, qint16 volumeRight)
{
    const qint64 ms = processedUSecs / 1000 / 100 * 100;
    ui->lcdTimerRecord->setSmallDecimalPoint(true);
    ui->lcdTimerRecord->display(KvQmlController::timeToString(ms, true, false));
    ui->frameVuRecord->setLevels(volumeLeft, volumeRight);
    ui->frameVuRecord->repaint();
}

void KvRecord::recordFinished()
{
    if (!m_thread)
        return;
    const QString error = m_thread->errorText();
    if (!error.isEmpty()) {
        criticalMessageBox(this, applicationTitle(), tr("Recording Error: %1.").arg(error), QMessageBox::Ok);
        setRecordingFinished(true);
    } else {
        setRecordingFinished(false);
    }
}

void KvRecord::setRecordingFinished(bool failed)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             ui->comboBoxInputDev, ui->sliderInputLevel, ui->lineEditRecLevel,
             ui->comboBoxRecordingEncoder, ui->comboBoxRecordingSampFreq, ui->radioButtonEncodeCBR,
             ui->radioButtonEncodeABR, ui->radioButtonEncodeVBR, ui->radioButtonMono,
             ui->radioButtonStereo, ui->checkBox24bitRec, ui->comboBoxRecordingFormat,
             ui->frameVuRecord, ui->pushButtonRecord, ui->labelPressToRecord, ui->lcdTimerRecord})
        w->setEnabled(false);
    ui->pushButtonRecord->setChecked(false);
    updateButtons(false);
    ui->groupBoxRecord->setTitle(failed ? tr("Recording not possible!") : tr("Recording completed."));
}

void KvRecord::on_buttonBox_clicked(QAbstractButton *button)
{
    if (button != ui->buttonBox->button(QDialogButtonBox::Save)) {
        close();
        return;
    }
    if (m_thread)
        m_thread->setSuspendAudio(true);
    setRecordingFinished(false);
    if (!m_thread)
        return;
    m_thread->StopAudioRecording();
    const KvTempFilePtr take = m_thread->recording();
    if (!take)
        return;
    if (take->size() == 0) {
        warningMessageBox(this, applicationTitle(), tr("No recorded audio is available to save!"),
                          QMessageBox::Ok);
        close();
        return;
    }
    // The encoder that made the take decides the file type.
    const QString extension = recordingExtension(m_thread->encoder());
    const int formatIndex = ui->comboBoxRecordingFormat->currentIndex();
    while (!m_saved) {
        const QString name = KvQmlController::getAudioSaveFileName(
            this, tr("Save Recorded Audio"), m_lastSavePath, extension);
        if (name.isEmpty() || formatIndex < 0 || formatIndex >= m_shownPresets.size())
            break;
        const QString error = AudioInfo::saveToFile(take, name, extension == QLatin1String("m4a"),
                                                    m_shownPresets.at(formatIndex)->sampleRate,
                                                    m_format.channelCount());
        if (!error.isEmpty()) {
            const int answer = criticalMessageBox(
                this, applicationTitle(),
                tr("Unable to save the recording to the file: %1\nPress Retry to save to another file or Cancel to cancel saving.")
                    .arg(name),
                QMessageBox::Retry | QMessageBox::Cancel);
            if (answer == QMessageBox::Cancel)
                break;
            continue;
        }
        m_lastSavePath = QFileInfo(name).absolutePath();
        m_saved = true;
    }
    if (m_saved)
        accept();
}

void KvRecord::closeEvent(QCloseEvent *event)
{
    if (m_thread && m_thread->recordedSize() > 0 && !m_saved) {
        const int answer = warningMessageBox(
            this, applicationTitle(),
            tr("The audio recording has not been saved! Are you sure you wish to discard the recording?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    if (m_inReject) {
        event->accept();  // reject() itself finishes the dialog
        return;
    }
    QDialog::closeEvent(event);
}

void KvRecord::accept()
{
    if (!m_saved)
        return;
    stopRecordThread();
    setRecordingFinished(false);
    writeSettings();
    QDialog::accept();
}

void KvRecord::reject()
{
    if (m_inReject)
        return;
    m_inReject = true;
    const bool closed = !isVisible() || close();
    m_inReject = false;
    if (!closed)
        return;
    if (ui->pushButtonRecord->isEnabled())
        writeSettings();
    QDialog::reject();
}

void KvRecord::writeSettings()
{
    QSettings settings;
    settings.setValue("Settings/RecordLastSavePath", m_lastSavePath);
    if (m_mainWindow) {
        if (!QMetaObject::invokeMethod(m_mainWindow, "setLastOpenPath", Q_ARG(QString, m_lastSavePath))
            && m_controller)
            m_controller->setLastOpenPath(m_lastSavePath);
    }
    settings.setValue("Settings/RecordComboBoxInputDev", ui->comboBoxInputDev->currentText());
    settings.setValue("Settings/RecordComboBoxEncoder", ui->comboBoxRecordingEncoder->currentText());
    settings.setValue("Settings/RecordChannels",
                      ui->radioButtonMono->isChecked() ? 1 : (ui->radioButtonStereo->isChecked() ? 2 : 0));
    settings.setValue("Settings/RecordComboBoxFormat", ui->comboBoxRecordingFormat->currentText());
    if (ui->comboBoxRecordingSampFreq->currentIndex() >= 0)
        settings.setValue("Settings/RecordSamplerate", ui->comboBoxRecordingSampFreq->currentData().toInt());
    settings.setValue("Settings/Record24Bit", ui->checkBox24bitRec->isChecked());
}

void KvRecord::stopRecordThread()
{
    if (!m_thread)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_thread->exit(0);
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    QApplication::restoreOverrideCursor();
}

void KvRecord::InputLevelCheck()
{
    const float level = m_inputLevel.level();
    if (level < 0.0f)
        ui->sliderInputLevel->setEnabled(false);
    else
        ui->sliderInputLevel->setValue(int(level * 100.0f + 0.5f));
}

void KvRecord::on_sliderInputLevel_valueChanged(int value)
{
    m_inputLevel.setLevel(float(value / 100.0));
    ui->lineEditRecLevel->setText(QString::number(value));
}

bool KvRecord::startRecordingWithSettings(const QString &fileExtension, int channels, int bitrate,
                                          int sampleRate)
{
    const QAudioFormat format = kvPcmFormat(sampleRate, channels, 16);
    const KvCaptureDevice device = m_provider->defaultDevice();
    m_format = format;
    if (device.isNull() || !m_provider->isFormatSupported(device, format))
        return false;
    stopRecordThread();
    KvAudioLibPtr encoder;
    for (const KvAudioLibPtr &e : m_encoders) {
        if (e->fileExtension() == fileExtension) {
            encoder = e;
            break;
        }
    }
    if (!encoder)
        return false;
    m_device = device;
    return startThread(device, encoder, 2, encoderBitrate(encoder, bitrate), -1, channels, sampleRate, false);
}

bool KvRecord::takeRecording(const QString &path)
{
    if (!m_thread)
        return false;
    m_thread->setSuspendAudio(true);
    m_thread->StopAudioRecording();
    m_thread->exit(0);
    m_thread->wait();
    const KvTempFilePtr take = m_thread->recording();
    // A take whose encoder or device failed on the way is cut short: not a recording to keep.
    if (!take || take->size() == 0 || !m_thread->errorText().isEmpty())
        return false;
    const QString extension = recordingExtension(m_thread->encoder());
    return AudioInfo::saveToFile(take, path, extension == QLatin1String("m4a"), 0, 0).isEmpty();
}
