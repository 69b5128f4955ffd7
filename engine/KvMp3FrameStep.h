#pragma once
#include <cstddef>
#include <cstdint>

struct KvMp3InputBuffer;
class KvMp3ReservoirRepacker;
class KvBitWriter;
struct KvMp3FrameContext;
class KvMP3FrameSizeInfo;

// Results of the frame step.
enum KvMp3StepResult {
    KvMp3StepOk = 0,
    KvMp3StepNotLayer3 = -3,
    KvMp3StepUnreadable = -6,     // header or side information cannot be parsed
    KvMp3StepNeedMore = -8,       // consumed more than the buffer held / no frame completed
    KvMp3StepEmitOnly = -9,
    KvMp3StepFrameTooLong = -10,  // the frame is longer than the bytes available
    KvMp3StepFifoPending = -11,
};

// Parses one Layer III frame at in.data + in.used: header, CRC, side
// information; appends its main data to the state's ring and resolves its
// main_data_begin against the ring. Without a writer (scan mode) it fills the
// source record that ctx.sourceRecord points to, may mark the record before it
// as broken when this frame's payload overlaps it, and, given format facts,
// takes the format from the first frame and counts every frame into them.
// Everything after the frame in the input counts as its ancillary data and is
// consumed. Damage is kept in place, never an error after the first frame: a
// frame outside the format (KvMp3OutsideFormat) stands as a broken silent frame
// of the format and empties the reservoir; side information that cannot be
// true (a bad block type, too many big values, a payload running past the
// frame) makes a broken frame. With a writer (rebuild mode) it writes no record and no format
// facts: see KvMP3FrameRepacker::parseFrameAt.
int KvMp3FrameStep(KvMp3InputBuffer &in, KvMp3ReservoirRepacker &state, KvBitWriter *writer,
                   KvMp3FrameContext &ctx, KvMP3FrameSizeInfo *format);

// Whether the frame at data cannot stand in a stream of this format: no valid
// header, not Layer III, or another version, sampling frequency or channel count.
bool KvMp3OutsideFormat(const uint8_t *data, size_t avail, const KvMP3FrameSizeInfo &format);
