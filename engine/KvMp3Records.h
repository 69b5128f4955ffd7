#pragma once
// Fixed-layout per-frame records of MP3 sources and fragments.
#include <cstdint>

#pragma pack(push, 1)

// One frame of an MP3 source, as the source scan found it. A record whose
// bytes are all zero ends a table.
struct KvMP3GainFrameInfo {
    uint32_t offset;         // file offset of the frame's first byte
    int16_t gain[2];         // largest coded global_gain per channel (0-255)
    uint16_t payloadLength;  // audio payload bytes; 0 for a broken frame
    int16_t ringFill;        // unread main-data ring bytes after this frame's data was appended
    int16_t capacity;        // main-data area of the frame in bytes
    uint8_t flags;           // see KvMp3FrameFlag; bits 4-7 bitrate index
    uint8_t stereoFlags;     // bit0 joint stereo
    uint16_t mainDataBegin;  // the frame's own main_data_begin

    int bitrateIndex() const { return flags >> 4; }
};

// The edit record of one frame of an MP3 fragment.
struct KvMP3GainChangeInfo {
    int32_t gain[2];         // gain change per channel, in global_gain steps
    uint8_t flags;           // see KvMp3EditFlag; bits 3-6 output bitrate index
    int16_t mainDataBegin;   // output main_data_begin
    int16_t capacity;        // output main-data capacity

    int bitrateIndex() const { return (flags >> 3) & 0x0F; }
    void setBitrateIndex(int index) { flags = uint8_t((flags & ~0x78) | ((index & 0x0F) << 3)); }
};

#pragma pack(pop)

static_assert(sizeof(KvMP3GainFrameInfo) == 18, "source frame record is 18 bytes");
static_assert(sizeof(KvMP3GainChangeInfo) == 13, "edit record is 13 bytes");

namespace KvMp3FrameFlag {
enum : uint8_t {
    NoAudio = 0x01,    // every part2_3_length is 0
    Broken = 0x02,     // reservoir broken or CRC mismatch
    Padding = 0x04,
    Crc = 0x08,
};
}

namespace KvMp3StereoFlag {
enum : uint8_t { JointStereo = 0x01 };
}

namespace KvMp3EditFlag {
enum : uint8_t {
    ReservoirRestart = 0x01,  // the rebuilt frame gets main_data_begin 0
    Silenced = 0x02,
    Dropped = 0x04,           // the rebuilt frame carries no main data
};
}
