#pragma once
// Byte quantities of one frame that the iterator and the reservoir planner
// compute from the frame's context (records and format).
struct KvMp3FrameContext;

// Main-data bytes the output frame carries at its output bitrate index: the
// frame length for the document's version and sampling frequency (plus the
// source frame's padding slot) minus side information and header with the
// source's CRC word; never below 0.
int KvMp3OutputCapacity(const KvMp3FrameContext &ctx);

// Bytes that lie in the source between the end of this frame's payload and the
// start of the next frame's payload: max(0, m - m' + c - L), with m, c the
// frame's own main_data_begin and capacity, m' the main_data_begin of the
// next frame of the same source and L the payload length (0 when dropped).
int KvMp3SourceGap(const KvMp3FrameContext &ctx);
