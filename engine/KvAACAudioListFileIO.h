#pragma once
#include "KvAacWrap.h"
#include "KvAudioStream.h"

#include <QCoreApplication>

#include <memory>

class KvAACFrameListIterator;

// The AAC document as a stream of ADTS frames, one per read, for playback and
// conversion. The wrapper library writes each frame in memory mode with the
// frame's gain delta and silenced flag; the device only walks the document.
class KvAACAudioListFileIO : public KvAudioListFileIO {
    Q_OBJECT
public:
    enum State {
        Ready = 0,          // an AAC document is attached, no writer yet
        NotAac = -2,        // attaching, or the document is not AAC
        Writing = -9,       // the library's writer is open
        LibraryEnd = -12,   // the library reported the end
        Closed = -13,
    };

    KvAACAudioListFileIO();
    ~KvAACAudioListFileIO() override;

    // Streams the whole document from its first frame; the other two
    // arguments are not used. Always true.
    bool setSource(const boost::shared_ptr<KvRepackInfoPtrList> &document, int tag, int chunkFrames) override;
    bool finished() override;
    // Frames handed to the library since the last call; resets.
    quint64 takeFramesRead() override;
    QString errorText() const override { return m_error; }
    // One ADTS frame, 0 at the end (or after a failure: see errorText()), -1
    // when the frame did not fit (the library drops it).
    qint64 readData(char *data, qint64 maxSize) override;
    // Finishes the writer and ends the stream.
    void close() override;

    int state() const { return m_state; }

private:
    void fail(const QString &text);

    std::unique_ptr<KvAACFrameListIterator> m_iterator;
    boost::shared_ptr<KvRepackInfoPtrList> m_document;
    int m_state = Ready;
    quint64 m_framesRead = 0;
    KvAacHandle m_writer = 0;
    bool m_closed = true;
    QString m_error;
};
