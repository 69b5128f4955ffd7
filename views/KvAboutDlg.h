#pragma once
// The about box: logo, product name, build number, rights notice, the maker's web
// site and the Qt run-time version.
#include <QDialog>

#include <memory>

class QAbstractButton;
namespace Ui { class KvAboutDlg; }

class KvAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit KvAboutDlg(QWidget *parent = nullptr);
    ~KvAboutDlg() override;

private slots:
    void on_buttonBox_clicked(QAbstractButton *button);

private:
    std::unique_ptr<Ui::KvAboutDlg> ui;
};
