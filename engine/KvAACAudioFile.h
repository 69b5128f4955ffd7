#pragma once
#include "KvAudioFile.h"

#include <QCoreApplication>

class KvAACFrameRepacker;

// An AAC source file (.m4a .m4b .m4r .mp4 .aac): open() has the wrapper
// library index it.
class KvAACAudioFile : public KvAudioFile {
    Q_DECLARE_TR_FUNCTIONS(KvAACAudioFile)
public:
    KvAACAudioFile();
    ~KvAACAudioFile() override;

    // Empty on success; else "Failed to open AAC audio file: %1" or "The file
    // is not recognized as a supported AAC file format" (also without the
    // library). A failed index stays attached.
    QString open(const QString &path) override;
    void attachRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format) override;
    boost::shared_ptr<KvRepackInfo> createRepackInfoFrom(qint64 n) override;
    boost::shared_ptr<KvRepackInfo> createRepackInfo(qint64 first, qint64 count) override;

    KvAACFrameRepacker *aacRepacker() const;
};
