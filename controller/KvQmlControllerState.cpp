// Document state publishing, the scroll position, zoom and level scale, and
// the time and level texts.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvDocumentFrames.h>
#include <KvEngineFactories.h>
#include <KvFrameSizeInfo.h>
#include <KvPlayThread.h>
#include <KvQmlModel.h>
#include <KvRepackInfo.h>
#include <KvClock.h>

#include <QFileInfo>
#include <QTime>

#include <algorithm>
#include <cmath>

qint64 KvQmlController::documentFrames() const
{
    return m_model ? documentTotalFrames(m_model->fragmentList().get()) : 0;
}

double KvQmlController::totalFrames() const { return double(documentFrames()); }

bool KvQmlController::hasSelection() const { return kvIsSelection(m_selectionStart, m_selectionEnd); }

bool KvQmlController::hasFragments() const { return documentFrames() > 0; }

// ---- Document state ----

void KvQmlController::refreshDocumentState()
{
    if (m_selectionStart != m_publishedSelectionStart || m_selectionEnd != m_publishedSelectionEnd) {
        updateTimeTexts();
        emit selectionChanged();
    }

    // Before the first announcement the views know of no selection.
    const bool selected = kvIsSelection(m_selectionStart, m_selectionEnd);
    const bool wasSelected =
        m_selectionPublished && kvIsSelection(m_publishedSelectionStart, m_publishedSelectionEnd);
    if (selected != wasSelected)
        emit hasSelectionChanged(selected);

    const double count = totalFrames();
    if (count != m_publishedTotalFrames) {
        m_publishedTotalFrames = count;
        emit totalFramesChanged(count);
    }

    const bool present = count > 0;
    if (present != m_publishedFragments) {
        m_publishedFragments = present;
        updateTrackCapabilities();
        updateTimeTexts();
        updateTrackPoints();
        updateEditPoints();
        updateCanSaveDirtyProject();
        emit hasFragmentsChanged(present);
    }

    // The format word stays while there is no document.
    if (const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr)
        assignAndNotify(m_audioType, documentFileSuffix(cursor->list()), &KvQmlController::audioTypeChanged);

    m_publishedSelectionStart = m_selectionStart;
    m_publishedSelectionEnd = m_selectionEnd;
    m_selectionPublished = true;
}

void KvQmlController::refreshAfterUndo()
{
    // The edit may have replaced the fragment the cursor remembers.
    if (const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr)
        cursor->resetCache();
    updateTrackCapabilities();
    updateTimeTexts();
    updateCanSaveDirtyProject();
    updateStatusMessage();
    updateNumTracks();
    m_posFileFragment.reset();
    m_posFileOffset = -1;
    m_posFileIndex = 0;
    updateCurrentPosFileName();
    emit calcViews();
}

void KvQmlController::setCurrentPosFileName(const QString &name)
{
    if (name == m_currentPosFileName)
        return;
    m_currentPosFileName = name;
    emit currentPosFileNameChanged(name);
}

void KvQmlController::updateCurrentPosFileName()
{
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr;
    const qint64 total = cursor ? cursor->totalFrames() : 0;
    if (total <= 0) {
        setCurrentPosFileName(QString());
        return;
    }
    // Just behind the last frame the name of the last frame's file stays.
    const qint64 p = qBound<qint64>(0, kvFrameOf(m_scrollFrame), total - 1);
    qint64 offset = -1;
    qint64 index = 0;
    const KvRepackInfoPtr fragment = cursor->fragmentAt(p, &offset, &index);
    if (fragment != m_posFileFragment || index != m_posFileIndex) {
        setCurrentPosFileName(fragment ? QFileInfo(fragment->sourcePath()).fileName() : QString());
        m_posFileFragment = fragment;
        m_posFileIndex = index;
    }
    m_posFileOffset = offset;
}

QString KvQmlController::updateStatusMessage()
{
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr;
    const QString text = cursor ? fileInfoText(cursor) : QString();
    if (text != m_statusMessage) {
        m_statusMessage = text;
        emit statusMessageChanged(text);
    }
    return m_statusMessage;
}

void KvQmlController::setPlayState(int state)
{
    if (state == m_playState)
        return;
    const bool wasPlaying = isPlaying();
    const bool playing = state == 1 || state == 2;
    // Stopping or pausing leaves the position on a whole frame.
    if (!playing)
        updateScrollFrame(std::trunc(m_scrollFrame));
    m_playState = state;
    if (playing)
        m_flingVelocity = 0.0;
    updateCanSaveDirtyProject();
    emit playStateChanged(state);
    if (playing != wasPlaying)
        emit isPlayingChanged(playing);
}

// ---- Scroll position ----

double KvQmlController::scrollFrame() const { return std::trunc(m_scrollFrame); }

void KvQmlController::setScrollFrame(double frame)
{
    const qint64 n = qBound<qint64>(0, kvFrameOf(frame), documentFrames());
    if (double(n) == m_scrollFrame)
        return;
    m_scrollFrame = double(n);
    updateTrackCapabilities();
    updateTimeTexts();
    updateTrackPoints();
    updateEditPoints();
    updateCurrentPosFileName();
    emit scrollFrameChanged(m_scrollFrame);
}

void KvQmlController::updateScrollFrame(double frame)
{
    const double total = double(documentFrames());
    double x = std::isnan(frame) ? 0.0 : std::min(total, std::max(0.0, frame));
    if (!isPlaying() && m_flingVelocity == 0.0)
        x = std::trunc(x);
    if (x == m_scrollFrame)
        return;
    m_scrollFrame = x;
    updateTrackCapabilities();
    updateTimeTexts();
    updateTrackPoints();
    updateEditPoints();
    updateCurrentPosFileName();
    emit scrollFrameChanged(std::trunc(x));
}

void KvQmlController::scrubOrMove(double frame)
{
    if (!scrubPlayTo(kvFrameOf(frame)))
        moveScrollFrame(frame);
}

void KvQmlController::actionScrubSetScrollPos(double dbScrollFrame, bool useInertia, bool release)
{
    KvEditLock lock(editMutex());
    if (!lock && editMutex())
        return;
    scrollToFrame(dbScrollFrame, useInertia, release);
}

void KvQmlController::resetTimerHistory()
{
    for (DragSample &sample : m_dragHistory)
        sample = DragSample();
    m_dragClockStart = clock().elapsedMs();
    m_flingVelocity = 0.0;
}

void KvQmlController::scrollToFrame(double frame, bool useInertia, bool release)
{
    if (isPlaying()) {
        m_flingVelocity = 0.0;
    } else if (!useInertia && !release) {
        m_dragging = false;
        m_flingVelocity = 0.0;
    } else if (!useInertia) {
        // A drag begins.
        resetTimerHistory();
        m_dragging = true;
        m_dragHistory[0] = DragSample{frame, 0, 'D'};
    } else {
        const qint64 t = clock().elapsedMs() - m_dragClockStart;
        if (t - m_dragHistory[0].time >= 100) {
            // After a pause the drag no longer carries a fling.
            if (release) {
                m_dragging = false;
                m_flingVelocity = 0.0;
            }
        } else {
            std::copy_backward(m_dragHistory, m_dragHistory + 9, m_dragHistory + 10);
            m_dragHistory[0] = DragSample{frame, t, release ? 'U' : 'M'};
            if (release) {
                m_flingVelocity = flingEstimate();
                m_dragging = false;
            }
        }
    }
    scrubOrMove(frame);
}

double KvQmlController::flingEstimate() const
{
    // The five fastest samples of the last run in one direction.
    struct Best {
        double v;
        qint64 w;
    };
    QVector<Best> best;
    bool running = false;
    bool forward = true;
    for (int i = 9; i >= 1; --i) {
        const DragSample &older = m_dragHistory[i];
        const DragSample &newer = m_dragHistory[i - 1];
        if (older.position == -1.0 || newer.position == -1.0)
            continue;
        const double dp = newer.position - older.position;
        const qint64 w = std::max<qint64>(10, newer.time - older.time);
        if (!running) {
            if (std::abs(dp) <= 2.0)
                continue;
            running = true;
            forward = dp > 0;
        } else if (std::abs(dp) > 2.0 && (dp > 0) != forward && newer.mark != 'U') {
            // A reversal: only the run after it counts.
            best.clear();
            running = false;
            continue;
        }
        best.append(Best{dp / double(w), w});
        std::sort(best.begin(), best.end(),
                  [forward](const Best &a, const Best &b) { return forward ? a.v > b.v : a.v < b.v; });
        if (best.size() > 5)
            best.removeLast();
    }
    double sum = 0.0;
    int k = 0;
    for (const Best &b : qAsConst(best)) {
        if (b.v != 0.0 && b.w >= 10) {
            sum += b.v;
            ++k;
        }
    }
    return k ? 0.5 * (sum / k) : 0.0;
}

void KvQmlController::checkTimerEvents()
{
    if (++m_tourTicks > 40) {
        m_tourTicks = 0;
        recordHelpUsage();
    }

    if (m_recoveryCountdown > 0) {
        // The recovery copy waits until editing, playing and scrolling rest.
        if (isPlaying() || m_flingVelocity != 0.0 || m_dragging)
            m_recoveryCountdown = 20;
        else if (--m_recoveryCountdown == 0)
            suspendProject();
    }

    const double threshold = 0.25 / pixelsPerFrame();
    if (m_flingVelocity > threshold || m_flingVelocity < -threshold) {
        const double total = double(documentFrames());
        double p = m_scrollFrame + m_flingVelocity * 50.0;
        if (p > total) {
            p = total;
            m_flingVelocity = 0.0;
        } else if (p < 0.0) {
            p = 0.0;
            m_flingVelocity = 0.0;
        }
        scrubOrMove(p);
        m_flingVelocity *= 0.95;
    } else if (m_flingVelocity != 0.0) {
        // The last tick lands on a whole frame in the direction of motion.
        const double p = m_flingVelocity > 0 ? std::ceil(m_scrollFrame) : std::floor(m_scrollFrame);
        scrubOrMove(p);
        m_flingVelocity = 0.0;
    }
}

// ---- Zoom and level scale ----

double KvQmlController::pixelsPerFrame() const
{
    const double ratio = devicePixelRatioFor(const_cast<KvQmlController *>(this));
    return double(m_hZoom) / (ratio > 0.0 ? ratio : 1.0);
}

void KvQmlController::actionHorizontalZoomInOut(bool isZoomIn)
{
    KvEditLock lock(editMutex());
    if (!lock && editMutex())
        return;
    setHZoom(m_hZoom + (isZoomIn ? 1 : -1));
    emit updateWidget();
}

void KvQmlController::setCeilingAndFloor(double ceiling, double floor)
{
    if (std::isnan(ceiling) || std::isnan(floor))
        return;
    // 4 <= ceiling <= 255, 0 <= floor <= 251, 4 <= ceiling - floor <= 50.
    const double t = qBound(4.0, ceiling, 255.0);
    const double b = std::max(0.0, std::min(251.0, std::max(t - 50.0, floor)));
    const double top = std::min(255.0, t - b < 4.0 ? b + 4.0 : t);
    const double bottom = std::max(0.0, top - b < 4.0 ? top - 4.0 : b);
    setCeiling(top);
    setFloor(bottom);
}

void KvQmlController::verticalZoomInOut(bool isZoomIn)
{
    const double h = (m_ceiling - m_floor) / 2.0;
    const double m = m_floor + h;
    const double h2 = h * (isZoomIn ? 0.95 : 1.05);
    setCeilingAndFloor(m + h2, m - h2);
    emit updateWidget();
}

void KvQmlController::verticalShiftUpDown(bool isShiftUp)
{
    // A shift up lowers both bounds, which raises the bars.
    const double s = isShiftUp ? -1.0 : 1.0;
    const double step = 0.02 * (m_ceiling - m_floor) * s;
    const double move = std::abs(step) < 1.0 ? s : step;
    setCeilingAndFloor(m_ceiling + move, m_floor + move);
    emit updateWidget();
}

void KvQmlController::autoScaleView()
{
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr;
    const KvRepackInfoPtrListPtr document = cursor ? cursor->list() : nullptr;
    if (!document)
        return;
    const KvRepackInfoPtrList::ListPtr fragments = document->list();

    qint64 total = 0;
    int lowest = 255;
    int highest = 0;
    for (const KvRepackInfoPtr &fragment : *fragments) {
        fragment->clearCounters();
        const qint64 n = fragment->frameCount();
        for (qint64 i = 0; i < n; ++i) {
            const qint16 level = fragment->frameLevel(i);
            if (level < 0)
                continue;
            fragment->incrementCounter(std::min<int>(level, 255));
        }
    }
    for (const KvRepackInfoPtr &fragment : *fragments) {
        for (int i = 0; i < fragment->counterCount(); ++i) {
            const qint64 c = fragment->counter(i);
            total += c;
            if (c > 0) {
                lowest = std::min(lowest, i);
                highest = std::max(highest, i);
            }
        }
    }

    // An empty document says nothing about levels: the scale stays.
    if (total == 0)
        return;

    // The quietest and loudest half percent are left out; short documents
    // keep a few frames per fragment on each side.
    const qint64 n = qint64(fragments->size());
    qint64 lo = qint64(double(total) * 0.5 / 100.0);
    qint64 hi = qint64(double(total) * 99.5 / 100.0);
    if (total - hi <= 4 * n && total > 20 * n)
        hi = total - 5 * n;
    if (lo < 4 * n && total > 20 * n)
        lo = 5 * n;

    int floorLevel = lowest;
    int ceilingLevel = highest;
    if (!fragments->empty()) {
        bool floorFound = false;
        qint64 running = 0;
        const int bins = fragments->front()->counterCount();
        for (int i = 0; i < bins; ++i) {
            for (const KvRepackInfoPtr &fragment : *fragments)
                running += fragment->counter(i);
            if (!floorFound && running > lo) {
                floorLevel = i;
                floorFound = true;
            }
            if (running > hi || running == total) {
                ceilingLevel = i;
                break;
            }
        }
    }
    setCeilingAndFloor(ceilingLevel, floorLevel);
}

void KvQmlController::actionScaleView()
{
    autoScaleView();
    refreshAfterUndo();
}

// ---- Time and level texts ----

void KvQmlController::updateTimeTexts()
{
    QString position;
    QString selection;
    const KvQmlModel::FragmentListPtr cursor = m_model ? m_model->fragmentList() : nullptr;
    const qint64 n = cursor ? cursor->totalFrames() : 0;
    const boost::shared_ptr<KvFrameSizeInfo> format = n > 0 ? cursor->formatInfo() : nullptr;
    if (format && format->sampleRate() > 0) {
        const qint64 s = m_selectionStart;
        const qint64 e = m_selectionEnd;
        qint64 length = s != -1 && e != -1 && e > s ? e - s : 0;
        length = qBound<qint64>(0, length, n);
        const auto ms = [&format](qint64 frames) {
            return qint64(double(format->samplesPerFrame()) * double(frames) * 1000.0 / format->sampleRate());
        };
        position = timeToString(ms(kvFrameOf(m_scrollFrame)), false, false);
        selection = timeToString(ms(length), true, false);
    }
    assignAndNotify(m_playPositionTime, position, &KvQmlController::playPositionTimeChanged);
    assignAndNotify(m_currentSelectionTime, selection, &KvQmlController::currentSelectionTimeChanged);
}

QString KvQmlController::timeToString(qint64 ms, bool allowShort, bool exact)
{
    if (!exact) {
        const qint64 q = ms / 10;
        const qint64 r = ms - 10 * q;
        ms = 10 * q + (r >= 5 ? 10 : 0);
    }
    const qint64 h = ms / 3600000;
    const QTime t = QTime(0, 0).addMSecs(int(ms - h * 3600000));
    QString text;
    if (!allowShort || h > 0)
        text = QStringLiteral("%1:%2").arg(h).arg(t.toString(QStringLiteral("mm:ss.zzz")));
    else if (t.minute() < 1)
        text = t.toString(QStringLiteral("ss.zzz"));
    else
        text = t.toString(QStringLiteral("mm:ss.zzz"));
    if (!exact)
        text.chop(1);
    return text;
}

QString KvQmlController::getdBTextString(int value)
{
    // 20 log10 of the amplitude factor 2^(value / 4) of `value` gain steps.
    const double db = std::log(std::pow(2.0, value * 0.25)) / (std::log(10.0) / 20.0);
    return QStringLiteral("%1 dB").arg(db, 0, 'f', 1);
}
