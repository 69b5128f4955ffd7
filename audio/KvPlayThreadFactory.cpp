#include "KvPlayThreadFactory.h"

#include "KvPlayThread.h"

KvPlayThreadFactory::~KvPlayThreadFactory() = default;

KvPlayThread *KvPlayThreadFactory::create(const boost::shared_ptr<KvRepackInfoPtrList> &document,
                                          qint64 startFrame, qint64 numFrames, double volume, double pitch,
                                          double tempo)
{
    return new KvPlayThread(document, startFrame, numFrames, volume, pitch, tempo);
}

KvPlayThreadFactory &KvPlayThreadFactory::standard()
{
    static KvPlayThreadFactory factory;
    return factory;
}
