#pragma once
#include "KvAudioFile.h"

class KvMP3FrameRepacker;

// An MP3 source file: open() builds its frame index.
class KvMP3AudioFile : public KvAudioFile {
public:
    KvMP3AudioFile();
    ~KvMP3AudioFile() override;

    // Empty on success; else "Failed to open MP3 audio file: %1" or "The file
    // is not recognized as a supported MP3 file format". A failed index stays
    // attached.
    QString open(const QString &path) override;
    void attachRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format) override;
    boost::shared_ptr<KvRepackInfo> createRepackInfoFrom(qint64 n) override;
    boost::shared_ptr<KvRepackInfo> createRepackInfo(qint64 first, qint64 count) override;

    // The frame index as its MP3 type (null before open or attachRepacker).
    KvMP3FrameRepacker *mp3Repacker() const;
};
