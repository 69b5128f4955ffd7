#pragma once
// Whether the bytes read from an MP3 source for writing are still the frames
// its index describes. Another program may rewrite a source while a document
// holds it open; a frame whose header no longer matches its record must fail
// the save or the playback instead of being written as whatever stands there
// now. The header bytes are in memory already, so the compare costs nothing
// worth measuring.
#include <QtGlobal>

#include <cstdint>

struct KvMP3GainFrameInfo;
class KvMP3FrameSizeInfo;

// Checks every frame of table[first .. end) whose header lies wholly in the
// buffer, which holds `length` bytes of the file from offset `at`; frames
// before `at` are passed over. A frame matches when its four header bytes are
// the header its record describes: the sync word, the source's version, layer
// and sampling frequency, and the frame's own bitrate index, padding, CRC bit
// and channel mode; a frame the scan kept as a foreign (broken) frame matches
// while its bytes still lie outside the format. Returns the first frame that
// does not match, or -1 when all match.
qint64 KvMp3FirstChangedFrame(const char *bytes, qint64 length, qint64 at, const KvMP3GainFrameInfo *table,
                              qint64 first, qint64 end, const KvMP3FrameSizeInfo &format);
