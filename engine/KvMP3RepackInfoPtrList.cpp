#include "KvMP3RepackInfoPtrList.h"

#include "KvMP3FrameSizeInfo.h"
#include "KvMP3RepackInfo.h"

KvMP3RepackInfoPtrList::KvMP3RepackInfoPtrList() = default;
KvMP3RepackInfoPtrList::~KvMP3RepackInfoPtrList() = default;

KvRepackInfoPtr KvMP3RepackInfoPtrList::createFragmentForSource(const QString &path, qint64 first, qint64 count)
{
    const KvRepackInfoPtr f = fragmentReadingPath(path);
    const KvMP3RepackInfo *mp3 = dynamic_cast<const KvMP3RepackInfo *>(f.get());
    if (!mp3 || path.isEmpty() || !fitSourceRange(mp3->sourceFrameCount(), first, count))
        return KvRepackInfoPtr();
    return KvRepackInfoPtr(new KvMP3RepackInfo(mp3->source(), first, count));
}

bool KvMP3RepackInfoPtrList::isCompatible(const boost::shared_ptr<KvFrameSizeInfo> &format)
{
    if (!dynamic_cast<KvMP3FrameSizeInfo *>(format.get()))
        return false;
    if (m_list->empty())
        return true;
    const boost::shared_ptr<KvFrameSizeInfo> mine = firstSourceInfo();
    if (!mine)
        return false;
    return format->channelCount() == mine->channelCount() && format->samplesPerFrame() == mine->samplesPerFrame() &&
           format->sampleRate() == mine->sampleRate() && format->formatKey() == mine->formatKey();
}
