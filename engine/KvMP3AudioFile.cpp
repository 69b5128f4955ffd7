#include "KvMP3AudioFile.h"

#include "KvMP3FrameRepacker.h"

#include <QObject>

KvMP3AudioFile::KvMP3AudioFile() = default;
KvMP3AudioFile::~KvMP3AudioFile() = default;

QString KvMP3AudioFile::open(const QString &path)
{
    m_repacker.reset(new KvMP3FrameRepacker);
    QString errorText;
    if (m_repacker->scanFrames(path, errorText) > 0)
        return QString();
    if (errorText.isEmpty())
        errorText = QObject::tr("The file is not recognized as a supported MP3 file format");
    return errorText;
}

void KvMP3AudioFile::attachRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format)
{
    m_repacker.reset(new KvMP3FrameRepacker(format));
}

KvMP3FrameRepacker *KvMP3AudioFile::mp3Repacker() const
{
    return static_cast<KvMP3FrameRepacker *>(m_repacker.get());
}
