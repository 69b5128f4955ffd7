#include "KvInsertSilenceDlg.h"
#include "ui_KvInsertSilenceDlg.h"

#include <KvFrameSizeInfo.h>
#include <KvQmlController.h>

#include <QPushButton>
#include <QSettings>

#include <cmath>

namespace {
const char kKeyLastSeconds[] = "Settings/InsertSilenceLastNumSecs";
} // namespace

KvInsertSilenceDlg::KvInsertSilenceDlg(const boost::shared_ptr<KvFrameSizeInfo> &format, QWidget *parent,
                                       KvQmlController *controller)
    : QDialog(parent), controller(controller ? controller : KvQmlController::instance()), format(format),
      ui(new Ui::KvInsertSilenceDlg)
{
    ui->setupUi(this);
    seconds = QSettings().value(kKeyLastSeconds, 0.0).toDouble();
    frames = this->format ? framesForSeconds(seconds, *this->format) : 0;
    if (frames > 0) {
        // Hundredths are enough to show; the text-changed slot works out the rest.
        const double shown = double(qint64(seconds * 100.0 + 0.5)) / 100.0;
        ui->lineEditInsSilentSecs->setText(QString::number(shown, 'g', 6));
    } else {
        readSeconds(ui->lineEditInsSilentSecs->text());
        updateOk();
    }
    adjustSize();
}

KvInsertSilenceDlg::~KvInsertSilenceDlg() = default;

qint64 KvInsertSilenceDlg::framesForSeconds(double seconds, const KvFrameSizeInfo &format)
{
    if (format.samplesPerFrame() <= 0)
        return 0;
    const double x = seconds * format.sampleRate() / format.samplesPerFrame() + 0.5;
    // Outside this range the conversion to an integer would be undefined.
    if (!std::isfinite(x) || std::fabs(x) >= 9.0e18)
        return 0;
    return qint64(x);
}

void KvInsertSilenceDlg::readSeconds(const QString &text)
{
    seconds = text.toDouble();  // no number reads as 0
    frames = format ? framesForSeconds(seconds, *format) : 0;
}

bool KvInsertSilenceDlg::isValid() const
{
    return frames > 0 && seconds <= maximumSeconds;
}

void KvInsertSilenceDlg::updateOk()
{
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(isValid());
}

void KvInsertSilenceDlg::on_lineEditInsSilentSecs_textChanged(const QString &text)
{
    readSeconds(text);
    updateOk();
}

void KvInsertSilenceDlg::done(int result)
{
    qint64 insert = 0;
    if (result == QDialog::Accepted) {
        readSeconds(ui->lineEditInsSilentSecs->text());
        // Accepting does not bypass the rule that keeps Ok disabled.
        if (isValid()) {
            insert = frames;
            // The length really inserted, not the one typed.
            QSettings().setValue(kKeyLastSeconds,
                                 double(frames) * format->samplesPerFrame() / format->sampleRate());
        }
    }
    if (controller)
        controller->stateActionInsertSilenceDlg_Finished(insert);
    QDialog::done(result);
}
