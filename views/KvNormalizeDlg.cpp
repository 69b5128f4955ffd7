#include "KvNormalizeDlg.h"
#include "ui_KvNormalizeDlg.h"

#include <KvDecodeThread.h>
#include <KvEngineFactories.h>
#include <KvFrameListIterator.h>
#include <KvFrameSizeInfo.h>
#include <KvMessageBox.h>
#include <KvQmlController.h>
#include <KvRepackInfoPtrList.h>

#include <QCloseEvent>
#include <QDoubleValidator>
#include <QGuiApplication>
#include <QIntValidator>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

#include <algorithm>
#include <cmath>

const char KvNormalizeDlg::targetKey[] = "Settings/NormalizeTargetdB";

namespace {

constexpr double kFullScale = 32767.0;
// How long a series of automatic rescans may try before a problem is shown.
constexpr qint64 kRescanWindowMs = 8000;

// Whole gain steps (2^(1/4) each) that bring a level up to, but not past, ratio times
// itself; bounded so that absurd targets cannot overflow.
int stepsBelow(double ratio)
{
    const double steps = std::floor(4.0 * std::log2(ratio));
    if (!std::isfinite(steps))
        return steps > 0 ? 1000 : -1000;
    return int(std::max(-1000.0, std::min(1000.0, steps)));
}

} // namespace

KvNormalizeDlg::KvNormalizeDlg(const boost::shared_ptr<KvRepackInfoPtrList> &frames, QWidget *parent,
                               KvQmlController *controller)
    : QDialog(parent), controller(controller ? controller : KvQmlController::instance()), frames(frames),
      ui(new Ui::KvNormalizeDlg)
{
    ui->setupUi(this);
    ui->labelStepsdB->setMinimumWidth(35);
    setProgress(0);
    warningPalette = palette();
    normalPalette = palette();
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        const auto group = QPalette::ColorGroup(g);
        warningPalette.setColor(group, QPalette::Text, Qt::red);
        warningPalette.setColor(group, QPalette::WindowText, Qt::red);
    }
    ui->pushButtonRecalc->setEnabled(false);
    setButtonEnabled(QDialogButtonBox::Ok, false);
    setButtonEnabled(QDialogButtonBox::Apply, false);

    applyGainShift(scanShift);

    targetDb = QSettings().value(QLatin1String(targetKey), 0.0).toDouble();
    if (!std::isfinite(targetDb))
        targetDb = 0.0;
    targetValidator = new QDoubleValidator(-96.0, 96.0, 1, this);
    targetValidator->setNotation(QDoubleValidator::StandardNotation);
    ui->lineEditTargetdB->setText(formatDb(targetDb));
    ui->lineEditTargetdB_2->setText(formatDb(targetDb));
    ui->lineEditTargetdB->setValidator(targetValidator);
    ui->lineEditTargetdB_2->setValidator(targetValidator);
    stepsValidator = new QIntValidator(ui->horizontalSliderLevelChange->minimum(),
                                       ui->horizontalSliderLevelChange->maximum(), this);
    ui->lineEditChangeSteps->setValidator(stepsValidator);

    scanStartTime.start();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        connect(screen, &QScreen::availableGeometryChanged, this, &KvNormalizeDlg::availableGeometryChanged);
        applyOrientation(screen->availableGeometry());
    } else {
        applyOrientation(QRect(0, 0, 4, 3));
    }
    startPeakScan();
}

KvNormalizeDlg::~KvNormalizeDlg()
{
    stopPeakScan(StopForRestart);
}

QString KvNormalizeDlg::formatDb(double x)
{
    return QStringLiteral("%1%2").arg(x > 0 ? QStringLiteral("+") : QString()).arg(x, 0, 'f', 1);
}

void KvNormalizeDlg::setButtonEnabled(int standardButton, bool enabled)
{
    if (QPushButton *button = ui->buttonBox->button(QDialogButtonBox::StandardButton(standardButton)))
        button->setEnabled(enabled);
}

void KvNormalizeDlg::setProgress(int value)
{
    ui->progressBarDecoding->setValue(value);
    ui->progressBarDecoding->repaint();
}

void KvNormalizeDlg::setPeakTexts(const QString &text)
{
    ui->lineEditPeak->setText(text);
    ui->lineEditPeak_2->setText(text);
}

void KvNormalizeDlg::setNewLevelTexts(const QString &text)
{
    ui->lineEditLevelChange->setText(text);
    ui->lineEditLevelChange_2->setText(text);
}

void KvNormalizeDlg::applyGainShift(int steps)
{
    if (!frames || steps == 0)
        return;
    const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(frames);
    while (it && it->next())
        it->addGain(steps);
}

void KvNormalizeDlg::startPeakScan()
{
    stopPeakScan(StopForRestart);
    const boost::shared_ptr<KvFrameSizeInfo> source = frames ? frames->firstSourceInfo() : nullptr;
    QAudioFormat format;
    format.setSampleRate(source ? source->sampleRate() : 44100);
    format.setChannelCount(2);
    format.setSampleSize(16);
    format.setSampleType(QAudioFormat::SignedInt);
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setCodec(QStringLiteral("audio/pcm"));
    // Scan mode: no encoder and no output file, only the peaks.
    scanThread = new KvDecodeThread(frames, format, KvAudioLibPtr(), 0, 0, -1, 1.0, 2,
                                    format.sampleRate(), false, 1.0, 0.0, this);
    connect(scanThread.data(), &KvDecodeThread::decodeProgress, this, &KvNormalizeDlg::decodeProgress,
            Qt::QueuedConnection);
    connect(scanThread.data(), &KvDecodeThread::MaxVolumes, this, &KvNormalizeDlg::MaxVolumes,
            Qt::QueuedConnection);
    scanThread->start(QThread::InheritPriority);
    ui->pushButtonStop->setEnabled(true);
    ui->pushButtonRecalc->setEnabled(false);
}

void KvNormalizeDlg::stopPeakScan(StopCode code)
{
    if (!scanThread)
        return;
    KvDecodeThread *thread = scanThread;
    scanThread = nullptr;
    thread->stopState.store(code);
    thread->stopSemaphore.release(1);
    thread->wait();
    // Reports it queued before it ended are still on their way; the slots drop them
    // (their sender is no longer the scan), and the object goes after them.
    thread->deleteLater();
}

void KvNormalizeDlg::decodeProgress(int percent)
{
    if (sender() && sender() != scanThread)
        return;
    setProgress(int(percent / 100.0 * (100.0 - progressBase) * 0.6 + progressBase));
}

void KvNormalizeDlg::MaxVolumes(qint16 leftMaxVol, qint16 rightMaxVol)
{
    if (sender()) {
        if (sender() != scanThread)
            return;
        // The report is the scan's last act: let it end before the copy is touched again.
        scanThread->wait();
        if (!scanThread->errorText().isEmpty()) {
            reportScanFailure(scanThread->errorText());
            return;
        }
    }
    leftPeak = leftMaxVol;
    rightPeak = rightMaxVol;
    evaluatePeakScan(leftMaxVol, rightMaxVol, true);
}

void KvNormalizeDlg::evaluatePeakScan(qint16 left, qint16 right, bool interactive)
{
    const int p = std::max(left, right);
    const int s = scanShift;
    peakLevel = 0.0;
    scanValid = false;
    double peakDb = 0.0;

    if (p > 0) {
        const double truePeak = p * std::pow(2.0, -s / 4.0);
        peakLevel = truePeak / kFullScale;
        peakDb = 20.0 * std::log10(peakLevel);
        const double targetAmplitude = std::pow(10.0, targetDb / 20.0) * kFullScale;
        const int steps = stepsBelow(targetAmplitude / truePeak);
        computedChange = steps;
        // The decoder rounds: the count must not move within the rounding error of a
        // scan made this far from it.
        const int d = std::abs(steps - s);
        const double r = (kFullScale - std::pow(2.0, d / 4.0 + 1.0)) / kFullScale;
        const int a = stepsBelow(targetAmplitude / (truePeak * r));
        const int b = stepsBelow(targetAmplitude * r / truePeak);
        const bool accurate = d < 60 && p != 32767 && (d == 0 || (a == steps && b == steps));
        if (accurate) {
            scanValid = true;
            setLevelChange(steps);
            setPeakTexts(formatDb(peakDb));
            setProgress(100);
            ui->pushButtonStop->setEnabled(false);
            ui->labelDecoding->setText(tr("Peak volume found."));
        } else {
            setLevelChange(steps);
            // A clipped scan only says the peak is at least this loud.
            if (p == 32767)
                computedChange -= 16;
            reportScanProblem(tr("Peak volume level calculation may not be accurate, press Re-calculate to try again"),
                              formatDb(peakDb), interactive);
        }
    } else if (p == 0) {
        if (s < computedChange - 1) {
            // The shift may have pushed quiet audio to nothing: try again unshifted.
            applyGainShift(-s);
            scanShift = 0;
            if (interactive)
                reportScanProblem(tr("Peak volume level calculation failed, press Re-calculate to try again"),
                                  QString(), interactive);
        } else {
            setLevelChange(0);
            if (interactive)
                informationMessageBox(this, QCoreApplication::applicationName(),
                                      tr("All frames are silent and cannot be normalized.\n"
                                         "Try selecting more frames or manually increasing the volume and Normalize again.\n\n"
                                         "Setting a target dB level for Normalization that is either very high or very low may also cause this error."),
                                      QMessageBox::Ok);
            ui->pushButtonStop->setEnabled(false);
            setProgress(100);
            ui->labelDecoding->setText(tr("Peak volume found."));
        }
    } else {
        if (p == -1 && interactive) {
            informationMessageBox(this, QCoreApplication::applicationName(),
                                  tr("Peak volume level calculation cancelled, press Re-calculate to try again"),
                                  QMessageBox::Ok);
            ui->pushButtonStop->setEnabled(false);
        }
        setLevelChange(0);
        setProgress(0);
        progressBase = 0.0;
    }
    setdBTextWarningColor(ui->lineEditPeak, peakDb);
    setdBTextWarningColor(ui->lineEditPeak_2, peakDb);
}

void KvNormalizeDlg::reportScanProblem(const QString &message, const QString &peakText, bool interactive)
{
    if (scanStartTime.elapsed() < kRescanWindowMs) {
        if (interactive)
            rescanWithShift();
        return;
    }
    setPeakTexts(peakText);
    setProgress(0);
    progressBase = 0.0;
    ui->pushButtonStop->setEnabled(false);
    setButtonEnabled(QDialogButtonBox::Ok, false);
    if (interactive) {
        ui->pushButtonRecalc->setEnabled(true);
        setNewLevelTexts(QString());
        ui->labelStepsdB->clear();
        informationMessageBox(this, QCoreApplication::applicationName(), message, QMessageBox::Ok);
    }
}

// A read that failed (a source changed by another program, a file cut short)
// ends the scan early: the peaks of the frames before it are not the
// selection's, so nothing is proposed and the reason is shown, not a cancel.
void KvNormalizeDlg::reportScanFailure(const QString &reason)
{
    leftPeak = -1;
    rightPeak = -1;
    // Without a valid scan the level change clears the new level, turns OK off
    // and Re-calculate on.
    scanValid = false;
    setLevelChange(0);
    setPeakTexts(QString());
    setProgress(0);
    progressBase = 0.0;
    ui->pushButtonStop->setEnabled(false);
    criticalMessageBox(this, QCoreApplication::applicationName(),
                       tr("Peak volume level calculation failed.\nError: %1").arg(reason), QMessageBox::Ok);
}

void KvNormalizeDlg::rescanWithShift()
{
    stopPeakScan(StopForRestart);
    // The copy goes to one step below the proposal, where a scan is most telling.
    const int delta = computedChange - scanShift;
    scanShift = computedChange - 1;
    if (delta != 1)
        applyGainShift(delta - 1);
    progressBase = ui->progressBarDecoding->value();
    startPeakScan();
}

void KvNormalizeDlg::on_pushButtonRecalc_clicked()
{
    setProgress(0);
    setPeakTexts(QString());
    setNewLevelTexts(QString());
    ui->labelStepsdB->clear();
    scanStartTime.start();
    rescanWithShift();
}

void KvNormalizeDlg::on_pushButtonStop_clicked()
{
    if (!scanThread)
        return;
    stopPeakScan(StopByUser);
    // The decode thread reports the peaks it had found when stopped; a stopped scan
    // found nothing to go by.
    evaluatePeakScan(-1, -1, true);
}

void KvNormalizeDlg::setLevelChange(int steps)
{
    const int v = scanValid ? steps : 0;
    QSlider *slider = ui->horizontalSliderLevelChange;
    if (v < slider->minimum())
        slider->setMinimum(v);
    if (v > slider->maximum())
        slider->setMaximum(v);
    ui->pushButtonRecalc->setEnabled(!scanValid);
    shownChange = v;
    if (slider->value() == v)
        on_horizontalSliderLevelChange_valueChanged(v);
    else
        slider->setValue(v);
}

void KvNormalizeDlg::on_horizontalSliderLevelChange_valueChanged(int value)
{
    const double gain = std::pow(2.0, value / 4.0);
    const double newDb = 20.0 * std::log10(gain * peakLevel);
    const QString steps = QStringLiteral("%1%2").arg(value >= 0 ? QStringLiteral("+") : QString()).arg(value);
    if (ui->lineEditChangeSteps->text() != steps)
        ui->lineEditChangeSteps->setText(steps);
    if (scanValid) {
        setNewLevelTexts(formatDb(newDb));
        ui->labelStepsdB->setText(formatDb(20.0 * std::log10(gain)));
    } else {
        setNewLevelTexts(QString());
        ui->labelStepsdB->clear();
    }
    setdBTextWarningColor(ui->lineEditLevelChange, newDb);
    setdBTextWarningColor(ui->lineEditLevelChange_2, newDb);
    setdBTextWarningColor(ui->labelStepsdB, newDb);
    setButtonEnabled(QDialogButtonBox::Ok, value != 0);
    setButtonEnabled(QDialogButtonBox::Apply, value != shownChange);
}

void KvNormalizeDlg::on_pushButtonMinusStep_clicked()
{
    ui->horizontalSliderLevelChange->setValue(ui->horizontalSliderLevelChange->value() - 1);
}

void KvNormalizeDlg::on_pushButtonPlusStep_clicked()
{
    ui->horizontalSliderLevelChange->setValue(ui->horizontalSliderLevelChange->value() + 1);
}

void KvNormalizeDlg::on_lineEditChangeSteps_textChanged(const QString &newText)
{
    bool ok = false;
    const int value = newText.toInt(&ok, 10);
    if (ok && value != ui->horizontalSliderLevelChange->value())
        ui->horizontalSliderLevelChange->setValue(value);
}

void KvNormalizeDlg::on_lineEditTargetdB_2_textChanged(const QString &newText)
{
    if (ui->lineEditTargetdB->text() != newText)
        ui->lineEditTargetdB->setText(newText);
}

void KvNormalizeDlg::on_lineEditTargetdB_textChanged(const QString &newText)
{
    if (ui->lineEditTargetdB_2->text() != newText)
        ui->lineEditTargetdB_2->setText(newText);
    targetDb = newText.toDouble();
    setdBTextWarningColor(ui->lineEditTargetdB, targetDb);
    setdBTextWarningColor(ui->lineEditTargetdB_2, targetDb);
    progressBase = 0.0;
    computedChange = 0;
    if (leftPeak > 0 || rightPeak > 0) {
        evaluatePeakScan(leftPeak, rightPeak, false);
    } else {
        ui->pushButtonRecalc->setEnabled(true);
        setLevelChange(0);
    }
}

void KvNormalizeDlg::setdBTextWarningColor(QWidget *lineEdit, double dB)
{
    lineEdit->setPalette(dB > 0 ? warningPalette : normalPalette);
}

void KvNormalizeDlg::on_buttonBox_clicked(QAbstractButton *button)
{
    if (ui->buttonBox->standardButton(button) == QDialogButtonBox::Apply)
        setLevelChange(shownChange);
}

void KvNormalizeDlg::availableGeometryChanged(QRect geometry)
{
    applyOrientation(geometry);
}

void KvNormalizeDlg::applyOrientation(const QRect &available)
{
    const int now = available.width() > available.height() ? 1 : -1;
    if (now == orientation)
        return;
    orientation = now;
    const bool landscape = now == 1;
    ui->lineEditPeak_2->setVisible(landscape);
    ui->lineEditTargetdB_2->setVisible(landscape);
    ui->lineEditLevelChange_2->setVisible(landscape);
    ui->lineEditPeak->setVisible(!landscape);
    ui->lineEditTargetdB->setVisible(!landscape);
    ui->lineEditLevelChange->setVisible(!landscape);
}

void KvNormalizeDlg::done(int result)
{
    stopPeakScan(StopForRestart);
    int steps = 0;
    QString text;
    if (result == QDialog::Accepted) {
        QSettings().setValue(QLatin1String(targetKey), targetDb);
        steps = ui->horizontalSliderLevelChange->value();
        text = ui->lineEditLevelChange->text();
    }
    if (controller)
        controller->stateActionNormalizeDlg_Finished(steps, text);
    QDialog::done(result);
}

void KvNormalizeDlg::closeEvent(QCloseEvent *event)
{
    stopPeakScan(StopForRestart);
    QDialog::closeEvent(event);
    event->accept();
}
