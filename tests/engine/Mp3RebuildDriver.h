#pragma once
// Drives the frame step in rebuild mode over hand-built documents, the way the
// stream device will: fragments of scanned sources (with their pre-roll
// frames) and runs of silence, one context per frame, reset at each fragment.
// The plan is whatever the test writes into the edit records.
#include "KvBitStream.h"
#include "KvMP3FrameRepacker.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3Records.h"

#include <QByteArray>
#include <QString>

#include <boost/shared_ptr.hpp>

#include <memory>
#include <vector>

namespace kvtest {

// A scanned MP3 source and its file bytes.
struct Mp3Source {
    QString path;
    QByteArray bytes;
    std::unique_ptr<KvMP3FrameRepacker> index;
    qint64 count = 0;

    const KvMP3GainFrameInfo *table() const { return index->frameTable().get(); }
    KvMP3FrameSizeInfo *format() const { return index->mp3SizeInfo(); }
    // Bytes of frame i in the file: up to the next frame, or to the end.
    QByteArray frameBytes(qint64 i) const;
};
std::unique_ptr<Mp3Source> loadMp3Source(const QString &path);

// A run of frames of one source, or of silence, with its edit records laid out
// like a fragment's: up to ten pre-roll records, the frames, a zero terminator.
struct Mp3Fragment {
    const Mp3Source *source = nullptr;   // null: silence in `silentFormat`
    qint64 first = 0;
    qint64 count = 0;
    qint64 preRoll = 0;
    std::vector<KvMP3GainChangeInfo> edits;
    // Silence only: its format and the two synthetic source records.
    boost::shared_ptr<KvMP3FrameSizeInfo> silentFormat;
    KvMP3GainFrameInfo synthetic[2]{};

    KvMP3GainChangeInfo &edit(qint64 i) { return edits[size_t(preRoll + i)]; }
    const KvMP3GainFrameInfo &sourceRecord(qint64 i) const;
};

// The source's own plan: bitrate index and main_data_begin of each frame,
// broken frames silenced with a reservoir restart. preRoll < 0: min(10, first).
Mp3Fragment sourceFragment(const Mp3Source &s, qint64 first, qint64 count, qint64 preRoll = -1);
// count silent frames in the format of `like`: bitrate index 1, silenced.
Mp3Fragment silentFragment(const KvMP3FrameSizeInfo &like, qint64 count);

// Output of one run: the frames and where each begins.
struct RebuildResult {
    QByteArray bytes;
    std::vector<int> frameStarts;
    int maxPending = 0;
    int failure = 0;   // a step result other than 0, -8, -11
    int flushed = 0;   // frames completed by flush
    bool lengthsAgree = true;   // every frame as long as its header says
};

struct RebuildOptions {
    bool forceJointStereo = false;
};

RebuildResult rebuild(std::vector<Mp3Fragment> &doc, const RebuildOptions &options = {});

// Bytes of a PCM frame (s16) for a format.
int pcmFrameBytes(const KvMP3FrameSizeInfo &f);
double rms(const QByteArray &pcm, qint64 from = 0, qint64 to = -1);

} // namespace kvtest
