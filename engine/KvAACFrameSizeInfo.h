#pragma once
#include "KvAacWrap.h"
#include "KvFrameSizeInfo.h"

// Format facts of an AAC source: the library's 13-value configuration block.
// The format key is empty; compatibility is decided on the block itself.
class KvAACFrameSizeInfo : public KvFrameSizeInfo {
public:
    explicit KvAACFrameSizeInfo(const KvAACInfo &info) : m_info(info) {}

    int samplesPerFrame() const override { return m_info.field[KV_AAC_SAMPLES_PER_FRAME]; }
    int sampleRate() const override { return m_info.field[KV_AAC_SAMPLE_RATE]; }
    int channelCount() const override { return m_info.field[KV_AAC_CHANNELS]; }
    QString formatKey() const override { return QString(); }
    // Object type + 10: 10 and above mark AAC.
    int versionCode() const override { return m_info.field[KV_AAC_OBJECT_TYPE] + 10; }
    int rateCode() const override { return sampleRate(); }
    int modeCode() const override { return channelCount(); }
    KvFrameSizeInfo *clone() const override { return new KvAACFrameSizeInfo(m_info); }

    virtual const KvAACInfo *aacInfo() const { return &m_info; }
    // SBR or PS signalled: an HE-AAC stream.
    bool isHeAac() const { return m_info.field[KV_AAC_SBR] == 1 || m_info.field[KV_AAC_PS] == 1; }

private:
    KvAACInfo m_info;
};
