// Playback's cost without a sound card.
//   kvplaybench decode [--tempo T] FILE
//       streams the whole file as a document through the playback generator (rebuilt
//       frames, decoding, SoundTouch when T is not 1) and throws the PCM away.
//   kvplaybench snapshot [--edits N] [--seed S] FILE
//       the copy a play request takes of the document, after N random cut/paste edits.
#include "KvBenchOptions.h"
#include "KvAudioFile.h"
#include "KvAudioFragmentList.h"
#include "KvAudioGenerator.h"
#include "KvEngineFactories.h"
#include "KvFrameSizeInfo.h"
#include "KvRepackInfoPtrList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: kvplaybench decode [--tempo T] FILE\n"
                         "       kvplaybench snapshot [--edits N] [--seed S] FILE\n");
    return 2;
}

boost::shared_ptr<KvRepackInfoPtrList> openDocument(const QString &path, boost::shared_ptr<KvAudioFile> &file)
{
    bool heAac = false;
    QString error;
    file = createAudioFileByExtension(path, heAac, error);
    if (!file || !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return {};
    }
    const auto cursor = createFragmentListByFormat("mp3");
    const auto doc = cursor->list();
    doc->appendFragment(file->createRepackInfo(0, -1));
    return doc;
}

int decode(const boost::shared_ptr<KvRepackInfoPtrList> &doc, double tempo)
{
    const auto info = doc->firstSourceInfo();
    KvAudioGenerator g(nullptr, doc->copyRange(0, -1), 1.0, 0, nullptr, true);
    g.TempoChanged(tempo);
    g.start(0, -1);
    std::vector<char> buf(64 * 1024);
    qint64 bytes = 0;
    QElapsedTimer t;
    t.start();
    while (g.retriesLeft() > 0)
        bytes += std::max<qint64>(0, g.read(buf.data(), qint64(buf.size())));
    const double wall = t.nsecsElapsed() / 1e9;
    if (!g.errorText().isEmpty()) {
        std::fprintf(stderr, "%s\n", g.errorText().toLocal8Bit().constData());
        return 1;
    }
    const double audio = double(bytes) / 2 / info->channelCount() / info->sampleRate();
    std::printf("decode: %.1f s of audio in %.3f s: %.0fx real time (tempo %.2f)\n", audio, wall, audio / wall, tempo);
    return 0;
}

int snapshot(const boost::shared_ptr<KvRepackInfoPtrList> &doc, qint64 edits, quint32 seed)
{
    QRandomGenerator rng(seed);
    const qint64 total = doc->totalFrames();
    for (qint64 i = 0; i < edits; ++i) {
        const qint64 start = rng.bounded(quint32(total));
        const qint64 count = 1 + rng.bounded(quint32(std::min<qint64>(1150, total - start)));
        const auto clip = doc->copyRange(start, count);
        doc->deleteRange(start, count);
        doc->insertList(rng.bounded(quint32(total - count + 1)), clip);
    }
    const int runs = 20;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i)
        doc->copyRange(0, -1);
    std::printf("snapshot: %lld frames in %lld fragments copied in %.2f ms\n", static_cast<long long>(total),
                static_cast<long long>(doc->fragmentCount()), t.nsecsElapsed() / 1e6 / runs);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.isEmpty())
        return usage();
    const QString cmd = args.takeFirst();
    double tempo = 1.0, edits = 0, seed = 1;
    if (!takeOption(args, "--tempo", tempo) || !takeOption(args, "--edits", edits) ||
        !takeOption(args, "--seed", seed) || args.size() != 1)
        return usage();
    boost::shared_ptr<KvAudioFile> file;
    const auto doc = openDocument(args.first(), file);
    if (!doc)
        return 1;
    if (cmd == "decode")
        return decode(doc, tempo);
    if (cmd == "snapshot")
        return snapshot(doc, qint64(edits), quint32(seed));
    return usage();
}
