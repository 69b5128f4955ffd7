// Navigation and selection on a long, much-edited document: the cost of one
// step of the position (with everything it republishes: time texts, edit
// and track points, the file under the position) and of one selection change
// (with its undo entry).
// Usage: kvnavbench [--fragments N] FILE.mp3
// Prints microseconds per operation (median and worst).
#include "KvBenchDocument.h"
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

void report(const char *what, int runs, const std::function<void(int)> &op)
{
    kvBenchReport(what, runs, op, 1e3, 2);
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
    const boost::shared_ptr<KvAudioFragmentList> cursor = kvBenchEditedDocument(args.first(), fragments);
    if (!cursor)
        return 1;
    const KvRepackInfoPtrListPtr doc = cursor->list();
    const qint64 total = doc->totalFrames();
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
