#pragma once
// Volume, pitch and tempo of playback: three sliders with a reset button each,
// shown in the main window's status bar. The values go out as signals; while a
// slider is pressed or moved a tooltip above it tells the value in words. The
// volume is kept between runs.
#include <QRect>
#include <QWidget>

#include <memory>

namespace Ui { class KvPlaybackControls; }

class KvPlaybackControls : public QWidget
{
    Q_OBJECT

public:
    explicit KvPlaybackControls(QWidget *parent = nullptr);
    ~KvPlaybackControls() override;

    // Sends the three current values, so that playback starts with them.
    void emitAllValues();
    int pitchSliderValue() const;
    // 0 .. 100, 50 = unchanged.
    int tempoSliderValue() const;
    // The volume (0), pitch (1) or tempo (2) row; empty for any other value.
    QRect controlRect(int which) const;

    void showVolumeTip(int value);
    void showPitchTip(int value);
    void showTempoTip(int value);

    // The tooltip texts and the tempo change in percent for a slider value.
    static QString volumeText(int value);
    static QString pitchText(int value);
    static QString tempoText(int percent);
    static double tempoPercent(int value);

signals:
    void VolumeChanged(double value);
    void PitchChanged(double value);
    void TempoChanged(double value);

private slots:
    void on_horizontalSliderVol_valueChanged(int value);
    void on_horizontalSliderPitch_valueChanged(int value);
    void on_horizontalSliderTempo_valueChanged(int value);
    void on_horizontalSliderVol_sliderPressed();
    void on_horizontalSliderPitch_sliderPressed();
    void on_horizontalSliderTempo_sliderPressed();
    void on_pushButtonVolReset_clicked();
    void on_pushButtonPitchReset_clicked();
    void on_pushButtonTempoReset_clicked();

private:
    void showTip(QWidget *slider, const QString &text);

    std::unique_ptr<Ui::KvPlaybackControls> ui;
    int m_defaultVolume = 0;
    int m_defaultPitch = 0;
    int m_defaultTempo = 0;
};
