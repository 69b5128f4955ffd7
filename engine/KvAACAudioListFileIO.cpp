#include "KvAACAudioListFileIO.h"

#include "KvAACFrameListIterator.h"
#include "KvAACFrameRepacker.h"
#include "KvAACFrameSizeInfo.h"
#include "KvAACRepackInfo.h"
#include "KvAACRepackInfoPtrList.h"
#include "KvFile.h"
#include "KvLibavLoad.h"

#include <algorithm>
#include <limits>

KvAACAudioListFileIO::KvAACAudioListFileIO() = default;

KvAACAudioListFileIO::~KvAACAudioListFileIO()
{
    close();
}

bool KvAACAudioListFileIO::setSource(const boost::shared_ptr<KvRepackInfoPtrList> &document, int tag,
                                     int chunkFrames)
{
    Q_UNUSED(tag);
    Q_UNUSED(chunkFrames);
    m_state = NotAac;
    // A writer of an earlier run is finished with it.
    if (m_writer) {
        KvLibavLoad::instance()->closeAacWrite(m_writer);
        m_writer = 0;
    }
    m_iterator.reset();
    m_closed = false;
    m_error.clear();
    m_document = document;
    m_iterator.reset(new KvAACFrameListIterator(document, 0));
    if (dynamic_cast<KvAACRepackInfoPtrList *>(document.get()))
        m_state = Ready;
    return true;
}

bool KvAACAudioListFileIO::finished()
{
    return m_closed || (m_state != Ready && m_state != Writing);
}

quint64 KvAACAudioListFileIO::takeFramesRead()
{
    const quint64 n = m_framesRead;
    m_framesRead = 0;
    return n;
}

void KvAACAudioListFileIO::fail(const QString &text)
{
    m_error = text;
    close();
}

qint64 KvAACAudioListFileIO::readData(char *data, qint64 maxSize)
{
    if (m_closed || !m_iterator || (m_state != Ready && m_state != Writing))
        return 0;
    KvLibavLoad *lib = KvLibavLoad::instance();
    const qint32 capacity = qint32(std::clamp<qint64>(maxSize, 0, std::numeric_limits<qint32>::max()));
    for (;;) {
        if (!m_iterator->next()) {
            close();
            return 0;
        }
        KvAACRepackInfo *fragment = m_iterator->aacFragment();
        if (m_iterator->enteredNewFragment()) {
            const KvAACInfo *format = nullptr;
            if (const KvAACFrameSizeInfo *first =
                    dynamic_cast<KvAACFrameSizeInfo *>(m_document->firstSourceInfo().get()))
                format = first->aacInfo();
            const KvAACFrameRepacker *source = fragment->aacRepacker();
            const KvAacHandle handle = source ? source->handle() : 0;
            // The first run opens a writer of the device's own (never a
            // source's handle); later runs are appended to it.
            const KvAacHandle w = lib->initAacWriteNextFileFrames(m_writer ? m_writer : handle, handle, "",
                                                                  fragment->firstFrame(), fragment->frameCount(),
                                                                  1, format);
            if (!w) {
                fail(QCoreApplication::translate("KvAACAudioListFileIO", "failed to open aac writer"));
                return 0;
            }
            m_writer = w;
            m_state = Writing;
        }
        const qint64 i = m_iterator->localIndex();
        qint32 length = 0;
        const int r = lib->aacWriteNextFrame(m_writer, fragment->frameGain(i), fragment->isFrameSilenced(i) ? 1 : 0,
                                             data, capacity, &length);
        ++m_framesRead;
        if (r == KV_AAC_END) {
            m_state = LibraryEnd;
            close();
            return 0;
        }
        if (r == KV_AAC_FRAME && length > 0)
            return length;
        if (r == KV_AAC_E_BUFFER)
            return -1;
        if (r == KV_AAC_E_CHANGED) {
            fail(KvFile::changedText(fragment->sourcePath()));
            return 0;
        }
        // This frame gave nothing: go on with the next one.
    }
}

void KvAACAudioListFileIO::close()
{
    m_closed = true;
    if (m_writer) {
        KvLibavLoad::instance()->closeAacWrite(m_writer);
        m_writer = 0;
    }
    m_iterator.reset();
    m_state = Closed;
}
