#include "KvConvert.h"
#include "ui_KvConvert.h"

#include <KvConnect.h>
#include <KvConvertWorker.h>
#include <KvDecodeThread.h>
#include <KvEncoderFactory.h>
#include <KvLameInstallDlg.h>
#include <KvMessageBox.h>
#include <KvQmlController.h>
#include <audio_lib.h>

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QSettings>
#include <QToolTip>

#include <algorithm>

namespace {
const char kKeyLastSavePath[] = "Settings/ConvertLastSavePath";
const char kKeyEncoder[] = "Settings/ConvertComboBoxEncoder";
const char kKeyFormat[] = "Settings/ConvertComboBoxFormat";
const char kKeyChannels[] = "Settings/ConvertChannels";
const char kKeySampleRate[] = "Settings/ConvertSamplerate";
const char kKeyLameNotice[] = "Warnings/ShowLameInstallDlg";
} // namespace

KvConvert::KvConvert(KvQmlController *controller, const QList<ListPtr> &lists, QWidget *parent,
                     int pitch, int tempo, bool tracks, bool selection)
    : QDialog(parent), m_controller(controller), m_tracksMode(tracks), m_selectionMode(selection),
      m_initialPitch(pitch), m_initialTempo(tempo), ui(new Ui::KvConvert)
{
    if (parent && parent->inherits("MainWindow"))
        m_mainWindow = parent;
    m_model = controller ? controller->model() : nullptr;
    ui->setupUi(this);

    m_worker.reset(new KvConvertWorker(controller, lists, this, controller ? &controller->uiServices() : nullptr));
    kvConnect(m_worker.get(), SIGNAL(raiseConvertFinished(bool)), this, SLOT(convertFinished(bool)));
    kvConnect(m_worker.get(), SIGNAL(raiseDecodeProgress(int)), this, SLOT(decodeProgress(int)));

    m_encoders = createEncoders(KvAudioFrameReaderPtr(), true, QStringLiteral("wav"));
    for (const KvAudioLibPtr &encoder : m_encoders)
        if (encoder->fileExtension() == QLatin1String("mp3"))
            m_mp3Available = true;

    m_errorPalette = palette();
    m_normalPalette = palette();
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        const auto group = QPalette::ColorGroup(g);
        m_errorPalette.setColor(group, QPalette::Text, Qt::red);
        m_errorPalette.setColor(group, QPalette::WindowText, Qt::red);
        m_normalPalette.setColor(group, QPalette::Text, palette().color(group, QPalette::Text));
        m_normalPalette.setColor(group, QPalette::WindowText, palette().color(group, QPalette::WindowText));
    }
    loadSettings();
    updateButtons(false);
    m_lastSavePath = QSettings().value(kKeyLastSavePath, QString()).toString();
    ui->horizontalSliderTempo->setValue(m_initialTempo);
    ui->horizontalSliderPitch->setValue(m_initialPitch);
    adjustSize();
    updateGeometry();
}

KvConvert::~KvConvert()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_worker)
        m_worker->stop();
    QGuiApplication::restoreOverrideCursor();
}

void KvConvert::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    if (!visible)
        return;
    if (!m_mp3Available && QSettings().value(kKeyLameNotice, true).toBool()) {
        KvLameInstallDlg notice(this);
        notice.exec();
        if (notice.dontShowAgain())
            QSettings().setValue(kKeyLameNotice, false);
    }
    // Queued: a reject inside exec()'s show() would come before its event loop and
    // leave exec() waiting for ever.
    if (ui->comboBoxConvertEncoder->count() == 0)
        QMetaObject::invokeMethod(this, "reject", Qt::QueuedConnection);
}

void KvConvert::loadSettings()
{
    m_updating = true;
    int lameIndex = -1, mp3Index = -1, aacIndex = -1;
    for (int i = 0; i < m_encoders.size(); ++i) {
        const QString name = m_encoders.at(i)->name();
        ui->comboBoxConvertEncoder->addItem(name);
        if (m_mp3Available && name.contains(QLatin1String("LAME")))
            lameIndex = i;
        else if (mp3Index < 0 && name.contains(QLatin1String("MP3")))
            mp3Index = i;
        else if (aacIndex < 0 && name.contains(QLatin1String("AAC")))
            aacIndex = i;
    }
    QString defaultFormat;
    if (lameIndex >= 0)
        defaultFormat = QStringLiteral("LAME encoder: VBR quality 4 (default)");
    else if (mp3Index >= 0)
        defaultFormat = QStringLiteral("160 kBit/s, 44.100 Hz, Stereo");

    QSettings settings;
    int index = ui->comboBoxConvertEncoder->findText(currentEncoderText(settings.value(kKeyEncoder).toString()),
                                                     Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        index = lameIndex >= 0 ? lameIndex : mp3Index >= 0 ? mp3Index : aacIndex;
    QString formatText;
    int channels = 0, rate = 0;
    if (index >= 0) {
        if (ui->comboBoxConvertEncoder->currentIndex() == index)
            on_comboBoxConvertEncoder_currentIndexChanged(index);
        else
            ui->comboBoxConvertEncoder->setCurrentIndex(index);
        formatText = currentEncoderText(settings.value(kKeyFormat, defaultFormat).toString());
        channels = settings.value(kKeyChannels, 2).toInt();
        rate = settings.value(kKeySampleRate, 44100).toInt();
    }
    m_updating = false;
    fillEncoderCombos(formatText, channels, rate);
}

void KvConvert::writeSettings()
{
    QSettings settings;
    settings.setValue(kKeyLastSavePath, m_lastSavePath);
    settings.setValue(kKeyEncoder, ui->comboBoxConvertEncoder->currentText());
    settings.setValue(kKeyFormat, ui->comboBoxConvertFormat->currentText());
    settings.setValue(kKeyChannels, ui->radioButtonMono->isChecked() ? 1
                                    : ui->radioButtonStereo->isChecked() ? 2 : 0);
    if (ui->comboBoxConvertSampFreq->currentIndex() >= 0)
        settings.setValue(kKeySampleRate, ui->comboBoxConvertSampFreq->currentData().toInt());
}

void KvConvert::fillEncoderCombos(QString formatText, int channels, int rate)
{
    if (!m_updating) {
        fillPass(formatText, channels, rate);
        fillPass(formatText, channels, rate);
    }
    markIncomplete();
}

void KvConvert::fillPass(QString formatText, int channels, int rate)
{
    m_updating = true;
    if (formatText.isEmpty())
        formatText = ui->comboBoxConvertFormat->currentText();
    ui->comboBoxConvertFormat->clear();
    m_visiblePresets.clear();
    const int wantedRate = ui->comboBoxConvertSampFreq->currentIndex() >= 0
                               ? ui->comboBoxConvertSampFreq->currentData().toInt()
                               : rate;
    ui->comboBoxConvertSampFreq->clear();

    QRadioButton *modes[3] = {ui->radioButtonEncodeVBR, ui->radioButtonEncodeCBR, ui->radioButtonEncodeABR};
    for (QRadioButton *b : modes)
        b->setEnabled(false);
    ui->radioButtonMono->setEnabled(false);
    ui->radioButtonStereo->setEnabled(false);
    for (const PresetPtr &p : m_presets) {
        if (p->mode >= 1 && p->mode <= 3)
            modes[p->mode - 1]->setEnabled(true);
        if (p->channels == 1 || p->channels == 0)
            ui->radioButtonMono->setEnabled(true);
        if (p->channels == 2 || p->channels == 0)
            ui->radioButtonStereo->setEnabled(true);
    }

    int checkedMode = -1, enabledModes = 0, onlyEnabled = -1;
    for (int i = 0; i < 3; ++i) {
        if (modes[i]->isChecked())
            checkedMode = i;
        if (modes[i]->isEnabled()) {
            ++enabledModes;
            onlyEnabled = i;
        }
    }
    if (checkedMode >= 0 && !modes[checkedMode]->isEnabled()) {
        for (int step = 1; step <= 2; ++step) {
            QRadioButton *next = modes[(checkedMode + step) % 3];
            if (next->isEnabled() && !next->isChecked()) {
                next->setChecked(true);
                break;
            }
        }
    } else if (checkedMode < 0 && enabledModes == 1) {
        modes[onlyEnabled]->setChecked(true);
    }

    QRadioButton *mono = ui->radioButtonMono, *stereo = ui->radioButtonStereo;
    if (mono->isChecked() && !mono->isEnabled()) {
        if (stereo->isEnabled())
            stereo->setChecked(true);
    } else if (stereo->isChecked() && !stereo->isEnabled()) {
        if (mono->isEnabled())
            mono->setChecked(true);
    } else if (!mono->isChecked() && !stereo->isChecked() && mono->isEnabled() != stereo->isEnabled()) {
        (mono->isEnabled() ? mono : stereo)->setChecked(true);
    }

    const int channelsOut = stereo->isChecked() ? 2 : mono->isChecked() ? 1 : channels;
    const int mode = ui->radioButtonEncodeVBR->isChecked() ? 1
                     : ui->radioButtonEncodeCBR->isChecked() ? 2
                     : ui->radioButtonEncodeABR->isChecked() ? 3 : 0;

    QList<int> rates;
    for (const PresetPtr &p : m_presets) {
        if ((mode != 2 || p->mode == 2)
            && (p->channels == channelsOut || p->channels == 0 || channelsOut == 0)
            && !rates.contains(p->sampleRate))
            rates.append(p->sampleRate);
    }
    std::sort(rates.begin(), rates.end());
    for (int r : rates)
        ui->comboBoxConvertSampFreq->addItem(r == 0 ? tr("(default)") : tr("%1 Hz").arg(r), r);
    if (wantedRate > 0)
        ui->comboBoxConvertSampFreq->setCurrentIndex(ui->comboBoxConvertSampFreq->findData(wantedRate));
    else
        ui->comboBoxConvertSampFreq->setCurrentIndex(-1);
    const int selectedRate = ui->comboBoxConvertSampFreq->currentIndex() >= 0
                                 ? ui->comboBoxConvertSampFreq->currentData().toInt()
                                 : 0;

    int remembered = -1;
    PresetPtr rememberedPreset;
    for (const PresetPtr &p : m_presets) {
        if ((p->channels == channelsOut || p->channels == 0 || channelsOut == 0)
            && (p->sampleRate == selectedRate || p->sampleRate == 0 || selectedRate == 0)
            && (p->mode == mode || mode == 0)) {
            ui->comboBoxConvertFormat->addItem(p->text);
            m_visiblePresets.append(p);
            if (p->text == formatText) {
                remembered = m_visiblePresets.size() - 1;
                rememberedPreset = p;
            }
        }
    }
    ui->comboBoxConvertFormat->setCurrentIndex(remembered);

    if (rememberedPreset) {
        if (rememberedPreset->mode >= 1 && rememberedPreset->mode <= 3)
            modes[rememberedPreset->mode - 1]->setChecked(true);
        if (rememberedPreset->channels == 1 || channels == 1)
            mono->setChecked(true);
        if (rememberedPreset->channels == 2 || channels == 2)
            stereo->setChecked(true);
        const int r = rememberedPreset->sampleRate != 0 ? rememberedPreset->sampleRate : rate;
        if (r > 0)
            ui->comboBoxConvertSampFreq->setCurrentIndex(ui->comboBoxConvertSampFreq->findData(r));
    }

    const bool anyMode = ui->radioButtonEncodeVBR->isChecked() || ui->radioButtonEncodeCBR->isChecked()
                         || ui->radioButtonEncodeABR->isChecked();
    ui->pushButtonConvert->setEnabled(ui->comboBoxConvertFormat->currentIndex() >= 0 && anyMode
                                      && (mono->isChecked() || stereo->isChecked()));
    m_updating = false;
}

void KvConvert::markIncomplete()
{
    auto mark = [this](QWidget *w, bool bad) { w->setPalette(bad ? m_errorPalette : m_normalPalette); };
    const bool anyMode = ui->radioButtonEncodeVBR->isChecked() || ui->radioButtonEncodeCBR->isChecked()
                         || ui->radioButtonEncodeABR->isChecked();
    mark(ui->labelConvertEncoder, ui->comboBoxConvertEncoder->currentIndex() < 0);
    mark(ui->radioButtonEncodeVBR, !anyMode);
    mark(ui->radioButtonEncodeCBR, !anyMode);
    mark(ui->radioButtonEncodeABR, !anyMode);
    mark(ui->labelRecordingSampFreq, ui->comboBoxConvertSampFreq->currentIndex() < 0);
    const bool anyChannels = ui->radioButtonMono->isChecked() || ui->radioButtonStereo->isChecked();
    mark(ui->radioButtonMono, !anyChannels);
    mark(ui->radioButtonStereo, !anyChannels);
    mark(ui->labelConvertFormat, ui->comboBoxConvertFormat->currentIndex() < 0);
}

void KvConvert::on_comboBoxConvertEncoder_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    ui->comboBoxConvertFormat->clear();
    m_visiblePresets.clear();
    m_presets.clear();
    if (index < m_encoders.size()) {
        const KvAudioLibPtr &encoder = m_encoders.at(index);
        for (int i = 0;; ++i) {
            audio_preset *p = encoder->presetSettings(i);
            if (!p)
                break;
            m_presets.append(PresetPtr(p));
        }
    }
    fillEncoderCombos(QString(), 0, 0);
}

void KvConvert::on_comboBoxConvertSampFreq_currentIndexChanged(int) { fillEncoderCombos(QString(), 0, 0); }
void KvConvert::on_comboBoxConvertFormat_currentIndexChanged(int) { fillEncoderCombos(QString(), 0, 0); }
void KvConvert::on_radioButtonEncodeCBR_toggled(bool) { fillEncoderCombos(QString(), 0, 0); }
void KvConvert::on_radioButtonMono_toggled(bool) { fillEncoderCombos(QString(), 0, 0); }
void KvConvert::on_radioButtonStereo_toggled(bool) { fillEncoderCombos(QString(), 0, 0); }

void KvConvert::on_radioButtonEncodeVBR_toggled(bool checked)
{
    if (checked)
        ui->comboBoxConvertSampFreq->setCurrentIndex(-1);
    fillEncoderCombos(QString(), 0, 0);
}

void KvConvert::on_radioButtonEncodeABR_toggled(bool checked)
{
    if (checked)
        ui->comboBoxConvertSampFreq->setCurrentIndex(-1);
    fillEncoderCombos(QString(), 0, 0);
}

void KvConvert::showSliderTip(QSlider *slider, const QString &text)
{
    slider->setToolTip(text);
    QToolTip::showText(slider->mapToGlobal(QPoint(slider->width() / 2, -25 - slider->height())), text, slider);
}

void KvConvert::on_horizontalSliderPitch_valueChanged(int value)
{
    showSliderTip(ui->horizontalSliderPitch,
                  tr("%1%2 Semitones").arg(value >= 0 ? QStringLiteral("+") : QString()).arg(value));
}

void KvConvert::on_horizontalSliderTempo_valueChanged(int value)
{
    const int percent = value > 50 ? int((value - 50.0) * 4.0) : int(value - 50.0);
    showSliderTip(ui->horizontalSliderTempo,
                  tr("%1% %2").arg(qAbs(percent)).arg(percent >= 0 ? tr("Faster") : tr("Slower")));
}

void KvConvert::on_pushButtonPitchReset_clicked() { ui->horizontalSliderPitch->setValue(0); }
void KvConvert::on_pushButtonTempoReset_clicked() { ui->horizontalSliderTempo->setValue(50); }

double KvConvert::tempoFactor(int sliderValue)
{
    double t = sliderValue - 50.0;
    if (sliderValue > 50)
        t *= 4.0;
    return t * 0.01 + 1.0;
}

bool KvConvert::startConversion()
{
    const int formatIndex = ui->comboBoxConvertFormat->currentIndex();
    if (formatIndex < 0 || formatIndex >= m_visiblePresets.size() || !m_worker)
        return false;
    const int encoderIndex = ui->comboBoxConvertEncoder->currentIndex();
    if (encoderIndex < 0 || encoderIndex >= m_encoders.size())
        return false;
    audio_preset preset = *m_visiblePresets.at(formatIndex);
    const int rate = ui->comboBoxConvertSampFreq->currentIndex() >= 0
                         ? ui->comboBoxConvertSampFreq->currentData().toInt()
                         : 0;
    if (rate > 0)
        preset.sampleRate = rate;
    if (preset.sampleRate == 0)
        preset.sampleRate = 44100;
    if (preset.channels == 0)
        preset.channels = ui->radioButtonMono->isChecked() ? 1 : 2;
    const double factor = tempoFactor(ui->horizontalSliderTempo->value());
    const double pitch = double(ui->horizontalSliderPitch->value());
    return m_worker->startDecode(m_encoders.at(encoderIndex), preset, factor, pitch);
}

void KvConvert::setControlsEnabled(bool enabled)
{
    ui->comboBoxConvertEncoder->setEnabled(enabled);
    ui->comboBoxConvertSampFreq->setEnabled(enabled);
    ui->radioButtonEncodeVBR->setEnabled(enabled);
    ui->radioButtonEncodeCBR->setEnabled(enabled);
    ui->radioButtonEncodeABR->setEnabled(enabled);
    ui->radioButtonMono->setEnabled(enabled);
    ui->radioButtonStereo->setEnabled(enabled);
    ui->comboBoxConvertFormat->setEnabled(enabled);
    ui->pushButtonPitchReset->setEnabled(enabled);
    ui->pushButtonTempoReset->setEnabled(enabled);
    ui->horizontalSliderPitch->setEnabled(enabled);
    ui->horizontalSliderTempo->setEnabled(enabled);
}

void KvConvert::on_pushButtonConvert_clicked()
{
    toggleSuspend();
    if (m_worker && m_worker->decodeThread)
        m_worker->decodeThread->start(QThread::InheritPriority);
}

void KvConvert::toggleSuspend()
{
    if (!m_worker || !m_worker->started) {
        if (!startConversion()) {
            disableConvert(true);
            return;
        }
        ui->pushButtonConvert->setChecked(true);
        setControlsEnabled(false);
        ui->groupBoxRecord->setTitle(tr("Converting..."));
        ui->pushButtonConvert->setToolTip(tr("Press to pause conversion."));
        updateButtons(true);
        return;
    }
    m_paused = !m_paused;
    if (m_worker->decodeThread)
        m_worker->decodeThread->setPaused(m_paused);
    audioStateChanged(m_paused ? QAudio::SuspendedState : QAudio::ActiveState);
}

void KvConvert::audioStateChanged(QAudio::State state)
{
    if (state == QAudio::ActiveState) {
        ui->pushButtonConvert->setChecked(true);
        ui->groupBoxRecord->setTitle(tr("Converting..."));
        ui->pushButtonConvert->setToolTip(tr("Press to pause converting."));
        updateButtons(true);
    } else if (state == QAudio::SuspendedState) {
        ui->pushButtonConvert->setChecked(false);
        ui->groupBoxRecord->setTitle(tr("Paused converting..."));
        ui->pushButtonConvert->setToolTip(tr("Press to resume converting."));
        updateButtons(false);
    }
}

void KvConvert::updateButtons(bool converting)
{
    QPushButton *save = ui->buttonBox->button(QDialogButtonBox::Save);
    QPushButton *discard = ui->buttonBox->button(QDialogButtonBox::Discard);
    QPushButton *close = ui->buttonBox->button(QDialogButtonBox::Close);
    bool hasOutput = false;
    if (!converting)
        hasOutput = m_worker && m_worker->decodeThread && m_worker->decodeThread->outputLength() > 0;
    save->setEnabled(hasOutput);
    discard->setEnabled(hasOutput);
    close->setEnabled(!hasOutput);
}

void KvConvert::convertFinished(bool savedOk) { disableConvert(!savedOk); }

void KvConvert::disableConvert(bool notPossible)
{
    ui->comboBoxConvertEncoder->setEnabled(false);
    ui->comboBoxConvertSampFreq->setEnabled(false);
    ui->radioButtonEncodeVBR->setEnabled(false);
    ui->radioButtonEncodeCBR->setEnabled(false);
    ui->radioButtonEncodeABR->setEnabled(false);
    ui->radioButtonMono->setEnabled(false);
    ui->radioButtonStereo->setEnabled(false);
    ui->comboBoxConvertFormat->setEnabled(false);
    ui->pushButtonConvert->setChecked(false);
    ui->pushButtonConvert->setEnabled(false);
    ui->labelPressToConvert->setEnabled(false);
    ui->pushButtonPitchReset->setEnabled(false);
    ui->pushButtonTempoReset->setEnabled(false);
    ui->horizontalSliderPitch->setEnabled(false);
    ui->horizontalSliderTempo->setEnabled(false);
    updateButtons(false);
    ui->groupBoxRecord->setTitle(notPossible ? tr("Conversion not possible!") : tr("Conversion completed."));
}

void KvConvert::decodeProgress(int percent)
{
    ui->progressBarDecoding->setValue(percent);
    update();
}

void KvConvert::on_buttonBox_clicked(QAbstractButton *button)
{
    const QDialogButtonBox::StandardButton which = ui->buttonBox->standardButton(button);
    if (which == QDialogButtonBox::Close) {
        close();
    } else if (which == QDialogButtonBox::Save) {
        disableConvert(false);
        if (m_worker) {
            bool ok;
            if (m_tracksMode) {
                ok = m_worker->convertTracks(QString());
            } else {
                m_worker->selection = m_selectionMode;
                ok = m_worker->saveConvertedFile(QString());
            }
            if (ok) {
                m_saved = true;
                // The next Open dialog starts where the output went.
                m_lastSavePath = m_tracksMode ? m_worker->savedFolder()
                                              : QFileInfo(m_worker->savedFile()).absolutePath();
                close();
            }
        }
        QGuiApplication::restoreOverrideCursor();
    } else {
        QGuiApplication::restoreOverrideCursor();
        close();
    }
}

void KvConvert::accept()
{
    if (!m_saved)
        return;
    stopConversion();
    disableConvert(false);
    writeSettings();
    if (m_mainWindow) {
        if (!QMetaObject::invokeMethod(m_mainWindow, "setLastOpenPath", Q_ARG(QString, m_lastSavePath))
            && m_controller)
            m_controller->setLastOpenPath(m_lastSavePath);
    }
    QDialog::accept();
}

void KvConvert::reject()
{
    const bool closed = close();
    if (closed && ui->pushButtonConvert->isEnabled())
        writeSettings();
    QDialog::reject();
}

void KvConvert::closeEvent(QCloseEvent *event)
{
    if (m_worker && m_worker->decodeThread && m_worker->decodeThread->outputLength() > 0 && !m_saved) {
        const int answer = warningMessageBox(
            this, applicationTitle(),
            tr("The audio conversion has not been saved! Are you sure you wish to discard the audio?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    QDialog::closeEvent(event);
}

void KvConvert::stopConversion()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_worker)
        m_worker->stop();
    QGuiApplication::restoreOverrideCursor();
}
