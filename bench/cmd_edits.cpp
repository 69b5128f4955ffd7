// kvbench edits [--ops N] [--seeks N] [--seed S] FILE: random cut/paste edits
// on a document made of the whole file, and cursor seeks, reported per
// operation as the fragment count grows.
#include "KvBenchOptions.h"
#include "KvAudioFile.h"
#include "KvAudioFragmentList.h"
#include "KvEngineFactories.h"
#include "KvRepackInfoPtrList.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

qint64 randomIn(QRandomGenerator &rng, qint64 lo, qint64 hi)
{
    return hi <= lo ? lo : lo + qint64(rng.bounded(quint32(hi - lo + 1)));
}

} // namespace

int cmdEdits(const QStringList &arguments)
{
    QStringList args = arguments;
    qint64 ops = 10000, seeks = 2000, seed = 1;
    if (!takeOption(args, "--ops", ops) || !takeOption(args, "--seeks", seeks) || !takeOption(args, "--seed", seed) ||
        args.size() != 1) {
        std::fprintf(stderr, "usage: kvbench edits [--ops N] [--seeks N] [--seed S] FILE\n");
        return 2;
    }
    bool heAac = false;
    QString error;
    const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(args.first(), heAac, error);
    if (!file || !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const boost::shared_ptr<KvAudioFragmentList> cursor = createFragmentListByFormat("mp3");
    const KvRepackInfoPtrListPtr doc = cursor->list();
    doc->appendFragment(file->createRepackInfo(0, -1));
    const qint64 total = doc->totalFrames();
    std::printf("document: %lld frames in 1 fragment\n", static_cast<long long>(total));
    std::printf("%8s %10s %12s %12s %12s %14s %12s\n", "ops", "fragments", "edit_us", "edit_max_us", "seek_us",
                "fragmentAt_us", "pack_all_ms");

    QRandomGenerator rng{quint32(seed)};
    QElapsedTimer timer;
    const qint64 batch = std::max<qint64>(1, std::min<qint64>(1000, ops));
    qint64 batchNs = 0, batchMax = 0, done = 0;
    while (done < ops) {
        // One edit: cut a range of up to 30 s and paste it at a random place.
        const qint64 start = randomIn(rng, 0, total - 1);
        const qint64 count = randomIn(rng, 1, std::min<qint64>(1150, total - start));
        timer.start();
        const KvRepackInfoPtrListPtr clip = doc->copyRange(start, count);
        doc->deleteRange(start, count);
        doc->insertList(randomIn(rng, 0, total - count), clip);
        const qint64 ns = timer.nsecsElapsed();
        batchNs += ns;
        batchMax = std::max(batchMax, ns);
        ++done;
        if (done % batch != 0 && done != ops)
            continue;

        // Seeks of the cursor to random frames, then one step on.
        qint64 seekNs = 0, atNs = 0;
        for (qint64 k = 0; k < seeks; ++k) {
            const qint64 p = randomIn(rng, 0, total - 1);
            timer.start();
            cursor->seekFrame(p);
            cursor->nextFrameLevel();
            seekNs += timer.nsecsElapsed();
            cursor->resetCache();
            timer.start();
            qint64 local = 0, index = 0;
            cursor->fragmentAt(p, &local, &index);
            atNs += timer.nsecsElapsed();
        }
        // Packing every fragment, as undo snapshots are packed (on a copy).
        const KvRepackInfoPtrListPtr copy = doc->copyRange(0, -1);
        timer.start();
        copy->compressAll();
        const qint64 packNs = timer.nsecsElapsed();

        const qint64 n = done % batch == 0 ? batch : done % batch;
        std::printf("%8lld %10lld %12.1f %12.1f %12.2f %14.2f %12.1f\n", static_cast<long long>(done),
                    static_cast<long long>(doc->fragmentCount()), double(batchNs) / double(n) / 1e3,
                    double(batchMax) / 1e3, seeks ? double(seekNs) / double(seeks) / 1e3 : 0.0,
                    seeks ? double(atNs) / double(seeks) / 1e3 : 0.0, double(packNs) / 1e6);
        std::fflush(stdout);
        batchNs = batchMax = 0;
    }
    if (doc->totalFrames() != total) {
        std::fprintf(stderr, "frame count changed: %lld\n", static_cast<long long>(doc->totalFrames()));
        return 1;
    }
    return 0;
}
