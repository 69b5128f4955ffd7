#pragma once
// An indexed AAC source file: configuration and where each raw frame lies in the file.
#include "AacConfig.h"
#include "AacFrameEdit.h"
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
    // Encoder delay that an MP4 edit list hides (the first packet's negative time), in
    // samples of the stream's rate; 0 when none.
    int64_t primingSamples = 0;
    // Duration of the last frame when the MP4 trims the stream's end, else 0.
    int64_t lastFrameSamples = 0;
    // One entry per frame, from the walk at indexing.
    FrameGainIndex gainSites;
};

struct ScanResult {
    int error = 0; // KvAacResult, 0 on success
    std::shared_ptr<Source> source;
    std::vector<uint8_t> gains; // first channel's global_gain per frame
    std::vector<bool> untouched; // per frame: the writer cannot walk it and copies it as it is
    int64_t cutAtFrame = -1;     // the stream changes format here: the index ends before it
    int64_t cutAtOffset = -1;
};

ScanResult scanSource(const char *path, KvAacCancelFn cancel);

} // namespace kvaac
