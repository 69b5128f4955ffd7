// Painting the frame views: a full view of a long document cut into many
// fragments, scrolling it frame by frame and by pages, and the overview map.
// Usage: kvviewbench [--fragments N] [--width W] [--zoom Z] FILE.mp3
// Prints milliseconds per paint (median and worst) beside the 60 Hz frame budget.
#include "KvBenchDocument.h"
#include "KvBenchOptions.h"
#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvFrameMapView.h>
#include <KvFrameRulerView.h>
#include <KvFrameWidget.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

void report(const char *what, int runs, const std::function<void(int)> &paint)
{
    kvBenchReport(what, runs, paint, 1e6, 3);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    qint64 fragments = 10000, width = 1920, zoom = 1;
    if (!takeOption(args, "--fragments", fragments) || !takeOption(args, "--width", width) ||
        !takeOption(args, "--zoom", zoom) || args.size() != 1) {
        std::fprintf(stderr, "usage: kvviewbench [--fragments N] [--width W] [--zoom Z] FILE.mp3\n");
        return 2;
    }
    const boost::shared_ptr<KvAudioFragmentList> cursor = kvBenchEditedDocument(args.first(), fragments);
    if (!cursor)
        return 1;
    const KvRepackInfoPtrListPtr doc = cursor->list();
    const qint64 total = doc->totalFrames();
    std::printf("document: %lld frames in %lld fragments; view %lld px at zoom %lld\n",
                static_cast<long long>(doc->totalFrames()), static_cast<long long>(doc->fragmentCount()),
                static_cast<long long>(width), static_cast<long long>(zoom));

    QWidget window;
    KvQmlModel model(&window);
    KvQmlController controller(&window);
    controller.setModel(&model);
    model.setFragmentList(cursor);
    KvFrameWidget frames;
    KvFrameMapView map;
    KvFrameRulerView ruler;
    frames.setModel(&model);
    frames.setController(&controller);
    map.setModel(&model);
    map.setController(&controller);
    map.setFrameWidget(&frames);
    ruler.setModel(&model);
    ruler.setController(&controller);
    ruler.setFrameWidget(&frames);
    ruler.setCaretMode(true);
    controller.setHZoom(int(zoom));
    const int w = int(width);
    frames.resize(w, 240);
    map.resize(w, 60);
    ruler.resize(w, 32);
    controller.setScrollFrame(double(total / 2));

    QImage view(w, 240, QImage::Format_ARGB32_Premultiplied);
    QImage mapImage(w, 60, QImage::Format_ARGB32_Premultiplied);
    QImage rulerImage(w, 32, QImage::Format_ARGB32_Premultiplied);
    auto paintView = [&] {
        QPainter p(&view);
        frames.painter().paint(&p);
    };
    paintView();  // the first paint sets up fonts and the cache
    std::printf("%-44s %6s %10s %10s\n", "paint (budget 16.7 ms at 60 Hz)", "runs", "median_ms", "worst_ms");
    report("full view (cache rebuilt)", 50, [&](int i) {
        controller.setScrollFrame(double(total / 4 + i * 997 % (total / 2)));
        frames.painter().setLastFirstFrame(-1);
        paintView();
    });
    controller.setScrollFrame(double(total / 4));
    paintView();
    report("scroll by one frame", 2000, [&](int) {
        controller.setScrollFrame(controller.scrollFrame() + 1);
        paintView();
    });
    report("scroll by a quarter view", 500, [&](int) {
        controller.setScrollFrame(controller.scrollFrame() + double(w / zoom / 4));
        paintView();
    });
    report("jump (a view or more)", 200, [&](int i) {
        controller.setScrollFrame(double((qint64(i) * 7919 * w) % total));
        paintView();
    });
    report("overview map rebuilt", 10, [&](int) {
        map.painter().reset();
        QPainter p(&mapImage);
        map.painter().paint(&p);
    });
    report("overview map overlays", 500, [&](int i) {
        controller.setScrollFrame(double(i * 97 % total));
        QPainter p(&mapImage);
        map.painter().paint(&p);
    });
    report("caret ruler", 500, [&](int i) {
        controller.setScrollFrame(double(i * 97 % total));
        QPainter p(&rulerImage);
        ruler.painter().paint(&p);
    });
    return 0;
}
