#pragma once
// Normalize: finds the peak level of a working copy of the selection on a decode
// thread, proposes the volume change toward a target level as a whole number of gain
// steps (1.505 dB each) that never takes the peak above the target, and hands the
// chosen change to the controller when it closes.
//
// A decoder clips at full scale and rounds, so the copy is scanned with a gain
// shift, the step count is checked for being unambiguous, and the scan is repeated
// at a better shift for up to 8 seconds before a problem is reported.
#include <QDialog>
#include <QElapsedTimer>
#include <QPalette>
#include <QPointer>
#include <QRect>

#include <boost/shared_ptr.hpp>

#include <memory>

class KvDecodeThread;
class KvQmlController;
class KvRepackInfoPtrList;
class QAbstractButton;
class QDoubleValidator;
class QIntValidator;
namespace Ui { class KvNormalizeDlg; }

class KvNormalizeDlg : public QDialog {
    Q_OBJECT
public:
    static const char targetKey[];  // "Settings/NormalizeTargetdB"

    // frames: the working copy, prepared for streaming; the dialog shifts its gains.
    // controller: the one answered when the dialog closes; null for the program's one.
    KvNormalizeDlg(const boost::shared_ptr<KvRepackInfoPtrList> &frames, QWidget *parent = nullptr,
                   KvQmlController *controller = nullptr);
    ~KvNormalizeDlg() override;

    // "+3.2", "0.0", "-1.5".
    static QString formatDb(double x);

    void done(int result) override;

public slots:
    void MaxVolumes(qint16 leftMaxVol, qint16 rightMaxVol);
    void decodeProgress(int percent);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void availableGeometryChanged(QRect geometry);
    void on_horizontalSliderLevelChange_valueChanged(int value);
    void on_pushButtonRecalc_clicked();
    void on_pushButtonStop_clicked();
    void on_buttonBox_clicked(QAbstractButton *button);
    void setdBTextWarningColor(QWidget *lineEdit, double dB);
    void on_lineEditTargetdB_textChanged(const QString &newText);
    void on_lineEditTargetdB_2_textChanged(const QString &newText);
    void on_pushButtonMinusStep_clicked();
    void on_pushButtonPlusStep_clicked();
    void on_lineEditChangeSteps_textChanged(const QString &newText);

private:
    enum StopCode { StopByUser = -1, StopForRestart = -2 };

    void applyGainShift(int steps);
    void startPeakScan();
    void stopPeakScan(StopCode code);
    void evaluatePeakScan(qint16 left, qint16 right, bool interactive);
    void reportScanProblem(const QString &message, const QString &peakText, bool interactive);
    void reportScanFailure(const QString &reason);
    void rescanWithShift();
    void setLevelChange(int steps);
    void applyOrientation(const QRect &available);
    void setPeakTexts(const QString &text);
    void setNewLevelTexts(const QString &text);
    void setProgress(int value);
    void setButtonEnabled(int standardButton, bool enabled);

    QPointer<KvQmlController> controller;
    boost::shared_ptr<KvRepackInfoPtrList> frames;
    QPointer<KvDecodeThread> scanThread;
    int scanShift = -16;
    int computedChange = 0;
    int shownChange = 0;
    bool scanValid = false;
    qint16 leftPeak = -1;
    qint16 rightPeak = -1;
    double peakLevel = 0.0;
    double targetDb = 0.0;
    QDoubleValidator *targetValidator = nullptr;
    QIntValidator *stepsValidator = nullptr;
    QElapsedTimer scanStartTime;
    QPalette warningPalette;
    QPalette normalPalette;
    double progressBase = 0.0;
    int orientation = 0;
    std::unique_ptr<Ui::KvNormalizeDlg> ui;
};
