#pragma once
#include "KvRepackInfoPtrList.h"

// The MP3 document. The reservoir planner, the Xing/Info statistics and the
// saver belong to this class too.
class KvMP3RepackInfoPtrList : public KvRepackInfoPtrList {
public:
    static constexpr int kKind = 3;

    KvMP3RepackInfoPtrList();
    ~KvMP3RepackInfoPtrList() override;

    // Needs a KvMP3RepackInfo with that path; count -1 means to the end of the source.
    KvRepackInfoPtr createFragmentForSource(const QString &path, qint64 first, qint64 count) override;
    // MP3 facts only; an empty document takes any. Otherwise channel count,
    // samples per frame, sample rate and format key must equal the first
    // fragment's.
    bool isCompatible(const boost::shared_ptr<KvFrameSizeInfo> &format) override;

    int kind() const { return m_kind; }

private:
    int32_t m_kind = kKind;
};
