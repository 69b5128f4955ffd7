#include "KvMp3PackedRecords.h"

#include "KvMP3RepackInfo.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvPackedRecordText.h"

#include <vector>

QByteArray KvMp3PackRecords(const boost::shared_ptr<KvMP3RepackInfo> &fragment)
{
    if (!fragment)
        return QByteArray();
    // The fragment goes into the list as it is: the writer only reads it.
    const boost::shared_ptr<KvRepackInfoPtrList> one(new KvMP3RepackInfoPtrList);
    one->list()->push_back(fragment);
    return KvPackFragmentText(one);
}

boost::shared_array<KvMP3GainChangeInfo> KvMp3UnpackRecords(const QByteArray &packed, const KvMP3RepackInfo &fragment)
{
    typedef boost::shared_array<KvMP3GainChangeInfo> Table;
    std::vector<KvPackedRun> runs;
    if (!KvReadPackedRuns(packed, fragment, false, runs))
        return Table();
    const qint64 base = fragment.gainRecordBase();
    Table table = fragment.sourceRecords(fragment.firstFrame() - base, base + fragment.frameCount());
    if (!table)
        return Table();
    KvMP3GainChangeInfo *rec = table.get() + base;
    for (const KvPackedRun &run : runs) {
        for (int64_t k = 0; k < run.length; ++k, ++rec) {
            rec->gain[0] = rec->gain[1] = run.gain;
            if (run.silenced)
                rec->flags |= KvMp3EditFlag::Silenced;
            else
                rec->flags &= uint8_t(~KvMp3EditFlag::Silenced);
        }
    }
    return table;
}
