#include "KvLameInstallDlg.h"

#include "ui_KvLameInstallDlg.h"

KvLameInstallDlg::KvLameInstallDlg(QWidget *parent)
    : KvNoticeDlg(parent, nullptr), ui(new Ui::KvLameInstallDlg)
{
    ui->setupUi(this);
    setShowAgainBox(ui->checkBoxDontShowAgain);
    ui->labelInstallLame->setText(ui->labelInstallLame->text().arg(tr("Options")));
    adjustSize();
    updateGeometry();
}

KvLameInstallDlg::~KvLameInstallDlg() = default;
