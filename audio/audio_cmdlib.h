#pragma once
// MP3 encoding through the user's LAME command-line program: raw PCM to its standard input,
// MP3 back from its standard output. PCM goes to the program unchanged (no SoundTouch).
#include "audio_lib.h"

#include <QProcess>
#include <QStringList>

#include <memory>

class audio_cmdlib : public audio_lib {
    Q_OBJECT
public:
    explicit audio_cmdlib(const KvAudioFrameReaderPtr &source = KvAudioFrameReaderPtr());
    ~audio_cmdlib() override;

    bool isAvailable() override;
    QString name() override;
    bool open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
              int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
              int resampleRate, bool encode) override;
    // PCM in, MP3 out; inLen 0 closes the program's input and drains what it still writes.
    int encode(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    void close() override {}
    audio_preset *presetSettings(int index) override;
    QString fileExtension() override;
    int decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    int encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;

    // The program's command line for these settings.
    static QStringList arguments(int channelsIn, int bitsPerSample, int sampleRate, int mode,
                                 int bitrate, int vbrQuality, double resampleRatio,
                                 int resampleRate);

    QString lameLocation() const { return m_lameLocation; }

private slots:
    void printOutput();
    void process_finished(int exitCode, QProcess::ExitStatus exitStatus);

private:
    void stopProcess();
    // Bytes waiting on standard output after a non-blocking poll; -1 on a read error.
    qint64 pollAvailable();
    // Finishing: waits until output comes or the program has stopped; bytes available.
    qint64 waitForOutput();
    // The program has stopped with a crash or a non-zero exit code (sets the error text).
    bool endedBadly();
    // The program's complaint, at most 1023 bytes of its standard error.
    QString takeStandardError();

    QString m_lameLocation;
    std::unique_ptr<QProcess> m_process;
    bool m_inputClosed = true;
};
