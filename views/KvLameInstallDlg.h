#pragma once
// Notice shown by the recording and conversion dialogs while no LAME MP3 encoder is set up.
#include <QDialog>

#include <memory>

namespace Ui { class KvLameInstallDlg; }

class KvLameInstallDlg : public QDialog {
    Q_OBJECT
public:
    explicit KvLameInstallDlg(QWidget *parent = nullptr);
    ~KvLameInstallDlg() override;

    // The do-not-show-again box; the caller writes the setting after exec().
    bool dontShowAgain() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void on_pushButtonClose_clicked();

private:
    std::unique_ptr<Ui::KvLameInstallDlg> ui;
};
