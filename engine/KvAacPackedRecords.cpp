#include "KvAacPackedRecords.h"

#include "KvAACRepackInfo.h"
#include "KvAACRepackInfoPtrList.h"
#include "KvPackedRecordText.h"

#include <vector>

QByteArray KvAacPackRecords(const boost::shared_ptr<KvAACRepackInfo> &fragment)
{
    if (!fragment)
        return QByteArray();
    const boost::shared_ptr<KvRepackInfoPtrList> one(new KvAACRepackInfoPtrList);
    one->list()->push_back(fragment);
    return KvPackFragmentText(one);
}

boost::shared_array<KvAACGainChangeInfo> KvAacUnpackRecords(const QByteArray &packed, const KvAACRepackInfo &fragment)
{
    typedef boost::shared_array<KvAACGainChangeInfo> Table;
    std::vector<KvPackedRun> runs;
    if (!KvReadPackedRuns(packed, fragment, true, runs))
        return Table();
    Table table = fragment.freshRecords(fragment.frameCount());
    if (!table)
        return Table();
    KvAACGainChangeInfo *rec = table.get();
    for (const KvPackedRun &run : runs) {
        for (int64_t k = 0; k < run.length; ++k, ++rec) {
            rec->gain = run.gain;
            rec->silenced = run.silenced ? 1 : 0;
        }
    }
    return table;
}
