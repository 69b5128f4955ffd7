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
    qint64 readFrames(char *data, qint64 maxSize, qint64 *frames) override;

    // Attaches the next chunk of a chunked document; false when none is left.
    bool nextChunk(bool chunked);

    // Runs of frames that the rebuilder would write as they are in their
    // source, but for their gain edits, are copied from the source file
    // instead, the gains written into the copied bytes. On by default; tests
    // switch it off to compare both ways.
    static void setWholeFrameCopy(bool on);
    // Frames delivered as their source's bytes (gains written in place) since
    // the source was set.
    quint64 framesCopied() const { return m_framesCopied; }

private:
    // Steps the document until at least one output frame is ready; false at
    // the end or after a failure (the device is then closed).
    bool produce();
    // The next source frame, attaching the next chunk at a chunk's end.
    bool advance();
    // Reads the current frame's bytes into the input buffer.
    bool readCurrentFrame();
    // Reads frame `index` of the current fragment's source into the input buffer.
    bool readSourceFrame(qint64 index);
    // The current fragment's source file, or null after failing with the reason.
    const KvFile *sourceFile();
    // Whether the source bytes read from frame `index`'s offset on still hold
    // the frames the index describes; fails the device when not.
    bool framesAsIndexed(const char *bytes, qint64 length, qint64 index);

    // Frames of the current fragment, from the iterator's frame on, that the
    // rebuilder would write as they are in the source but for their gains.
    qint64 copyRunLength() const;
    // Completes every waiting frame with the source bytes that lie before the
    // current frame's area; false (nothing changed) when the waiting frames
    // need other bytes.
    bool enterCopyRun();
    // Takes the current frame's bytes from the source with its gain edit
    // written in; false when its header is not the one the plan copies (or
    // reading failed).
    bool copyCurrentFrame();
    // Copies whole frames that follow the current one in its run straight
    // from the source into out, their gain edits written in; returns the
    // bytes, *frames their count.
    qint64 copyAhead(char *out, qint64 room, qint64 *frames);
    // Whether the frame at p (avail bytes) has the header its record says and
    // the plan keeps; its length when so, else 0.
    int copiedFrameLength(const uint8_t *p, qint64 avail, const KvMP3GainFrameInfo &rec) const;
    // Parses the source frames just before source frame `at` into the
    // main-data ring, as many as the largest reservoir needs.
    bool refillBefore(qint64 at);
    // After a copied run: the rebuilder takes up the current frame, its
    // main-data ring refilled from the frames before it.
    bool resumeAfterCopy();
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
    // Frames after the current one still to copy in the current run; the
    // rebuilder takes up again after a run.
    qint64 m_copyLeft = 0;
    bool m_resume = false;
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
    quint64 m_framesCopied = 0;

    // Read-ahead window over the last source read.
    const KvFile *m_windowFile = nullptr;
    qint64 m_windowStart = 0;
    qint64 m_windowSize = 0;
    std::vector<char> m_window;
};
