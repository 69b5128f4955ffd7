#pragma once
#include "KvFile.h"

// Owns the open file through which a source's bytes are read.
class KvOpaqueAudioFileInfo {
public:
    virtual ~KvOpaqueAudioFileInfo() = default;
    virtual QString path() const { return m_file.fileName(); }

    KvFile &file() { return m_file; }
    const KvFile &file() const { return m_file; }

private:
    KvFile m_file;
};
