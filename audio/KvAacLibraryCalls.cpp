#include "KvAacLibraryCalls.h"

#include "AudioInfo.h"
#include "KvAACRepackInfoPtrList.h"
#include "KvAacFrameWriter.h"
#include "KvLibavLoad.h"

#include <algorithm>

static_assert(sizeof(KvAacStreamInfo) == sizeof(KvAACInfo), "the encoder's block is the library's block");

void installKvAacLibraryCalls()
{
    KvAacFrameWriter calls;
    calls.initWriteNextFileFrames = [](KvAacWriterHandle writer, KvAacWriterHandle source, const char *outputPath,
                                       qint64 firstFrame, qint64 frameCount, qint32 memoryMode,
                                       const KvAacStreamInfo *format) -> KvAacWriterHandle {
        KvAACInfo info{};
        if (format)
            std::copy(format->field, format->field + KV_AAC_INFO_FIELDS, info.field);
        return KvLibavLoad::instance()->initAacWriteNextFileFrames(writer, source, outputPath, firstFrame, frameCount,
                                                                   memoryMode, format ? &info : nullptr);
    };
    calls.writeFrame = [](KvAacWriterHandle writer, const void *data, qint32 length, void *output, qint32 capacity,
                          qint32 *outputLength) -> qint32 {
        return KvLibavLoad::instance()->aacWriteFrame(writer, data, length, output, capacity, outputLength);
    };
    calls.closeHandle = [](KvAacWriterHandle handle) -> qint32 {
        return KvLibavLoad::instance()->closeAacHandle(handle);
    };
    setKvAacFrameWriter(calls);
    AudioInfo::setAacRewrapper(&KvAACRepackInfoPtrList::saveAacFile);
}
