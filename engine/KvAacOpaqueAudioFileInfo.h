#pragma once
#include "KvAacWrap.h"
#include "KvOpaqueAudioFileInfo.h"

// The open file of an AAC source and the wrapper library's handle on it,
// released with the holder.
class KvAacOpaqueAudioFileInfo : public KvOpaqueAudioFileInfo {
public:
    explicit KvAacOpaqueAudioFileInfo(KvAacHandle handle = 0) : m_opaqueAacFramesHandle(handle) {}
    ~KvAacOpaqueAudioFileInfo() override;

    KvAacHandle handle() const { return m_opaqueAacFramesHandle; }

private:
    KvAacHandle m_opaqueAacFramesHandle;
};
