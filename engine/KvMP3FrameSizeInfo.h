#pragma once
#include "KvFrameSizeInfo.h"
#include "KvMp3Syntax.h"

#include <cstdint>

// Format facts of an MP3 source, taken from its first frame, plus the bitrate
// statistics the scan gathers over all frames.
class KvMP3FrameSizeInfo : public KvFrameSizeInfo {
public:
    KvMP3FrameSizeInfo();
    // The format of a silent source: no frame seen yet.
    KvMP3FrameSizeInfo(int version, int samplingFrequency, int mode);

    int samplesPerFrame() const override { return m_samplesPerFrame; }
    int sampleRate() const override { return m_sampleRate; }
    int channelCount() const override { return KvMp3ChannelCount(m_mode); }
    QString formatKey() const override;
    int versionCode() const override { return m_version; }
    int rateCode() const override { return m_samplingFrequency; }
    int modeCode() const override { return m_mode; }
    KvFrameSizeInfo *clone() const override { return new KvMP3FrameSizeInfo(*this); }

    // Filled by the frame step from the first frame of a scan.
    void takeFirstFrame(const KvMp3FrameHeader &h);
    // Counted by the frame step for every scanned frame.
    void countFrame(const KvMp3FrameHeader &h);

    const KvMp3FrameHeader &firstHeader() const { return m_header; }
    bool variableBitrate() const { return m_variableBitrate != 0; }
    bool jointStereoSeen() const { return m_jointStereo != 0; }
    int firstBitrateIndex() const { return m_firstBitrateIndex; }
    uint64_t bitrateSum() const { return m_bitrateSum; }   // kbps over all frames

private:
    int32_t m_version = 0;
    int32_t m_samplingFrequency = 0;
    int32_t m_sampleRate = 0;
    int32_t m_mode = 0;
    int32_t m_samplesPerFrame = 0;
    KvMp3FrameHeader m_header{};
    uint8_t m_variableBitrate = 0;
    uint8_t m_jointStereo = 0;
    int32_t m_firstBitrateIndex = 0;
    uint64_t m_bitrateSum = 0;
};
