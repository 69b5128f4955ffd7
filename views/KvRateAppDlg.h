#pragma once
// Asks the user to rate the program on a review website or to contact support.
// Offered by the Rate command and, after exports and conversions, by the controller
// itself; keeps its own show-again settings and thanks the user who followed a link.
#include <QDialog>

#include <memory>

class QUrl;
namespace Ui { class KvRateAppDlg; }

class KvRateAppDlg : public QDialog {
    Q_OBJECT
public:
    static const char showKey[];      // "Warnings/ShowRateAppDlg2022-01-12"
    static const char lastShownKey[]; // "Warnings/LastShowOnDaysUsed"
    static const char reviewPage[];

    // isAutomatic: offered by the controller rather than opened by the user.
    explicit KvRateAppDlg(bool isAutomatic, QWidget *parent = nullptr);
    ~KvRateAppDlg() override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Hands the address to the desktop; true when the link was opened.
    virtual bool openLink(const QUrl &url);

private slots:
    void on_labelRate_linkActivated(const QString &link);
    void on_labelContact_linkActivated(const QString &link);
    void on_pushButtonClose_clicked();
    void on_pushButtonTop_clicked();
    void on_pushButtonLeft_clicked();

private:
    void openReviewPage();
    void updateTexts(class QLabel *label);

    std::unique_ptr<Ui::KvRateAppDlg> ui;
    bool feedbackGiven = false;
};
