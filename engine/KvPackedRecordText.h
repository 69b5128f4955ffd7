#pragma once
// The packed text of an idle fragment's edit values, shared by both formats: the
// fragment written as a one-fragment list archive and deflated with zlib.
#include <QByteArray>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <vector>

class KvRepackInfo;
class KvRepackInfoPtrList;

// One run of frames with the same edit values.
struct KvPackedRun {
    bool silenced = false;
    int32_t gain = 0;
    int64_t length = 0;
};

// Writes `one` (a list holding just the fragment) as packed text; empty on failure.
QByteArray KvPackFragmentText(const boost::shared_ptr<KvRepackInfoPtrList> &one);

// Reads the runs of packed text written for `fragment`; false when the text is
// damaged or holds another fragment. `aac` says which silent-format fields follow
// a silent fragment's version code. The runs cover the fragment's frames exactly.
bool KvReadPackedRuns(const QByteArray &packed, const KvRepackInfo &fragment, bool aac,
                      std::vector<KvPackedRun> &runs);
