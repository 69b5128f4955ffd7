#include "KvAudioFile.h"

#include "KvFrameRepacker.h"
#include "KvFrameSizeInfo.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("KvAudioFile", text);
}

// m:ss.cc
QString timeText(double seconds)
{
    const qint64 centis = qint64(seconds * 100.0 + 0.5);
    return QStringLiteral("%1:%2").arg(centis / 6000).arg(double(centis % 6000) / 100.0, 5, 'f', 2, QLatin1Char('0'));
}

} // namespace

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
    if (!errorText.isEmpty())
        return errorText;
    // The library's own complaint, when it had one, says why.
    const QString why = m_repacker->scanReport().libraryMessage;
    return why.isEmpty() ? notRecognized : QStringLiteral("%1 (%2)").arg(notRecognized, why);
}

QString KvAudioFile::damageReport() const
{
    const boost::shared_ptr<KvFrameSizeInfo> format = m_repacker ? m_repacker->sizeInfo() : nullptr;
    if (!format || m_repacker->frameCount() <= 0 || !m_repacker->scanReport().any())
        return QString();
    const KvScanReport &r = m_repacker->scanReport();
    // AAC formats have version codes from 10 on.
    const bool aac = format->versionCode() >= 10;
    const qint64 n = r.damagedFrames;
    if (r.cutAtFrame < 0) {
        if (aac)
            return n == 1 ? tr("1 frame of this file cannot be read; it is kept as it is, and volume changes do "
                               "not apply to it.")
                          : tr("%1 frames of this file cannot be read; they are kept as they are, and volume "
                               "changes do not apply to them.")
                                .arg(n);
        return n == 1 ? tr("1 damaged frame of this file was kept as silence.")
                      : tr("%1 damaged frames of this file were kept as silence.").arg(n);
    }
    const double seconds = format->sampleRate() > 0
                               ? double(r.cutAtFrame) * format->samplesPerFrame() / format->sampleRate()
                               : 0.0;
    const char *text;
    if (n == 0)
        text = "The file changes format at %1, so only its first %2 frames, before the change, were opened.";
    else if (aac)
        text = n == 1 ? "The file changes format at %1, so only its first %2 frames, before the change, were "
                        "opened, and 1 of them cannot be read and is kept as it is, without volume changes."
                      : "The file changes format at %1, so only its first %2 frames, before the change, were "
                        "opened, and %3 of them cannot be read and are kept as they are, without volume changes.";
    else
        text = n == 1 ? "The file changes format at %1, so only its first %2 frames, before the change, were "
                        "opened, and 1 of them is damaged and was kept as silence."
                      : "The file changes format at %1, so only its first %2 frames, before the change, were "
                        "opened, and %3 of them are damaged and were kept as silence.";
    QString sentence = tr(text).arg(timeText(seconds)).arg(r.cutAtFrame);
    return n > 1 ? sentence.arg(n) : sentence;
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
