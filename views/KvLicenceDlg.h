#pragma once
// The end-user agreement, shown at start-up when the settings ask for it.
// It only reports the button pressed; start-up decides what follows.
#include <QDialog>

#include <memory>

namespace Ui { class KvLicenceDlg; }

class KvLicenceDlg : public QDialog {
    Q_OBJECT
public:
    explicit KvLicenceDlg(QWidget *parent = nullptr);
    ~KvLicenceDlg() override;

private slots:
    void on_pushButtonAccept_clicked();
    void on_pushButtonDecline_clicked();

private:
    std::unique_ptr<Ui::KvLicenceDlg> ui;
};
