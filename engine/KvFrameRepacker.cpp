#include "KvFrameRepacker.h"

#include "KvFrameSizeInfo.h"
#include "KvOpaqueAudioFileInfo.h"

KvFrameRepacker::KvFrameRepacker() = default;
KvFrameRepacker::~KvFrameRepacker() = default;

QString KvFrameRepacker::path() const
{
    return m_fileInfo ? m_fileInfo->path() : QString();
}

KvFile *KvFrameRepacker::device() const
{
    return m_fileInfo ? &m_fileInfo->file() : nullptr;
}
