#include "KvAACAudioFile.h"

#include "KvAACFrameRepacker.h"
#include "KvAACRepackInfo.h"

KvAACAudioFile::KvAACAudioFile() = default;
KvAACAudioFile::~KvAACAudioFile() = default;

QString KvAACAudioFile::open(const QString &path)
{
    m_repacker.reset(new KvAACFrameRepacker);
    QString errorText;
    if (m_repacker->scanFrames(path, errorText) >= 1)
        return QString();
    if (errorText.isEmpty())
        errorText = tr("The file is not recognized as a supported AAC file format");
    return errorText;
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
    if (!m_repacker)
        return boost::shared_ptr<KvRepackInfo>();
    const qint64 total = m_repacker->frameCount();
    // Silence has no end: a run of it needs an explicit length.
    if (count == -1 && total != KvFrameRepacker::kSilentFrameCount)
        count = total - first;
    if (first < 0 || count < 0 || first > total || count > total - first)
        return boost::shared_ptr<KvRepackInfo>();
    return boost::shared_ptr<KvRepackInfo>(new KvAACRepackInfo(m_repacker, first, count));
}
