#pragma once
// The modal "Audio Conversion" dialog: choose encoder, bitrate mode, channels, sample
// rate, preset, pitch and tempo; convert the document, the selection or every track
// through a KvConvertWorker with progress, pause and resume; then save or discard.
#include <KvEncoderFactory.h>
#include <audio_preset.h>

#include <QAudio>
#include <QDialog>
#include <QList>
#include <QPalette>

#include <boost/shared_ptr.hpp>

#include <memory>

class KvConvertWorker;
class KvQmlController;
class KvQmlModel;
class KvRepackInfoPtrList;
class QAbstractButton;
namespace Ui { class KvConvert; }

class KvConvert : public QDialog {
    Q_OBJECT
public:
    typedef boost::shared_ptr<KvRepackInfoPtrList> ListPtr;

    // pitch: semitones (-12 .. 12); tempo: slider position (0 .. 100, 50 = unchanged).
    KvConvert(KvQmlController *controller, const QList<ListPtr> &lists, QWidget *parent, int pitch,
              int tempo, bool tracks, bool selection);
    ~KvConvert() override;

    void setVisible(bool visible) override;

    bool startConversion();
    void updateButtons(bool converting);
    // The factor a tempo slider position stands for (0.5 at 0, 1.0 at 50, 3.0 at 100).
    static double tempoFactor(int sliderValue);

    boost::shared_ptr<KvConvertWorker> worker() const { return m_worker; }
    QList<KvAudioLibPtr> encoders() const { return m_encoders; }
    bool isSaved() const { return m_saved; }
    bool isPaused() const { return m_paused; }
    QString lastSavePath() const { return m_lastSavePath; }

public slots:
    void accept() override;
    void reject() override;
    virtual void stopConversion();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_pushButtonConvert_clicked();
    void toggleSuspend();
    void audioStateChanged(QAudio::State state);
    void convertFinished(bool savedOk);
    void disableConvert(bool notPossible = true);
    void decodeProgress(int percent);
    void on_buttonBox_clicked(QAbstractButton *button);
    void on_comboBoxConvertEncoder_currentIndexChanged(int index);
    void on_comboBoxConvertEncoder_currentIndexChanged(const QString &) {}
    void on_comboBoxConvertSampFreq_currentIndexChanged(int index);
    void on_comboBoxConvertFormat_currentIndexChanged(int index);
    void on_radioButtonEncodeCBR_toggled(bool checked);
    void on_radioButtonMono_toggled(bool checked);
    void on_radioButtonStereo_toggled(bool checked);
    void on_radioButtonEncodeVBR_toggled(bool checked);
    void on_radioButtonEncodeABR_toggled(bool checked);
    void on_horizontalSliderPitch_valueChanged(int value);
    void on_horizontalSliderTempo_valueChanged(int value);
    void on_pushButtonPitchReset_clicked();
    void on_pushButtonTempoReset_clicked();

private:
    typedef std::shared_ptr<audio_preset> PresetPtr;

    void loadSettings();
    void writeSettings();
    void fillEncoderCombos(QString formatText, int channels, int rate);
    void fillPass(QString formatText, int channels, int rate);
    void markIncomplete();
    void setControlsEnabled(bool enabled);
    void showSliderTip(class QSlider *slider, const QString &text);

    boost::shared_ptr<KvConvertWorker> m_worker;
    QList<KvAudioLibPtr> m_encoders;
    bool m_mp3Available = false;
    bool m_paused = false;
    bool m_updating = false;
    QWidget *m_mainWindow = nullptr;
    KvQmlModel *m_model = nullptr;
    KvQmlController *m_controller = nullptr;
    QList<PresetPtr> m_presets;
    QList<PresetPtr> m_visiblePresets;
    QString m_lastSavePath;
    bool m_saved = false;
    bool m_tracksMode = false;
    bool m_selectionMode = false;
    QPalette m_errorPalette;
    QPalette m_normalPalette;
    int m_initialPitch = 0;
    int m_initialTempo = 50;
    std::unique_ptr<Ui::KvConvert> ui;
};
