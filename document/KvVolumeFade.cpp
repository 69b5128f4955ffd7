#include "KvVolumeFade.h"

#include "KvEditContext.h"

#include <KvEngineFactories.h>
#include <KvFrameListIterator.h>

#include <cmath>
#include <cstdlib>

KvVolumeFade::KvVolumeFade(const ListPtr &target, qint64 scrollFrame, qint64 fadeStart,
                           int startVolume, qint64 fadeEnd, int endVolume,
                           KvEditContext *controller, int repeatCount, QUndoCommand *parent)
    : KvUndo(nullptr, target, 0, controller, parent)
    , m_repeatCount(repeatCount)
    , m_fadeStart(fadeStart)
    , m_fadeEnd(fadeEnd)
    , m_startVolume(startVolume)
    , m_endVolume(endVolume)
{
    m_scrollAfter = scrollFrame;
}

KvVolumeFade::KvVolumeFade(const KvVolumeFade &other, int repeatCount, QUndoCommand *parent)
    : KvUndo(nullptr, other.m_target, 0, other.m_controller, parent)
    , m_repeatCount(repeatCount)
    , m_fadeStart(other.m_fadeStart)
    , m_fadeEnd(other.m_fadeEnd)
    , m_startVolume(other.m_startVolume)
    , m_endVolume(other.m_endVolume)
{
    m_scrollAfter = other.m_scrollAfter;
    setText(other.text());
}

bool KvVolumeFade::sameRange(const KvVolumeFade &other) const
{
    return m_target == other.m_target && m_fadeStart == other.m_fadeStart
        && m_fadeEnd == other.m_fadeEnd && m_startVolume == other.m_startVolume
        && m_endVolume == other.m_endVolume;
}

int KvVolumeFade::rampGain(int a, int b, qint64 s, qint64 e, int n, qint64 i)
{
    // One step further from zero than the plain difference, so that the ramp
    // reaches the far end's volume on its last frames.
    qint64 step = qint64(b - a) * n;
    if (step > 0)
        ++step;
    else if (step < 0)
        --step;
    const double d = double(step) / double(e - s);
    // Anchored exactly at the end with the larger magnitude.
    if (std::abs(a) >= std::abs(b))
        return int(qint64(a) * n + qint64(std::trunc(double(i - s) * d)));
    return int(qint64(b) * n - qint64(std::trunc(double(e - 1 - i) * d)));
}

void KvVolumeFade::applyStep(int n, bool reverse)
{
    const qint64 s = m_fadeStart;
    const qint64 e = m_fadeEnd;
    if (e - s > 0 && m_target) {
        const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(m_target);
        for (qint64 i = 0; it && i < e && it->next(); ++i) {
            if (i < s)
                continue;
            const int g = rampGain(m_startVolume, m_endVolume, s, e, n, i);
            it->addGain(reverse ? -g : g);
        }
    }
    showRange();
}

void KvVolumeFade::apply(bool reverse)
{
    if (m_repeatCount > 1)
        applyStep(m_repeatCount - 1, !reverse);
    applyStep(m_repeatCount, reverse);
    showRange();
}

void KvVolumeFade::showRange()
{
    setScroll(m_scrollAfter);
    setSelection(m_fadeStart, m_fadeEnd);
}

void KvVolumeFade::redo()
{
    apply(false);
    redoChildren();
    compressLists();
    if (m_controller)
        m_controller->refreshAfterUndo();
}

void KvVolumeFade::undo()
{
    apply(true);
    undoChildren();
    compressLists();
    if (m_controller)
        m_controller->refreshAfterUndo();
}
