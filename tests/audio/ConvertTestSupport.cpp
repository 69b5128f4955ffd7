#include "ConvertTestSupport.h"

#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvTagProperty.h>
#include <audio_lib.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <KvAudioFragmentList.h>

namespace kvconvtest {

Project::Project(const DocPtr &document)
{
    // Each project starts without a remembered conversion folder.
    controller.setLastConvertPath(QString());
    controller.setModel(&model);
    KvQmlModel::FragmentListPtr cursor = createFragmentListFor(document);
    if (cursor)
        cursor->setList(document);
    model.setFragmentList(cursor);
}

void Project::addTrack(qint64 start, qint64 end, const QString &title, int number)
{
    KvTagInfo tags;
    tags.title = title;
    tags.artist = QStringLiteral("Conv Artist");
    tags.track = number;
    model.trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(start, end, tags)));
}

ScopedMakers::ScopedMakers(bool wav, bool lameLibrary) : m_previous(kvBackendMakers())
{
    const KvBackendMakers all = KvBackendMakers::builtIn();
    KvBackendMakers m;
    m.acmlib = all.acmlib;  // the MP3 decoder
    if (wav)
        m.wavlib = all.wavlib;
    if (lameLibrary)
        m.dlllib = all.dlllib;
    setKvBackendMakers(m);
}

ScopedMakers::~ScopedMakers() { setKvBackendMakers(m_previous); }

ScopedDecoder::ScopedDecoder() : m_previous(kvBackendMakers())
{
    KvBackendMakers m = m_previous;
    m.acmlib = KvBackendMakers::builtIn().acmlib;
    setKvBackendMakers(m);
}

ScopedDecoder::~ScopedDecoder() { setKvBackendMakers(m_previous); }

KvAudioLibPtr encoderFor(const QString &extension)
{
    for (const KvAudioLibPtr &e : createEncoders(KvAudioFrameReaderPtr(), true, QStringLiteral("wav")))
        if (e->fileExtension() == extension)
            return e;
    return KvAudioLibPtr();
}

audio_preset pcmPreset(int sampleRate, int channels)
{
    audio_preset p;
    p.sampleRate = sampleRate;
    p.channels = channels;
    p.bitrate = 0;
    p.mode = 2;
    p.vbrQuality = -1;
    return p;
}

Probe probe(const QString &path)
{
    Probe r;
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                        "stream=codec_name,sample_rate,channels:format=duration", "-of", "json", path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return r;
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QJsonArray streams = o.value("streams").toArray();
    if (streams.isEmpty())
        return r;
    const QJsonObject s = streams.first().toObject();
    r.codec = s.value("codec_name").toString();
    r.sampleRate = s.value("sample_rate").toString().toInt();
    r.channels = s.value("channels").toInt();
    r.duration = o.value("format").toObject().value("duration").toString().toDouble();
    r.ok = true;
    return r;
}

QVector<qint16> wavSamples(const QString &path, int *channels)
{
    QVector<qint16> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = f.readAll();
    if (all.size() < 44 || !all.startsWith("RIFF"))
        return out;
    const int ch = qMax(1, int(quint8(all[22]) | (quint8(all[23]) << 8)));
    if (channels)
        *channels = ch;
    const qint16 *s = reinterpret_cast<const qint16 *>(all.constData() + 44);
    const int n = (all.size() - 44) / 2;
    for (int i = 0; i < n; i += ch)
        out.append(s[i]);
    return out;
}

double dominantFrequency(const QVector<qint16> &samples, int sampleRate)
{
    const int from = samples.size() / 4, to = samples.size() * 3 / 4;
    if (to - from < sampleRate / 10)
        return 0;
    int rising = 0;
    for (int i = from + 1; i < to; ++i)
        if (samples[i - 1] < 0 && samples[i] >= 0)
            ++rising;
    return rising * double(sampleRate) / double(to - from);
}

} // namespace kvconvtest
