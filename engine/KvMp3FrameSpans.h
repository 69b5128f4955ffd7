#pragma once
// The frames of an MP3 document by fragment, for the walks over the whole
// document that read only records (the save's plan, the Xing/Info
// statistics): the frames the frame iterator visits without pre-roll, in the
// same order, at the cost of a few loads per frame.
#include "KvMp3FrameLayout.h"
#include "KvMp3Records.h"
#include "KvRepackInfoPtrList.h"

#include <vector>

class KvMP3FrameSizeInfo;

// One MP3 fragment with frames.
struct KvMp3FrameSpan {
    const KvMP3GainFrameInfo *source = nullptr;  // records of its frames; null for silence
    KvMP3GainChangeInfo *edits = nullptr;         // edit records of its frames; null without a table
    const KvMP3FrameSizeInfo *format = nullptr;   // its source's format facts; may be null
    qint64 start = 0;                             // document index of its first frame
    qint64 count = 0;
    int version = 0;
    int rate = 0;
    int mode = 0;

    // The source record of frame i; silence reads as frames of bitrate index
    // 1 without payload, as the frame iterator shows it.
    const KvMP3GainFrameInfo &sourceRecord(qint64 i) const { return source ? source[i] : kSilentRecord; }
    // C of a frame at that bitrate index, with or without padding and CRC.
    int capacityAt(int index, bool padding, bool crc) const
    {
        int16_t &c = m_capacities[index & 15][padding ? 1 : 0][crc ? 1 : 0];
        if (c < 0)
            c = int16_t(KvMp3OutputCapacity(version, rate, mode, index, padding, crc));
        return c;
    }
    // C of frame i at the bitrate index its edit record plans (the source's
    // own when it plans none), as the frame iterator's context gives it.
    int plannedCapacity(qint64 i) const
    {
        const KvMP3GainFrameInfo &src = sourceRecord(i);
        static const KvMP3GainChangeInfo none{};
        const int index = KvMp3OutputBitrateIndex(edits ? edits[i] : none, src);
        return capacityAt(index, (src.flags & KvMp3FrameFlag::Padding) != 0, (src.flags & KvMp3FrameFlag::Crc) != 0);
    }

    static const KvMP3GainFrameInfo kSilentRecord;

private:
    mutable int16_t m_capacities[16][2][2] = {
        {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}},
        {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}},
        {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}},
        {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}};
};

// The MP3 fragments of the document that have frames, in order.
std::vector<KvMp3FrameSpan> KvMp3FrameSpans(const KvRepackInfoPtrListPtr &document);
