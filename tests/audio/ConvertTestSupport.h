#pragma once
// Helpers of the conversion tests: documents with tracks in a model, the real WAV and
// LAME back-ends, and what ffprobe says about an output file.
#include <KvEncoderFactory.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <audio_preset.h>

#include <boost/shared_ptr.hpp>

#include <QString>

class KvRepackInfoPtrList;

namespace kvconvtest {

typedef boost::shared_ptr<KvRepackInfoPtrList> DocPtr;

// A controller over a model that holds the document (and the tracks added to it).
struct Project {
    KvQmlModel model;
    KvQmlController controller;
    explicit Project(const DocPtr &document);
    // A track [start, end) with that title and track number.
    void addTrack(qint64 start, qint64 end, const QString &title, int number);
};

// The MP3 decoder joins the back-ends that exist while it lives.
class ScopedDecoder {
public:
    ScopedDecoder();
    ~ScopedDecoder();

private:
    KvBackendMakers m_previous;
};

// Only the given back-ends (and the MP3 decoder) exist while it lives.
class ScopedMakers {
public:
    explicit ScopedMakers(bool wav, bool lameLibrary);
    ~ScopedMakers();

private:
    KvBackendMakers m_previous;
};

// The encoder with that extension among the conversion encoders; empty when none.
KvAudioLibPtr encoderFor(const QString &extension);
audio_preset pcmPreset(int sampleRate, int channels);

// ffprobe's view of the file's first audio stream.
struct Probe {
    bool ok = false;
    QString codec;
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;
};
Probe probe(const QString &path);

// The samples of a 16-bit PCM WAV file (after its 44-byte header), first channel.
QVector<qint16> wavSamples(const QString &path, int *channels = nullptr);
// Rising zero crossings per second over the middle of the signal.
double dominantFrequency(const QVector<qint16> &samples, int sampleRate);

} // namespace kvconvtest
