#pragma once
// What the view and navigation benches share: a long document cut into many
// fragments, and the timing of a repeated step.
#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvRepackInfoPtrList.h>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// Opens the MP3 file and cuts and pastes at random (up to 30 s, as kvbench
// edits does) until the document has that many fragments; null, with the
// reason printed, when the file does not open.
inline boost::shared_ptr<KvAudioFragmentList> kvBenchEditedDocument(const QString &path, qint64 fragments)
{
    bool heAac = false;
    QString error;
    const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(path, heAac, error);
    if (!file || !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return nullptr;
    }
    const boost::shared_ptr<KvAudioFragmentList> cursor = createFragmentListByFormat(QStringLiteral("mp3"));
    const KvRepackInfoPtrListPtr doc = cursor->list();
    doc->appendFragment(file->createRepackInfo(0, -1));
    const qint64 total = doc->totalFrames();
    QRandomGenerator rng(1);
    while (doc->fragmentCount() < fragments) {
        const qint64 start = qint64(rng.bounded(quint32(total - 1)));
        const qint64 count = 1 + qint64(rng.bounded(quint32(std::min<qint64>(1150, total - start))));
        const KvRepackInfoPtrListPtr clip = doc->copyRange(start, count);
        doc->deleteRange(start, count);
        doc->insertList(qint64(rng.bounded(quint32(total - count + 1))), clip);
    }
    return cursor;
}

// Runs `op` `runs` times; prints the median and the worst in units of
// `nsPerUnit` nanoseconds with that many decimals.
inline void kvBenchReport(const char *what, int runs, const std::function<void(int)> &op, double nsPerUnit,
                          int decimals)
{
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        op(i);
        times.push_back(double(timer.nsecsElapsed()) / nsPerUnit);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s %6d %10.*f %10.*f\n", what, runs, decimals, times[times.size() / 2], decimals, times.back());
    std::fflush(stdout);
}
