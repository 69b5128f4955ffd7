#pragma once
// Notice shown by the recording and conversion dialogs while no LAME MP3 encoder is set up.
#include "KvNoticeDlg.h"

#include <memory>

namespace Ui { class KvLameInstallDlg; }

class KvLameInstallDlg : public KvNoticeDlg {
    Q_OBJECT
public:
    // The caller writes the setting after exec(), from dontShowAgain().
    explicit KvLameInstallDlg(QWidget *parent = nullptr);
    ~KvLameInstallDlg() override;

private:
    std::unique_ptr<Ui::KvLameInstallDlg> ui;
};
