#include "KvAudioFile.h"

#include "KvFrameRepacker.h"

KvAudioFile::KvAudioFile() = default;
KvAudioFile::~KvAudioFile() = default;

qint64 KvAudioFile::frameCount() const
{
    return m_repacker ? m_repacker->frameCount() : 0;
}

QString KvAudioFile::scanWith(KvFrameRepacker *repacker, const QString &path, const QString &notRecognized)
{
    m_repacker.reset(repacker);
    QString errorText;
    if (m_repacker->scanFrames(path, errorText) > 0)
        return QString();
    return errorText.isEmpty() ? notRecognized : errorText;
}

bool KvAudioFile::takeRange(qint64 first, qint64 &count) const
{
    if (!m_repacker)
        return false;
    const qint64 total = m_repacker->frameCount();
    // Silence has no end: a run of it needs an explicit length.
    if (count == -1 && total != KvFrameRepacker::kSilentFrameCount)
        count = total - first;
    return first >= 0 && count >= 0 && first <= total && count <= total - first;
}
