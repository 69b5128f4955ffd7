#include "KvEngineFactories.h"

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
    error = QObject::tr("Internal error: unsupported file extension");
    return boost::shared_ptr<KvAudioFile>();
}

boost::shared_ptr<KvAudioFragmentList> createFragmentListFor(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return boost::shared_ptr<KvAudioFragmentList>(new KvMP3AudioFragmentList);
    return boost::shared_ptr<KvAudioFragmentList>();
}

boost::shared_ptr<KvAudioFragmentList> createFragmentListForFile(const boost::shared_ptr<KvRepackInfo> &fragment)
{
    if (dynamic_cast<KvMP3RepackInfo *>(fragment.get()))
        return boost::shared_ptr<KvAudioFragmentList>(new KvMP3AudioFragmentList);
    return boost::shared_ptr<KvAudioFragmentList>();
}

boost::shared_ptr<KvAudioFragmentList> createFragmentListByFormat(const QString &format)
{
    if (format.isEmpty() || format == QLatin1String("mp3"))
        return boost::shared_ptr<KvAudioFragmentList>(new KvMP3AudioFragmentList);
    return boost::shared_ptr<KvAudioFragmentList>();
}

boost::shared_ptr<KvFrameListIterator> createFrameListIterator(const boost::shared_ptr<KvRepackInfoPtrList> &document,
                                                               bool preRoll)
{
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return boost::shared_ptr<KvFrameListIterator>(new KvMP3FrameListIterator(document, preRoll));
    return boost::shared_ptr<KvFrameListIterator>();
}

boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrList(const KvRepackInfoPtrList *document)
{
    if (dynamic_cast<const KvMP3RepackInfoPtrList *>(document))
        return boost::shared_ptr<KvRepackInfoPtrList>(new KvMP3RepackInfoPtrList);
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
    return boost::shared_ptr<KvRepackInfoPtrList>();
}

boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrListForFragment(const boost::shared_ptr<KvRepackInfo> &fragment)
{
    if (dynamic_cast<KvMP3RepackInfo *>(fragment.get()))
        return boost::shared_ptr<KvRepackInfoPtrList>(new KvMP3RepackInfoPtrList);
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
    return boost::shared_ptr<KvAudioFile>();
}

KvAudioListFileIO *createAudioListFileIO(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return new KvMP3AudioListFileIO;
    return nullptr;
}

boost::shared_ptr<KvFrameSizeInfo> createFrameSizeInfo(int version, int rateCode, int modeCode, const KvAACInfo *aacInfo)
{
    Q_UNUSED(aacInfo);
    const qint16 v = qint16(version);
    if (v < 0 || v >= 10)
        return boost::shared_ptr<KvFrameSizeInfo>();
    return boost::shared_ptr<KvFrameSizeInfo>(new KvMP3FrameSizeInfo(v, qint16(rateCode), qint16(modeCode)));
}

QString documentFileSuffix(const boost::shared_ptr<KvRepackInfoPtrList> &document)
{
    if (dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        return QStringLiteral("mp3");
    return QString();
}

QString fileInfoText(const boost::shared_ptr<KvAudioFragmentList> &fragmentList)
{
    if (dynamic_cast<KvMP3AudioFragmentList *>(fragmentList.get()))
        return KvMP3FileInfoText(fragmentList);
    return QString();
}

QString saveDocumentFile(const boost::shared_ptr<KvRepackInfoPtrList> &document, const QString &path)
{
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
