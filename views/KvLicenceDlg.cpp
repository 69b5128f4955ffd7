#include "KvLicenceDlg.h"

#include "ui_KvLicenceDlg.h"

KvLicenceDlg::KvLicenceDlg(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::KvLicenceDlg)
{
    ui->setupUi(this);
    adjustSize();
    updateGeometry();
}

KvLicenceDlg::~KvLicenceDlg() = default;

void KvLicenceDlg::on_pushButtonAccept_clicked() { accept(); }

void KvLicenceDlg::on_pushButtonDecline_clicked() { reject(); }
