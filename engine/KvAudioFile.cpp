#include "KvAudioFile.h"

#include "KvFrameRepacker.h"

KvAudioFile::KvAudioFile() = default;
KvAudioFile::~KvAudioFile() = default;

qint64 KvAudioFile::frameCount() const
{
    return m_repacker ? m_repacker->frameCount() : 0;
}
