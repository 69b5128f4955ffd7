#include "KvAACAudioFile.h"

#include "KvAACFrameRepacker.h"
#include "KvAACRepackInfo.h"

KvAACAudioFile::KvAACAudioFile() = default;
KvAACAudioFile::~KvAACAudioFile() = default;

QString KvAACAudioFile::open(const QString &path)
{
    return scanWith(new KvAACFrameRepacker, path,
                    tr("The file is not recognized as a supported AAC file format"));
}

void KvAACAudioFile::attachRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format)
{
    m_repacker.reset(new KvAACFrameRepacker(format));
}

KvAACFrameRepacker *KvAACAudioFile::aacRepacker() const
{
    return dynamic_cast<KvAACFrameRepacker *>(m_repacker.get());
}

boost::shared_ptr<KvRepackInfo> KvAACAudioFile::createRepackInfoFrom(qint64 n)
{
    if (!m_repacker || n < 0)
        return boost::shared_ptr<KvRepackInfo>();
    return boost::shared_ptr<KvRepackInfo>(new KvAACRepackInfo(m_repacker->sizeInfo(), n));
}

boost::shared_ptr<KvRepackInfo> KvAACAudioFile::createRepackInfo(qint64 first, qint64 count)
{
    if (!takeRange(first, count))
        return boost::shared_ptr<KvRepackInfo>();
    return boost::shared_ptr<KvRepackInfo>(new KvAACRepackInfo(m_repacker, first, count));
}
