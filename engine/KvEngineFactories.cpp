#include "KvEngineFactories.h"

#include "KvAACAudioFile.h"
#include "KvAACAudioListFileIO.h"
#include "KvAACAudioFragmentList.h"
#include "KvAACFrameListIterator.h"
#include "KvAACFrameSizeInfo.h"
#include "KvAACRepackInfo.h"
#include "KvAACRepackInfoPtrList.h"
#include "KvAacFileInfoText.h"
#include "KvFrameRepacker.h"
#include "KvMP3AudioFile.h"
#include "KvMP3AudioListFileIO.h"
#include "KvMP3AudioFragmentList.h"
#include "KvMP3FrameListIterator.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMP3RepackInfo.h"
#include "KvMP3RepackInfoPtrList.h"

#include <QObject>

boost::shared_ptr<KvAudioFile> createAudioFileByExtension(const QString &path, bool &heAac, QString &error)
{
    heAac = false;
    if (path.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) {
        boost::shared_ptr<KvAudioFile> file(new KvMP3AudioFile);
        error = file->open(path);
        return file;
    }
    static const char *const aacExtensions[] = {".m4a", ".m4b", ".m4r", ".mp4", ".aac"};
    for (const char *ext : aacExtensions) {
        if (!path.endsWith(QLatin1String(ext), Qt::CaseInsensitive))
            continue;
        boost::shared_ptr<KvAudioFile> file(new KvAACAudioFile);
        error = file->open(path);
        if (error.isEmpty() && file->frameCount() >= 1 && file->repacker()) {
            const KvAACFrameSizeInfo *format = dynamic_cast<KvAACFrameSizeInfo *>(file->repacker()->sizeInfo().get());
            if (format) {
                const int32_t *f = format->aacInfo()->field;
                const bool heType = f[KV_AAC_OBJECT_TYPE] == 2 || f[KV_AAC_OBJECT_TYPE] == 5;
                heAac = heType && (f[KV_AAC_SBR] == 1 || f[KV_AAC_PS] == 1);
            }
        }
        return file;
    }
    error = QObject::tr("Internal error: unsupported file extension");
    return boost::shared_ptr<KvAudioFile>();
}

boost::shared_ptr<KvAudioFragmentList> createFragmentListFor(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return boost::shared_ptr<KvAudioFragmentList>(new KvMP3AudioFragmentList);
    if (dynamic_cast<KvAACRepackInfoPtrList *>(document.get()))
        return boost::shared_ptr<KvAudioFragmentList>(new KvAACAudioFragmentList);
    return boost::shared_ptr<KvAudioFragmentList>();
}

boost::shared_ptr<KvAudioFragmentList> createFragmentListForFile(const boost::shared_ptr<KvRepackInfo> &fragment)
{
    if (dynamic_cast<KvMP3RepackInfo *>(fragment.get()))
        return boost::shared_ptr<KvAudioFragmentList>(new KvMP3AudioFragmentList);
    if (dynamic_cast<KvAACRepackInfo *>(fragment.get()))
        return boost::shared_ptr<KvAudioFragmentList>(new KvAACAudioFragmentList);
    return boost::shared_ptr<KvAudioFragmentList>();
}

boost::shared_ptr<KvAudioFragmentList> createFragmentListByFormat(const QString &format)
{
    if (format.isEmpty() || format == QLatin1String("mp3"))
        return boost::shared_ptr<KvAudioFragmentList>(new KvMP3AudioFragmentList);
    if (format == QLatin1String("aac") || format == QLatin1String("m4a"))
        return boost::shared_ptr<KvAudioFragmentList>(new KvAACAudioFragmentList);
    return boost::shared_ptr<KvAudioFragmentList>();
}

boost::shared_ptr<KvFrameListIterator> createFrameListIterator(const boost::shared_ptr<KvRepackInfoPtrList> &document,
                                                               bool preRoll)
{
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return boost::shared_ptr<KvFrameListIterator>(new KvMP3FrameListIterator(document, preRoll));
    if (dynamic_cast<KvAACRepackInfoPtrList *>(document.get()))
        return boost::shared_ptr<KvFrameListIterator>(new KvAACFrameListIterator(document, 0));
    return boost::shared_ptr<KvFrameListIterator>();
}

boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrList(const KvRepackInfoPtrList *document)
{
    if (dynamic_cast<const KvMP3RepackInfoPtrList *>(document))
        return boost::shared_ptr<KvRepackInfoPtrList>(new KvMP3RepackInfoPtrList);
    if (dynamic_cast<const KvAACRepackInfoPtrList *>(document))
        return boost::shared_ptr<KvRepackInfoPtrList>(new KvAACRepackInfoPtrList);
    return boost::shared_ptr<KvRepackInfoPtrList>();
}

boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrList(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    return createRepackInfoPtrList(document.get());
}

boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrListForFragmentList(
    const boost::shared_ptr<KvAudioFragmentList> &fragmentList)
{
    if (dynamic_cast<KvMP3AudioFragmentList *>(fragmentList.get()))
        return boost::shared_ptr<KvRepackInfoPtrList>(new KvMP3RepackInfoPtrList);
    if (dynamic_cast<KvAACAudioFragmentList *>(fragmentList.get()))
        return boost::shared_ptr<KvRepackInfoPtrList>(new KvAACRepackInfoPtrList);
    return boost::shared_ptr<KvRepackInfoPtrList>();
}

boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrListForFragment(const boost::shared_ptr<KvRepackInfo> &fragment)
{
    if (dynamic_cast<KvMP3RepackInfo *>(fragment.get()))
        return boost::shared_ptr<KvRepackInfoPtrList>(new KvMP3RepackInfoPtrList);
    if (dynamic_cast<KvAACRepackInfo *>(fragment.get()))
        return boost::shared_ptr<KvRepackInfoPtrList>(new KvAACRepackInfoPtrList);
    return boost::shared_ptr<KvRepackInfoPtrList>();
}

boost::shared_ptr<KvAudioFile> createAudioFileLike(const boost::shared_ptr<KvFrameSizeInfo> &format, qint64 n)
{
    Q_UNUSED(n);
    if (dynamic_cast<KvMP3FrameSizeInfo *>(format.get())) {
        boost::shared_ptr<KvAudioFile> file(new KvMP3AudioFile);
        file->attachRepacker(format);
        return file;
    }
    if (dynamic_cast<KvAACFrameSizeInfo *>(format.get())) {
        boost::shared_ptr<KvAudioFile> file(new KvAACAudioFile);
        file->attachRepacker(format);
        return file;
    }
    return boost::shared_ptr<KvAudioFile>();
}

const KvAACInfo *castAacSizeInfo(const boost::shared_ptr<KvFrameSizeInfo> &format)
{
    const KvAACFrameSizeInfo *aac = dynamic_cast<KvAACFrameSizeInfo *>(format.get());
    return aac ? aac->aacInfo() : nullptr;
}

KvAudioListFileIO *createAudioListFileIO(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    if (dynamic_cast<KvAACRepackInfoPtrList *>(document.get()))
        return new KvAACAudioListFileIO;
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return new KvMP3AudioListFileIO;
    return nullptr;
}

boost::shared_ptr<KvFrameSizeInfo> createFrameSizeInfo(int version, int rateCode, int modeCode, const KvAACInfo *aacInfo)
{
    const qint16 v = qint16(version);
    if (v >= 10) {
        if (!aacInfo)
            return boost::shared_ptr<KvFrameSizeInfo>();
        return boost::shared_ptr<KvFrameSizeInfo>(new KvAACFrameSizeInfo(*aacInfo));
    }
    if (v < 0)
        return boost::shared_ptr<KvFrameSizeInfo>();
    return boost::shared_ptr<KvFrameSizeInfo>(new KvMP3FrameSizeInfo(v, qint16(rateCode), qint16(modeCode)));
}

QString documentFileSuffix(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    if (dynamic_cast<KvAACRepackInfoPtrList *>(document.get())) {
        // ADTS cannot signal SBR or PS explicitly: HE-AAC goes into MP4.
        for (const KvRepackInfoPtr &f : *document->list()) {
            const KvAACFrameSizeInfo *format = dynamic_cast<KvAACFrameSizeInfo *>(f->sizeInfo().get());
            if (format && format->isHeAac())
                return QStringLiteral("m4a");
        }
        return QStringLiteral("aac");
    }
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return QStringLiteral("mp3");
    return QString();
}

QString fileInfoText(const boost::shared_ptr<KvAudioFragmentList> &fragmentList)
{
    if (dynamic_cast<KvAACAudioFragmentList *>(fragmentList.get()))
        return KvAACFileInfoText(fragmentList);
    if (dynamic_cast<KvMP3AudioFragmentList *>(fragmentList.get()))
        return KvMP3FileInfoText(fragmentList);
    return QString();
}

QString saveDocumentFile(const boost::shared_ptr<KvRepackInfoPtrList> &document, const QString &path)
{
    // Nothing is written from a source that another program changed: its
    // frames no longer lie where the index says.
    if (document) {
        const QString changed = document->changedSourceText();
        if (!changed.isEmpty())
            return changed;
    }
    if (dynamic_cast<KvAACRepackInfoPtrList *>(document.get()))
        return KvAACRepackInfoPtrList::writeAacFrames(document, path);
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return KvMP3RepackInfoPtrList::saveMp3File(document, path);
    return QString();
}

void KvPrepareRepack(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        KvMP3RepackInfoPtrList::planReservoir(document, false);
}

int KvPrepareRepackFlagged(const boost::shared_ptr<KvRepackInfoPtrList> &document, bool startAtMax)
{
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return KvMP3RepackInfoPtrList::planReservoir(document, startAtMax);
    return 0;
}

void KvPrepareRepackDispatch(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    KvPrepareRepack(document);
}

int KvPrepareRepackDispatchFlagged(const boost::shared_ptr<KvRepackInfoPtrList> &document, bool startAtMax)
{
    return KvPrepareRepackFlagged(document, startAtMax);
}
