// Screenshot of the editor panel on a real document, with the playback
// controls under it as the status bar shows them: caret ruler over the frame
// display, overview map over the map ruler, time displays, level meter and
// the track and part fields. The document gets edit seams, silenced frames, three tracks and
// a selection, so that every element of the views shows.
// Usage: kv_frame_view_shots [--dark] FILE.mp3 OUT.png   (see scripts/screenshots/frame-views.sh)
#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvConnect.h>
#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvFrameEditForm.h>
#include <KvPlaybackControls.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagInfo.h>
#include <KvWidgetUiServices.h>

#include <QApplication>
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

    auto *layout = new QVBoxLayout(&window);
    auto *panel = new KvFrameEditForm(&window);
    auto *controls = new KvPlaybackControls(&window);
    layout->addWidget(panel, 1);
    layout->addWidget(controls);
    panel->setModel(&model);
    panel->setController(&controller);
    kvConnect(controls, SIGNAL(VolumeChanged(double)), panel, SLOT(VolumeChanged(double)));
    kvConnect(controls, SIGNAL(PitchChanged(double)), panel, SLOT(PitchChanged(double)));
    kvConnect(controls, SIGNAL(TempoChanged(double)), panel, SLOT(TempoChanged(double)));
    kvConnect(&controller, SIGNAL(scrollFrameChanged(double)), panel, SLOT(SelectionChanged()));
    kvConnect(&controller, SIGNAL(selectionChanged()), panel, SLOT(SelectionChanged()));
    panel->attachViews(cursor);

    controller.setHZoom(3);
    // Silenced frames inside the first track, then a selection around the seam.
    controller.setSelectionStart(double(total / 3 - 60));
    controller.setSelectionEnd(double(total / 3 - 45));
    controller.actionSilenceFrames();
    controller.setSelectionStart(double(total / 4 - 30));
    controller.setSelectionEnd(double(total / 4 + 25));
    controller.setScrollFrame(double(total / 4 + 60));

    window.resize(1280, 560);
    window.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    panel->PlayPositionChanged_triggered(controller.scrollFrame(), 21000, 9000);
    panel->ScrollValueChanged(qint64(controller.scrollFrame()));
    QApplication::processEvents();
    if (!window.grab().save(args.at(1))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
