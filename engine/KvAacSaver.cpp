// Writing AAC documents and whole AAC files through the wrapper library. The
// engine only walks the frames and tells the library each frame's gain delta
// and silenced flag; the library writes the bytes.
#include "KvAACFrameListIterator.h"
#include "KvAACFrameRepacker.h"
#include "KvAACFrameSizeInfo.h"
#include "KvAACRepackInfo.h"
#include "KvAACRepackInfoPtrList.h"
#include "KvAacOpaqueAudioFileInfo.h"
#include "KvFile.h"
#include "KvLibavLoad.h"
#include "KvSaveTarget.h"

namespace {

// The library's writer of one save: finished (or, after a failure, just
// released) when the save ends.
class WriterGuard {
public:
    explicit WriterGuard(KvLibavLoad *lib) : m_lib(lib) {}
    ~WriterGuard()
    {
        if (m_writer)
            m_lib->closeAacWrite(m_writer);
    }
    KvAacHandle get() const { return m_writer; }
    void set(KvAacHandle writer) { m_writer = writer; }
    // Finishes the output; false when that failed.
    bool finish()
    {
        const KvAacHandle w = m_writer;
        m_writer = 0;
        return !w || m_lib->closeAacWrite(w) >= 0;
    }

private:
    KvLibavLoad *m_lib;
    KvAacHandle m_writer = 0;
};

bool isSourceOf(const boost::shared_ptr<KvRepackInfoPtrList> &document, const QString &path)
{
    const QString target = normalizeLongPath(path);
    for (const KvRepackInfoPtr &f : *document->list()) {
        const QString source = f->sourcePath();
        if (!source.isEmpty() && normalizeLongPath(source) == target)
            return true;
    }
    return false;
}

} // namespace

QString KvAACRepackInfoPtrList::writeAacFrames(const boost::shared_ptr<KvRepackInfoPtrList> &document,
                                               const QString &path)
{
    if (!document)
        return QString();
    if (isSourceOf(document, path))
        return tr("The file is already in use and cannot be overwritten.");
    KvSaveTarget target(path);
    QString error = target.prepare();
    if (!error.isEmpty())
        return error;
    const QByteArray out = target.tempPath().toUtf8();

    KvLibavLoad *lib = KvLibavLoad::instance();
    WriterGuard writer(lib);
    const KvAACInfo *format = nullptr;
    if (const KvAACFrameSizeInfo *first = dynamic_cast<KvAACFrameSizeInfo *>(document->firstSourceInfo().get()))
        format = first->aacInfo();

    KvAACFrameListIterator it(document, 0);
    while (it.next()) {
        KvAACRepackInfo *fragment = it.aacFragment();
        if (it.enteredNewFragment()) {
            const KvAACFrameRepacker *source = fragment->aacRepacker();
            const KvAacHandle handle = source ? source->handle() : 0;
            // The first run opens a writer of its own; later runs are appended to it.
            const KvAacHandle w = lib->initAacWriteNextFileFrames(writer.get() ? writer.get() : handle, handle,
                                                                  out.constData(),
                                                                  fragment->firstFrame(), fragment->frameCount(),
                                                                  0, format);
            if (!w)
                return tr("failed to open aac writer");
            writer.set(w);
        }
        const qint64 i = it.localIndex();
        const int r = lib->aacWriteNextFrame(writer.get(), fragment->frameGain(i),
                                             fragment->isFrameSilenced(i) ? 1 : 0, nullptr, 0, nullptr);
        if (r == KV_AAC_E_CHANGED)
            return KvFile::changedText(fragment->sourcePath());
        if (r < 0)
            return tr("failed to write aac frame");
    }
    if (!writer.finish())
        return tr("failed to write aac frame");
    return target.commit();
}

QString KvAACRepackInfoPtrList::saveAacFile(const QString &sourcePath, const QString &path)
{
    if (normalizeLongPath(sourcePath) == normalizeLongPath(path))
        return tr("The file is already in use and cannot be overwritten.");
    KvSaveTarget target(path);
    QString error = target.prepare();
    if (!error.isEmpty())
        return error;

    KvAACFrameRepacker repacker;
    QString scanError;
    const qint64 n = repacker.scanFrames(sourcePath, scanError);
    if (n <= 0)
        return tr("Failed to open source AAC file: %1, Error: %2").arg(sourcePath, scanError);
    const KvAacOpaqueAudioFileInfo *holder = repacker.aacFileInfo();
    if (!holder)
        return tr("Failed to get pAacOpaqueInfo");
    const KvAACFrameSizeInfo *format = repacker.aacSizeInfo();
    if (!format)
        return tr("Failed to get pAacSizeInfo");
    if (!holder->handle())
        return tr("Failed to get m_opaqueAacFramesHandle");

    KvLibavLoad *lib = KvLibavLoad::instance();
    WriterGuard writer(lib);
    // The source handle only opens the writer: the frames go through the writer it returns.
    writer.set(lib->initAacWriteNextFileFrames(holder->handle(), holder->handle(),
                                               target.tempPath().toUtf8().constData(), 0, n, 0,
                                               format->aacInfo()));
    if (!writer.get())
        return tr("failed to open aac writer");
    for (qint64 i = 0; i < n; ++i) {
        if (lib->aacWriteNextFrame(writer.get(), 0, 0, nullptr, 0, nullptr) < 0)
            return tr("failed to write aac frame");
    }
    if (!writer.finish())
        return tr("failed to write aac frame");
    return target.commit();
}
