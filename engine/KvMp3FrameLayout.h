#pragma once
// Where one rebuilt Layer III frame puts its main data. Pure functions over the
// frame's source and edit records, shared by the reservoir planner, the frame
// iterator and the frame rebuilder so that all three agree byte for byte.
//
// The output frame's main-data area of C bytes holds, in this order:
//   lead F: the end of this frame's own payload (its first M bytes went into
//           earlier frames),
//   fill P: bytes between this payload's end and the next payload's start,
//   tail N: the first bytes of the following frames' payloads (N = M').
// F + P + N = C always.
#include <cstdint>

struct KvMP3GainFrameInfo;
struct KvMP3GainChangeInfo;
struct KvMp3FrameContext;

// The numbers the layout needs, all in bytes.
struct KvMp3LayoutInput {
    int sourceBegin = 0;      // m: the source frame's main_data_begin
    int sourceCapacity = 0;   // c: the source frame's main-data area
    int sourceNextBegin = 0;  // m': main_data_begin of the next frame of the same source (0 after the last)
    int payload = 0;          // L: payload bytes, 0 for a dropped frame
    int begin = 0;            // M: output main_data_begin
    int nextBegin = 0;        // M': output main_data_begin of the next output frame
    int capacity = 0;         // C: output main-data area
};

struct KvMp3FrameLayout {
    int capacity = 0;  // C
    int gap = 0;       // G: source bytes between this payload's end and the next one's start
    int fill = 0;      // P
    int lead = 0;      // F
    int tail = 0;      // N
};

// Main-data bytes of an output frame: frame length at the bitrate index (plus
// the padding slot) minus header, CRC word and side information; never below 0.
int KvMp3OutputCapacity(int version, int samplingFrequency, int mode, int bitrateIndex, bool padding,
                        bool crc);

// The bitrate index the output frame is written with: the planned one, or the
// source frame's own when the plan holds no usable index (0 or 15).
int KvMp3OutputBitrateIndex(const KvMP3GainChangeInfo &edit, const KvMP3GainFrameInfo &source);

// G = max(0, m - m' + c - L).
int KvMp3SourceGap(const KvMp3LayoutInput &in);

// The layout of one output frame from its numbers.
KvMp3FrameLayout KvMp3LayoutFrame(const KvMp3LayoutInput &in);

// The numbers of the context's frame: its source record, the source record
// after it in the same table (a silent source has none: m' = 0), its edit
// record and the next edit record, and C from the context's format facts.
// False (input untouched) without the records or the format.
bool KvMp3LayoutInputFor(const KvMp3FrameContext &ctx, KvMp3LayoutInput &in);

// The source gap of the context's frame (what the iterator keeps while walking);
// 0 without records.
int KvMp3ContextGap(const KvMp3FrameContext &ctx);

// Computes the layout of the context's frame, stores C in its edit record and
// G, P, F, N in the context. False (nothing changed) without records or format.
bool KvMp3UpdateLayout(KvMp3FrameContext &ctx, KvMp3FrameLayout *out = nullptr);

// C of the context's frame at its planned bitrate index (the iterator sizes the
// synthetic records of silent fragments with it); 0 without records or format.
int KvMp3OutputCapacity(const KvMp3FrameContext &ctx);
