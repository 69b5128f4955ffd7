#pragma once
#include <boost/shared_ptr.hpp>

class KvRepackInfo;

// A frame-by-frame walk over a document, across its fragments, that reads
// and changes the edit values of the current frame. next() starts the walk.
class KvFrameListIterator {
public:
    virtual ~KvFrameListIterator();

    // Advances one frame; false at the end (at once for an empty document).
    virtual bool next() = 0;
    // Steps back one frame; false (and nothing changes) at the first frame.
    virtual bool previous() = 0;
    // Adds delta global_gain steps to the current frame.
    virtual void addGain(int delta) = 0;
    // False for silence, broken source frames and frames dropped from the output.
    virtual bool isAudible() = 0;
    virtual bool isSilenced() = 0;
    virtual void setSilenced(bool silenced) = 0;
    virtual int gain() = 0;
    // The last step entered another fragment (the first step does).
    virtual bool enteredNewFragment() = 0;
    virtual boost::shared_ptr<KvRepackInfo> currentFragment() = 0;

protected:
    KvFrameListIterator() = default;
};
