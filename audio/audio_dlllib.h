#pragma once
// MP3 encoding through a LAME library loaded at run time, over its native lame_* interface
// or the older stream (be*) interface. PCM goes to LAME unchanged (no SoundTouch); LAME
// itself resamples when the output rate differs.
#include "KvLameApi.h"
#include "audio_lib.h"

#include <QLibrary>

#include <vector>

class audio_dlllib : public audio_lib {
    Q_OBJECT
public:
    explicit audio_dlllib(const KvAudioFrameReaderPtr &source = KvAudioFrameReaderPtr());
    ~audio_dlllib() override;

    bool isAvailable() override;
    QString name() override;
    bool open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
              int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
              int resampleRate, bool encode) override;
    // PCM in, MP3 out; inLen 0 flushes the encoder once per stream.
    int encode(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    void close() override;
    audio_preset *presetSettings(int index) override;
    QString fileExtension() override;
    int decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    int encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;

    bool loadLibrary(const QString &path);
    void closeStream();
    bool openBladeStream(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame,
                         int mode, int bitrate, int vbrQuality, double resampleRatio,
                         int channelsOut, int resampleRate, bool encode);
    int encodeWithLame(const char *in, int inLen, char *out, int outCap, int *outLen);
    int encodeWithBladeApi(const char *in, int inLen, char *out, int outCap, int *outLen);

    QString location() const { return m_location; }
    bool usesNativeInterface() const { return m_native; }
    bool usesStreamInterface() const { return m_stream; }
    bool accepts24Bit() const { return m_accepts24; }

    // The library's name when the user configured none and none lies beside the program;
    // the system's loader finds it.
    static QString systemLibraryName();

private:
    void clearEntryPoints();

    QString m_location;
    int m_bitsPerSample = 16;
    int m_inputChannels = 0;
    int m_workCapacity = 0;
    std::vector<long> m_workLeft;
    std::vector<long> m_workRight;
    std::vector<qint16> m_workMono;
    QLibrary m_module;

    kvlame::InitFn m_lameInit = nullptr;
    kvlame::VersionFn m_getLameVersion = nullptr;
    kvlame::InitParamsFn m_lameInitParams = nullptr;
    kvlame::EncodeBufferFn m_lameEncodeBuffer = nullptr;
    kvlame::EncodeInterleavedFn m_lameEncodeBufferInterleaved = nullptr;
    kvlame::EncodeLong2Fn m_lameEncodeBufferLong2 = nullptr;
    kvlame::FlushFn m_lameEncodeFlush = nullptr;
    kvlame::CloseFn m_lameClose = nullptr;
    kvlame::SetIntFn m_lameSetNumChannels = nullptr;
    kvlame::SetIntFn m_lameSetInSamplerate = nullptr;
    kvlame::SetIntFn m_lameSetOutSamplerate = nullptr;
    kvlame::SetIntFn m_lameSetBrate = nullptr;
    kvlame::SetModeFn m_lameSetMode = nullptr;
    kvlame::SetIntFn m_lameSetVbrQ = nullptr;
    kvlame::SetVbrFn m_lameSetVbr = nullptr;
    // Not required: without it the library's placeholder tag frame stays in the stream.
    kvlame::SetIntFn m_lameSetWriteVbrTag = nullptr;
    lame_global_flags *m_context = nullptr;
    bool m_flushed = false;

    kvlame::BeVersion m_version;
    kvlame::BeConfig m_config;
    kvlame::BeStream m_streamHandle = 0;
    bool m_streamOpen = false;
    quint32 m_streamBufferSize = 0;
    kvlame::BeInitStreamFn m_beInitStream = nullptr;
    kvlame::BeEncodeChunkFn m_beEncodeChunk = nullptr;
    kvlame::BeDeinitStreamFn m_beDeinitStream = nullptr;
    kvlame::BeCloseStreamFn m_beCloseStream = nullptr;
    kvlame::BeVersionFn m_beVersion = nullptr;
    kvlame::BeWriteVbrHeaderFn m_beWriteVbrHeader = nullptr;
    kvlame::BeWriteInfoTagFn m_beWriteInfoTag = nullptr;

    QString m_name;
    bool m_native = false;
    bool m_stream = false;
    bool m_accepts24 = false;
};
