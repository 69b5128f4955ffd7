#include "PlaybackTestSupport.h"

#include "AudioTestUtil.h"
#include "KvMP3AudioFile.h"
#include "KvMP3FrameRepacker.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvMpegFeedDecoder.h"
#include "KvRepackInfo.h"
#include "KvTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QThread>

#include <gtest/gtest.h>

namespace kvplaytest {

namespace {
// Sources stay open for the whole test program: documents and their copies refer to them.
// Never destroyed: the engine's open-file registry may be gone by the time statics die.
QHash<QString, boost::shared_ptr<KvMP3AudioFile>> &openFiles()
{
    static auto *files = new QHash<QString, boost::shared_ptr<KvMP3AudioFile>>;
    return *files;
}

QHash<QString, QByteArray> &fileBytes()
{
    static QHash<QString, QByteArray> bytes;
    return bytes;
}
} // namespace

DocPtr documentOf(const QString &fixtureName, qint64 first, qint64 count)
{
    const QString path = kvtest::fixture(fixtureName);
    boost::shared_ptr<KvMP3AudioFile> &file = openFiles()[path];
    if (!file) {
        file.reset(new KvMP3AudioFile);
        const QString error = file->open(path);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    }
    DocPtr doc(new KvMP3RepackInfoPtrList);
    const KvRepackInfoPtr fragment = file->createRepackInfo(first, count);
    EXPECT_TRUE(fragment) << "no fragment " << first << "+" << count << " of " << fixtureName.toStdString();
    if (fragment)
        doc->list()->push_back(fragment);
    return doc;
}

QVector<QByteArray> sourceFrames(const DocPtr &document)
{
    QVector<QByteArray> frames;
    if (!document)
        return frames;
    for (const KvRepackInfoPtr &f : *document->list()) {
        const QString path = f->sourcePath();
        QByteArray &bytes = fileBytes()[path];
        if (bytes.isEmpty())
            bytes = kvtest::readFile(path);
        const QVector<kvaudiotest::Mp3Frame> split = kvaudiotest::splitFrames(bytes);
        QHash<qint64, int> byPos;
        for (int i = 0; i < split.size(); ++i)
            byPos.insert(split[i].pos, i);
        const auto repacker = boost::dynamic_pointer_cast<KvMP3FrameRepacker>(f->source());
        if (!repacker)
            continue;
        const KvMP3GainFrameInfo *table = repacker->frameTable().get();
        for (qint64 i = f->firstFrame(); i < f->firstFrame() + f->frameCount(); ++i) {
            const int k = byPos.value(qint64(table[i].offset), -1);
            if (k < 0)
                continue;
            frames.append(bytes.mid(int(split[k].pos), split[k].size));
        }
    }
    return frames;
}

QByteArray decodeFrames(const QVector<QByteArray> &frames, int rate, int channels)
{
    kvtest::TempDir dir;
    QByteArray all;
    for (const QByteArray &f : frames)
        all += f;
    const QString path = dir.file("frames.mp3");
    kvtest::writeFile(path, all);
    return kvaudiotest::decodeWholeFile(path, KvMpegFeedDecoder::decoderFlags(), rate, channels);
}

bool FrameStream::finished() { return m_next >= m_frames.size() && stallAt < 0; }

qint64 FrameStream::readData(char *data, qint64 maxSize)
{
    const int n = reads++;
    if (n == failAt)
        return -1;
    if (stallAt >= 0 && n >= stallAt)
        return 0;
    if (m_next >= m_frames.size())
        return 0;
    const QByteArray &f = m_frames[m_next];
    if (f.size() > maxSize)
        return -1;
    memcpy(data, f.constData(), size_t(f.size()));
    ++m_next;
    return f.size();
}

ScopedFrameStreams::ScopedFrameStreams(std::function<void(FrameStream &)> tweak)
    : m_opened(std::make_shared<int>(0))
{
    std::shared_ptr<int> opened = m_opened;
    m_previous = KvAudioGenerator::setStreamOpener(
        [tweak, opened](const char *, const boost::shared_ptr<KvRepackInfoPtrList> &doc, int) -> QIODevice * {
            if (!doc || doc->fragmentCount() == 0)
                return nullptr;
            auto *stream = new FrameStream(sourceFrames(doc));
            if (tweak)
                tweak(*stream);
            ++*opened;
            return stream;
        });
}

ScopedFrameStreams::~ScopedFrameStreams() { KvAudioGenerator::setStreamOpener(m_previous); }

ScopedOutputDevice::ScopedOutputDevice(KvAudioOutputDevicePtr device)
{
    m_previous = setKvAudioOutputDeviceFactory([device]() { return device; });
}

ScopedOutputDevice::~ScopedOutputDevice() { setKvAudioOutputDeviceFactory(m_previous); }

ScopedMessages::ScopedMessages() : m_texts(std::make_shared<QStringList>())
{
    std::shared_ptr<QStringList> texts = m_texts;
    m_previous = setKvCriticalMessageHandler([texts](const QString &, const QString &text) { texts->append(text); });
}

ScopedMessages::~ScopedMessages() { setKvCriticalMessageHandler(m_previous); }

namespace {
std::shared_ptr<KvNullAudioDevice> makeDevice(const std::shared_ptr<KvNullAudioClock> &clock,
                                              const QList<QAudioFormat> &offered, KvNullAudioSink::Options options)
{
    auto device = std::make_shared<KvNullAudioDevice>(clock);
    device->setOfferedFormats(offered);
    device->setSinkOptions(options);
    return device;
}
} // namespace

PlaySession::PlaySession(const QList<QAudioFormat> &offered, KvNullAudioSink::Options options)
    : m_clock(std::make_shared<KvNullAudioClock>(KvNullAudioClock::Driven)),
      m_device(makeDevice(m_clock, offered, options)), m_scoped(m_device)
{
}

PlaySession::~PlaySession()
{
    if (m_thread) {
        m_thread->StopPlay();
        m_thread->wait();
    }
}

void PlaySession::start(const DocPtr &document, qint64 startFrame, qint64 numFrames, double volume, double pitch,
                        double tempo)
{
    m_thread.reset(new KvPlayThread(document, startFrame, numFrames, volume, pitch, tempo));
    QObject::connect(m_thread.get(), &KvPlayThread::PlayFrameQueued, [this](double f, qint16 l, qint16 r) {
        m_positions.append({f, l, r, m_clock->nowUs()});
    });
    m_thread->start(QThread::HighPriority);
}

bool PlaySession::run(qint64 limitUs, qint64 stepUs, const std::function<void(qint64)> &onStep)
{
    QElapsedTimer wall;
    wall.start();
    while (m_clock->runningSinks() == 0 && !m_thread->isFinished() && wall.elapsed() < 10000) {
        QThread::usleep(500);
        QCoreApplication::processEvents();
    }
    qint64 done = 0;
    while (!m_thread->isFinished() && done < limitUs) {
        if (onStep)
            onStep(done);
        m_clock->advance(stepUs);
        done += stepUs;
        m_clock->waitUntilCaughtUp(10000);
        QCoreApplication::processEvents();
    }
    const bool finished = m_thread->wait(10000);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return finished;
}

} // namespace kvplaytest
