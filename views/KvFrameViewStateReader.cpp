#include "KvFrameViewStateReader.h"

#include <KvAudioFragmentList.h>
#include <KvFrameSizeInfo.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>

KvFrameViewState readFrameViewState(KvQmlController *controller, KvQmlModel *model, QPainter *painter)
{
    KvFrameViewState s;
    if (controller) {
        s.ratio = controller->checkPainterPixelRatio(painter);
        s.dprF = KvQmlController::devicePixelRatioFor(controller);
        s.hZoom = controller->hZoom();
        s.scrollFrame = controller->dbScrollFrame();
        s.displayOffset = controller->displayOffset();
        s.hasDisplayGap = controller->hasDisplayGap();
        s.selectionStart = qint64(controller->selectionStart());
        s.selectionEnd = qint64(controller->selectionEnd());
        s.ceiling = controller->ceiling();
        s.floor = controller->floor();
        s.playPosWidth = controller->playPosWidth();
        s.useAutoTrackNum = controller->useAutoTrackNum();
        s.trackNameFormat = controller->trackNameFormat();
        s.darkMode = controller->isDarkMode();
        s.darkModeColor = [controller](const QColor &c) { return controller->darkModeColor(c); };
        s.windowColor = controller->uiWindowColor();
        s.textColor = controller->uiTextColor();
    }
    if (model) {
        s.frames = model->fragmentList().get();
        s.tracks = model->trackList().get();
        if (s.frames) {
            s.totalFrames = s.frames->totalFrames();
            if (const auto format = s.frames->formatInfo()) {
                s.samplesPerFrame = format->samplesPerFrame();
                s.sampleRate = format->sampleRate();
            }
        }
    }
    return s;
}
