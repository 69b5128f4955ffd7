#pragma once
// Turns a frame range of a document into 16-bit PCM on demand: the range is streamed as
// rebuilt frames (the export road), decoded, and given volume, pitch, tempo, resampling and
// channel widening. An audio output reads it in pull mode; the decode thread reads it
// directly. It also maps the output's played time back to a document frame position
// across tempo changes.
#include "KvAudioFrameSource.h"

#include <QIODevice>
#include <QList>
#include <QMutex>
#include <QString>

#include <boost/shared_ptr.hpp>

#include <functional>
#include <vector>

class KvAudioSink;
class KvFrameSizeInfo;
class KvRepackInfoPtrList;
class audio_lib;

class KvAudioGenerator : public QIODevice {
    Q_OBJECT
public:
    // The slowest tempo accepted: SoundTouch divides by it.
    static constexpr double kMinTempo = 0.05;

    // How a range is opened as a stream of rebuilt frames (KvAudioStreamOpen's
    // arguments and result). Replaceable process-wide, for tests that feed their own
    // frames or failures; an empty opener restores the engine's. Returns the previous one.
    typedef std::function<QIODevice *(const char *mode, const boost::shared_ptr<KvRepackInfoPtrList> &document,
                                      int chunkFrames)>
        StreamOpener;
    static StreamOpener setStreamOpener(StreamOpener opener);

    // output: what plays this device (null when read directly). resampleRatio: output rate
    // / source rate; channelsOut 0 keeps the source's channels. The document must not be
    // edited while this reads it: hand it an immutable copy.
    KvAudioGenerator(KvAudioSink *output, const boost::shared_ptr<KvRepackInfoPtrList> &document,
                     double resampleRatio, int channelsOut, QObject *parent, bool forPlayback);
    ~KvAudioGenerator() override;

    // Sets the range (count -1: to the end) that the next read opens; opens the device.
    bool start(qint64 startFrame, qint64 frameCount);
    // Opens the range set by start now (reads do it themselves); false when it failed.
    bool openRange();
    // Closes the stream and the decoder, then the device; the generator cannot play again.
    void stop();

    bool atEnd() const override;
    // PCM bytes still to come, estimated at the source rate.
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

    // Document frame (as a double, + 0.5 for rounding) the output has reached; -1.0 when
    // unknown. Hands back the peak levels since the last call.
    double playedPosition(qint16 *left, qint16 *right);
    void maxPeakLevels(qint16 *left, qint16 *right);
    // Empty decoder calls still allowed after the stream ran dry; 0: the range ran dry.
    int retriesLeft() const;
    // The range ran dry or failed, and no new range is waiting.
    bool rangeExhausted() const;
    // Why the last range failed; empty when none did.
    QString errorText() const;
    // Output time (microseconds since the first open) when all audio decoded so far has
    // been played.
    qint64 decodedOutputUs() const;

public slots:
    void VolumeChanged(double value);
    void PitchChanged(double value);
    void TempoChanged(double value);
    // Applies a pending tempo change at once; the caller holds no lock and no read runs.
    void CheckTempoChanged();

signals:
    // Emitted once when the current range has been read to its end (or failed).
    void rangeRunDry();
    // The current range cannot be played: its stream did not open, there is no decoder
    // for the format, or the decoder failed. Emitted once, with the reason.
    void rangeFailed(const QString &text);

protected:
    qint64 readData(char *data, qint64 maxlen) override;
    qint64 writeData(const char *data, qint64 len) override;

private:
    struct TempoSegment {
        double startFrame;
        double startSamplesIn;
        double startOutputUs;
        double tempo;
    };

    bool openRangeLocked();
    void applyTempoLocked();
    void closeStreamLocked();
    // Ends the current range with an error.
    void failLocked(const QString &text);
    void runDryLocked();
    // Sends what the locked part decided (outside the lock).
    void emitPending();

    boost::shared_ptr<KvRepackInfoPtrList> m_document;
    QIODevice *m_stream = nullptr;
    std::vector<char> m_input[2];
    int m_inputIndex = 0;
    // Decoded PCM not yet handed out: the decoder writes here, so that reads of any size
    // are served without the decoder's own buffers filling up behind a small reader.
    std::vector<char> m_staged;
    int m_stagedPos = 0;
    int m_stagedLen = 0;
    // Reads in a row that brought nothing although the stream has not ended.
    int m_emptyReads = 0;
    bool m_opened = false;
    int m_retriesLeft = 3;
    double m_resampleRatio;
    int m_channelsOut;
    boost::shared_ptr<KvFrameSizeInfo> m_formatInfo;
    qint16 m_samplesPerFrame = 0;
    int m_sampleRate = 0;
    int m_channelCount = 0;
    qint64 m_bytesPerFrame = 0;
    double m_usPerOutputSample = 0.0;
    qint64 m_pendingStart = -1;
    qint64 m_pendingCount = -1;
    qint64 m_rangeStart = 0;
    qint64 m_rangeCount = 0;
    double m_volume = 1.0;
    double m_pitch = 0.0;
    double m_appliedTempo = 0.0;
    double m_requestedTempo = 1.0;
    qint64 m_compressedBytesRead = 0;
    qint64 m_bytesDelivered = 0;
    qint64 m_samplesInAtOpen = 0;
    double m_lastPosition = -1.0;
    std::vector<TempoSegment> m_tempoSegments;
    mutable QMutex m_mutex;
    KvAudioSink *m_output;
    boost::shared_ptr<audio_lib> m_decoder;
    QList<boost::shared_ptr<audio_lib>> m_decoders;
    KvAudioFrameReaderPtr m_reader;
    bool m_forPlayback;
    bool m_failed = false;
    QString m_errorText;
    // Set under the lock, emitted after it.
    bool m_emitRunDry = false;
    bool m_dryAnnounced = false;
    bool m_emitFailed = false;
};
