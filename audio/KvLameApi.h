#pragma once
// The two C interfaces of LAME encoder libraries, as resolved at run time: the native lame_*
// interface (types from lame.h) and the older stream ("Blade") interface, whose records are
// byte-packed. The stream interface's DWORD is 32 bits; its stream handle carries a pointer.
#include <lame/lame.h>

#include <cstdint>

namespace kvlame {

typedef decltype(&::lame_init) InitFn;
typedef decltype(&::get_lame_version) VersionFn;
typedef decltype(&::lame_init_params) InitParamsFn;
typedef decltype(&::lame_encode_buffer) EncodeBufferFn;
typedef decltype(&::lame_encode_buffer_interleaved) EncodeInterleavedFn;
typedef decltype(&::lame_encode_buffer_long2) EncodeLong2Fn;
typedef decltype(&::lame_encode_flush) FlushFn;
typedef decltype(&::lame_close) CloseFn;
typedef int (*SetIntFn)(lame_global_flags *, int);
typedef decltype(&::lame_set_mode) SetModeFn;
typedef decltype(&::lame_set_VBR) SetVbrFn;

typedef uint32_t BeErr;
typedef uintptr_t BeStream;

constexpr uint32_t kBeConfigLame = 256;
constexpr int kBeModeJointStereo = 1;
constexpr int kBeModeMono = 3;
constexpr int kLqpAbr = 11;
constexpr int kLqpCbr = 12;

#pragma pack(push, 1)
struct BeVersion {
    uint8_t dllMajorVersion;
    uint8_t dllMinorVersion;
    uint8_t majorVersion;  // engine
    uint8_t minorVersion;
    uint8_t day;
    uint8_t month;
    uint16_t year;
    char homepage[129];
    uint8_t alphaLevel;
    uint8_t betaLevel;
    uint8_t mmxEnabled;
    uint8_t reserved[125];
};

// The LAME header version of the configuration record.
struct BeConfig {
    uint32_t dwConfig;
    uint32_t dwStructVersion;
    uint32_t dwStructSize;
    uint32_t dwSampleRate;
    uint32_t dwReSampleRate;
    int32_t nMode;
    uint32_t dwBitrate;
    uint32_t dwMaxBitrate;
    int32_t nPreset;
    uint32_t dwMpegVersion;
    uint32_t dwPsyModel;
    uint32_t dwEmphasis;
    int32_t bPrivate;
    int32_t bCRC;
    int32_t bCopyright;
    int32_t bOriginal;
    int32_t bWriteVBRHeader;
    int32_t bEnableVBR;
    int32_t nVBRQuality;
    uint32_t dwVbrAbr_bps;
    int32_t nVbrMethod;
    int32_t bNoRes;
    int32_t bStrictIso;
    uint16_t nQuality;
    uint8_t reserved[237];
};
#pragma pack(pop)
static_assert(sizeof(BeVersion) == 265, "BE_VERSION is 265 bytes");
static_assert(sizeof(BeConfig) == 331, "BE_CONFIG is 331 bytes");

typedef BeErr (*BeInitStreamFn)(BeConfig *, uint32_t *samples, uint32_t *bufferSize, BeStream *);
typedef BeErr (*BeEncodeChunkFn)(BeStream, uint32_t samples, const int16_t *pcm, uint8_t *out,
                                 uint32_t *outLen);
typedef BeErr (*BeDeinitStreamFn)(BeStream, uint8_t *out, uint32_t *outLen);
typedef BeErr (*BeCloseStreamFn)(BeStream);
typedef void (*BeVersionFn)(BeVersion *);
typedef BeErr (*BeWriteVbrHeaderFn)(const char *fileName);
typedef BeErr (*BeWriteInfoTagFn)(BeStream, const char *fileName);

} // namespace kvlame
