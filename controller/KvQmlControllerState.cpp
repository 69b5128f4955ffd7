// Document state publishing, the scroll position, zoom and level scale, and
// the time and level texts.
#include "KvQmlController.h"

#include "KvControllerSupport.h"

#include <KvAudioFragmentList.h>
#include <KvDocumentFrames.h>
#include <KvEngineFactories.h>
#include <KvQmlModel.h>

#include <QTime>

#include <cmath>

qint64 KvQmlController::documentFrames() const
{
    return m_model ? documentTotalFrames(m_model->fragmentList().get()) : 0;
}

double KvQmlController::totalFrames() const { return double(documentFrames()); }

bool KvQmlController::hasSelection() const { return kvIsSelection(m_selectionStart, m_selectionEnd); }

bool KvQmlController::hasFragments() const { return documentFrames() > 0; }

void KvQmlController::refreshDocumentState()
{
    if (m_selectionStart != m_publishedSelectionStart || m_selectionEnd != m_publishedSelectionEnd)
        emit selectionChanged();

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
        updateTrackPoints();
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
    updateTrackCapabilities();
    updateStatusMessage();
    updateNumTracks();
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
    // Only an empty document can be told apart until the cursor can look up
    // the fragment under the position.
    if (documentFrames() <= 0)
        setCurrentPosFileName(QString());
}

QString KvQmlController::updateStatusMessage()
{
    // The document's one-line description comes from the engine's
    // information text, which is not part of the build yet.
    const QString text;
    if (text != m_statusMessage) {
        m_statusMessage = text;
        emit statusMessageChanged(text);
    }
    return m_statusMessage;
}

void KvQmlController::setPlayState(int state)
{
    // Not built yet.
}

double KvQmlController::scrollFrame() const { return std::trunc(m_scrollFrame); }

void KvQmlController::setScrollFrame(double frame)
{
    const qint64 n = qBound<qint64>(0, kvFrameOf(frame), documentFrames());
    if (double(n) == m_scrollFrame)
        return;
    m_scrollFrame = double(n);
    updateTrackCapabilities();
    updateTrackPoints();
    updateCurrentPosFileName();
    emit scrollFrameChanged(m_scrollFrame);
}

void KvQmlController::actionScrubSetScrollPos(double dbScrollFrame, bool useInertia, bool release)
{
    // Not built yet.
}

void KvQmlController::resetTimerHistory()
{
    // Not built yet.
}

void KvQmlController::checkTimerEvents()
{
    // Not built yet.
}

void KvQmlController::actionHorizontalZoomInOut(bool isZoomIn)
{
    // Not built yet.
}

void KvQmlController::setCeilingAndFloor(double ceiling, double floor)
{
    // Not built yet.
}

void KvQmlController::verticalZoomInOut(bool isZoomIn)
{
    // Not built yet.
}

void KvQmlController::verticalShiftUpDown(bool isShiftUp)
{
    // Not built yet.
}

void KvQmlController::actionScaleView()
{
    // Not built yet.
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
    // Not built yet.
    return QString();
}
