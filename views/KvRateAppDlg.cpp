#include "KvRateAppDlg.h"
#include "ui_KvRateAppDlg.h"

#include "KvDialogTexts.h"

#include <KvQmlController.h>

#include <QColor>
#include <QDesktopServices>
#include <QSettings>
#include <QUrl>

namespace {
const char kLinkColor[] = "#094fd1";
} // namespace

const char KvRateAppDlg::showKey[] = "Warnings/ShowRateAppDlg2022-01-12";
const char KvRateAppDlg::lastShownKey[] = "Warnings/LastShowOnDaysUsed";
const char KvRateAppDlg::reviewPage[] = "https://www.veltranix.example/rate";

KvRateAppDlg::KvRateAppDlg(bool isAutomatic, QWidget *parent) : QDialog(parent), ui(new Ui::KvRateAppDlg)
{
    ui->setupUi(this);
    if (!isAutomatic) {
        // Asking for the prompt turns the automatic offer back on.
        ui->checkBoxDontShowAgain->hide();
        QSettings().setValue(QLatin1String(showKey), true);
    }
    setWindowTitle(withQuotedAppName(windowTitle()));
    updateTexts(ui->labelRate);
    updateTexts(ui->labelRateApp);
    updateTexts(ui->labelAlt);
    updateTexts(ui->labelContact);
    adjustSize();
    updateGeometry();
}

KvRateAppDlg::~KvRateAppDlg()
{
    QSettings settings;
    settings.setValue(QLatin1String(lastShownKey), KvQmlController::UpdateTotalDaysUsed());
    if (ui->checkBoxDontShowAgain->isChecked())
        settings.setValue(QLatin1String(showKey), false);
    if (feedbackGiven) {
        if (KvQmlController *controller = KvQmlController::instance())
            controller->setToastMessage(QObject::tr("Thanks for your feedback! ") + QString::fromUcs4(U"\U0001F929"));
    }
}

void KvRateAppDlg::updateTexts(QLabel *label)
{
    QString text = withQuotedAppName(label->text());
    text.replace(QLatin1String("Mac App store"), QLatin1String("review website"));
    // The links' fixed blue, lightened on a dark background.
    text.replace(QLatin1String(kLinkColor),
                 KvQmlController::registeredDarkModeColor(QColor(QLatin1String(kLinkColor))).name());
    label->setText(text);
}

bool KvRateAppDlg::openLink(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

void KvRateAppDlg::openReviewPage()
{
    // A page that did not open was not used to rate: the offer and the thanks wait.
    if (!openLink(QUrl(QLatin1String(reviewPage), QUrl::StrictMode)))
        return;
    QSettings().setValue(QLatin1String(showKey), false);
    feedbackGiven = true;
}

void KvRateAppDlg::on_labelRate_linkActivated(const QString &) { openReviewPage(); }
void KvRateAppDlg::on_pushButtonTop_clicked() { openReviewPage(); }
void KvRateAppDlg::on_pushButtonLeft_clicked() { openReviewPage(); }

void KvRateAppDlg::on_labelContact_linkActivated(const QString &link)
{
    if (openLink(QUrl(link, QUrl::StrictMode)))
        feedbackGiven = true;
}

void KvRateAppDlg::on_pushButtonClose_clicked() { accept(); }

void KvRateAppDlg::resizeEvent(QResizeEvent *event)
{
    // The rate button stands left of the text in a wide dialog and above it in a tall
    // one; the text says where.
    const bool wide = width() > height();
    ui->pushButtonLeft->setVisible(wide);
    ui->pushButtonTop->setVisible(!wide);
    ui->horizontalLayoutTop->setEnabled(!wide);
    QString text = ui->labelRateApp->text();
    if (wide)
        text.replace(QLatin1String("above"), QLatin1String("to the left"));
    else
        text.replace(QLatin1String("to the left"), QLatin1String("above"));
    ui->labelRateApp->setText(text);
    reflowShowAgainText(ui->checkBoxDontShowAgain, wide);
    QDialog::resizeEvent(event);
    updateGeometry();
}
