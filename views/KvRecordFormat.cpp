// The recording dialog's choices and how they restrict each other: device, encoder, mode,
// channels, sampling frequency, 24-bit capture and the recording format (an encoder preset).
#include "KvRecord.h"

#include "ui_KvRecord.h"

#include <KvEncoderFactory.h>
#include <KvQmlController.h>
#include <audio_lib.h>

#include <QIODevice>
#include <QSettings>

#include <algorithm>
#include <set>

void KvRecord::on_comboBoxInputDev_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    m_device = ui->comboBoxInputDev->itemData(index).value<KvCaptureDevice>();
    m_stereoSupported = false;
    m_bit24Supported = false;
    m_bit24Supported = m_device.sampleSizes.contains(24);
    m_stereoSupported = m_device.channelCounts.contains(2);
    if (!m_bit24Supported) {
        // Some devices list 16 bits only and still capture 24: try it.
        QAudioFormat probe = kvPcmFormat(44100, 2, 24);
        if (!m_provider->isFormatSupported(m_device, probe)) {
            probe = m_provider->nearestFormat(m_device, probe);
            probe.setSampleSize(24);
        }
        std::unique_ptr<KvCaptureInput> input(m_provider->createInput(m_device, probe));
        if (input) {
            QIODevice *data = input->start();
            if (data && input->error() == QAudio::NoError)
                m_bit24Supported = true;
            input->stop();
        }
    }
    m_inputLevel.setDevice(m_device.name);
    const float level = m_inputLevel.level();
    if (level < 0.0f)
        ui->sliderInputLevel->setEnabled(false);
    else
        ui->sliderInputLevel->setValue(int(level * 100.0f + 0.5f));
    updateFormatControls(QString(), 0, 0, false);
}

void KvRecord::on_comboBoxRecordingEncoder_currentIndexChanged(int index)
{
    if (index < 0 || index >= m_encoders.size())
        return;
    const KvAudioLibPtr encoder = m_encoders.at(index);
    ui->comboBoxRecordingFormat->clear();
    m_shownPresets.clear();
    m_allPresets.clear();
    for (int i = 0;; ++i) {
        PresetPtr preset(encoder->presetSettings(i));
        if (!preset)
            break;
        m_allPresets.append(preset);
    }
    updateFormatControls(QString(), 0, 0, false);
}

void KvRecord::on_comboBoxRecordingSampFreq_currentIndexChanged(int)
{
    updateFormatControls(QString(), 0, 0, false);
}

void KvRecord::on_comboBoxRecordingFormat_currentIndexChanged(int)
{
    updateFormatControls(QString(), 0, 0, false);
}

void KvRecord::on_radioButtonEncodeCBR_toggled(bool) { updateFormatControls(QString(), 0, 0, false); }

void KvRecord::on_radioButtonEncodeVBR_toggled(bool checked)
{
    if (checked)
        ui->comboBoxRecordingSampFreq->setCurrentIndex(-1);
    updateFormatControls(QString(), 0, 0, false);
}

void KvRecord::on_radioButtonEncodeABR_toggled(bool checked)
{
    if (checked)
        ui->comboBoxRecordingSampFreq->setCurrentIndex(-1);
    updateFormatControls(QString(), 0, 0, false);
}

void KvRecord::on_radioButtonMono_toggled(bool) { updateFormatControls(QString(), 0, 0, false); }

void KvRecord::on_radioButtonStereo_toggled(bool) { updateFormatControls(QString(), 0, 0, false); }

void KvRecord::updateFormatControls(QString wantedFormat, int wantedChannels, int wantedRate,
                                    bool want24Bit)
{
    if (!m_updating) {
        // Twice: the first pass may check buttons that change what the second offers.
        formatPass(wantedFormat, wantedChannels, wantedRate, want24Bit);
        formatPass(wantedFormat, wantedChannels, wantedRate, want24Bit);
    }
    updatePalettes();
}

void KvRecord::repairModes()
{
    QRadioButton *vbr = ui->radioButtonEncodeVBR;
    QRadioButton *cbr = ui->radioButtonEncodeCBR;
    QRadioButton *abr = ui->radioButtonEncodeABR;
    auto usable = [](QRadioButton *b) { return b->isEnabled() && !b->isChecked(); };
    auto move = [&](QRadioButton *lost, QRadioButton *first, QRadioButton *second) {
        if (!lost->isChecked() || lost->isEnabled())
            return;
        if (usable(first))
            first->setChecked(true);
        else if (usable(second))
            second->setChecked(true);
    };
    move(vbr, cbr, abr);
    move(cbr, abr, vbr);
    move(abr, vbr, cbr);
    if (!vbr->isChecked() && !cbr->isChecked() && !abr->isChecked()) {
        const int enabled = int(vbr->isEnabled()) + int(cbr->isEnabled()) + int(abr->isEnabled());
        if (enabled == 1)
            (vbr->isEnabled() ? vbr : cbr->isEnabled() ? cbr : abr)->setChecked(true);
    }
}

void KvRecord::repairChannels()
{
    QRadioButton *mono = ui->radioButtonMono;
    QRadioButton *stereo = ui->radioButtonStereo;
    if (mono->isChecked() && !mono->isEnabled() && stereo->isEnabled() && !stereo->isChecked())
        stereo->setChecked(true);
    else if (stereo->isChecked() && !stereo->isEnabled() && mono->isEnabled() && !mono->isChecked())
        mono->setChecked(true);
    if (!mono->isChecked() && !stereo->isChecked()) {
        if (mono->isEnabled() && !stereo->isEnabled())
            mono->setChecked(true);
        else if (stereo->isEnabled() && !mono->isEnabled())
            stereo->setChecked(true);
    }
}

void KvRecord::formatPass(QString wantedFormat, int wantedChannels, int wantedRate, bool want24Bit)
{
    m_updating = true;
    if (wantedFormat.isEmpty())
        wantedFormat = ui->comboBoxRecordingFormat->currentText();

    ui->comboBoxRecordingFormat->clear();
    m_shownPresets.clear();
    int rate = ui->comboBoxRecordingSampFreq->currentIndex() >= 0
        ? ui->comboBoxRecordingSampFreq->currentData().toInt()
        : wantedRate;
    ui->comboBoxRecordingSampFreq->clear();

    for (QWidget *w : std::initializer_list<QWidget *>{
             ui->radioButtonEncodeVBR, ui->radioButtonEncodeCBR, ui->radioButtonEncodeABR,
             ui->radioButtonMono, ui->radioButtonStereo, ui->checkBox24bitRec})
        w->setEnabled(false);
    for (const PresetPtr &p : m_allPresets) {
        if (p->mode == 1)
            ui->radioButtonEncodeVBR->setEnabled(true);
        else if (p->mode == 2)
            ui->radioButtonEncodeCBR->setEnabled(true);
        else if (p->mode == 3)
            ui->radioButtonEncodeABR->setEnabled(true);
        if (p->channels == 1 || p->channels == 0)
            ui->radioButtonMono->setEnabled(true);
        if ((p->channels == 2 || p->channels == 0) && m_stereoSupported)
            ui->radioButtonStereo->setEnabled(true);
        if (p->flag1 && m_bit24Supported)
            ui->checkBox24bitRec->setEnabled(true);
    }
    if (!ui->checkBox24bitRec->isEnabled())
        ui->checkBox24bitRec->setChecked(false);

    repairModes();
    repairChannels();

    const int channels = ui->radioButtonStereo->isChecked() ? 2
        : (ui->radioButtonMono->isChecked() ? 1 : wantedChannels);
    const int mode = ui->radioButtonEncodeVBR->isChecked() ? 1
        : ui->radioButtonEncodeCBR->isChecked() ? 2
        : ui->radioButtonEncodeABR->isChecked() ? 3 : 0;
    auto channelsMatch = [channels](const PresetPtr &p) {
        return p->channels == channels || p->channels == 0 || channels == 0;
    };

    std::set<int> rates;
    for (const PresetPtr &p : m_allPresets) {
        if (mode == 2 && p->mode != 2)
            continue;
        if (channelsMatch(p))
            rates.insert(p->sampleRate);
    }
    for (int r : rates)
        ui->comboBoxRecordingSampFreq->addItem(r == 0 ? tr("(default)") : tr("%1 Hz").arg(r), r);
    if (rate > 0)
        ui->comboBoxRecordingSampFreq->setCurrentIndex(ui->comboBoxRecordingSampFreq->findData(rate));

    rate = ui->comboBoxRecordingSampFreq->currentIndex() >= 0
        ? ui->comboBoxRecordingSampFreq->currentData().toInt()
        : 0;

    PresetPtr remembered;
    int rememberedIndex = -1;
    for (const PresetPtr &p : m_allPresets) {
        if (!channelsMatch(p))
            continue;
        if (!(p->sampleRate == rate || p->sampleRate == 0 || rate == 0))
            continue;
        if (!(p->mode == mode || mode == 0))
            continue;
        ui->comboBoxRecordingFormat->addItem(p->text);
        m_shownPresets.append(p);
        if (p->text == wantedFormat) {
            remembered = p;
            rememberedIndex = ui->comboBoxRecordingFormat->count() - 1;
        }
    }
    ui->comboBoxRecordingFormat->setCurrentIndex(rememberedIndex);

    if (remembered) {
        if (remembered->mode == 1)
            ui->radioButtonEncodeVBR->setChecked(true);
        else if (remembered->mode == 2)
            ui->radioButtonEncodeCBR->setChecked(true);
        else if (remembered->mode == 3)
            ui->radioButtonEncodeABR->setChecked(true);
        if (remembered->channels == 1 || wantedChannels == 1 || !m_stereoSupported)
            ui->radioButtonMono->setChecked(true);
        if (m_stereoSupported && (remembered->channels == 2 || wantedChannels == 2))
            ui->radioButtonStereo->setChecked(true);
        const int presetRate = remembered->sampleRate != 0 ? remembered->sampleRate : wantedRate;
        if (presetRate > 0)
            ui->comboBoxRecordingSampFreq->setCurrentIndex(
                ui->comboBoxRecordingSampFreq->findData(presetRate));
        if (remembered->flag1) {
            if (want24Bit && ui->checkBox24bitRec->isEnabled())
                ui->checkBox24bitRec->setChecked(true);
        } else {
            ui->checkBox24bitRec->setChecked(false);
        }
    }

    ui->pushButtonRecord->setEnabled(
        ui->comboBoxRecordingFormat->currentIndex() >= 0
        && (ui->radioButtonEncodeVBR->isChecked() || ui->radioButtonEncodeCBR->isChecked()
            || ui->radioButtonEncodeABR->isChecked())
        && (ui->radioButtonMono->isChecked() || ui->radioButtonStereo->isChecked()));
    m_updating = false;
}

void KvRecord::updatePalettes()
{
    auto paint = [this](QWidget *w, bool warn) { w->setPalette(warn ? m_warningPalette : m_normalPalette); };
    paint(ui->comboBoxInputDev, ui->comboBoxInputDev->currentIndex() < 0);
    paint(ui->labelRecordingEncoder, ui->comboBoxRecordingEncoder->currentIndex() < 0);
    const bool noMode = !ui->radioButtonEncodeVBR->isChecked() && !ui->radioButtonEncodeCBR->isChecked()
        && !ui->radioButtonEncodeABR->isChecked();
    paint(ui->radioButtonEncodeVBR, noMode);
    paint(ui->radioButtonEncodeCBR, noMode);
    paint(ui->radioButtonEncodeABR, noMode);
    paint(ui->labelRecordingSampFreq, ui->comboBoxRecordingSampFreq->currentIndex() < 0);
    const bool noChannels = !ui->radioButtonMono->isChecked() && !ui->radioButtonStereo->isChecked();
    paint(ui->radioButtonMono, noChannels);
    paint(ui->radioButtonStereo, noChannels);
    paint(ui->labelRecordingFormat, ui->comboBoxRecordingFormat->currentIndex() < 0);
}

void KvRecord::loadSettings()
{
    QSettings settings;
    m_updating = true;
    for (const KvCaptureDevice &d : m_provider->availableDevices())
        ui->comboBoxInputDev->addItem(d.name, QVariant::fromValue(d));
    const int deviceIndex =
        ui->comboBoxInputDev->findText(settings.value("Settings/RecordComboBoxInputDev", QString()).toString(),
                                       Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (deviceIndex >= 0)
        ui->comboBoxInputDev->setCurrentIndex(deviceIndex);

    int lameIndex = -1, mp3Index = -1, aacIndex = -1;
    for (int i = 0; i < m_encoders.size(); ++i) {
        const QString name = m_encoders.at(i)->name();
        ui->comboBoxRecordingEncoder->addItem(name);
        if (m_mp3EncoderPresent && name.contains(QLatin1String("LAME")))
            lameIndex = i;
        else if (mp3Index < 0 && name.contains(QLatin1String("MP3")))
            mp3Index = i;
        else if (aacIndex < 0 && name.contains(QLatin1String("AAC")))
            aacIndex = i;
    }
    const QString defaultFormat = lameIndex >= 0 ? QStringLiteral("LAME encoder: VBR quality 4 (default)")
        : mp3Index >= 0 ? QStringLiteral("160 kBit/s, 44.100 Hz, Stereo")
                        : QString();
    int encoderIndex =
        ui->comboBoxRecordingEncoder->findText(currentEncoderText(settings.value("Settings/RecordComboBoxEncoder", QString()).toString()),
                                               Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (encoderIndex < 0)
        encoderIndex = lameIndex >= 0 ? lameIndex : mp3Index >= 0 ? mp3Index : aacIndex;
    QString format;
    int channels = 0, rate = 0;
    bool want24 = false;
    if (encoderIndex >= 0) {
        ui->comboBoxRecordingEncoder->setCurrentIndex(encoderIndex);
        format = currentEncoderText(settings.value("Settings/RecordComboBoxFormat", defaultFormat).toString());
        channels = settings.value("Settings/RecordChannels", 2).toInt();
        rate = settings.value("Settings/RecordSamplerate", 44100).toInt();
        want24 = settings.value("Settings/Record24Bit", false).toBool();
    }
    m_updating = false;
    updateFormatControls(format, channels, rate, want24);
}
