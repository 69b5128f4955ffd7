// Headless driver of the AAC wrapper library for benchmarks.
//   kvaacbench index FILE                  index a source, print its frame count
//   kvaacbench copy [--gain N] IN OUT      write every frame of IN to OUT with N gain steps
#include "KvAacWrap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: kvaacbench index FILE | copy [--gain N] IN OUT\n");
    return 2;
}

KvAacHandle scan(const char *path, KvAACInfo *info, int64_t *count)
{
    KvAACGainOffsetEntry *entries = nullptr;
    const KvAacHandle h = find_aac_gains_offsets2(path, &entries, info, count, nullptr);
    free_aac_gains_offsets(entries);
    if (*count <= 0)
        std::fprintf(stderr, "kvaacbench: %s: not indexed (%lld)\n", path, (long long)*count);
    return h;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    init_aac_libav_library();
    KvAACInfo info{};
    int64_t count = 0;
    if (!std::strcmp(argv[1], "index") && argc == 3) {
        const KvAacHandle h = scan(argv[2], &info, &count);
        std::printf("%lld\n", (long long)count);
        close_aac_handle(h);
        return count > 0 ? 0 : 1;
    }
    if (std::strcmp(argv[1], "copy") != 0)
        return usage();
    int gain = 0, arg = 2;
    if (argc == 6 && !std::strcmp(argv[2], "--gain")) {
        gain = std::atoi(argv[3]);
        arg = 4;
    }
    if (argc != arg + 2)
        return usage();
    const KvAacHandle src = scan(argv[arg], &info, &count);
    if (count <= 0)
        return 1;
    const KvAacHandle w = init_aac_write_next_file_frames(0, src, argv[arg + 1], 0, count, 0, &info);
    if (!w) {
        std::fprintf(stderr, "kvaacbench: cannot write %s\n", argv[arg + 1]);
        return 1;
    }
    int failed = 0;
    for (int64_t i = 0; i < count; ++i)
        failed |= aac_write_next_frame(w, gain, 0, nullptr, 0, nullptr) < 0;
    failed |= close_aac_write(w) < 0;
    close_aac_handle(src);
    if (failed)
        std::fprintf(stderr, "kvaacbench: writing %s failed\n", argv[arg + 1]);
    return failed ? 1 : 0;
}
