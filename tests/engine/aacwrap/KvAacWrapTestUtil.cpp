#include "KvAacWrapTestUtil.h"

#include <cstring>

namespace aactest {

Scan scan(const QString &path, KvAacCancelFn cancel)
{
    Scan s;
    KvAACGainOffsetEntry *entries = nullptr;
    s.handle = find_aac_gains_offsets2(path.toUtf8().constData(), &entries, &s.info, &s.count,
                                       cancel);
    if (entries && s.count > 0)
        s.entries.assign(entries, entries + s.count);
    free_aac_gains_offsets(entries);
    return s;
}

int writeFile(const Scan &src, const QString &out, int64_t first, int64_t count,
              const std::function<int(int64_t)> &gain, const std::function<bool(int64_t)> &silenced)
{
    const KvAacHandle w = init_aac_write_next_file_frames(0, src.handle, out.toUtf8().constData(),
                                                          first, count, 0, &src.info);
    if (!w)
        return -100;
    int result = 0;
    for (int64_t i = 0; i < count; ++i) {
        const int rc = aac_write_next_frame(w, gain ? gain(i) : 0, silenced && silenced(i) ? 1 : 0,
                                            nullptr, 0, nullptr);
        if (rc < 0 && result == 0)
            result = rc;
    }
    const int rc = close_aac_write(w);
    return result ? result : rc;
}

QByteArray writeMemory(const Scan &src, int64_t first, int64_t count, int gain)
{
    const KvAacHandle w = init_aac_write_next_file_frames(0, src.handle, "", first, count, 1,
                                                          &src.info);
    QByteArray all;
    if (!w)
        return all;
    char buf[16384];
    for (;;) {
        int32_t len = 0;
        const int rc = aac_write_next_frame(w, gain, 0, buf, sizeof buf, &len);
        if (rc != KV_AAC_FRAME || len <= 0)
            break;
        all.append(buf, len);
    }
    close_aac_write(w);
    return all;
}

} // namespace aactest
