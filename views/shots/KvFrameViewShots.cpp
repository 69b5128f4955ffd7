// Screenshot of the frame views on a real document, as the editor panel
// arranges them: caret ruler over the frame display, overview map over the
// map ruler. The document gets edit seams, silenced frames, three tracks and
// a selection, so that every element of the views shows.
// Usage: kv_frame_view_shots [--dark] FILE.mp3 OUT.png   (see scripts/screenshots/frame-views.sh)
#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvConnect.h>
#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvFrameMapView.h>
#include <KvFrameRulerView.h>
#include <KvFrameWidget.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagInfo.h>
#include <KvWidgetUiServices.h>

#include <QApplication>
#include <QFrame>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QVBoxLayout>

#include <boost/make_shared.hpp>

#include <cstdio>

namespace {

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(30, 30, 32));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(53, 53, 56));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    return p;
}

QFrame *framed(QWidget *top, QWidget *bottom, QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Plain);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(bottom);
    return frame;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    const bool dark = args.removeAll(QStringLiteral("--dark")) > 0;
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: kv_frame_view_shots [--dark] FILE.mp3 OUT.png\n");
        return 2;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
    installKvWidgetUiServices();

    QWidget window;
    window.setWindowTitle(QStringLiteral("Frame views"));
    KvQmlModel model(&window);
    KvQmlController controller(&window);
    controller.setModel(&model);

    bool heAac = false;
    QString error;
    const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(args.at(0), heAac, error);
    if (!file || !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const boost::shared_ptr<KvAudioFragmentList> cursor = createFragmentListByFormat(QStringLiteral("mp3"));
    const KvRepackInfoPtrListPtr doc = cursor->list();
    doc->appendFragment(file->createRepackInfo(0, -1));
    const qint64 total = doc->totalFrames();
    // Edit seams: a piece moved forward.
    doc->insertList(total / 2, doc->copyRange(total / 4, 200));
    doc->deleteRange(total / 4, 200);
    model.setFragmentList(cursor);
    const auto tracks = model.trackList();
    KvTagInfo tags;
    tags.title = QStringLiteral("Overture");
    tracks->appendTrack(boost::make_shared<KvTagProperty>(0, total / 3, tags));
    tags.title = QStringLiteral("A rather long second movement title");
    tracks->appendTrack(boost::make_shared<KvTagProperty>(total / 3, total / 3 + 40, tags));
    tags.title = QStringLiteral("Finale");
    tracks->appendTrack(boost::make_shared<KvTagProperty>(total / 3 + 40, KvTagProperty::EndMarker, tags));

    auto *caretRuler = new KvFrameRulerView(&window);
    auto *frames = new KvFrameWidget(&window);
    auto *map = new KvFrameMapView(&window);
    auto *mapRuler = new KvFrameRulerView(&window);
    caretRuler->setMinimumHeight(32);
    frames->setMinimumHeight(64);
    frames->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    map->setMinimumHeight(40);
    mapRuler->setMinimumHeight(28);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(framed(caretRuler, frames, &window), 1);
    QFrame *mapFrame = framed(map, mapRuler, &window);
    mapFrame->setMaximumHeight(100);
    layout->addWidget(mapFrame);

    for (KvFrameRulerView *ruler : {caretRuler, mapRuler}) {
        ruler->setModel(&model);
        ruler->setController(&controller);
    }
    frames->setModel(&model);
    frames->setController(&controller);
    map->setModel(&model);
    map->setController(&controller);
    frames->attach(cursor);
    frames->setRulerView(caretRuler);
    frames->setEditForm(&window);
    map->setFrameWidget(frames);
    map->setEditForm(&window);
    map->CalcViews();
    caretRuler->setFrameWidget(frames);
    caretRuler->setEditForm(&window);
    caretRuler->setCaretMode(true);
    caretRuler->setRulerMode(false);
    mapRuler->setFrameWidget(frames);
    mapRuler->setEditForm(&window);
    mapRuler->setTicksFromTop(true);
    mapRuler->setRulerMode(true);
    caretRuler->setHeightScale(1.3);
    mapRuler->setHeightScale(1.2);

    controller.setHZoom(3);
    // Silenced frames inside the first track, then a selection around the seam.
    controller.setSelectionStart(double(total / 3 - 60));
    controller.setSelectionEnd(double(total / 3 - 45));
    controller.actionSilenceFrames();
    controller.setSelectionStart(double(total / 4 - 30));
    controller.setSelectionEnd(double(total / 4 + 25));
    controller.setScrollFrame(double(total / 4 + 60));

    window.resize(1040, 330);
    window.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    if (!window.grab().save(args.at(1))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
