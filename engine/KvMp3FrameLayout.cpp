#include "KvMp3FrameLayout.h"

#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameContext.h"
#include "KvMp3Records.h"
#include "KvMp3Syntax.h"

int KvMp3OutputCapacity(int version, int samplingFrequency, int mode, int bitrateIndex, bool padding,
                        bool crc)
{
    return KvMp3MainDataCapacity(version, bitrateIndex, samplingFrequency, padding ? 1 : 0, mode, crc);
}

int KvMp3OutputBitrateIndex(const KvMP3GainChangeInfo &edit, const KvMP3GainFrameInfo &source)
{
    const int planned = edit.bitrateIndex();
    if (planned >= 1 && planned <= 14)
        return planned;
    const int own = source.bitrateIndex();
    return own >= 1 && own <= 14 ? own : 1;
}

int KvMp3SourceGap(const KvMp3LayoutInput &in)
{
    const int g = in.sourceBegin - in.sourceNextBegin + in.sourceCapacity - in.payload;
    return g > 0 ? g : 0;
}

KvMp3FrameLayout KvMp3LayoutFrame(const KvMp3LayoutInput &in)
{
    KvMp3FrameLayout out;
    out.capacity = in.capacity;
    out.gap = KvMp3SourceGap(in);
    int fill = (in.begin - in.sourceBegin) - in.sourceCapacity + in.sourceNextBegin - in.nextBegin + in.capacity
               + out.gap;
    int lead = in.capacity - in.nextBegin - fill;
    // No payload of its own: what would be lead is fill.
    if (in.payload == 0 && lead > 0) {
        fill += lead;
        lead = 0;
    }
    // The payload ended in earlier frames: the fill starts at the area's start.
    if (lead < 0 && fill > 0 && fill > -lead && in.nextBegin <= in.capacity) {
        fill += lead;
        lead = 0;
    }
    out.fill = fill;
    out.lead = lead;
    out.tail = in.nextBegin;
    return out;
}

bool KvMp3LayoutInputFor(const KvMp3FrameContext &ctx, KvMp3LayoutInput &in)
{
    const KvMP3GainFrameInfo *src = ctx.sourceRecord;
    const KvMP3GainChangeInfo *edit = ctx.editRecord;
    if (!src || !edit || !ctx.nextEditRecord || !ctx.format)
        return false;
    const KvMP3FrameSizeInfo &f = *ctx.format;
    const bool dropped = (edit->flags & KvMp3EditFlag::Dropped) != 0;
    in.sourceBegin = src->mainDataBegin;
    in.sourceCapacity = src->capacity;
    // Tables end with an all-zero record, so the record after a real frame always exists.
    in.sourceNextBegin = ctx.silentSource ? 0 : src[1].mainDataBegin;
    in.payload = dropped ? 0 : src->payloadLength;
    in.begin = edit->mainDataBegin;
    in.nextBegin = ctx.nextEditRecord->mainDataBegin;
    in.capacity = KvMp3OutputCapacity(f.versionCode(), f.rateCode(), f.modeCode(), KvMp3OutputBitrateIndex(*edit, *src),
                                      (src->flags & KvMp3FrameFlag::Padding) != 0,
                                      (src->flags & KvMp3FrameFlag::Crc) != 0);
    return true;
}

int KvMp3ContextGap(const KvMp3FrameContext &ctx)
{
    const KvMP3GainFrameInfo *src = ctx.sourceRecord;
    if (!src || !ctx.editRecord)
        return 0;
    KvMp3LayoutInput in;
    in.sourceBegin = src->mainDataBegin;
    in.sourceCapacity = src->capacity;
    in.sourceNextBegin = ctx.silentSource ? 0 : src[1].mainDataBegin;
    in.payload = (ctx.editRecord->flags & KvMp3EditFlag::Dropped) ? 0 : src->payloadLength;
    return KvMp3SourceGap(in);
}

bool KvMp3UpdateLayout(KvMp3FrameContext &ctx, KvMp3FrameLayout *out)
{
    KvMp3LayoutInput in;
    if (!KvMp3LayoutInputFor(ctx, in))
        return false;
    const KvMp3FrameLayout l = KvMp3LayoutFrame(in);
    ctx.editRecord->capacity = int16_t(l.capacity);
    ctx.gap = l.gap;
    ctx.fill = l.fill;
    ctx.lead = l.lead;
    ctx.tail = l.tail;
    if (out)
        *out = l;
    return true;
}

int KvMp3OutputCapacity(const KvMp3FrameContext &ctx)
{
    KvMp3LayoutInput in;
    return KvMp3LayoutInputFor(ctx, in) ? in.capacity : 0;
}
