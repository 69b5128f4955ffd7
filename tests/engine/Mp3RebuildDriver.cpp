#include "Mp3RebuildDriver.h"

#include "KvMp3FrameContext.h"
#include "KvMp3FrameLayout.h"
#include "KvMp3FrameStep.h"
#include "KvMp3RepackHandle.h"
#include "KvMp3ReservoirRepacker.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kvtest {

QByteArray Mp3Source::frameBytes(qint64 i) const
{
    const qint64 at = table()[i].offset;
    const qint64 end = i + 1 < count ? qint64(table()[i + 1].offset) : qint64(bytes.size());
    return bytes.mid(int(at), int(std::min<qint64>(end - at, 32768)));
}

std::unique_ptr<Mp3Source> loadMp3Source(const QString &path)
{
    std::unique_ptr<Mp3Source> s(new Mp3Source);
    s->path = path;
    s->bytes = readFile(path);
    s->index.reset(new KvMP3FrameRepacker);
    QString error;
    s->count = s->index->scanFrames(path, error);
    EXPECT_GT(s->count, 0) << path.toStdString() << " " << error.toStdString();
    return s;
}

const KvMP3GainFrameInfo &Mp3Fragment::sourceRecord(qint64 i) const
{
    return source ? source->table()[first + i] : synthetic[0];
}

Mp3Fragment sourceFragment(const Mp3Source &s, qint64 first, qint64 count, qint64 preRoll)
{
    Mp3Fragment f;
    f.source = &s;
    f.first = first;
    f.count = count;
    f.preRoll = preRoll < 0 ? std::min<qint64>(10, first) : preRoll;
    f.edits.assign(size_t(f.preRoll + count + 1), KvMP3GainChangeInfo{});
    for (qint64 r = 0; r < f.preRoll + count; ++r) {
        const KvMP3GainFrameInfo &src = s.table()[first - f.preRoll + r];
        KvMP3GainChangeInfo &e = f.edits[size_t(r)];
        e.setBitrateIndex(src.bitrateIndex());
        if (src.flags & KvMp3FrameFlag::Broken)
            e.flags |= KvMp3EditFlag::ReservoirRestart | KvMp3EditFlag::Silenced;
        e.mainDataBegin = int16_t(src.mainDataBegin);
        e.capacity = src.capacity;
    }
    return f;
}

Mp3Fragment silentFragment(const KvMP3FrameSizeInfo &like, qint64 count)
{
    Mp3Fragment f;
    f.count = count;
    f.silentFormat.reset(new KvMP3FrameSizeInfo(like.versionCode(), like.rateCode(), like.modeCode()));
    const int capacity = KvMp3OutputCapacity(like.versionCode(), like.rateCode(), like.modeCode(), 1, false, false);
    for (KvMP3GainFrameInfo &r : f.synthetic) {
        r.flags = uint8_t(1 << 4);
        r.capacity = int16_t(capacity);
    }
    f.edits.assign(size_t(count + 1), KvMP3GainChangeInfo{});
    for (qint64 i = 0; i < count; ++i) {
        f.edits[size_t(i)].flags = KvMp3EditFlag::Silenced;
        f.edits[size_t(i)].setBitrateIndex(1);
        f.edits[size_t(i)].capacity = int16_t(capacity);
    }
    return f;
}

RebuildResult rebuild(std::vector<Mp3Fragment> &doc, const RebuildOptions &options)
{
    RebuildResult out;
    KvMp3RepackHandle handle;
    handle.setForceJointStereo(options.forceJointStereo);
    KvBitWriter writer(65536);
    KvMp3InputBuffer in(32768);

    const auto take = [&]() {
        out.frameStarts.push_back(out.bytes.size());
        out.bytes.append(reinterpret_cast<const char *>(writer.data()), int(writer.size()));
        writer.clear();
    };
    // Every completed frame is taken out; -11 means the next may already be complete.
    const auto settle = [&](int r) {
        while (r == KvMp3StepOk || r == KvMp3StepFifoPending) {
            take();
            if (r == KvMp3StepOk)
                return true;
            r = handle.emitPending(writer);
        }
        if (r == KvMp3StepNeedMore)
            return true;
        out.failure = r;
        return false;
    };

    for (size_t fi = 0; fi < doc.size(); ++fi) {
        Mp3Fragment &frag = doc[fi];
        const bool silent = frag.source == nullptr;
        const qint64 start = frag.first - frag.preRoll;
        const qint64 end = frag.first + frag.count;
        KvMP3FrameSizeInfo *format = silent ? frag.silentFormat.get() : frag.source->format();
        for (qint64 pos = start; pos < end; ++pos) {
            const qint64 r = pos - start;   // record index in the fragment's edit table
            KvMp3FrameContext ctx;
            ctx.fragmentFirst = frag.first;
            ctx.preRoll = pos < frag.first;
            ctx.firstPreRoll = pos == start && frag.preRoll > 0;
            ctx.lastPreRoll = pos == frag.first - 1;
            ctx.firstOfFragment = pos == frag.first;
            ctx.lastOfFragment = pos == end - 1;
            ctx.fragmentStart = ctx.firstPreRoll || (frag.preRoll == 0 && pos == frag.first);
            ctx.silentSource = silent;
            ctx.format = format;
            ctx.sourceRecord = silent ? &frag.synthetic[0] : const_cast<KvMP3GainFrameInfo *>(&frag.source->table()[pos]);
            ctx.editRecord = &frag.edits[size_t(r)];
            if (pos + 1 < end) {
                ctx.nextEditRecord = &frag.edits[size_t(r + 1)];
                ctx.nextSourceRecord = silent ? &frag.synthetic[1] : ctx.sourceRecord + 1;
            } else if (fi + 1 < doc.size()) {
                Mp3Fragment &next = doc[fi + 1];
                ctx.nextEditRecord = &next.edits[size_t(next.preRoll)];
                ctx.nextSourceRecord = next.source ? const_cast<KvMP3GainFrameInfo *>(&next.source->table()[next.first])
                                                   : &next.synthetic[0];
            } else {
                ctx.nextEditRecord = &frag.edits[size_t(r + 1)];
                ctx.nextSourceRecord = silent ? &frag.synthetic[1] : ctx.sourceRecord + 1;
            }

            if (pos == start)
                handle.reset();
            in.used = 0;
            in.length = 0;
            if (!silent) {
                const QByteArray b = frag.source->frameBytes(pos);
                std::memcpy(in.data, b.constData(), size_t(b.size()));
                in.length = b.size();
            }
            const int res = KvMP3FrameRepacker::parseFrameAt(handle, in, &writer, ctx, format);
            out.maxPending = std::max(out.maxPending, handle.pendingFrames());
            if (!settle(res))
                return out;
        }
    }
    while (handle.flush(writer)) {
        take();
        ++out.flushed;
    }
    return out;
}

int pcmFrameBytes(const KvMP3FrameSizeInfo &f)
{
    return f.samplesPerFrame() * f.channelCount() * 2;
}

double rms(const QByteArray &pcm, qint64 from, qint64 to)
{
    const qint64 n = pcm.size() / 2;
    if (to < 0 || to > n)
        to = n;
    const int16_t *s = reinterpret_cast<const int16_t *>(pcm.constData());
    double sum = 0;
    for (qint64 i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

} // namespace kvtest
