#include "KvPlaybackControls.h"
#include "ui_KvPlaybackControls.h"

#include <QSettings>
#include <QToolTip>

#include <cmath>

namespace {
const char kKeyPlaybackVolume[] = "Settings/PlaybackVol";
} // namespace

KvPlaybackControls::KvPlaybackControls(QWidget *parent) : QWidget(parent), ui(new Ui::KvPlaybackControls)
{
    ui->setupUi(this);
    m_defaultVolume = ui->horizontalSliderVol->value();
    m_defaultPitch = ui->horizontalSliderPitch->value();
    m_defaultTempo = ui->horizontalSliderTempo->value();
    ui->horizontalSliderVol->setValue(QSettings().value(kKeyPlaybackVolume, m_defaultVolume).toInt());
}

KvPlaybackControls::~KvPlaybackControls() = default;

double KvPlaybackControls::tempoPercent(int value)
{
    // The left half slows by 1 % a step, the right half speeds up by 4 % a step.
    return value <= 50 ? double(value - 50) : double(value - 50) * 4.0;
}

QString KvPlaybackControls::volumeText(int value)
{
    return tr("Volume %1").arg(value);
}

QString KvPlaybackControls::pitchText(int value)
{
    return tr("%1%2 Semitones").arg(value >= 0 ? QStringLiteral("+") : QString()).arg(value);
}

QString KvPlaybackControls::tempoText(int percent)
{
    return tr("%1% %2").arg(std::abs(percent)).arg(percent >= 0 ? tr("Faster") : tr("Slower"));
}

void KvPlaybackControls::emitAllValues()
{
    emit VolumeChanged(ui->horizontalSliderVol->value() / 100.0);
    emit PitchChanged(double(ui->horizontalSliderPitch->value()));
    emit TempoChanged(tempoPercent(ui->horizontalSliderTempo->value()));
}

int KvPlaybackControls::pitchSliderValue() const
{
    return ui->horizontalSliderPitch->value();
}

int KvPlaybackControls::tempoSliderValue() const
{
    return ui->horizontalSliderTempo->value();
}

QRect KvPlaybackControls::controlRect(int which) const
{
    switch (which) {
    case 0:
        return ui->hLayoutVolCtrl->geometry();
    case 1:
        return ui->hLayoutPitchCtrl->geometry();
    case 2:
        return ui->hLayoutTempoCtrl->geometry();
    default:
        return QRect();
    }
}

void KvPlaybackControls::showTip(QWidget *slider, const QString &text)
{
    const QPoint above = slider->mapToGlobal(QPoint(0, 0)) - QPoint(0, 25 + slider->height());
    QToolTip::showText(above, text, slider);
}

void KvPlaybackControls::showVolumeTip(int value)
{
    showTip(ui->horizontalSliderVol, volumeText(value));
}

void KvPlaybackControls::showPitchTip(int value)
{
    showTip(ui->horizontalSliderPitch, pitchText(value));
}

void KvPlaybackControls::showTempoTip(int value)
{
    showTip(ui->horizontalSliderTempo, tempoText(value));
}

void KvPlaybackControls::on_horizontalSliderVol_valueChanged(int value)
{
    emit VolumeChanged(value / 100.0);
    showVolumeTip(value);
    QSettings().setValue(kKeyPlaybackVolume, value);
}

void KvPlaybackControls::on_horizontalSliderPitch_valueChanged(int value)
{
    emit PitchChanged(double(value));
    showPitchTip(value);
}

void KvPlaybackControls::on_horizontalSliderTempo_valueChanged(int value)
{
    const double percent = tempoPercent(value);
    emit TempoChanged(percent);
    showTempoTip(int(percent));
}

void KvPlaybackControls::on_horizontalSliderVol_sliderPressed()
{
    showVolumeTip(ui->horizontalSliderVol->value());
}

void KvPlaybackControls::on_horizontalSliderPitch_sliderPressed()
{
    showPitchTip(ui->horizontalSliderPitch->value());
}

void KvPlaybackControls::on_horizontalSliderTempo_sliderPressed()
{
    showTempoTip(int(tempoPercent(ui->horizontalSliderTempo->value())));
}

void KvPlaybackControls::on_pushButtonVolReset_clicked()
{
    ui->horizontalSliderVol->setValue(m_defaultVolume);
}

void KvPlaybackControls::on_pushButtonPitchReset_clicked()
{
    ui->horizontalSliderPitch->setValue(m_defaultPitch);
}

void KvPlaybackControls::on_pushButtonTempoReset_clicked()
{
    ui->horizontalSliderTempo->setValue(m_defaultTempo);
}
