#include "KvAacTestUtil.h"

#include "KvAACFrameRepacker.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <cmath>
#include <cstring>

namespace aacengine {

boost::shared_ptr<KvAACAudioFile> openAac(const QString &nameOrPath)
{
    const QString path = QFileInfo(nameOrPath).isAbsolute() ? nameOrPath : kvtest::fixture(nameOrPath);
    boost::shared_ptr<KvAACAudioFile> file(new KvAACAudioFile);
    const QString error = file->open(path);
    EXPECT_TRUE(error.isEmpty()) << path.toStdString() << ": " << error.toStdString();
    return file;
}

KvAACRepackInfoPtr fragmentOf(const boost::shared_ptr<KvAACAudioFile> &file, qint64 first, qint64 count)
{
    return boost::dynamic_pointer_cast<KvAACRepackInfo>(file->createRepackInfo(first, count));
}

KvAACRepackInfoPtr silenceLike(const boost::shared_ptr<KvAACAudioFile> &file, qint64 count)
{
    return KvAACRepackInfoPtr(new KvAACRepackInfo(file->repacker()->sizeInfo(), count));
}

KvRepackInfoPtrListPtr documentOf(std::initializer_list<KvRepackInfoPtr> fragments)
{
    KvRepackInfoPtrListPtr doc(new KvAACRepackInfoPtrList);
    for (const KvRepackInfoPtr &f : fragments)
        doc->list()->push_back(f);
    return doc;
}

qint64 countPackets(const QString &path)
{
    QByteArray out;
    if (kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-count_packets", "-show_entries",
                                       "stream=nb_read_packets", "-of", "csv=p=0", path},
                           &out) != 0)
        return -1;
    bool ok = false;
    const qint64 n = out.trimmed().toLongLong(&ok);
    return ok ? n : -1;
}

QStringList packetHashes(const QString &path)
{
    QByteArray out, err;
    kvtest::runProgram("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-c", "copy", "-bsf:a",
                                  "aac_adtstoasc", "-f", "framemd5", "-"},
                       &out, &err);
    QStringList hashes;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() >= 6)
            hashes << QString::fromLatin1(fields[5].trimmed());
    }
    return hashes;
}

std::vector<int16_t> decodeUntrimmed(const QString &path)
{
    // Through ADTS: no edit list, no priming skip, one decoded block per packet.
    kvtest::TempDir tmp;
    const QString adts = tmp.file("untrimmed.aac");
    QByteArray err;
    if (kvtest::runProgram("ffmpeg", {"-v", "error", "-y", "-i", path, "-map", "0:a:0", "-c", "copy", "-f", "adts",
                                      adts},
                           nullptr, &err) != 0) {
        ADD_FAILURE() << "remux failed: " << err.toStdString();
        return {};
    }
    const QByteArray pcm = kvtest::decodeFfmpeg(adts);
    std::vector<int16_t> samples(size_t(pcm.size()) / 2);
    std::memcpy(samples.data(), pcm.constData(), samples.size() * 2);
    return samples;
}

double rmsOf(const std::vector<int16_t> &pcm, int channels, int ch, qint64 from, qint64 to)
{
    double sum = 0;
    qint64 n = 0;
    for (qint64 s = from * 1024; s < to * 1024; ++s) {
        const size_t k = size_t(s * channels + ch);
        if (k >= pcm.size())
            break;
        sum += double(pcm[k]) * pcm[k];
        ++n;
    }
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

int peakOf(const std::vector<int16_t> &pcm, int channels, qint64 from, qint64 to)
{
    int peak = 0;
    for (qint64 s = from * 1024 * channels; s < to * 1024 * channels && size_t(s) < pcm.size(); ++s)
        peak = std::max(peak, std::abs(int(pcm[size_t(s)])));
    return peak;
}

QString streamFacts(const QString &path)
{
    QByteArray out;
    kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                   "stream=codec_name,profile,sample_rate,channels", "-of", "default=nw=1", path},
                       &out);
    return QString::fromLatin1(out);
}

} // namespace aacengine
