#pragma once
// Makes the play thread of each play request. The controller is handed one at
// construction; tests give it a factory whose threads play on a clock they
// drive or never start.
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvPlayThread;
class KvRepackInfoPtrList;

class KvPlayThreadFactory {
public:
    virtual ~KvPlayThreadFactory();
    // A new thread over the document (not started); the caller owns it.
    virtual KvPlayThread *create(const boost::shared_ptr<KvRepackInfoPtrList> &document, qint64 startFrame,
                                 qint64 numFrames, double volume, double pitch, double tempo);

    // Real play threads; lives as long as the process.
    static KvPlayThreadFactory &standard();
};
