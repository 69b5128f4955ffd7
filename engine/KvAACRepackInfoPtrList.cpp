#include "KvAACRepackInfoPtrList.h"

#include "KvAACFrameSizeInfo.h"
#include "KvAACRepackInfo.h"

KvAACRepackInfoPtrList::KvAACRepackInfoPtrList() = default;
KvAACRepackInfoPtrList::~KvAACRepackInfoPtrList() = default;

KvRepackInfoPtr KvAACRepackInfoPtrList::createFragmentForSource(const QString &path, qint64 first, qint64 count)
{
    const KvRepackInfoPtr f = fragmentReadingPath(path);
    const KvAACRepackInfo *aac = dynamic_cast<const KvAACRepackInfo *>(f.get());
    if (!aac || path.isEmpty() || !fitSourceRange(aac->sourceFrameCount(), first, count))
        return KvRepackInfoPtr();
    return KvRepackInfoPtr(new KvAACRepackInfo(aac->source(), first, count));
}

bool KvAACRepackInfoPtrList::isCompatible(const boost::shared_ptr<KvFrameSizeInfo> &format)
{
    const KvAACFrameSizeInfo *candidate = dynamic_cast<KvAACFrameSizeInfo *>(format.get());
    if (!candidate)
        return false;
    if (m_list->empty())
        return true;
    const KvAACFrameSizeInfo *mine = dynamic_cast<KvAACFrameSizeInfo *>(firstSourceInfo().get());
    if (!mine || !mine->aacInfo() || !candidate->aacInfo())
        return false;
    const int32_t *a = mine->aacInfo()->field;
    const int32_t *b = candidate->aacInfo()->field;
    for (int k : {KV_AAC_OBJECT_TYPE, KV_AAC_SAMPLING_INDEX, KV_AAC_SAMPLE_RATE, KV_AAC_CHANNEL_CONFIG}) {
        if (a[k] != b[k])
            return false;
    }
    // Explicit SBR on one side against a block that says "no SBR" on the other.
    if (a[KV_AAC_EXT_OBJECT_TYPE] != b[KV_AAC_EXT_OBJECT_TYPE]) {
        if ((a[KV_AAC_EXT_OBJECT_TYPE] == 5 && b[KV_AAC_SBR] == 0) ||
            (b[KV_AAC_EXT_OBJECT_TYPE] == 5 && a[KV_AAC_SBR] == 0))
            return false;
    }
    // -1 matches any value.
    for (int k : {KV_AAC_SBR, KV_AAC_PS}) {
        if (a[k] != b[k] && a[k] != -1 && b[k] != -1)
            return false;
    }
    for (int k : {KV_AAC_FRAME_LENGTH_FLAG, KV_AAC_EXT_SAMPLE_RATE, KV_AAC_RESERVED_8, KV_AAC_CHANNELS}) {
        if (a[k] != b[k])
            return false;
    }
    return true;
}

void KvAACPrepareRepack(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    Q_UNUSED(document);
}
