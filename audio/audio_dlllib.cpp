#include "audio_dlllib.h"

#include "KvLamePresets.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
const char kSystemLibrary[] = "libmp3lame.so.0";
const char kStreamLibrary[] = "lame_enc.so";

// LAME's own bound for the MP3 bytes of n samples per channel, used where the stream
// interface takes no output capacity.
qint64 worstCaseMp3Bytes(qint64 samples) { return samples * 5 / 4 + 7200; }

bool isLameProgramName(const QString &fileName)
{
    return fileName.compare(QLatin1String("lame.exe"), Qt::CaseInsensitive) == 0
        || fileName.compare(QLatin1String("lame"), Qt::CaseInsensitive) == 0;
}

bool isBareName(const QString &location)
{
    return !location.isEmpty() && !location.contains(QLatin1Char('/'));
}

template <typename Fn>
void resolveInto(QLibrary &lib, Fn &fn, const char *name)
{
    fn = reinterpret_cast<Fn>(lib.resolve(name));
}
} // namespace

QString audio_dlllib::systemLibraryName() { return QString::fromLatin1(kSystemLibrary); }

audio_dlllib::audio_dlllib(const KvAudioFrameReaderPtr &source) : audio_lib(source)
{
    std::memset(&m_version, 0, sizeof m_version);
    std::memset(&m_config, 0, sizeof m_config);

    QSettings settings;
    m_location = settings.value(QStringLiteral("Settings/LameAppLocation"), QString()).toString();
    if (m_location.isEmpty()) {
        QString candidate;
        if (QCoreApplication::instance())
            candidate = QCoreApplication::applicationDirPath() + QLatin1Char('/') + kSystemLibrary;
        m_location = !candidate.isEmpty() && QFileInfo::exists(candidate) ? candidate
                                                                          : systemLibraryName();
    }
    const QFileInfo configured(m_location);
    if (isLameProgramName(configured.fileName())) {
        // The library that comes with the program lies beside it.
        const QString folder = configured.path();
        m_location = folder + QDir::separator() + kSystemLibrary;
        if (!QFileInfo::exists(m_location))
            m_location = folder + QDir::separator() + kStreamLibrary;
    }

    const bool present = isBareName(m_location) || QFileInfo::exists(m_location);
    if (present) {
        loadLibrary(m_location);
        closeStream();
    }
    if (!m_native && !m_stream) {
        if (!present || isBareName(m_location))
            m_errorText = tr("The LAME encoder library was not found at the specified location: '%1.'")
                              .arg(m_location);
        else
            m_errorText = tr("The LAME encoder library at '%1' cannot be used: %2")
                              .arg(m_location, m_module.errorString());
    }
}

audio_dlllib::~audio_dlllib() { closeStream(); }

bool audio_dlllib::isAvailable() { return m_native || m_stream; }
QString audio_dlllib::name() { return m_name; }
QString audio_dlllib::fileExtension() { return QStringLiteral("mp3"); }

audio_preset *audio_dlllib::presetSettings(int index)
{
    if (!m_native && !m_stream)
        return nullptr;
    return kvLamePreset(index, "audio_dlllib", m_accepts24);
}

int audio_dlllib::decodeChunk(const char *, int, char *, int, int *outLen)
{
    *outLen = 0;
    return -1;
}

int audio_dlllib::encodeChunk(const char *, int, char *, int, int *outLen)
{
    *outLen = 0;
    return -1;
}

void audio_dlllib::clearEntryPoints()
{
    m_lameInit = nullptr;
    m_getLameVersion = nullptr;
    m_lameInitParams = nullptr;
    m_lameEncodeBuffer = nullptr;
    m_lameEncodeBufferInterleaved = nullptr;
    m_lameEncodeBufferLong2 = nullptr;
    m_lameEncodeFlush = nullptr;
    m_lameClose = nullptr;
    m_lameSetNumChannels = nullptr;
    m_lameSetInSamplerate = nullptr;
    m_lameSetOutSamplerate = nullptr;
    m_lameSetBrate = nullptr;
    m_lameSetMode = nullptr;
    m_lameSetVbrQ = nullptr;
    m_lameSetVbr = nullptr;
    m_lameSetWriteVbrTag = nullptr;
    m_beInitStream = nullptr;
    m_beEncodeChunk = nullptr;
    m_beDeinitStream = nullptr;
    m_beCloseStream = nullptr;
    m_beVersion = nullptr;
    m_beWriteVbrHeader = nullptr;
    m_beWriteInfoTag = nullptr;
}

bool audio_dlllib::loadLibrary(const QString &path)
{
    if (m_module.isLoaded())
        m_module.unload();
    clearEntryPoints();
    m_native = m_stream = m_accepts24 = false;
    m_module.setFileName(path);
    if (!m_module.load())
        return false;

    resolveInto(m_module, m_lameInit, "lame_init");
    resolveInto(m_module, m_getLameVersion, "get_lame_version");
    resolveInto(m_module, m_lameInitParams, "lame_init_params");
    resolveInto(m_module, m_lameEncodeBuffer, "lame_encode_buffer");
    resolveInto(m_module, m_lameEncodeBufferInterleaved, "lame_encode_buffer_interleaved");
    resolveInto(m_module, m_lameEncodeBufferLong2, "lame_encode_buffer_long2");
    resolveInto(m_module, m_lameEncodeFlush, "lame_encode_flush");
    resolveInto(m_module, m_lameClose, "lame_close");
    resolveInto(m_module, m_lameSetNumChannels, "lame_set_num_channels");
    resolveInto(m_module, m_lameSetInSamplerate, "lame_set_in_samplerate");
    resolveInto(m_module, m_lameSetOutSamplerate, "lame_set_out_samplerate");
    resolveInto(m_module, m_lameSetBrate, "lame_set_brate");
    resolveInto(m_module, m_lameSetMode, "lame_set_mode");
    resolveInto(m_module, m_lameSetVbrQ, "lame_set_VBR_q");
    resolveInto(m_module, m_lameSetVbr, "lame_set_VBR");
    resolveInto(m_module, m_lameSetWriteVbrTag, "lame_set_bWriteVbrTag");
    resolveInto(m_module, m_beInitStream, "beInitStream");
    resolveInto(m_module, m_beEncodeChunk, "beEncodeChunk");
    resolveInto(m_module, m_beDeinitStream, "beDeinitStream");
    resolveInto(m_module, m_beCloseStream, "beCloseStream");
    resolveInto(m_module, m_beVersion, "beVersion");
    resolveInto(m_module, m_beWriteVbrHeader, "beWriteVBRHeader");
    resolveInto(m_module, m_beWriteInfoTag, "beWriteInfoTag");

    const QString fileName = QFileInfo(path).fileName();
    if (m_lameInit && m_getLameVersion && m_lameInitParams && m_lameEncodeBufferInterleaved
        && m_lameEncodeFlush && m_lameClose && m_lameSetNumChannels && m_lameSetInSamplerate
        && m_lameSetOutSamplerate && m_lameSetBrate && m_lameSetMode && m_lameSetVbrQ
        && m_lameSetVbr) {
        m_native = true;
        m_accepts24 = m_lameEncodeBufferLong2 != nullptr;
        const char *version = m_getLameVersion();
        m_name = tr("LAME MP3 Library: %1 (%2)")
                     .arg(fileName, QString::fromLatin1(version ? version : ""));
    } else if (m_beInitStream && m_beEncodeChunk && m_beDeinitStream && m_beCloseStream
               && m_beVersion && m_beWriteVbrHeader) {
        m_stream = true;
        std::memset(&m_version, 0, sizeof m_version);
        m_beVersion(&m_version);
        const QChar zero(QLatin1Char('0'));
        m_name = tr("LAME MP3 Library: %1 (%2.%3) [%4/%5/%6]")
                     .arg(fileName)
                     .arg(int(m_version.majorVersion))
                     .arg(int(m_version.minorVersion), 2, 10, zero)
                     .arg(int(m_version.day), 2, 10, zero)
                     .arg(int(m_version.month), 2, 10, zero)
                     .arg(int(m_version.year), 2, 10, zero);
    }
    return m_native || m_stream;
}

void audio_dlllib::closeStream()
{
    if (m_context && m_lameClose)
        m_lameClose(m_context);
    m_context = nullptr;
    if (m_streamOpen && m_beCloseStream)
        m_beCloseStream(m_streamHandle);
    m_streamOpen = false;
    m_streamHandle = 0;
    m_streamBufferSize = 0;
    clearEntryPoints();
    if (m_module.isLoaded())
        m_module.unload();
}

void audio_dlllib::close() { closeStream(); }

bool audio_dlllib::open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame,
                        int mode, int bitrate, int vbrQuality, double resampleRatio,
                        int channelsOut, int resampleRate, bool encode)
{
    if (!encode || channelsIn != channelsOut || channelsIn == 0)
        return false;
    // This back-end needs none of the base's chunk buffers.
    m_inputBufferSize = 0;
    m_chunkSize = 0;
    m_opened = false;
    close();
    // Every stream gets its own end: a reused object flushes its next stream too.
    m_flushed = false;
    m_errorText.clear();
    if (!loadLibrary(m_location)) {
        m_errorText = tr("The LAME encoder library was not found at the specified location: '%1.'")
                          .arg(m_location);
        return false;
    }
    if (channelsIn < 1 || channelsIn > 2 || !(resampleRatio > 0.0) || sampleRate <= 0) {
        closeStream();
        return false;
    }
    // LAME reads 16-bit PCM, and 24-bit PCM where the library has the wide entry point;
    // anything else would be misread as noise.
    if (bitsPerSample != 16 && !(bitsPerSample == 24 && m_accepts24)) {
        m_errorText = tr("The LAME encoder library cannot encode %1-bit samples.").arg(bitsPerSample);
        closeStream();
        return false;
    }
    m_bitsPerSample = bitsPerSample;
    m_inputChannels = channelsIn;

    if (m_native) {
        m_context = m_lameInit();
        if (!m_context) {
            closeStream();
            return false;
        }
        int worst = 0;
        auto track = [&worst](int r) { worst = std::min(worst, r); };
        track(m_lameSetInSamplerate(m_context, int(sampleRate / resampleRatio + 0.5)));
        track(m_lameSetOutSamplerate(m_context, resampleRate));
        track(m_lameSetNumChannels(m_context, channelsIn));
        if (mode == 2 && bitrate > 0) {
            track(m_lameSetVbr(m_context, vbr_off));
            track(m_lameSetBrate(m_context, bitrate));
        } else if (mode == 3 && bitrate > 0) {
            track(m_lameSetVbr(m_context, vbr_abr));
            track(m_lameSetBrate(m_context, bitrate));
        } else if (mode == 1) {
            track(m_lameSetVbr(m_context, vbr_mtrh));
            track(m_lameSetVbrQ(m_context, vbrQuality));
        }
        track(m_lameSetMode(m_context, channelsIn == 2 ? JOINT_STEREO : MONO));
        // The stream goes out as it is encoded, so the library could never fill in its
        // placeholder tag frame at the start: ask for none.
        if (m_lameSetWriteVbrTag)
            track(m_lameSetWriteVbrTag(m_context, 0));
        track(m_lameInitParams(m_context));
        if (worst < 0) {
            m_errorText = tr("The LAME encoder library refused these settings.");
            closeStream();
            return false;
        }
        m_opened = true;
        return true;
    }
    if (m_stream) {
        if (!openBladeStream(channelsIn, bitsPerSample, sampleRate, samplesPerFrame, mode, bitrate,
                             vbrQuality, resampleRatio, channelsOut, resampleRate, encode)) {
            closeStream();
            return false;
        }
        m_opened = true;
        return true;
    }
    return false;
}

bool audio_dlllib::openBladeStream(int channelsIn, int bitsPerSample, int sampleRate, int,
                                   int mode, int bitrate, int vbrQuality, double, int,
                                   int resampleRate, bool)
{
    std::memset(&m_version, 0, sizeof m_version);
    std::memset(&m_config, 0, sizeof m_config);
    m_beVersion(&m_version);
    m_config.dwConfig = kvlame::kBeConfigLame;
    m_config.dwStructVersion = 1;
    m_config.dwStructSize = sizeof(kvlame::BeConfig);
    m_config.dwSampleRate = quint32(sampleRate);
    m_config.dwReSampleRate = quint32(std::max(resampleRate, 0));
    m_config.nMode = channelsIn == 2 ? kvlame::kBeModeJointStereo : kvlame::kBeModeMono;
    if (mode == 2) {
        m_config.nPreset = kvlame::kLqpCbr;
        if (bitrate > 0)
            m_config.dwBitrate = quint32(bitrate);
    } else if (mode == 3) {
        m_config.nPreset = kvlame::kLqpAbr;
        if (bitrate > 0)
            m_config.dwVbrAbr_bps = quint32(bitrate) * 1000;
    } else if (mode == 1) {
        m_config.nPreset = 0;
        m_config.bEnableVBR = 1;
        m_config.nVBRQuality = vbrQuality;
    }
    m_config.dwMpegVersion = 1;
    m_config.dwPsyModel = 0;
    m_config.dwEmphasis = 0;
    m_config.bOriginal = 1;
    m_config.bWriteVBRHeader = 0;
    m_config.bNoRes = 0;
    (void)bitsPerSample;

    quint32 samples = 0, bufferSize = 0;
    kvlame::BeStream stream = 0;
    const kvlame::BeErr err = m_beInitStream(&m_config, &samples, &bufferSize, &stream);
    if (err != 0) {
        std::fprintf(stderr, "Error opening encoding stream (%lu)\n", static_cast<unsigned long>(err));
        m_errorText = tr("Error opening encoding stream (%1)").arg(err);
        return false;
    }
    m_streamHandle = stream;
    m_streamOpen = true;
    m_streamBufferSize = bufferSize;
    return true;
}

int audio_dlllib::encode(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (!m_opened || inLen < 0 || (inLen > 0 && !in) || !out || outCap < 0)
        return -1;
    if (m_native && m_context)
        return encodeWithLame(in, inLen, out, outCap, outLen);
    if (m_stream && m_streamOpen)
        return encodeWithBladeApi(in, inLen, out, outCap, outLen);
    return -1;
}

int audio_dlllib::encodeWithLame(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    auto *mp3 = reinterpret_cast<unsigned char *>(out);
    int r = 0;
    if (inLen == 0) {
        if (m_flushed)
            return 0;
        r = m_lameEncodeFlush(m_context, mp3, outCap);
        m_flushed = true;
    } else {
        const int bytes = m_bitsPerSample / 8;
        const int n = inLen / m_inputChannels / bytes;
        if (n == 0)
            return 0;
        if (m_bitsPerSample == 24) {
            if (n > m_workCapacity || m_workLeft.size() < size_t(n)) {
                m_workCapacity = 2 * n;
                m_workLeft.assign(size_t(m_workCapacity), 0);
                m_workRight.assign(size_t(m_workCapacity), 0);
            }
            // long2 wants the full range of long, which is 64 bits here.
            const long scale = long(1) << (8 * sizeof(long) - 24);
            const auto *p = reinterpret_cast<const unsigned char *>(in);
            for (int i = 0; i < n; ++i) {
                for (int c = 0; c < m_inputChannels; ++c) {
                    const unsigned char *s = p + (size_t(i) * m_inputChannels + c) * 3;
                    long v = long(s[0]) | long(s[1]) << 8 | long(s[2]) << 16;
                    if (v & 0x800000)
                        v -= 0x1000000;
                    (c == 0 ? m_workLeft : m_workRight)[size_t(i)] = v * scale;
                }
            }
            const long *right = m_inputChannels == 2 ? m_workRight.data() : m_workLeft.data();
            r = m_lameEncodeBufferLong2(m_context, m_workLeft.data(), right, n, mp3, outCap);
        } else if (m_inputChannels == 2) {
            // lame.h declares the input non-const; it is only read.
            r = m_lameEncodeBufferInterleaved(m_context,
                                              reinterpret_cast<short *>(const_cast<char *>(in)),
                                              n, mp3, outCap);
        } else {
            if (n > m_workCapacity || m_workMono.size() < size_t(2 * n)) {
                m_workCapacity = 2 * n;
                m_workMono.assign(size_t(2 * m_workCapacity), 0);
            }
            for (int i = 0; i < n; ++i) {
                qint16 s;
                std::memcpy(&s, in + 2 * size_t(i), 2);
                m_workMono[2 * size_t(i)] = s;
                m_workMono[2 * size_t(i) + 1] = s;
            }
            r = m_lameEncodeBufferInterleaved(m_context, m_workMono.data(), n, mp3, outCap);
        }
    }
    if (r < 0)
        return -1;
    *outLen = std::min(r, outCap);
    return 0;
}

int audio_dlllib::encodeWithBladeApi(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    auto *mp3 = reinterpret_cast<quint8 *>(out);
    if (inLen == 0) {
        if (m_flushed)
            return 0;
        // The stream interface takes no capacity: make sure the library's largest answer fits.
        if (outCap < std::max<qint64>(worstCaseMp3Bytes(0), m_streamBufferSize))
            return -1;
        quint32 len = 0;
        m_flushed = true;
        if (m_beDeinitStream(m_streamHandle, mp3, &len) != 0 || qint64(len) > outCap)
            return -1;
        *outLen = int(len);
        return 0;
    }
    const int n = inLen / (m_bitsPerSample / 8);
    if (n == 0)
        return 0;
    if (outCap < std::max<qint64>(worstCaseMp3Bytes(n), m_streamBufferSize))
        return -1;
    const auto *pcm = reinterpret_cast<const qint16 *>(in);
    quint32 total = 0;
    if (m_inputChannels == 1 && n == 2304) {
        quint32 first = 0, second = 0;
        if (m_beEncodeChunk(m_streamHandle, 1152, pcm, mp3, &first) != 0)
            return -1;
        if (m_beEncodeChunk(m_streamHandle, 1152, pcm + 1152, mp3 + first, &second) != 0)
            return -1;
        total = first + second;
    } else if (m_beEncodeChunk(m_streamHandle, quint32(n), pcm, mp3, &total) != 0) {
        return -1;
    }
    if (qint64(total) > outCap)
        return -1;
    *outLen = int(total);
    return 0;
}
