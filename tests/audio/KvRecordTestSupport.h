#pragma once
// Helpers of the recording tests: encoder back-ends that stand in for the LAME library and
// the AAC encoder, an answering machine for modal boxes and file dialogs, and scoped
// replacement of the back-end makers.
#include <KvEncoderFactory.h>
#include <audio_lib.h>

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace kvrectest {

// Copies PCM through as its "encoded" stream; presets and name as configured.
class ListEncoder : public audio_lib {
    Q_OBJECT
public:
    enum Kind { Lame, Aac };
    explicit ListEncoder(Kind kind) : audio_lib(KvAudioFrameReaderPtr()), m_kind(kind) {}

    bool isAvailable() override { return true; }
    QString name() override;
    QString fileExtension() override { return m_kind == Aac ? "aac" : "mp3"; }
    bool open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
              int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
              int resampleRate, bool encode) override;
    void close() override {}
    audio_preset *presetSettings(int index) override;
    int decodeChunk(const char *, int, char *, int, int *outLen) override { *outLen = 0; return -1; }
    int encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    int encode(const char *in, int inLen, char *out, int outCap, int *outLen) override;

    // What the last open was given.
    struct OpenArgs {
        int channelsIn = 0, bitsPerSample = 0, sampleRate = 0, mode = 0, bitrate = 0, vbrQuality = 0;
        double resampleRatio = 0;
        int channelsOut = 0, resampleRate = 0;
    };
    static OpenArgs lastOpen;
    static QString failOpenWith;  // non-empty: open fails with this error text
    static bool failEncode;       // every encode fails

private:
    Kind m_kind;
};

// Makers with the given back-ends only (empty list: none at all), restored at scope end.
class ScopedEncoders {
public:
    // BuiltIn: the installed-codec MP3 encoder and the WAV writer; Program: every real back-end,
    // as the program offers them.
    enum Set { LameOnly, AacOnly, LameAndAac, None, BuiltIn, Program };
    explicit ScopedEncoders(Set set);
    ~ScopedEncoders();

private:
    KvBackendMakers m_previous;
};

// Answers the application's modal dialogs as they appear: each message box is recorded
// (its text) and answered with the next planned button; each file dialog gets the next
// planned file name (an empty name cancels).
class ModalResponder : public QObject {
    Q_OBJECT
public:
    ModalResponder();
    ~ModalResponder() override;

    void answerBoxes(const QList<int> &buttons) { m_buttons = buttons; }
    void answerFiles(const QStringList &names) { m_files = names; }
    QStringList boxTexts;
    QStringList boxTitles;
    QStringList fileCaptions;
    int otherDialogs = 0;  // other modal dialogs, closed with reject()

private slots:
    void poll();

private:
    QTimer m_timer;
    QList<int> m_buttons;
    QStringList m_files;
    QPointer<QWidget> m_fileDialog;
    QString m_fileAnswer;
};

} // namespace kvrectest
