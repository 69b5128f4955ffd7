#pragma once
// An independent reader of MPEG audio Layer III streams for the tests: it knows
// the bitstream format only, nothing of the engine, and judges exported files.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace kvtest {

struct Mp3FrameFacts {
    qint64 offset = 0;
    int length = 0;           // whole frame in bytes
    int version = 0;          // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int bitrateIndex = 0;
    int sampleRate = 0;
    int mode = 0;             // 3 = mono
    bool crc = false;
    int sideInfoBytes = 0;    // side information, after the header and its CRC
    int mainDataBegin = 0;
    int capacity = 0;         // main-data bytes the frame carries
    int payloadBits = 0;      // sum of part2_3_length
    std::vector<int> globalGains; // granule-major, channel-minor, as coded
    std::vector<int> globalGainBits; // where each global_gain starts, in bits from the frame's start
};

struct Mp3StreamReport {
    std::vector<Mp3FrameFacts> frames;
    QStringList errors;       // reservoir or syntax violations, one line each
    qint64 audioStart = 0;    // after a leading ID3v2 tag
};

// Walks every frame from the start of the file (after an ID3v2 tag) up to the
// end or a trailing tag, and checks that each frame's main data lies inside the
// bytes the stream has delivered: main_data_begin within the format's limit,
// not before the start of the stream, not overlapping the previous frame's
// data, and the frame's payload fitting what is available up to its end.
Mp3StreamReport checkMp3Stream(const QByteArray &file);

} // namespace kvtest
