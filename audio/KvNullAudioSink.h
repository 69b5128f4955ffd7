#pragma once
// The null output: plays PCM into memory at the pace of a clock instead of a sound card.
// Chosen explicitly (KV_AUDIO_OUTPUT=null, or a test installing it); it behaves like a
// pull-mode audio output: a buffer it refills from the device, processed time, notify
// ticks, idle when the device runs dry. Tests drive its clock and read what it played.
#include "KvAudioSink.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QPointer>

#include <atomic>

class QTimer;

// Real time, or time that only moves when a test advances it.
class KvNullAudioClock {
public:
    enum Mode { RealTime, Driven };
    explicit KvNullAudioClock(Mode mode);
    Mode mode() const { return m_mode; }
    qint64 nowUs() const;
    // Driven clocks only.
    void advance(qint64 us);
    // Driven: blocks until every running sink has played up to now (true), or the time
    // runs out (false). True at once when no sink runs.
    bool waitUntilCaughtUp(int timeoutMs = 5000) const;
    // Blocks until a sink runs (true) or the time runs out.
    bool waitForSink(int timeoutMs = 5000) const;
    int runningSinks() const { return m_running.load(); }
    // Every running sink has played up to now (true as well when none runs).
    bool caughtUp() const { return m_running.load() == 0 || m_seen.load() >= nowUs(); }

    // Sink side.
    void sinkStarted(qint64 seenUs);
    void sinkStopped();
    void caughtUp(qint64 us) { m_seen.store(us); }

private:
    Mode m_mode;
    QElapsedTimer m_elapsed;
    std::atomic<qint64> m_now{0};
    std::atomic<qint64> m_seen{0};
    std::atomic<int> m_running{0};
};

// What the sinks of one null device did, shared by the device and its sinks so that it
// outlives the sinks (the play thread deletes them when it ends).
class KvNullAudioRecord {
public:
    explicit KvNullAudioRecord(bool keepPcm) : m_keepPcm(keepPcm) {}
    void started(const QAudioFormat &format);
    void played(const char *data, qint64 len);
    void notified();
    void state(QAudio::State s);

    QByteArray playedPcm() const;
    qint64 playedBytes() const;
    QAudioFormat lastFormat() const;
    int sinksStarted() const;
    int notifyCount() const;
    QList<QAudio::State> states() const;

private:
    mutable QMutex m_mutex;
    bool m_keepPcm;
    QByteArray m_pcm;
    qint64 m_bytes = 0;
    QAudioFormat m_format;
    int m_starts = 0;
    int m_notifies = 0;
    QList<QAudio::State> m_states;
};

class KvNullAudioSink : public KvAudioSink {
    Q_OBJECT
public:
    struct Options {
        bool failStart = false;   // start reports an open error
        bool reportsIdle = true;  // false: never falls idle, as some devices with short streams
        // From this much played time on the device is gone (-1: never): the sink stops
        // with a fatal error, as an output whose sound server went away.
        qint64 loseDeviceAfterUs = -1;
    };
    KvNullAudioSink(const QAudioFormat &format, std::shared_ptr<KvNullAudioClock> clock,
                    std::shared_ptr<KvNullAudioRecord> record, Options options, QObject *parent = nullptr);
    ~KvNullAudioSink() override;

    QAudioFormat format() const override { return m_format; }
    void start(QIODevice *device) override;
    void stop() override;
    void setBufferSize(int bytes) override { m_bufferSize = bytes; }
    int bufferSize() const override { return m_bufferSize; }
    void setNotifyInterval(int ms) override { m_notifyMs = ms; }
    int notifyInterval() const override { return m_notifyMs; }
    qint64 processedUSecs() const override;
    QAudio::State state() const override { return m_state; }
    QAudio::Error error() const override { return m_error; }

private slots:
    void tick();

private:
    void setState(QAudio::State s);
    // Tops the buffer up from the device; false when the device gave nothing.
    bool refill();
    void stopRunning();

    QAudioFormat m_format;
    std::shared_ptr<KvNullAudioClock> m_clock;
    std::shared_ptr<KvNullAudioRecord> m_record;
    Options m_options;
    QPointer<QIODevice> m_device;
    QTimer *m_timer = nullptr;
    QByteArray m_buffer;
    int m_bufferSize = 0;
    int m_notifyMs = 1000;
    qint64 m_nextNotifyUs = 0;
    qint64 m_lastUs = 0;
    // Time owed to playing, in frames x 1000000 (exact at any rate).
    qint64 m_credit = 0;
    qint64 m_processedFrames = 0;
    bool m_running = false;
    QAudio::State m_state = QAudio::StoppedState;
    QAudio::Error m_error = QAudio::NoError;
};

class KvNullAudioDevice : public KvAudioOutputDevice {
public:
    // keepPcm: keep every byte played (tests); the user-facing null output keeps none.
    explicit KvNullAudioDevice(std::shared_ptr<KvNullAudioClock> clock, bool keepPcm = true);

    // The formats offered; none (the default) means any 16-bit signed little-endian PCM
    // with one or two channels at 8000 to 192000 Hz.
    void setOfferedFormats(const QList<QAudioFormat> &formats) { m_offered = formats; }
    void setSinkOptions(const KvNullAudioSink::Options &options) { m_options = options; }

    QString deviceName() const override;
    bool isFormatSupported(const QAudioFormat &format) const override;
    QAudioFormat nearestFormat(const QAudioFormat &format) const override;
    KvAudioSink *createSink(const QAudioFormat &format) override;

    std::shared_ptr<KvNullAudioClock> clock() const { return m_clock; }
    std::shared_ptr<KvNullAudioRecord> record() const { return m_record; }

    // 16-bit signed little-endian PCM.
    static QAudioFormat pcmFormat(int sampleRate, int channels);

private:
    std::shared_ptr<KvNullAudioClock> m_clock;
    std::shared_ptr<KvNullAudioRecord> m_record;
    QList<QAudioFormat> m_offered;
    KvNullAudioSink::Options m_options;
};
