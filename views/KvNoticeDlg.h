#pragma once
// Notices shown at the moment they matter: before a conversion, when a project is
// saved, and when an HE-AAC file is opened. The first two carry a do-not-show-again
// box whose setting turns them off until the warnings are reset in the options.
#include <QDialog>

#include <memory>

class QCheckBox;
namespace Ui {
class KvConvertWarnDlg;
class KvSaveProjWarnDlg;
class KvHeAacWarningDlg;
} // namespace Ui

// A notice with a do-not-show-again box and a Close button.
class KvNoticeDlg : public QDialog {
    Q_OBJECT
public:
    ~KvNoticeDlg() override;
    bool dontShowAgain() const;

protected:
    // settingsKey: written false by the destructor, whatever closed the notice, when
    // the box is ticked; null when the caller writes its own setting.
    KvNoticeDlg(QWidget *parent, const char *settingsKey);
    // Called by the subclass once its form is built.
    void setShowAgainBox(QCheckBox *box);
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void on_pushButtonClose_clicked();

private:
    const char *m_settingsKey;
    QCheckBox *m_box = nullptr;
};

class KvConvertWarnDlg : public KvNoticeDlg {
    Q_OBJECT
public:
    static const char settingsKey[];  // "Warnings/ShowConvertWarnDlg"
    explicit KvConvertWarnDlg(QWidget *parent = nullptr);
    ~KvConvertWarnDlg() override;

private:
    std::unique_ptr<Ui::KvConvertWarnDlg> ui;
};

class KvSaveProjWarnDlg : public KvNoticeDlg {
    Q_OBJECT
public:
    static const char settingsKey[];  // "Warnings/ShowSaveProjWarnDlg"
    explicit KvSaveProjWarnDlg(QWidget *parent = nullptr);
    ~KvSaveProjWarnDlg() override;

private:
    std::unique_ptr<Ui::KvSaveProjWarnDlg> ui;
};

// Asks OK or Cancel each time; Cancel means the file is not loaded.
class KvHeAacWarningDlg : public QDialog {
    Q_OBJECT
public:
    explicit KvHeAacWarningDlg(QWidget *parent = nullptr);
    ~KvHeAacWarningDlg() override;

private:
    std::unique_ptr<Ui::KvHeAacWarningDlg> ui;
};
