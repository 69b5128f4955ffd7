#include "KvLameInstallDlg.h"

#include "ui_KvLameInstallDlg.h"

KvLameInstallDlg::KvLameInstallDlg(QWidget *parent) : QDialog(parent), ui(new Ui::KvLameInstallDlg)
{
    ui->setupUi(this);
    ui->labelInstallLame->setText(ui->labelInstallLame->text().arg(tr("Options")));
    adjustSize();
    updateGeometry();
}

KvLameInstallDlg::~KvLameInstallDlg() = default;

bool KvLameInstallDlg::dontShowAgain() const { return ui->checkBoxDontShowAgain->isChecked(); }

void KvLameInstallDlg::on_pushButtonClose_clicked() { accept(); }

void KvLameInstallDlg::resizeEvent(QResizeEvent *event)
{
    // A wide notice has room for the box's text on one line.
    QString text = ui->checkBoxDontShowAgain->text();
    if (width() > height())
        text.replace(QLatin1String("show this\n"), QLatin1String("show this "));
    else
        text.replace(QLatin1String("show this "), QLatin1String("show this\n"));
    ui->checkBoxDontShowAgain->setText(text);
    QDialog::resizeEvent(event);
}
