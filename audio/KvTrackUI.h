#pragma once
// How a track-export or track-conversion step treats the overwrite question
// (an int-sized value at the meta-object interface).
enum KvTrackUI : int {
    TrackUiAsk = 0,    // ask when the file exists
    TrackUiAnswer = 1, // the answer is given with the call
    TrackUiKeep = 3,   // keep the answer given before (every value above 1 does)
};
