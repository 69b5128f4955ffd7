#pragma once
// An indexed AAC source file: configuration and where each raw frame lies in the file.
#include "AacConfig.h"
#include "KvAacInfoMap.h"
#include "KvAacWrap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvaac {

struct SourceFrame {
    int64_t pos;   // file offset of the raw frame (after any ADTS header)
    uint32_t size; // raw frame bytes
};

struct Source {
    std::string path;
    Container container = ContainerNone;
    AacConfig cfg;
    std::vector<uint8_t> asc; // the container's AudioSpecificConfig (MP4), else empty
    std::vector<SourceFrame> frames;
};

struct ScanResult {
    int error = 0; // KvAacResult, 0 on success
    std::shared_ptr<Source> source;
    std::vector<uint8_t> gains; // first channel's global_gain per frame
};

ScanResult scanSource(const char *path, KvAacCancelFn cancel);

} // namespace kvaac
