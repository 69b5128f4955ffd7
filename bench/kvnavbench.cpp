// Navigation and selection on a long, much-edited document: the cost of one
// step of the position (with everything it republishes: time texts, edit
// and track points, the file under the position) and of one selection change
// (with its undo entry).
// Usage: kvnavbench [--fragments N] FILE.mp3
// Prints microseconds per operation (median and worst).
#include "KvBenchOptions.h"
#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QUndoStack>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Runs `op` `runs` times; prints the median and the worst in microseconds.
void report(const char *what, int runs, const std::function<void(int)> &op)
{
    std::vector<double> us;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        op(i);
        us.push_back(double(timer.nsecsElapsed()) / 1e3);
    }
    std::sort(us.begin(), us.end());
    std::printf("%-44s %6d %10.2f %10.2f\n", what, runs, us[us.size() / 2], us.back());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    qint64 fragments = 10000;
    if (!takeOption(args, "--fragments", fragments) || args.size() != 1) {
        std::fprintf(stderr, "usage: kvnavbench [--fragments N] FILE.mp3\n");
        return 2;
    }
    bool heAac = false;
    QString error;
    const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(args.first(), heAac, error);
    if (!file || !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const boost::shared_ptr<KvAudioFragmentList> cursor = createFragmentListByFormat(QStringLiteral("mp3"));
    const KvRepackInfoPtrListPtr doc = cursor->list();
    doc->appendFragment(file->createRepackInfo(0, -1));
    const qint64 total = doc->totalFrames();
    // Random cut and paste of up to 30 s, as kvbench edits does, until the
    // document has that many fragments.
    QRandomGenerator rng(1);
    while (doc->fragmentCount() < fragments) {
        const qint64 start = qint64(rng.bounded(quint32(total - 1)));
        const qint64 count = 1 + qint64(rng.bounded(quint32(std::min<qint64>(1150, total - start))));
        const KvRepackInfoPtrListPtr clip = doc->copyRange(start, count);
        doc->deleteRange(start, count);
        doc->insertList(qint64(rng.bounded(quint32(total - count + 1))), clip);
    }
    std::printf("document: %lld frames in %lld fragments\n", static_cast<long long>(doc->totalFrames()),
                static_cast<long long>(doc->fragmentCount()));

    KvQmlModel model;
    KvQmlController controller;
    controller.setModel(&model);
    model.setFragmentList(cursor);
    controller.refreshDocumentState();
    controller.refreshAfterUndo();
    // Tracks make the track points and capabilities do their work too.
    for (int t = 1; t < 20; ++t)
        controller.splitTrack(double(total * t / 20));
    model.undoStack()->clear();

    std::printf("%-44s %6s %10s %10s\n", "operation", "runs", "median_us", "worst_us");
    controller.setScrollFrame(double(total / 2));
    report("step one frame", 5000, [&](int i) { controller.stepFrames(i % 2 ? -1 : 1); });
    report("step 0.5 s (time move)", 2000, [&](int i) { controller.actionMoveFramesForTime(i % 200 < 100 ? 0.5 : -0.5); });
    report("jump anywhere", 2000, [&](int i) { controller.moveScrollFrame(double((qint64(i) * 7919) % total)); });
    report("next edit point", 2000, [&](int i) {
        if (i % 500 == 0)
            controller.moveScrollFrame(double(total / 4));
        controller.actionNextEdit();
    });
    controller.setScrollFrame(double(total / 2));
    report("keyboard selection step (undo entry)", 2000, [&](int i) { controller.keyboardSelect(i % 2 ? -3 : 5); });
    report("mouse selection drag sample", 5000, [&](int i) { controller.extendSelection(double(total / 3 + i * 37 % (total / 3))); });
    report("select all (undo entry)", 500, [&](int) {
        controller.resetSelection();
        controller.actionSelectAll();
    });
    return 0;
}
