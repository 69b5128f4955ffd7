#include "KvMP3AudioFile.h"

#include "KvMP3FrameRepacker.h"
#include "KvMP3RepackInfo.h"

#include <QObject>

KvMP3AudioFile::KvMP3AudioFile() = default;
KvMP3AudioFile::~KvMP3AudioFile() = default;

QString KvMP3AudioFile::open(const QString &path)
{
    return scanWith(new KvMP3FrameRepacker, path,
                    QObject::tr("The file is not recognized as a supported MP3 file format"));
}

void KvMP3AudioFile::attachRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format)
{
    m_repacker.reset(new KvMP3FrameRepacker(format));
}

KvMP3FrameRepacker *KvMP3AudioFile::mp3Repacker() const
{
    return static_cast<KvMP3FrameRepacker *>(m_repacker.get());
}

boost::shared_ptr<KvRepackInfo> KvMP3AudioFile::createRepackInfoFrom(qint64 n)
{
    if (!m_repacker || n < 0)
        return boost::shared_ptr<KvRepackInfo>();
    return boost::shared_ptr<KvRepackInfo>(new KvMP3RepackInfo(m_repacker->sizeInfo(), n));
}

boost::shared_ptr<KvRepackInfo> KvMP3AudioFile::createRepackInfo(qint64 first, qint64 count)
{
    if (!takeRange(first, count))
        return boost::shared_ptr<KvRepackInfo>();
    return boost::shared_ptr<KvRepackInfo>(new KvMP3RepackInfo(m_repacker, first, count));
}
