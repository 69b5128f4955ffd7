#include "KvNoticeDlg.h"
#include "ui_KvConvertWarnDlg.h"
#include "ui_KvHeAacWarningDlg.h"
#include "ui_KvSaveProjWarnDlg.h"

#include "KvDialogTexts.h"

#include <QSettings>

namespace {

// The product name filled in, then the notice fitted to its text.
void fitNotice(QDialog *dialog, QLabel *label)
{
    label->setText(withQuotedAppName(label->text()));
    dialog->adjustSize();
    dialog->updateGeometry();
}

} // namespace

KvNoticeDlg::KvNoticeDlg(QWidget *parent, const char *settingsKey)
    : QDialog(parent), m_settingsKey(settingsKey)
{
}

KvNoticeDlg::~KvNoticeDlg()
{
    // The box is a child widget and still alive here.
    if (m_settingsKey && dontShowAgain())
        QSettings().setValue(QLatin1String(m_settingsKey), false);
}

bool KvNoticeDlg::dontShowAgain() const { return m_box && m_box->isChecked(); }

void KvNoticeDlg::setShowAgainBox(QCheckBox *box) { m_box = box; }

void KvNoticeDlg::on_pushButtonClose_clicked() { accept(); }

void KvNoticeDlg::resizeEvent(QResizeEvent *event)
{
    if (m_box)
        reflowShowAgainText(m_box, width() > height());
    QDialog::resizeEvent(event);
}

const char KvConvertWarnDlg::settingsKey[] = "Warnings/ShowConvertWarnDlg";

KvConvertWarnDlg::KvConvertWarnDlg(QWidget *parent)
    : KvNoticeDlg(parent, settingsKey), ui(new Ui::KvConvertWarnDlg)
{
    ui->setupUi(this);
    setShowAgainBox(ui->checkBoxDontShowAgain);
    fitNotice(this, ui->labelConvertWarning);
}

KvConvertWarnDlg::~KvConvertWarnDlg() = default;

const char KvSaveProjWarnDlg::settingsKey[] = "Warnings/ShowSaveProjWarnDlg";

KvSaveProjWarnDlg::KvSaveProjWarnDlg(QWidget *parent)
    : KvNoticeDlg(parent, settingsKey), ui(new Ui::KvSaveProjWarnDlg)
{
    ui->setupUi(this);
    setShowAgainBox(ui->checkBoxDontShowAgain);
    fitNotice(this, ui->labelSaveProjWarning);
}

KvSaveProjWarnDlg::~KvSaveProjWarnDlg() = default;

KvHeAacWarningDlg::KvHeAacWarningDlg(QWidget *parent) : QDialog(parent), ui(new Ui::KvHeAacWarningDlg)
{
    ui->setupUi(this);
    fitNotice(this, ui->labelSaveProjWarning);
}

KvHeAacWarningDlg::~KvHeAacWarningDlg() = default;
