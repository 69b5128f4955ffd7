#include "KvOptions.h"

#include "KvDialogTexts.h"
#include "KvManual.h"

#include <KvMessageBox.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

#include <cmath>

const char KvOptions::tabIndexKey[] = "Settings/CurrentTabIndex";
const char KvOptions::lameLocationKey[] = "Settings/LameAppLocation";

namespace {
// Where Browse starts without a location: the LAME library's usual name.
const char kDefaultLameLibrary[] = "libmp3lame.so.0";
} // namespace

KvOptions::KvOptions(QWidget *parent) : QDialog(parent)
{
    ui.setupUi(this);
    frameBlockMaximum = ui.horizontalSliderFrameBlockTime->maximum();
    framePageMaximum = ui.horizontalSliderFramePageTime->maximum();
    QSettings settings;
    ui.tabWidgetAppearance->setCurrentIndex(settings.value(QLatin1String(tabIndexKey), 0).toInt());
    setWindowTitle(tr("Options"));
    resetAllWarnings = false;
    ui.lineEditLameApp->setText(settings.value(QLatin1String(lameLocationKey), QString()).toString());
    ui.labelDbIncDec->setText(dbText(ui.spinBoxVolIncDec->value()));
    ui.labelDbFade->setText(dbText(ui.spinBoxVolFade->value()));
    for (QLabel *label : {ui.label, ui.label_acm_encoder, ui.label_7})
        label->setText(withQuotedAppName(label->text()));
    // The FAQ topics on the encoders are in the manual that comes with the program.
    for (QLabel *link : {ui.label_2, ui.label_acm_encoder_link})
        connect(link, &QLabel::linkActivated, this, [this] { openManual(this); });
    adjustSize();
    updateGeometry();
}

KvOptions::~KvOptions()
{
    // Whatever ended the dialog, the next one opens on the same tab.
    QSettings().setValue(QLatin1String(tabIndexKey), ui.tabWidgetAppearance->currentIndex());
}

QString KvOptions::dbText(int steps)
{
    // ln(2^(n/4)) / (ln(10)/20): 20·log10 of the amplitude factor.
    const double level = std::log(std::pow(2.0, steps * 0.25)) / 0.11512925464970228;
    return QStringLiteral("%1 dB").arg(level, 6, 'f', 1);
}

bool KvOptions::isValidNavigationTime(double seconds)
{
    return std::isfinite(seconds) && seconds > 0.0 && seconds <= maximumNavigationSecs;
}

void KvOptions::setFrameBlockTime(double seconds)
{
    ui.lineEditFrameBlockTime->setText(QString::number(seconds, 'g', 6));
}

void KvOptions::setFramePageTime(double seconds)
{
    ui.lineEditFramePageTime->setText(QString::number(seconds, 'g', 6));
}

double KvOptions::frameBlockTime() const { return ui.lineEditFrameBlockTime->text().toDouble(); }
double KvOptions::framePageTime() const { return ui.lineEditFramePageTime->text().toDouble(); }

void KvOptions::followText(const QString &text, QSlider *slider, int formMaximum)
{
    const double seconds = text.toDouble();
    // Times OK would refuse leave the slider where it is (and keep the tenths in range).
    if (!isValidNavigationTime(seconds))
        return;
    const int v = int(seconds * 10.0);
    if (v <= 0 || v == slider->value())
        return;
    if (v > slider->maximum()) {
        slider->setMaximum(v);
    } else if (v <= formMaximum) {
        slider->setMaximum(formMaximum);
    }
    slider->setValue(v);
}

void KvOptions::on_lineEditFrameBlockTime_textChanged(const QString &text)
{
    followText(text, ui.horizontalSliderFrameBlockTime, frameBlockMaximum);
}

void KvOptions::on_lineEditFramePageTime_textChanged(const QString &text)
{
    followText(text, ui.horizontalSliderFramePageTime, framePageMaximum);
}

void KvOptions::on_horizontalSliderFrameBlockTime_valueChanged(int value)
{
    ui.lineEditFrameBlockTime->setText(QString::number(value / 10.0, 'g', 6));
}

void KvOptions::on_horizontalSliderFramePageTime_valueChanged(int value)
{
    ui.lineEditFramePageTime->setText(QString::number(value / 10.0, 'g', 6));
}

void KvOptions::on_spinBoxVolIncDec_valueChanged(int value) { ui.labelDbIncDec->setText(dbText(value)); }
void KvOptions::on_spinBoxVolFade_valueChanged(int value) { ui.labelDbFade->setText(dbText(value)); }

void KvOptions::on_pushButtonResetAllWarnings_clicked() { resetAllWarnings = true; }

void KvOptions::on_pushButton_clicked() { ui.lineEditTrackNameFormat->setText(QStringLiteral("%0N %T")); }

QString KvOptions::chooseLameLocation(const QString &start)
{
    return QFileDialog::getOpenFileName(this, tr("Browse for lame application"), start,
                                        tr("LAME shared library (libmp3lame.so*);;LAME program (lame)"), nullptr,
                                        QFileDialog::DontResolveSymlinks);
}

void KvOptions::on_pushButtonBrowse_clicked()
{
    QString start = ui.lineEditLameApp->text().trimmed();
    if (!start.isEmpty())
        start = QDir(start).absolutePath();
    if (start.isEmpty())
        start = QLatin1String(kDefaultLameLibrary);
    const QString chosen = chooseLameLocation(start);
    if (!chosen.isEmpty() && QFile::exists(chosen))
        ui.lineEditLameApp->setText(chosen);
}

void KvOptions::on_buttonBox_accepted()
{
    const QString location = ui.lineEditLameApp->text();
    // A folder is no encoder: only a file passes.
    if (!location.isEmpty() && !QFileInfo(location).isFile()) {
        warningMessageBox(this, QCoreApplication::applicationName(),
                          tr("The LAME command line application was not found.\nPlease specify the correct location."),
                          QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    if (!isValidNavigationTime(frameBlockTime()) || !isValidNavigationTime(framePageTime())) {
        warningMessageBox(this, QCoreApplication::applicationName(),
                          tr("The frame navigation times must be numbers of seconds greater than 0 and at most %1.")
                              .arg(maximumNavigationSecs),
                          QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    QSettings().setValue(QLatin1String(lameLocationKey), location);
    accept();
}

void KvOptions::on_buttonBox_rejected() { reject(); }
