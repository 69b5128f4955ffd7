#include "KvMp3FrameSpans.h"

#include "KvMP3FrameSizeInfo.h"
#include "KvMP3RepackInfo.h"

const KvMP3GainFrameInfo KvMp3FrameSpan::kSilentRecord = [] {
    KvMP3GainFrameInfo r{};
    r.flags = uint8_t(1 << 4);
    return r;
}();

std::vector<KvMp3FrameSpan> KvMp3FrameSpans(const KvRepackInfoPtrListPtr &document)
{
    std::vector<KvMp3FrameSpan> spans;
    if (!document)
        return spans;
    qint64 start = 0;
    for (const KvRepackInfoPtr &f : *document->list()) {
        KvMP3RepackInfo *mp3 = dynamic_cast<KvMP3RepackInfo *>(f.get());
        if (!mp3 || mp3->frameCount() <= 0)
            continue;
        KvMp3FrameSpan s;
        const KvMP3GainFrameInfo *table = mp3->sourceFrameTable();
        s.source = table ? table + mp3->firstFrame() : nullptr;
        KvMP3GainChangeInfo *edits = mp3->frameTable();
        s.edits = edits ? edits + mp3->gainRecordBase() : nullptr;
        s.format = mp3->sourceSizeInfo();
        s.start = start;
        s.count = mp3->frameCount();
        if (s.format) {
            s.version = s.format->versionCode();
            s.rate = s.format->rateCode();
            s.mode = s.format->modeCode();
        }
        spans.push_back(s);
        start += s.count;
    }
    return spans;
}
