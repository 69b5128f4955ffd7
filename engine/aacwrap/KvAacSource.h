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

// The descriptor a source was indexed through, closed with the source.
class HeldFile {
public:
    explicit HeldFile(int fd = -1) : m_fd(fd) {}
    ~HeldFile();
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;
    HeldFile(HeldFile &&other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    HeldFile &operator=(HeldFile &&other) noexcept;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

struct Source {
    // Writers read the frames through this descriptor, never by path: another file renamed
    // over the path later is not what was indexed.
    HeldFile file;
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
    // ADTS: every frame's header was read from the file at indexing and stands just before
    // the frame's position, its length that of the frame.
    bool adtsHeaders = false;

    // Whether `bytes` (the `lead` bytes before frame i's position, then the frame) still hold
    // what the index found there: the frame's ADTS header, when the index read one, and the
    // global_gain values the walk found. Writers ask before they write a frame, so that a
    // file another program changed in place fails the write instead of being written as it
    // is now.
    bool holdsFrame(size_t i, const uint8_t *bytes, size_t lead) const;
    // Bytes of the ADTS header a writer reads before frame i to check it (0 without one).
    size_t headerLead(size_t i) const;
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
