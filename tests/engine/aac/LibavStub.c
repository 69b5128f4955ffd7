/* A stand-in for the AAC wrapper library that counts the calls it gets: built
 * once without close_aac_handle (eight of nine entry points) and once with an
 * initialisation that answers 0. */
#include <stdint.h>

#ifndef KV_STUB_INIT_RESULT
#define KV_STUB_INIT_RESULT 1
#endif

#define EXPORT __attribute__((visibility("default")))

EXPORT int kv_stub_calls = 0;

EXPORT int32_t init_aac_libav_library(void) { ++kv_stub_calls; return KV_STUB_INIT_RESULT; }
EXPORT uintptr_t find_aac_gains_offsets(const char *p, void **e, void *i, int64_t *n) { ++kv_stub_calls; if (n) *n = 5; return 7; }
EXPORT uintptr_t find_aac_gains_offsets2(const char *p, void **e, void *i, int64_t *n, void *c) { ++kv_stub_calls; if (n) *n = 5; return 7; }
EXPORT void free_aac_gains_offsets(void *e) { ++kv_stub_calls; }
EXPORT uintptr_t init_aac_write_next_file_frames(uintptr_t w, uintptr_t s, const char *p, int64_t f, int64_t c, int32_t m, const void *i) { ++kv_stub_calls; return 9; }
EXPORT int32_t aac_write_next_frame(uintptr_t w, int32_t g, int32_t s, void *o, int32_t c, int32_t *l) { ++kv_stub_calls; return 1; }
EXPORT int32_t aac_write_frame(uintptr_t w, const void *d, int32_t n, void *o, int32_t c, int32_t *l) { ++kv_stub_calls; return 1; }
EXPORT int32_t close_aac_write(uintptr_t w) { ++kv_stub_calls; return 0; }
#ifndef KV_STUB_WITHOUT_CLOSE_HANDLE
EXPORT int32_t close_aac_handle(uintptr_t h) { ++kv_stub_calls; return 0; }
#endif
