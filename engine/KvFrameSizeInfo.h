#pragma once
#include <QString>

// Format facts of a source: which frames may stand together in one document.
class KvFrameSizeInfo {
public:
    virtual ~KvFrameSizeInfo() = default;
    virtual int samplesPerFrame() const = 0;
    virtual int sampleRate() const = 0;        // Hz
    virtual int channelCount() const = 0;      // 1 or 2
    // Two sources may be joined only when their keys are equal.
    virtual QString formatKey() const = 0;
    // MP3: 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5; AAC: object type + 10.
    virtual int versionCode() const = 0;
    virtual int rateCode() const = 0;
    virtual int modeCode() const = 0;
    // A new heap copy owned by the caller.
    virtual KvFrameSizeInfo *clone() const = 0;
};
