#pragma once
#include "KvUndo.h"

// Adds a gain ramp, or a flat gain change, to the frames [fadeStart,
// fadeEnd): from startVolume steps at the first frame to endVolume steps at
// the last, times the repeat count. A fade repeated on the same range is a
// new command with the count one higher; its redo takes back the previous
// ramp and lays the deeper one, its undo does the opposite. The builder sets
// the text.
class KvVolumeFade : public KvUndo
{
public:
    KvVolumeFade(const ListPtr &target, qint64 scrollFrame, qint64 fadeStart, int startVolume,
                 qint64 fadeEnd, int endVolume, KvEditContext *controller, int repeatCount = 1,
                 QUndoCommand *parent = nullptr);
    // The same fade with another repeat count, on the same document; the view
    // before it is read from the controller now.
    KvVolumeFade(const KvVolumeFade &other, int repeatCount, QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

    // Same document, range and volumes.
    bool sameRange(const KvVolumeFade &other) const;

    int repeatCount() const { return m_repeatCount; }
    qint64 fadeStart() const { return m_fadeStart; }
    qint64 fadeEnd() const { return m_fadeEnd; }
    int startVolume() const { return m_startVolume; }
    int endVolume() const { return m_endVolume; }

    // The gain the ramp of n repetitions gives document frame i of [s, e).
    static int rampGain(int startVolume, int endVolume, qint64 s, qint64 e, int n, qint64 i);

private:
    void apply(bool reverse);
    void applyStep(int n, bool reverse);
    void showRange();

    int m_repeatCount;
    qint64 m_fadeStart;
    qint64 m_fadeEnd;
    int m_startVolume;
    int m_endVolume;
};
