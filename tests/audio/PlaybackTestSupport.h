#pragma once
// Documents, stand-in frame streams, output devices and a driven play session for the
// playback tests.
#include "KvAudioGenerator.h"
#include "KvAudioMessages.h"
#include "KvAudioSink.h"
#include "KvAudioStream.h"
#include "KvNullAudioSink.h"
#include "KvPlayThread.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

#include <boost/shared_ptr.hpp>

#include <functional>
#include <memory>

class KvRepackInfoPtrList;
class KvMP3AudioFile;

namespace kvplaytest {

typedef boost::shared_ptr<KvRepackInfoPtrList> DocPtr;

// One MP3 fixture as a document: frames [first, first + count) in one fragment (count -1:
// to the end). The source stays open as long as the document.
DocPtr documentOf(const QString &fixtureName, qint64 first = 0, qint64 count = -1);

// The source frames [first, first + count) of a fixture as they sit in the file.
QVector<QByteArray> sourceFrames(const DocPtr &document);
// libmpg123's decode of those frames as one stream (the decoder flags playback uses).
QByteArray decodeFrames(const QVector<QByteArray> &frames, int rate, int channels);

// A stream of given frames, one per read, like the engine's device.
class FrameStream : public KvAudioListFileIO {
public:
    explicit FrameStream(QVector<QByteArray> frames) : m_frames(std::move(frames)) {}
    bool setSource(const boost::shared_ptr<KvRepackInfoPtrList> &, int, int) override { return true; }
    bool finished() override;
    quint64 takeFramesRead() override { return 0; }
    QString errorText() const override { return QString(); }
    qint64 readData(char *data, qint64 maxSize) override;

    int failAt = -1;   // this read answers -1
    int stallAt = -1;  // from this read on: nothing, without ever ending
    int reads = 0;

private:
    QVector<QByteArray> m_frames;
    int m_next = 0;
};

// While it lives, ranges open as FrameStreams over the source frames of the copy they are
// given (a fragment of a fixture); tweak can arm each stream's faults.
class ScopedFrameStreams {
public:
    explicit ScopedFrameStreams(std::function<void(FrameStream &)> tweak = {});
    ~ScopedFrameStreams();
    int opened() const { return *m_opened; }

private:
    KvAudioGenerator::StreamOpener m_previous;
    std::shared_ptr<int> m_opened;
};

// While it lives, playback opens this device.
class ScopedOutputDevice {
public:
    explicit ScopedOutputDevice(KvAudioOutputDevicePtr device);
    ~ScopedOutputDevice();

private:
    KvAudioOutputDeviceFactory m_previous;
};

// While it lives, critical messages are collected instead of shown.
class ScopedMessages {
public:
    ScopedMessages();
    ~ScopedMessages();
    QStringList texts() const { return *m_texts; }

private:
    KvCriticalMessageHandler m_previous;
    std::shared_ptr<QStringList> m_texts;
};

struct Position {
    double frame;
    qint16 left, right;
    qint64 clockUs;  // driven time when it arrived
};

// One play request on a null device with a driven clock: the thread is started, the
// clock advanced step by step, and positions collected as the GUI thread would get them.
class PlaySession {
public:
    explicit PlaySession(const QList<QAudioFormat> &offered = {}, KvNullAudioSink::Options options = {});
    ~PlaySession();

    void start(const DocPtr &document, qint64 startFrame, qint64 numFrames, double volume = 1.0,
               double pitch = 0.0, double tempo = 0.0);
    // Advances the clock by stepUs at a time until the thread has finished or limitUs of
    // driven time have passed; onStep runs on this thread before each step with the
    // driven time so far. True when the thread finished.
    bool run(qint64 limitUs, qint64 stepUs = 20000, const std::function<void(qint64)> &onStep = {});

    KvPlayThread *thread() const { return m_thread.get(); }
    std::shared_ptr<KvNullAudioDevice> device() const { return m_device; }
    std::shared_ptr<KvNullAudioClock> clock() const { return m_clock; }
    QVector<Position> positions() const { return m_positions; }
    QByteArray played() const { return m_device->record()->playedPcm(); }

private:
    std::shared_ptr<KvNullAudioClock> m_clock;
    std::shared_ptr<KvNullAudioDevice> m_device;
    ScopedOutputDevice m_scoped;
    std::unique_ptr<KvPlayThread> m_thread;
    QVector<Position> m_positions;
};

// Frames of a 16-bit interleaved PCM buffer.
inline int pcmFrames(const QByteArray &pcm, int channels) { return pcm.size() / 2 / channels; }

} // namespace kvplaytest
