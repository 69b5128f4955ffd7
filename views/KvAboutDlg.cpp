#include "KvAboutDlg.h"
#include "ui_KvAboutDlg.h"

#include "KvDialogTexts.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QSysInfo>

namespace {
const char kPlaceholderVersion[] = "1.1.0.999999";
const char kLogo[] = ":/Resources/mp3Morvelta_512.png";
} // namespace

KvAboutDlg::KvAboutDlg(QWidget *parent) : QDialog(parent), ui(new Ui::KvAboutDlg)
{
    ui->setupUi(this);
    const QString name = QCoreApplication::applicationName() + QChar(0x2122);

    // Drawn at the screen's density so that the 128-pixel logo stays sharp.
    const qreal ratio = devicePixelRatioF();
    QPixmap logo{QString::fromLatin1(kLogo)};
    if (!logo.isNull()) {
        logo = logo.scaledToHeight(qRound(128 * ratio), Qt::SmoothTransformation);
        logo.setDevicePixelRatio(ratio);
        ui->labelIconLogo->setPixmap(logo);
    }

    ui->labelProduct->setText(ui->labelProduct->text().replace(QLatin1String(kvFormProductName), name));
    ui->labelBuildNo->setText(ui->labelBuildNo->text().replace(
        QLatin1String(kPlaceholderVersion),
        QCoreApplication::applicationVersion() + QStringLiteral(" [") + QSysInfo::buildCpuArchitecture()
            + QStringLiteral("]")));
    ui->labelQtVer->setText(
        ui->labelQtVer->text().replace(QLatin1String(kPlaceholderVersion), QLatin1String(qVersion())));
    adjustSize();
    updateGeometry();
}

KvAboutDlg::~KvAboutDlg() = default;

void KvAboutDlg::on_buttonBox_clicked(QAbstractButton *)
{
    accept();
}
