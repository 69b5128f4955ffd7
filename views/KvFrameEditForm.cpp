#include "KvFrameEditForm.h"
#include "ui_KvFrameEditForm.h"

#include <KvAudioFragmentList.h>
#include <KvConnect.h>
#include <KvFileProperties.h>
#include <KvFrameSizeInfo.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRepackInfo.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagProperty.h>

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QPushButton>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

namespace {

QString longTime(qint64 ms)
{
    return KvQmlController::timeToString(ms, false, false);
}

QString compactTime(qint64 ms)
{
    return KvQmlController::timeToString(ms, true, false);
}

// Gives the widgets one width, the widest one's.
void equalWidths(const QList<QWidget *> &widgets)
{
    int widest = 0;
    for (QWidget *w : widgets) {
        w->setMinimumSize(0, 0);
        w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        w->resize(w->sizeHint());
        widest = std::max(widest, w->width());
    }
    for (QWidget *w : widgets) {
        w->setMinimumWidth(widest);
        w->setMaximumWidth(widest);
    }
}

} // namespace

KvSecondTicker::Tick KvSecondTicker::next(qint64 ms, bool playing)
{
    Tick tick;
    tick.ms = ms;
    if (playing) {
        const qint64 whole = ms / 1000 * 1000;
        if (whole != last) {
            tick.ms = whole;
            tick.wholeSecond = true;
        } else {
            tick.show = false;
        }
    }
    // Within a second the whole second stays the reference, so that the
    // display is redrawn once a second.
    if (tick.show)
        last = tick.ms;
    return tick;
}

QString KvSecondTicker::text(const Tick &tick)
{
    QString text = longTime(tick.ms);
    if (tick.wholeSecond)
        text.replace(QLatin1String(".00"), QLatin1String(".  "));
    return text;
}

KvWheelStep KvWheelStep::of(int delta, Qt::KeyboardModifiers modifiers, int wheelScrollLines, double pixelsPerFrame)
{
    const double steps = delta / 120.0;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool alt = modifiers & Qt::AltModifier;
    KvWheelStep step;
    if (shift && alt) {
        step.kind = VerticalZoom;
        step.flag = steps > 0;
    } else if (shift) {
        step.kind = VerticalShift;
        step.flag = steps < 0;
    } else if (alt) {
        step.kind = HorizontalZoom;
        step.flag = steps > 0;
    } else {
        // A notch moves 16 logical pixels a scroll line; away from the user is back.
        step.kind = StepFrames;
        step.frames = pixelsPerFrame > 0 ? int(-steps * wheelScrollLines * 16 / pixelsPerFrame) : 0;
    }
    return step;
}

KvFrameEditForm::KvFrameEditForm(QWidget *parent) : QWidget(parent), ui(new Ui::FrameEditForm)
{
    ui->setupUi(this);
    equaliseWidths();
    TrackInfoUpdated();
    clearCachedPart();
    refresh();
}

KvFrameEditForm::~KvFrameEditForm() = default;

void KvFrameEditForm::equaliseWidths()
{
    const QList<QPushButton *> buttons = {ui->buttonSelectionStart, ui->buttonSelectionEnd, ui->buttonTrackStart,
                                          ui->buttonTrackEnd,       ui->buttonTrackSplit,   ui->buttonDeleteTrack};
    QList<QWidget *> widgets;
    for (QPushButton *button : buttons) {
        button->setText(QStringLiteral("  %1  ").arg(button->text()));
        widgets << button;
    }
    equalWidths(widgets);
    equalWidths({ui->groupBoxSelection, ui->groupBoxTrackSelection});

    // The time fields hold the longest time text.
    QLineEdit *sample = ui->lineEditTrackLocation;
    sample->setMinimumSize(0, 0);
    sample->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    sample->resize(sample->sizeHint());
    const QRect text = sample->fontMetrics().boundingRect(QStringLiteral("000:00:00.00"));
    const int width = text.width() + 3 + (sample->height() - text.height());
    for (QLineEdit *field : {ui->lineEditTrackLocation, ui->lineEditTrackDuration, ui->lineEditFileLocation,
                             ui->lineEditFileDuration}) {
        field->setMinimumWidth(width);
        field->setMaximumWidth(width);
        field->resize(field->sizeHint());
    }
}

KvFrameWidget *KvFrameEditForm::frameWidget() const { return ui->widgetMP3Frames; }
KvFrameMapView *KvFrameEditForm::mapView() const { return ui->widgetFrameMap; }
KvFrameRulerView *KvFrameEditForm::caretRuler() const { return ui->widgetMP3CaretRuler; }
KvFrameRulerView *KvFrameEditForm::mapRuler() const { return ui->widgetMP3MapRuler; }
KvVuMeter *KvFrameEditForm::vuMeter() const { return ui->frameVUParent; }

void KvFrameEditForm::setModel(KvQmlModel *model)
{
    if (model == m_model)
        return;
    m_model = model;
    ui->widgetMP3CaretRuler->setModel(model);
    ui->widgetMP3MapRuler->setModel(model);
    ui->widgetMP3Frames->setModel(model);
    ui->widgetFrameMap->setModel(model);
    emit modelChanged(model);
}

void KvFrameEditForm::setController(KvQmlController *controller)
{
    if (controller == m_controller)
        return;
    m_controller = controller;
    ui->widgetMP3CaretRuler->setController(controller);
    ui->widgetMP3MapRuler->setController(controller);
    ui->widgetMP3Frames->setController(controller);
    ui->widgetFrameMap->setController(controller);
    if (controller) {
        kvConnect(controller, SIGNAL(playStateChanged(int)), this, SLOT(playStateChanged(int)));
        kvConnect(controller, SIGNAL(isPlayingChanged(bool)), this, SLOT(isPlayingChanged(bool)));
    }
    emit controllerChanged(controller);
}

void KvFrameEditForm::attachViews(const boost::shared_ptr<KvAudioFragmentList> &fragments, bool keepPlace)
{
    KvFrameWidget *frames = ui->widgetMP3Frames;
    frames->attach(fragments, keepPlace);
    frames->setRulerView(ui->widgetMP3CaretRuler);
    frames->setEditForm(this);

    ui->widgetFrameMap->setFrameWidget(frames);
    ui->widgetFrameMap->setEditForm(this);
    ui->widgetFrameMap->CalcViews();

    for (KvFrameRulerView *ruler : {ui->widgetMP3CaretRuler, ui->widgetMP3MapRuler}) {
        ruler->attach(fragments);
        ruler->setFrameWidget(frames);
        ruler->setEditForm(this);
    }
    ui->widgetMP3CaretRuler->setCaretMode(true);
    ui->widgetMP3CaretRuler->setRulerMode(false);
    ui->widgetMP3MapRuler->setTicksFromTop(true);
    ui->widgetMP3MapRuler->setRulerMode(true);
    ui->widgetMP3CaretRuler->setHeightScale(1.3);
    ui->widgetMP3MapRuler->setHeightScale(1.2);

    clearCachedPart();
    CalcViews();
    // The play position returns to the document start.
    if (m_controller && !keepPlace)
        m_controller->moveScrollFrame(0);
    refresh();
}

qint64 KvFrameEditForm::currentPosition() const
{
    return m_controller ? qint64(m_controller->scrollFrame()) : 0;
}

qint64 KvFrameEditForm::framesToMs(qint64 frames, int samplesPerFrame, int sampleRate)
{
    if (sampleRate <= 0)
        return 0;
    // 64-bit: documents of more than 596 hours are shown, not wrapped.
    return qint64(double(samplesPerFrame) * double(frames) * 1000.0 / double(sampleRate));
}

bool KvFrameEditForm::hasDocument() const
{
    return m_model && m_model->fragmentList() && m_model->fragmentList()->totalFrames() != 0;
}

bool KvFrameEditForm::documentFormat(int *samplesPerFrame, int *sampleRate) const
{
    const KvRepackInfoPtrListPtr document = m_model->fragmentList()->list();
    if (!document || document->fragmentCount() == 0)
        return false;
    const boost::shared_ptr<KvFrameSizeInfo> format = document->list()->front()->sizeInfo();
    if (!format)
        return false;
    *samplesPerFrame = format->samplesPerFrame();
    *sampleRate = format->sampleRate();
    return true;
}

void KvFrameEditForm::showBlank()
{
    ui->lcdTimer->setDigitCount(longTime(0).length());
    ui->lcdTimer->setSmallDecimalPoint(true);
    ui->lcdTimer->display(QString());
    ui->lcdTimerSel->setDigitCount(compactTime(2000).length());
    ui->lcdTimerSel->setSmallDecimalPoint(true);
    ui->lcdTimerSel->display(QString());
    const QSize twice = ui->lcdTimer->sizeHint() * 2;
    ui->lcdTimer->setMinimumSize(twice);
    ui->lcdTimerSel->setMinimumSize(twice);
    for (QPushButton *button : {ui->buttonSelectionStart, ui->buttonSelectionEnd, ui->buttonTrackStart,
                                ui->buttonTrackEnd, ui->buttonTrackSplit, ui->buttonDeleteTrack})
        button->setEnabled(false);
    updateTrackInfo(nullptr, 0);
    updatePartInfo(boost::shared_ptr<KvRepackInfo>(), 0, 0);
}

void KvFrameEditForm::fitLcdDigits(int digits)
{
    // Both displays keep the play display's digit count; sizes follow it.
    for (QLCDNumber *lcd : {ui->lcdTimer, ui->lcdTimerSel}) {
        if (lcd->digitCount() == digits)
            continue;
        lcd->setDigitCount(digits);
        lcd->setSmallDecimalPoint(true);
        const QSize twice = lcd->sizeHint() * 2;
        lcd->setMinimumSize(twice);
        lcd->setMaximumSize(twice);
    }
}

void KvFrameEditForm::ScrollValueChanged(qint64 value)
{
    if (!hasDocument() || !m_model->fragmentList()->formatInfo()) {
        showBlank();
        return;
    }
    KvAudioFragmentList *cursor = m_model->fragmentList().get();
    int samplesPerFrame = 0, sampleRate = 0;
    if (const boost::shared_ptr<KvFrameSizeInfo> format = cursor->formatInfo()) {
        samplesPerFrame = format->samplesPerFrame();
        sampleRate = format->sampleRate();
    }
    const qint64 total = cursor->totalFrames();
    const qint64 pos = std::min(value, total);
    const qint64 start = m_controller ? qint64(m_controller->selectionStart()) : -1;
    const qint64 end = m_controller ? qint64(m_controller->selectionEnd()) : -1;
    qint64 span = start != -1 && end != -1 && end > start ? end - start : 0;
    span = std::min(span, total);
    const qint64 spanMs = framesToMs(span, samplesPerFrame, sampleRate);
    const qint64 posMs = framesToMs(pos, samplesPerFrame, sampleRate);

    const bool playing = m_controller && m_controller->isPlaying();
    const KvSecondTicker::Tick tick = m_playTicker.next(posMs, playing);
    const QString posText = KvSecondTicker::text(tick);
    fitLcdDigits(posText.length() - 1);  // the decimal point takes no digit
    if (tick.show)
        ui->lcdTimer->display(posText);
    ui->lcdTimerSel->display(compactTime(spanMs));

    ui->buttonSelectionStart->setEnabled(true);
    ui->buttonSelectionEnd->setEnabled(true);

    // At the end the open track end is asked about.
    const qint64 q = pos < total ? pos : KvTagProperty::EndMarker;
    const KvQmlModel::FilePropertiesPtr tracks = m_model->trackList();
    ui->buttonTrackStart->setEnabled(tracks && tracks->canSetTrackStart(q));
    ui->buttonTrackEnd->setEnabled(tracks && tracks->canSetTrackEnd(q));
    ui->buttonTrackSplit->setEnabled(tracks && tracks->canSplitTrack(q));
    ui->buttonDeleteTrack->setEnabled(tracks && tracks->canDeleteTrack(q));
    if (tracks) {
        int index = 0;
        const KvTagPropertyPtr track = tracks->trackIndexAt(q, &index);
        updateTrackInfo(track.get(), index);
    } else {
        updateTrackInfo(nullptr, 0);
    }

    qint64 local = 0, partNo = 0;
    const boost::shared_ptr<KvRepackInfo> fragment = cursor->fragmentAt(pos, &local, &partNo);
    updatePartInfo(fragment, local, partNo);
}

void KvFrameEditForm::updateTrackInfo(KvTagProperty *track, int index)
{
    if (!track) {
        ui->lineEditTrackNo->clear();
        ui->lineEditTrackName->clear();
        ui->lineEditTrackLocation->clear();
        ui->lineEditTrackDuration->clear();
    } else if (track == m_cachedTrack && index == m_cachedTrackIndex) {
        return;
    }
    int samplesPerFrame = 0, sampleRate = 0;
    if (!hasDocument() || !documentFormat(&samplesPerFrame, &sampleRate))
        return;
    if (track) {
        const qint64 total = m_model->fragmentList()->totalFrames();
        ui->lineEditTrackNo->setText(QStringLiteral("%1").arg(index));
        ui->lineEditTrackName->setText(
            m_controller ? track->formatTrackName(index, m_controller->useAutoTrackNum(), m_controller->trackNameFormat())
                         : QString());
        const qint64 start = track->start();
        const qint64 end = track->end() == KvTagProperty::EndMarker ? total : track->end();
        ui->lineEditTrackLocation->setText(longTime(framesToMs(start, samplesPerFrame, sampleRate)));
        ui->lineEditTrackDuration->setText(compactTime(framesToMs(end - start, samplesPerFrame, sampleRate)));
    }
    m_cachedTrack = track;
    m_cachedTrackIndex = index;
}

void KvFrameEditForm::updatePartInfo(const boost::shared_ptr<KvRepackInfo> &fragment, qint64 localIndex, qint64 partNo)
{
    if (!hasDocument()) {
        ui->lineEditPartNo->clear();
        ui->lineEditSourceFile->clear();
        ui->lineEditFileLocation->clear();
        ui->lineEditFileDuration->clear();
        return;
    }
    if (fragment && fragment == m_cachedFragment && partNo == m_cachedPartNo) {
        // Within the same part only the source location moves.
        if (localIndex == m_cachedLocalIndex)
            return;
        const qint64 ms = qint64(double(fragment->firstFrame() + localIndex) * m_msPerFrame);
        const KvSecondTicker::Tick tick = m_sourceTicker.next(ms, m_controller && m_controller->isPlaying());
        if (tick.show)
            ui->lineEditFileLocation->setText(KvSecondTicker::text(tick));
        m_cachedLocalIndex = localIndex;
        return;
    }
    int samplesPerFrame = 0, sampleRate = 0;
    if (!documentFormat(&samplesPerFrame, &sampleRate))
        return;
    if (!fragment) {
        ui->lineEditPartNo->clear();
        ui->lineEditSourceFile->clear();
        ui->lineEditFileLocation->clear();
        ui->lineEditFileDuration->clear();
    } else {
        ui->lineEditPartNo->setText(QStringLiteral("%1").arg(partNo));
        ui->lineEditSourceFile->setText(QDir::toNativeSeparators(fragment->sourcePath()));
        ui->lineEditFileLocation->setText(
            longTime(framesToMs(fragment->firstFrame() + localIndex, samplesPerFrame, sampleRate)));
        ui->lineEditFileDuration->setText(compactTime(framesToMs(fragment->frameCount(), samplesPerFrame, sampleRate)));
    }
    m_cachedFragment = fragment;
    m_cachedLocalIndex = localIndex;
    m_cachedPartNo = partNo;
    m_msPerFrame = sampleRate > 0 ? samplesPerFrame * 1000.0 / sampleRate : 0.0;
}

void KvFrameEditForm::clearCachedPart()
{
    m_cachedFragment.reset();
    m_cachedLocalIndex = -1;
    m_cachedPartNo = 0;
    m_msPerFrame = 0.0;
    m_sourceTicker.last = 0;
    m_playTicker.last = 0;
}

void KvFrameEditForm::TrackInfoUpdated()
{
    m_cachedTrack = nullptr;
    m_cachedTrackIndex = 0;
    emit RaiseTrackInfoUpdated();
    refresh();
}

void KvFrameEditForm::CalcViews()
{
    if (m_model && m_model->fragmentList())
        m_model->fragmentList()->resetCache();
    clearCachedPart();
    refresh();
    ui->widgetMP3Frames->CalcViews();
    ui->widgetFrameMap->CalcViews();
    ui->widgetMP3CaretRuler->update();
    ui->widgetMP3MapRuler->update();
    update();
    emit RaiseCalcEnabledActions();
}

void KvFrameEditForm::VolumeChanged(double value)
{
    if (m_controller)
        m_controller->volumeChanged(value);
}

void KvFrameEditForm::PitchChanged(double value)
{
    if (m_controller)
        m_controller->pitchChanged(value);
}

void KvFrameEditForm::TempoChanged(double value)
{
    if (m_controller)
        m_controller->tempoChanged(value);
}

void KvFrameEditForm::PlayClicked() { emit RaisePlay(); }
void KvFrameEditForm::PlaySelectionClicked() { emit RaisePlaySelection(); }
void KvFrameEditForm::StopClicked() { emit RaiseStop(); }

void KvFrameEditForm::Play(bool bPlaySelection)
{
    if (m_controller)
        m_controller->actionPlay(bPlaySelection);
}

void KvFrameEditForm::StartPlay()
{
    if (m_controller)
        m_controller->startPlay();
}

void KvFrameEditForm::ResumePlay()
{
    if (m_controller)
        m_controller->resumePlay();
}

void KvFrameEditForm::PlaySelection()
{
    if (m_controller)
        m_controller->playSelection();
}

void KvFrameEditForm::Pause()
{
    if (m_controller)
        m_controller->actionPause();
    CheckAudioScrubCursor();
}

void KvFrameEditForm::Stop()
{
    if (m_controller)
        m_controller->stop();
    emit RaisePlayFinished();
}

void KvFrameEditForm::CheckAudioScrubCursor()
{
    ui->widgetMP3Frames->checkScrubCursor(nullptr, false, false);
    ui->widgetMP3CaretRuler->checkScrubCursor();
    ui->widgetMP3MapRuler->checkScrubCursor();
    ui->widgetFrameMap->checkScrubCursor();
}

void KvFrameEditForm::RewindBeginning()
{
    if (m_controller)
        m_controller->rewindBeginning();
}

void KvFrameEditForm::FowardEnd()
{
    if (m_controller)
        m_controller->fowardEnd();
}

void KvFrameEditForm::SelectionChanged()
{
    refresh();
}

void KvFrameEditForm::SelectAll()
{
    if (m_controller)
        m_controller->actionSelectAll();
}

void KvFrameEditForm::PlayPositionChanged_triggered(double, qint16 volLeft, qint16 volRight)
{
    ui->widgetMP3Frames->playPositionMoved();
    if (volLeft != -1 && volRight != -1)
        ui->frameVUParent->setLevels(volLeft, volRight);
}

void KvFrameEditForm::playStateChanged(int)
{
    ui->frameVUParent->setLevels(0, 0);
    CheckAudioScrubCursor();
}

void KvFrameEditForm::isPlayingChanged(bool isPlaying)
{
    if (isPlaying)
        return;
    // The exact time again, in place of the whole seconds of playback.
    clearCachedPart();
    refresh();
}

void KvFrameEditForm::on_buttonTrackStart_clicked() { emit RaiseSetTrackStart(currentPosition()); }
void KvFrameEditForm::on_buttonTrackEnd_clicked() { emit RaiseSetTrackEnd(currentPosition()); }
void KvFrameEditForm::on_buttonTrackSplit_clicked() { emit RaiseSplitTrack(currentPosition()); }
void KvFrameEditForm::on_buttonDeleteTrack_clicked() { emit RaiseDeleteTrack(currentPosition()); }

void KvFrameEditForm::handleWheelEvent(QWheelEvent *event)
{
    if (!m_controller)
        return;
    // The wheel's own axis: Alt turns a vertical wheel into a horizontal one.
    const QPoint angle = event->angleDelta();
    const int delta = std::abs(angle.x()) > std::abs(angle.y()) ? angle.x() : angle.y();
    const KvWheelStep step = KvWheelStep::of(delta, event->modifiers(), QApplication::wheelScrollLines(),
                                             m_controller->pixelsPerFrame());
    switch (step.kind) {
    case KvWheelStep::VerticalZoom:
        m_controller->verticalZoomInOut(step.flag);
        break;
    case KvWheelStep::VerticalShift:
        m_controller->verticalShiftUpDown(step.flag);
        break;
    case KvWheelStep::HorizontalZoom:
        m_controller->actionHorizontalZoomInOut(step.flag);
        break;
    case KvWheelStep::StepFrames:
        m_controller->stepFrames(step.frames);
        ui->widgetMP3Frames->playPositionMoved();
        break;
    }
}

void KvFrameEditForm::keyPressEvent(QKeyEvent *event)
{
    ui->widgetMP3Frames->keyPressEvent(event);
}

void KvFrameEditForm::keyReleaseEvent(QKeyEvent *event)
{
    ui->widgetMP3Frames->keyReleaseEvent(event);
}

void KvFrameEditForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    CalcViews();
}
