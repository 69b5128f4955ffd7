/* A scripted stand-in for the AAC wrapper library: it logs every call the
 * engine makes and fails where a test tells it to, so that the call
 * sequences of saving, copying and streaming can be checked exactly. */
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

#pragma pack(push, 1)
typedef struct {
    uint8_t gain;
    int32_t offset;
} Entry;
#pragma pack(pop)
typedef struct {
    int32_t field[13];
} Info;

EXPORT int64_t kv_script_frames = 100;   /* frames a scan reports */
EXPORT int kv_script_no_output_every = 0; /* memory mode: every n-th frame gives no output */
EXPORT int kv_script_fail_write_at = -1;  /* file mode: this frame number (per writer) fails */
EXPORT int kv_script_refuse_writer = 0;   /* new writers are refused */
EXPORT char kv_script_log[1 << 20];

enum { kMaxHandles = 4096 };
static int g_kind[kMaxHandles];          /* 0 none, 1 source, 2 writer */
static int64_t g_written[kMaxHandles];   /* frames written per writer */
static uintptr_t g_next = 100;

static void logf_(const char *fmt, ...)
{
    size_t used = strlen(kv_script_log);
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(kv_script_log + used, sizeof kv_script_log - used, fmt, ap);
    va_end(ap);
}

static int kind(uintptr_t h) { return h < kMaxHandles ? g_kind[h] : 0; }

EXPORT int32_t init_aac_libav_library(void) { return 1; }

EXPORT uintptr_t find_aac_gains_offsets2(const char *path, Entry **entries, Info *info, int64_t *n, void *cancel)
{
    Entry *e = calloc((size_t)kv_script_frames, sizeof(Entry));
    for (int64_t i = 0; i < kv_script_frames; ++i) {
        e[i].gain = (uint8_t)(100 + i % 50);
        e[i].offset = (int32_t)(200 * (i + 1));
    }
    memset(info, 0, sizeof *info);
    info->field[0] = 2;
    info->field[1] = 4;
    info->field[2] = 44100;
    info->field[3] = 2;
    info->field[9] = 2;
    info->field[11] = 1024;
    *entries = e;
    *n = kv_script_frames;
    uintptr_t h = g_next++;
    g_kind[h] = 1;
    logf_("scan %lu;", (unsigned long)h);
    return h;
}

EXPORT uintptr_t find_aac_gains_offsets(const char *p, Entry **e, Info *i, int64_t *n)
{
    return find_aac_gains_offsets2(p, e, i, n, 0);
}

EXPORT void free_aac_gains_offsets(Entry *e) { free(e); }

EXPORT uintptr_t init_aac_write_next_file_frames(uintptr_t w, uintptr_t s, const char *path, int64_t first,
                                                 int64_t count, int32_t memory, const Info *info)
{
    uintptr_t r = 0;
    if (kind(w) == 2) {
        r = w;
    } else if (!kv_script_refuse_writer && (w == 0 || kind(w) == 1)) {
        r = g_next++;
        g_kind[r] = 2;
        g_written[r] = 0;
        if (path && *path && !memory) {
            FILE *f = fopen(path, "wb");
            if (f)
                fclose(f);
        }
    }
    logf_("init %lu %lu %lld %lld %d%s -> %lu;", (unsigned long)w, (unsigned long)s, (long long)first,
          (long long)count, memory, info ? "" : " noformat", (unsigned long)r);
    return r;
}

EXPORT int32_t aac_write_next_frame(uintptr_t w, int32_t gain, int32_t silenced, void *out, int32_t cap,
                                    int32_t *len)
{
    if (len)
        *len = 0;
    if (kind(w) != 2)
        return -1;
    const int64_t k = g_written[w]++;
    logf_("next %lu %d %d;", (unsigned long)w, gain, silenced);
    if (!out)
        return k == kv_script_fail_write_at ? -5 : 1;
    if (kv_script_no_output_every && k % kv_script_no_output_every == kv_script_no_output_every - 1)
        return -4;
    if (cap < 8)
        return -3;
    memset(out, 0, 8);
    ((unsigned char *)out)[0] = 0xFF;
    memcpy((char *)out + 1, &k, 4);
    *len = 8;
    return 1;
}

EXPORT int32_t aac_write_frame(uintptr_t w, const void *d, int32_t n, void *o, int32_t c, int32_t *l) { return -1; }

EXPORT int32_t close_aac_write(uintptr_t w)
{
    logf_("close_write %lu;", (unsigned long)w);
    if (kind(w) != 2)
        return -1;
    g_kind[w] = 0;
    return 0;
}

EXPORT int32_t close_aac_handle(uintptr_t h)
{
    logf_("close_handle %lu;", (unsigned long)h);
    if (!kind(h))
        return -1;
    g_kind[h] = 0;
    return 0;
}
