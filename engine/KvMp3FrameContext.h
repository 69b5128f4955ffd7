#pragma once
#include <cstdint>

struct KvMP3GainFrameInfo;
struct KvMP3GainChangeInfo;
class KvMP3FrameSizeInfo;

// What the frame step, the reservoir planner and the rebuilder know about the
// frame being handled. The frame iterator fills it; the source scan fills only
// the record pointers.
struct KvMp3FrameContext {
    int64_t fragmentFirst = -1;   // first source frame of the current fragment

    // Output layout of the frame in bytes (filled by the planner's layout step).
    int32_t gap = 0;
    int32_t fill = 0;
    int32_t lead = 0;
    int32_t tail = 0;

    // Fragment boundary flags.
    uint8_t fragmentStart = 0;
    uint8_t preRoll = 0;
    uint8_t firstPreRoll = 0;
    uint8_t lastPreRoll = 0;
    uint8_t firstOfFragment = 0;
    uint8_t lastOfFragment = 0;

    KvMP3GainFrameInfo *sourceRecord = nullptr;
    KvMP3GainChangeInfo *editRecord = nullptr;
    KvMP3GainFrameInfo *nextSourceRecord = nullptr;
    KvMP3GainChangeInfo *nextEditRecord = nullptr;
    KvMP3FrameSizeInfo *format = nullptr;

    uint8_t silentSource = 0;     // the frame comes from a generated run of silence

    void clear() { *this = KvMp3FrameContext(); }
};
