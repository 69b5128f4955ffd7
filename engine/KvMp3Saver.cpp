// Saving an MP3 document, and its one-line description.
#include "KvMP3RepackInfoPtrList.h"

#include "KvAudioFragmentList.h"
#include "KvAudioStream.h"
#include "KvFile.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMP3RepackInfo.h"
#include "KvMp3Records.h"
#include "KvWriteBehind.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTime>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kBufferSize = 1 << 20;

// Whether two paths name the same file (also through links); false when
// either does not exist.
bool sameFile(const QString &a, const QString &b)
{
    struct stat sa, sb;
    const QByteArray pa = QFile::encodeName(a), pb = QFile::encodeName(b);
    if (::stat(pa.constData(), &sa) != 0 || ::stat(pb.constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The target is a file the program reads: a source of this document, or any
// file a source object holds open (the undo history's, the clipboard's).
bool targetInUse(const KvRepackInfoPtrListPtr &document, const QString &target)
{
    if (!QFileInfo::exists(target))
        return false;
    for (const KvRepackInfoPtr &f : *document->list()) {
        const QString source = f->sourcePath();
        if (!source.isEmpty() && sameFile(source, target))
            return true;
    }
    for (const QString &open : KvFile::openFiles()) {
        if (sameFile(open, target))
            return true;
    }
    return false;
}

} // namespace

QString KvMP3RepackInfoPtrList::saveMp3File(const KvRepackInfoPtrListPtr &document, const QString &path)
{
    KvMP3RepackInfoPtrList *self = dynamic_cast<KvMP3RepackInfoPtrList *>(document.get());
    if (!self)
        return tr("failed to open mp3 stream");
    const QString target = normalizeLongPath(path);
    if (target.isEmpty())
        return tr("No file name was given.");
    if (targetInUse(document, target))
        return tr("The file is already in use and cannot be overwritten.");

    // Written beside the target and renamed over it only when complete, so a
    // failure never leaves a truncated file under the target's name.
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();

    if (!writeXingFrame(document, &file)) {
        const QString error = file.error() != QFileDevice::NoError ? file.errorString()
                                                                   : tr("failed to write bytes to mp3 file");
        file.cancelWriting();
        return error;
    }

    QIODevice *stream = KvAudioStreamOpen("rb", document, 0);
    if (!stream) {
        file.cancelWriting();
        return tr("failed to open mp3 stream");
    }
    QString error;
    // The system's reason (a full disk, say) says more than the device's.
    const auto writeError = [&file](int reason) {
        QString text = tr("failed to write bytes to mp3 file");
        if (reason != 0)
            text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(reason));
        else if (file.error() != QFileDevice::NoError)
            text += QStringLiteral(": ") + file.errorString();
        return text;
    };
    // Whole frames in large pieces: runs that keep their source layout (volume
    // edits included) come straight from their source.
    KvAudioListFileIO *device = qobject_cast<KvAudioListFileIO *>(stream);
    QByteArray buffer(kBufferSize, Qt::Uninitialized);
    KvWriteBehind out(&file);
    quint64 frames = 1;
    quint64 bytes = quint64(self->m_xingLength);
    while (!KvAudioStreamEof(stream)) {
        qint64 count = 0;
        const qint64 n = device->readFrames(buffer.data(), buffer.size(), &count);
        if (n < 0) {
            error = tr("failed to write bytes to mp3 file");
            break;
        }
        if (n == 0)
            continue;
        if (!out.write(buffer.constData(), n)) {
            error = writeError(errno);
            break;
        }
        frames += quint64(count);
        bytes += quint64(n);
    }
    if (error.isEmpty() && !out.flush())
        error = writeError(errno);
    if (error.isEmpty())
        error = device->errorText();
    KvAudioStreamClose(stream);
    // The leading frame announces these totals; a stream that delivered
    // anything else would make it lie.
    if (error.isEmpty() && (frames != self->m_frameTotal || bytes != self->m_byteTotal))
        error = tr("The rebuilt stream (%1 frames, %2 bytes) does not match its Info frame (%3 frames, %4 bytes).")
                    .arg(frames)
                    .arg(bytes)
                    .arg(self->m_frameTotal)
                    .arg(self->m_byteTotal);
    if (!error.isEmpty()) {
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString().isEmpty() ? tr("failed to write bytes to mp3 file") : file.errorString();
    return QString();
}

QString KvMP3FileInfoText(const boost::shared_ptr<KvAudioFragmentList> &cursor)
{
    const KvRepackInfoPtrListPtr document = cursor ? cursor->list() : KvRepackInfoPtrListPtr();
    if (!document)
        return QString();
    bool joint = false;
    bool seen = false;
    quint64 kbpsSum = 0;
    boost::shared_ptr<KvMP3FrameSizeInfo> format;
    for (const KvRepackInfoPtr &f : *document->list()) {
        KvMP3RepackInfo *mp3 = dynamic_cast<KvMP3RepackInfo *>(f.get());
        if (!mp3)
            break;
        const boost::shared_ptr<KvMP3FrameSizeInfo> facts = boost::dynamic_pointer_cast<KvMP3FrameSizeInfo>(mp3->sizeInfo());
        if (!facts)
            break;
        seen = true;
        format = facts;
        if (facts->modeCode() == 1)
            joint = true;
        const KvMP3GainFrameInfo *table = mp3->sourceFrameTable();
        if (!table) {
            kbpsSum += quint64(KvMp3BitrateKbps(facts->versionCode(), 1)) * quint64(mp3->frameCount());
        } else {
            const qint64 first = mp3->firstFrame();
            for (qint64 i = 0; i < mp3->frameCount(); ++i)
                kbpsSum += quint64(KvMp3BitrateKbps(facts->versionCode(), table[first + i].bitrateIndex()));
        }
    }
    if (!seen || !format)
        return QString();

    const char *ctx = "KvMP3RepackInfoPtrList";
    const auto tr = [ctx](const char *text) { return QCoreApplication::translate(ctx, text); };
    const qint64 total = document->totalFrames();
    const int version = format->versionCode();
    QString text;
    if (version == 0)
        text += tr("MPEG 1/");
    else if (version == 1)
        text += tr("MPEG 2/");
    else if (version == 2)
        text += tr("MPEG 2.5/");
    else
        text += tr("MPEG (unknown)/");
    text += version == 0 ? tr("Layer 3 - ") : tr("Layer 3 LSF - ");
    text += tr("%1 kbps - ").arg(total > 0 ? kbpsSum / quint64(total) : 0);
    text += tr("%1 Hz - ").arg(format->sampleRate());
    if (joint) {
        text += tr("Joint Stereo - ");
    } else {
        switch (format->modeCode()) {
        case 0: text += tr("Stereo - "); break;
        case 2: text += tr("Dual Channel - "); break;
        case 3: text += tr("Mono - "); break;
        default: break;
        }
    }
    if (format->firstHeader().copyright)
        text += QChar(0x00A9);
    const int rate = format->sampleRate();
    qint64 ms = rate > 0 ? qint64(format->samplesPerFrame()) * 1000 * total / rate : 0;
    const qint64 rest10 = ms % 10;
    ms += rest10 >= 5 ? 10 - rest10 : -rest10;
    const qint64 hours = ms / 3600000;
    const QString minutes = QTime(0, 0).addMSecs(int(ms % 3600000)).toString(QStringLiteral("mm:ss.zzz")).left(8);
    text += QStringLiteral("%1:%2").arg(hours).arg(minutes);
    return text;
}
