#include "KvMP3FrameSizeInfo.h"

KvMP3FrameSizeInfo::KvMP3FrameSizeInfo() = default;

KvMP3FrameSizeInfo::KvMP3FrameSizeInfo(int version, int samplingFrequency, int mode)
    : m_version(version),
      m_samplingFrequency(samplingFrequency),
      m_sampleRate(KvMp3SampleRateHz(version, samplingFrequency)),
      m_mode(mode),
      m_samplesPerFrame(KvMp3SamplesPerFrame(version)),
      m_firstBitrateIndex(-1)
{
    m_header.version = version;
    m_header.layer = 3;
    m_header.sampling_frequency = samplingFrequency;
    m_header.mode = mode;
}

QString KvMP3FrameSizeInfo::formatKey() const
{
    const QString mode = (m_mode == 0 || m_mode == 1) ? QStringLiteral("STEREO-OR-JSTEREO")
                                                      : QString::number(m_mode);
    return QStringLiteral("MP3: ver:%1 mode:%2").arg(m_version).arg(mode);
}

void KvMP3FrameSizeInfo::takeFirstFrame(const KvMp3FrameHeader &h)
{
    m_version = h.version;
    m_sampleRate = KvMp3SampleRateHz(h.version, h.sampling_frequency);
    m_samplingFrequency = h.sampling_frequency;
    m_mode = h.mode;
    m_samplesPerFrame = KvMp3SamplesPerFrame(h.version);
    m_header = h;
    m_bitrateSum = 0;
    m_firstBitrateIndex = -1;
    m_variableBitrate = 0;
    m_jointStereo = 0;
}

void KvMP3FrameSizeInfo::countFrame(const KvMp3FrameHeader &h)
{
    m_bitrateSum += uint64_t(KvMp3BitrateKbps(h.version, h.bitrate_index));
    if (!m_variableBitrate) {
        if (m_firstBitrateIndex < 0)
            m_firstBitrateIndex = h.bitrate_index;
        else if (h.bitrate_index != m_firstBitrateIndex)
            m_variableBitrate = 1;
    }
    if (h.mode == 1)
        m_jointStereo = 1;
}
