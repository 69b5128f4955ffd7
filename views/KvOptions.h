#pragma once
// The options dialog: how the frame display looks and moves, the tool bars, the gain
// steps of the volume and fade commands, track naming and an alternative LAME
// encoder. The Options command fills it, runs it and copies the values back on OK;
// the dialog itself stores only the LAME location and the tab last shown.
#include "ui_KvOptions.h"

#include <QDialog>

class KvOptions : public QDialog {
    Q_OBJECT
public:
    static const char tabIndexKey[];     // "Settings/CurrentTabIndex"
    static const char lameLocationKey[]; // "Settings/LameAppLocation"
    // The longest frame navigation time accepted, in seconds.
    static constexpr double maximumNavigationSecs = 86400.0;

    explicit KvOptions(QWidget *parent = nullptr);
    ~KvOptions() override;

    void setFrameBlockTime(double seconds);
    void setFramePageTime(double seconds);
    // The typed text as seconds; 0.0 for text that is no number.
    double frameBlockTime() const;
    double framePageTime() const;

    // Gain steps as decibels, right-aligned: 4 gives "   6.0 dB".
    static QString dbText(int steps);
    // A navigation time that OK lets through.
    static bool isValidNavigationTime(double seconds);

    bool resetAllWarnings = false;
    Ui_KvOptionsClass ui;

protected:
    // The file chooser of Browse; tests answer without a dialog. Empty: nothing chosen.
    virtual QString chooseLameLocation(const QString &start);

private slots:
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();
    void on_spinBoxVolIncDec_valueChanged(int value);
    void on_spinBoxVolFade_valueChanged(int value);
    void on_pushButtonResetAllWarnings_clicked();
    void on_pushButtonBrowse_clicked();
    void on_pushButton_clicked();
    void on_lineEditFrameBlockTime_textChanged(const QString &text);
    void on_lineEditFramePageTime_textChanged(const QString &text);
    void on_horizontalSliderFrameBlockTime_valueChanged(int value);
    void on_horizontalSliderFramePageTime_valueChanged(int value);

private:
    static void followText(const QString &text, QSlider *slider, int formMaximum);

    int frameBlockMaximum = 0;
    int framePageMaximum = 0;
};
