#pragma once
#include "KvAudioStream.h"
#include "KvBitStream.h"
#include "KvMp3RepackHandle.h"
#include "KvMp3ReservoirRepacker.h"

#include <QByteArray>
#include <QCoreApplication>

#include <deque>
#include <memory>
#include <vector>

class KvFile;
class KvMP3FrameListIterator;

// Streams an MP3 document as rebuilt frames. Source frames are read with
// positional reads (never a seek on the source's shared file object), so that
// playback and an export may read one source at the same time; each device
// keeps its own small read-ahead window.
class KvMP3AudioListFileIO : public KvAudioListFileIO {
    Q_OBJECT
public:
    KvMP3AudioListFileIO();
    ~KvMP3AudioListFileIO() override;

    bool setSource(const boost::shared_ptr<KvRepackInfoPtrList> &document, int tag, int chunkFrames) override;
    bool finished() override { return m_finished; }
    quint64 takeFramesRead() override;
    QString errorText() const override { return m_error; }
    void close() override;
    qint64 readData(char *data, qint64 maxSize) override;

    // Attaches the next chunk of a chunked document; false when none is left.
    bool nextChunk(bool chunked);

private:
    // Steps the document until at least one output frame is ready; false at
    // the end or after a failure (the device is then closed).
    bool produce();
    // The next source frame, attaching the next chunk at a chunk's end.
    bool advance();
    // Reads the current frame's bytes into the input buffer.
    bool readCurrentFrame();
    // Takes the frame completed in the writer.
    void takeFrame();
    void fail(const QString &text);
    void clearReady();
    void shutDown();

    bool m_finished = true;
    KvBitWriter m_writer;
    KvMp3RepackHandle m_handle;
    KvMp3InputBuffer m_input;
    std::unique_ptr<KvMP3FrameListIterator> m_iterator;
    // Kept until the next chunk replaces it: waiting frames point into its records.
    std::unique_ptr<KvMP3FrameListIterator> m_previous;
    bool m_emitPending = false;
    // Completed frames not yet delivered: their bytes back to back, and lengths.
    std::vector<char> m_ready;
    size_t m_readyAt = 0;
    std::deque<int> m_readyLengths;
    QString m_error;

    boost::shared_ptr<KvRepackInfoPtrList> m_document;
    int m_chunkSize = 0;
    bool m_chunked = false;
    qint64 m_position = 0;
    qint64 m_total = 0;
    quint64 m_framesRead = 0;

    // Read-ahead window over the last source read.
    const KvFile *m_windowFile = nullptr;
    qint64 m_windowStart = 0;
    qint64 m_windowSize = 0;
    std::vector<char> m_window;
};
