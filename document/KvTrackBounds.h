#pragma once
#include <QtGlobal>

// New or saved bounds of the neighbour track and of the changed track in one
// track-list change; -1 leaves a bound as it is.
struct KvTrackBounds
{
    qint64 prevStart = -1;
    qint64 prevEnd = -1;
    qint64 trackStart = -1;
    qint64 trackEnd = -1;

    bool operator==(const KvTrackBounds &o) const
    {
        return prevStart == o.prevStart && prevEnd == o.prevEnd && trackStart == o.trackStart
            && trackEnd == o.trackEnd;
    }
};
