#include "KvMp3FrameLayout.h"

#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameContext.h"
#include "KvMp3Records.h"
#include "KvMp3Syntax.h"

#include <algorithm>

int KvMp3OutputCapacity(const KvMp3FrameContext &ctx)
{
    if (!ctx.format || !ctx.sourceRecord || !ctx.editRecord)
        return 0;
    const KvMP3GainFrameInfo &src = *ctx.sourceRecord;
    return KvMp3MainDataCapacity(ctx.format->versionCode(), ctx.editRecord->bitrateIndex(), ctx.format->rateCode(),
                                 (src.flags & KvMp3FrameFlag::Padding) ? 1 : 0, ctx.format->modeCode(),
                                 (src.flags & KvMp3FrameFlag::Crc) != 0);
}

int KvMp3SourceGap(const KvMp3FrameContext &ctx)
{
    if (!ctx.sourceRecord || !ctx.nextSourceRecord)
        return 0;
    const KvMP3GainFrameInfo &src = *ctx.sourceRecord;
    const bool dropped = ctx.editRecord && (ctx.editRecord->flags & KvMp3EditFlag::Dropped);
    const int payload = dropped ? 0 : int(src.payloadLength);
    return std::max(0, int(src.mainDataBegin) - int(ctx.nextSourceRecord->mainDataBegin) + int(src.capacity) - payload);
}
