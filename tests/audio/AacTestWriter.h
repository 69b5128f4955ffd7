#pragma once
// A stand-in for the AAC wrapper library's writer calls: it packages each raw AAC frame
// behind a 7-byte ADTS header built from the block it was opened with, so the encoder's
// output is an ADTS stream that FFmpeg decodes, and it records every call.
#include "KvAacFrameWriter.h"

#include <QByteArray>
#include <QVector>

#include <map>

namespace kvaudiotest {

class AacTestWriter {
public:
    struct Init {
        KvAacWriterHandle writer = 0, source = 0;
        QByteArray path;
        qint64 firstFrame = 0, frameCount = 0;
        qint32 memoryMode = 0;
        bool hadFormat = false;
        KvAacStreamInfo info = {};
    };

    // The three calls bound to this object.
    KvAacFrameWriter calls();

    QVector<Init> inits;
    QVector<KvAacWriterHandle> closed;
    int framesWritten = 0;
    bool refuseInit = false;
    int failAfterFrames = -1;  // writeFrame fails once this many frames were written

private:
    KvAacWriterHandle m_next = 0x51;
    std::map<KvAacWriterHandle, KvAacStreamInfo> m_open;
};

// Installs a writer's calls for one scope and puts the previous ones back.
class ScopedAacWriter {
public:
    explicit ScopedAacWriter(AacTestWriter &writer) : m_previous(setKvAacFrameWriter(writer.calls())) {}
    ~ScopedAacWriter() { setKvAacFrameWriter(m_previous); }

private:
    KvAacFrameWriter m_previous;
};

// The 7-byte ADTS header (no CRC) of an AAC-LC frame; empty when ADTS cannot express it.
QByteArray adtsHeader(int objectType, int samplingIndex, int channels, int payloadBytes);
// The frames of an ADTS stream, each with its header; stops at the first broken header.
QVector<QByteArray> splitAdts(const QByteArray &stream);

} // namespace kvaudiotest
