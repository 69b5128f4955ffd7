#pragma once
// The modal "Audio Recording" dialog: choose device and encoding, record with pause and
// resume, watch time and level, then save the take or discard it. The same object also
// records without being shown (startRecordingWithSettings / takeRecording).
#include <AudioInfo.h>
#include <KvCaptureDevice.h>
#include <KvInputLevel.h>
#include <audio_preset.h>

#include <QAudio>
#include <QDialog>
#include <QList>
#include <QPalette>
#include <QTimer>

#include <memory>

class KvQmlController;
class KvRecordThread;
class QAbstractButton;
namespace Ui { class KvRecord; }

class KvRecord : public QDialog {
    Q_OBJECT
public:
    KvRecord(KvQmlController *controller, QWidget *parent);
    ~KvRecord() override;

    void setVisible(bool visible) override;

    bool startRecording();
    // Invokable: the controller's internal recorder runs these by name (it sits below
    // the views and knows the recorder only as an object).
    Q_INVOKABLE bool startRecordingWithSettings(const QString &fileExtension, int channels, int bitrate,
                                                int sampleRate);
    Q_INVOKABLE bool takeRecording(const QString &path);
    Q_INVOKABLE void stopRecordThread();
    void setRecordingFinished(bool failed);
    void updateButtons(bool recording);

    KvRecordThread *recordThread() const { return m_thread; }
    QAudioFormat captureFormat() const { return m_format; }
    bool isSaved() const { return m_saved; }
    QString lastSavePath() const { return m_lastSavePath; }

public slots:
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_pushButtonRecord_clicked();
    void toggleSuspend();
    void processedAudio(qint64 processedUSecs, qint16 volumeLeft, qint16 volumeRight);
    void audioStateChanged(QAudio::State state);
    void recordFinished();
    void InputLevelCheck();
    void on_buttonBox_clicked(QAbstractButton *button);
    void on_sliderInputLevel_valueChanged(int value);

    // Format selection.
    void on_comboBoxInputDev_currentIndexChanged(int index);
    void on_comboBoxRecordingEncoder_currentIndexChanged(int index);
    void on_comboBoxRecordingSampFreq_currentIndexChanged(int index);
    void on_comboBoxRecordingFormat_currentIndexChanged(int index);
    void on_radioButtonEncodeCBR_toggled(bool checked);
    void on_radioButtonEncodeVBR_toggled(bool checked);
    void on_radioButtonEncodeABR_toggled(bool checked);
    void on_radioButtonMono_toggled(bool checked);
    void on_radioButtonStereo_toggled(bool checked);

private:
    typedef std::shared_ptr<audio_preset> PresetPtr;

    void loadSettings();
    void writeSettings();
    void updateFormatControls(QString wantedFormat, int wantedChannels, int wantedRate,
                              bool want24Bit);
    void formatPass(QString wantedFormat, int wantedChannels, int wantedRate, bool want24Bit);
    void updatePalettes();
    void repairModes();
    void repairChannels();
    int deviceDefaultRate() const;
    bool startThread(const KvCaptureDevice &device, const KvAudioLibPtr &encoder, int mode,
                     int bitrate, int vbrQuality, int channels, int resampleRate, bool relayAll);
    static QString recordingExtension(const KvAudioLibPtr &encoder);

    std::unique_ptr<Ui::KvRecord> ui;
    KvCaptureProviderPtr m_provider;
    KvCaptureDevice m_device;
    bool m_stereoSupported = false;
    bool m_bit24Supported = false;
    QAudioFormat m_format;
    bool m_mp3EncoderPresent = false;
    KvRecordThread *m_thread = nullptr;
    bool m_recordingStarted = false;
    bool m_paused = false;
    QList<KvAudioLibPtr> m_encoders;
    bool m_updating = false;
    QWidget *m_mainWindow = nullptr;
    KvQmlController *m_controller = nullptr;
    QList<PresetPtr> m_allPresets;
    QList<PresetPtr> m_shownPresets;
    QString m_lastSavePath;
    bool m_saved = false;
    QPalette m_warningPalette;
    QPalette m_normalPalette;
    KvInputLevel m_inputLevel;
    QTimer m_levelTimer;
    bool m_inReject = false;
};
