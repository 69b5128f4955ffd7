/* Stand-in LAME libraries for the tests: each build exports a chosen set of entry points
 * (the stream interface, the native interface, or both) and records what it is asked, so
 * the tests can read it back through kv_stub_state(). STUB_BLADE, STUB_NATIVE and
 * STUB_LONG2 select the interfaces; STUB_NO_VBRHEADER leaves one required name out. */
#include <stdint.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

#pragma pack(push, 1)
typedef struct {
    uint8_t dllMajor, dllMinor, major, minor, day, month;
    uint16_t year;
    char homepage[129];
    uint8_t alpha, beta, mmx;
    uint8_t reserved[125];
} StubVersion;
#pragma pack(pop)

typedef struct {
    /* native */
    int inRate, outRate, channels, vbr, brate, mode, vbrQ, writeVbrTag;
    int initCalls, initParamsCalls, closeCalls, interleavedCalls, long2Calls, flushCalls;
    int lastSamples;
    /* stream */
    unsigned char config[331];
    int initStreamCalls, encodeChunkCalls, deinitCalls, closeStreamCalls;
    uint32_t chunkSamples[64];
} StubState;

static StubState g_state;

EXPORT StubState *kv_stub_state(void) { return &g_state; }

EXPORT void kv_stub_reset(void)
{
    memset(&g_state, 0, sizeof g_state);
    g_state.inRate = g_state.outRate = g_state.channels = g_state.vbr = -1;
    g_state.brate = g_state.mode = g_state.vbrQ = g_state.writeVbrTag = -1;
}

#ifdef STUB_NATIVE
static int g_context;
EXPORT void *lame_init(void) { g_state.initCalls++; return &g_context; }
EXPORT const char *get_lame_version(void) { return "9.87"; }
EXPORT int lame_init_params(void *c) { (void)c; g_state.initParamsCalls++; return 0; }
EXPORT int lame_set_num_channels(void *c, int v) { (void)c; g_state.channels = v; return 0; }
EXPORT int lame_set_in_samplerate(void *c, int v) { (void)c; g_state.inRate = v; return 0; }
EXPORT int lame_set_out_samplerate(void *c, int v) { (void)c; g_state.outRate = v; return 0; }
EXPORT int lame_set_brate(void *c, int v) { (void)c; g_state.brate = v; return 0; }
EXPORT int lame_set_mode(void *c, int v) { (void)c; g_state.mode = v; return 0; }
EXPORT int lame_set_VBR_q(void *c, int v) { (void)c; g_state.vbrQ = v; return 0; }
EXPORT int lame_set_VBR(void *c, int v) { (void)c; g_state.vbr = v; return 0; }
EXPORT int lame_set_bWriteVbrTag(void *c, int v) { (void)c; g_state.writeVbrTag = v; return 0; }
EXPORT int lame_close(void *c) { (void)c; g_state.closeCalls++; return 0; }
EXPORT int lame_encode_buffer_interleaved(void *c, short *pcm, int n, unsigned char *out, int cap)
{
    (void)c; (void)pcm;
    g_state.interleavedCalls++;
    g_state.lastSamples = n;
    if (cap < 4) return -1;
    memcpy(out, "NATV", 4);
    return 4;
}
EXPORT int lame_encode_flush(void *c, unsigned char *out, int cap)
{
    (void)c;
    g_state.flushCalls++;
    if (cap < 4) return -1;
    memcpy(out, "FLSH", 4);
    return 4;
}
#ifdef STUB_LONG2
EXPORT int lame_encode_buffer_long2(void *c, const long *l, const long *r, int n, unsigned char *out, int cap)
{
    (void)c; (void)l; (void)r; (void)out; (void)cap;
    g_state.long2Calls++;
    g_state.lastSamples = n;
    return 0;
}
#endif
#endif

#ifdef STUB_BLADE
EXPORT uint32_t beInitStream(void *config, uint32_t *samples, uint32_t *bufferSize, uintptr_t *stream)
{
    memcpy(g_state.config, config, sizeof g_state.config);
    g_state.initStreamCalls++;
    *samples = 2304;
    *bufferSize = 8640;
    *stream = 42;
    return 0;
}
/* "Encodes" by copying the samples, so the tests can see what arrived and in what order. */
EXPORT uint32_t beEncodeChunk(uintptr_t stream, uint32_t n, const int16_t *pcm, uint8_t *out, uint32_t *outLen)
{
    if (stream != 42) return 1;
    if (g_state.encodeChunkCalls < 64) g_state.chunkSamples[g_state.encodeChunkCalls] = n;
    g_state.encodeChunkCalls++;
    memcpy(out, pcm, n * 2u);
    *outLen = n * 2u;
    return 0;
}
EXPORT uint32_t beDeinitStream(uintptr_t stream, uint8_t *out, uint32_t *outLen)
{
    if (stream != 42) return 1;
    g_state.deinitCalls++;
    memcpy(out, "END!", 4);
    *outLen = 4;
    return 0;
}
EXPORT uint32_t beCloseStream(uintptr_t stream) { (void)stream; g_state.closeStreamCalls++; return 0; }
EXPORT void beVersion(StubVersion *v)
{
    memset(v, 0, sizeof *v);
    v->dllMajor = 1; v->dllMinor = 32;
    v->major = 1; v->minor = 5;
    v->day = 3; v->month = 7; v->year = 2009;
}
#ifndef STUB_NO_VBRHEADER
EXPORT uint32_t beWriteVBRHeader(const char *name) { (void)name; return 0; }
#endif
#endif
