#pragma once
// A capture device for tests: formats it lists, formats it opens, and an input whose data
// the test feeds (a deterministic sine per channel) and whose state it drives.
#include <KvCaptureDevice.h>
#include <KvTestSupport.h>

#include <QIODevice>
#include <QMutex>
#include <QPointer>

#include <atomic>
#include <functional>

namespace kvrectest {

struct FakeDeviceSpec {
    QString name;
    QList<int> rates{44100, 48000};
    QList<int> channels{1, 2};
    QList<int> sizes{16, 24};
    bool opens24Unlisted = false;  // captures 24 bits though it lists only 16
    bool failStart = false;        // start() hands out no device
    bool errorAtStart = false;     // start() hands out a device but reports an error
    int nearestRate = 0;           // nearestFormat's rate when the device lists none
};

// The data side of a fake input: what was fed and not yet read.
class FakeDataDevice : public QIODevice {
    Q_OBJECT
public:
    using QIODevice::QIODevice;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    void append(const QByteArray &data);
    qint64 bytesRead() const { return m_read.load(); }

protected:
    qint64 readData(char *data, qint64 maxlen) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    mutable QMutex m_lock;
    QByteArray m_pending;
    std::atomic<qint64> m_read{0};
};

class FakeCaptureInput : public KvCaptureInput {
    Q_OBJECT
public:
    FakeCaptureInput(const FakeDeviceSpec &spec, const QAudioFormat &format, bool openable);

    void setBufferSize(int bytes) override { m_bufferSize = bytes; }
    void setNotifyInterval(int ms) override { m_notifyMs = ms; }
    QIODevice *start() override;
    qint64 bytesReady() const override { return m_data ? m_data->bytesAvailable() : 0; }
    QAudio::Error error() const override { return m_error; }
    QAudio::State state() const override { return m_state; }
    QAudioFormat format() const override { return m_format; }
    int bufferSize() const { return m_bufferSize; }
    int notifyInterval() const { return m_notifyMs; }

    // Thread-safe: queue frames of sine (left 440 Hz, right 660 Hz at half scale), delivered
    // on the input's own thread in slices of 0.1 s, each with readyRead and notify.
    void feedFrames(qint64 frames);
    void feedSeconds(double seconds) { feedFrames(qint64(seconds * m_format.sampleRate())); }
    // Thread-safe: the input goes idle (no more data), as a device that stalls mid-take.
    void goIdle();
    qint64 framesFed() const { return m_framesFed.load(); }
    qint64 bytesConsumed() const { return m_data ? m_data->bytesRead() : 0; }
    qint64 bytesFed() const { return m_bytesFed.load(); }

public slots:
    void stop() override;

private slots:
    void deliver(QByteArray data);
    void enterIdle();

private:
    void setState(QAudio::State state);
    QByteArray sine(qint64 frames);

    FakeDeviceSpec m_spec;
    QAudioFormat m_format;
    bool m_openable;
    QAudio::Error m_error = QAudio::NoError;
    std::atomic<QAudio::State> m_state{QAudio::StoppedState};
    QPointer<FakeDataDevice> m_data;
    int m_bufferSize = 0;
    int m_notifyMs = 1000;
    QMutex m_feedLock;
    qint64 m_phaseFrame = 0;
    std::atomic<qint64> m_framesFed{0};
    std::atomic<qint64> m_bytesFed{0};
};

class FakeCaptureProvider : public KvCaptureProvider {
public:
    explicit FakeCaptureProvider(const QList<FakeDeviceSpec> &specs = {}) : m_specs(specs) {}

    QList<KvCaptureDevice> availableDevices() override;
    KvCaptureDevice defaultDevice() override;
    bool isFormatSupported(const KvCaptureDevice &device, const QAudioFormat &format) override;
    QAudioFormat nearestFormat(const KvCaptureDevice &device, const QAudioFormat &format) override;
    KvCaptureInput *createInput(const KvCaptureDevice &device, const QAudioFormat &format) override;

    static KvCaptureDevice describe(const FakeDeviceSpec &spec);
    int inputsCreated() const { return m_created.load(); }
    // The last input made for a take (probes included); may be gone already.
    FakeCaptureInput *lastInput();
    // Waits (processing events) until an input exists that has started.
    FakeCaptureInput *waitForStartedInput(int timeoutMs = 10000);

private:
    FakeDeviceSpec specOf(const KvCaptureDevice &device) const;

    QList<FakeDeviceSpec> m_specs;
    std::atomic<int> m_created{0};
    QMutex m_lock;
    QPointer<FakeCaptureInput> m_last;
};

// Installs a provider for the scope of a test.
class ScopedCaptureProvider {
public:
    explicit ScopedCaptureProvider(const std::shared_ptr<FakeCaptureProvider> &p)
        : m_previous(setKvCaptureProvider(p)) {}
    ~ScopedCaptureProvider() { setKvCaptureProvider(m_previous); }

private:
    KvCaptureProviderPtr m_previous;
};

// Processes events until pred holds or the time is up; returns pred().
using kvtest::waitFor;

} // namespace kvrectest
