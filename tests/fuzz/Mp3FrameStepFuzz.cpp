// Feeds arbitrary bytes to the Layer III frame step the way the source scan
// does: a run of read buffers, one per frame, each exactly as long as its
// bytes so that any read past them is caught.
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameContext.h"
#include "KvMp3FrameStep.h"
#include "KvMp3Records.h"
#include "KvMp3ReservoirRepacker.h"
#include "KvMp3Syntax.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    ++data;
    --size;

    // Each buffer: a 16-bit little-endian length, then that many bytes (cut
    // short at the end of the input). Option bit 2: the whole input is one buffer.
    std::vector<std::vector<uint8_t>> buffers;
    if (options & 4) {
        buffers.emplace_back(data, data + size);
    } else {
        size_t pos = 0;
        while (pos + 2 <= size) {
            const size_t len = size_t(data[pos]) | size_t(data[pos + 1]) << 8;
            pos += 2;
            const size_t n = len < size - pos ? len : size - pos;
            buffers.emplace_back(data + pos, data + pos + n);
            pos += n;
        }
    }

    std::unique_ptr<KvMp3ReservoirRepacker> state(new KvMp3ReservoirRepacker);
    KvMp3InputBuffer in;
    in.crcCheck = options & 1;
    KvMP3FrameSizeInfo format;
    std::vector<KvMP3GainFrameInfo> records(buffers.size() + 1, KvMP3GainFrameInfo{});
    for (size_t i = 0; i < buffers.size(); ++i) {
        std::vector<uint8_t> &b = buffers[i];
        in.data = b.empty() ? nullptr : b.data();
        in.length = int64_t(b.size());
        in.maxLength = in.length;
        in.used = 0;
        KvMp3FrameContext ctx;
        ctx.sourceRecord = &records[i];
        ctx.nextSourceRecord = &records[i + 1];
        // Option bit 1: every eighth frame comes from a silent source.
        ctx.silentSource = (options & 2) && i % 8 == 7 ? 1 : 0;
        if (KvMp3FrameStep(in, *state, nullptr, ctx, &format) != KvMp3StepOk)
            break;
    }

    KvMp3FrameHeader h;
    KvMp3SideInfo si;
    KvMp3ParseFrameStart(data, size, h, si);
    return 0;
}
