#include "AudioInfo.h"

#include "KvWavHeader.h"
#include "KvSaveTarget.h"
#include "audio_lib.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

namespace {
constexpr int kOutBytesPerChannel = 25165824;  // 24 MiB: one encoder call never runs out
constexpr int kCopyBlock = 16384;
constexpr int kMaxDrainCalls = 100000;

AudioInfo::AacRewrapper &aacRewrapper()
{
    static AudioInfo::AacRewrapper rewrapper;
    return rewrapper;
}

int fullScale(const QAudioFormat &f)
{
    const bool isSigned = f.sampleType() == QAudioFormat::SignedInt;
    const bool isUnsigned = f.sampleType() == QAudioFormat::UnSignedInt;
    if (!isSigned && !isUnsigned)
        return 0;
    switch (f.sampleSize()) {
    case 8: return isSigned ? 0x7f : 0xff;
    case 16: return isSigned ? 0x7fff : 0xffff;
    case 24: return isSigned ? 0x7fffff : 0xffffff;
    default: return 0;
    }
}
} // namespace

AudioInfo::AudioInfo(const KvAudioLibPtr &encoder, const QAudioFormat &format, int mode,
                     int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
                     int resampleRate, QObject *parent)
    : QIODevice(parent), m_format(format), m_encoder(encoder), m_bitrate(bitrate),
      m_resampleRatio(resampleRatio), m_channelsOut(channelsOut)
{
    m_maxAmplitude = fullScale(format);
    m_inBuffer.reset(new char[size_t(m_chunkSize)]());
    const int channels = std::min(std::max(format.channelCount(), 1), 2);
    m_outCapacity = channels * kOutBytesPerChannel;
    m_outBuffer.reset(new char[size_t(m_outCapacity)]);

    const bool opened = m_encoder
        && m_encoder->open(format.channelCount(), format.sampleSize(), format.sampleRate(), 0,
                           mode, bitrate, vbrQuality, resampleRatio, channelsOut, resampleRate, true);
    if (!opened) {
        const QString detail = m_encoder ? m_encoder->errorText() : QString();
        fail(-1, detail.isEmpty() ? tr("Unable to initialize audio encoder.")
                                  : tr("Unable to initialize audio encoder - Error:\n%1").arg(detail));
        return;
    }
    auto *file = new KvEncodedTempFile(QDir::tempPath() + QDir::separator() + "MP3KQ_REC-XXXXXX.mp3",
                                       m_encoder->fileExtension());
    m_tempFile.reset(file);
    // Nothing could be kept without the file: every write must fail, not pretend.
    if (!file->open())
        fail(-1, tr("Unable to open recording output file"));
}

AudioInfo::~AudioInfo()
{
    if (isOpen())
        QIODevice::close();
    if (m_tempFile && m_tempFile->isOpen())
        m_tempFile->close();
}

void AudioInfo::fail(int code, const QString &message)
{
    {
        QMutexLocker lock(&m_errorLock);
        if (m_errorCode != 0)
            return;
        m_errorCode = code;
        m_errorMessage = message;
    }
    emit reportFatalError(message);
}

bool AudioInfo::openWrite() { return QIODevice::open(QIODevice::WriteOnly); }

void AudioInfo::setPaused(bool paused)
{
    QMutexLocker lock(&m_mutex);
    m_paused = paused;
}

bool AudioInfo::hasError() const
{
    QMutexLocker lock(&m_errorLock);
    return m_errorCode != 0 || !m_errorMessage.isEmpty();
}

QString AudioInfo::errorMessage() const
{
    QMutexLocker lock(&m_errorLock);
    return m_errorMessage;
}

qint64 AudioInfo::readData(char *, qint64) { return 0; }

int AudioInfo::peakOf(const char *data, qint64 len) const
{
    const int channels = m_format.channelCount();
    const int bytes = m_format.sampleSize() / 8;
    if (channels <= 0 || bytes <= 0)
        return 0;
    const qint64 samples = (len / (channels * bytes)) * channels;
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const bool isSigned = m_format.sampleType() == QAudioFormat::SignedInt;
    const bool little = m_format.byteOrder() == QAudioFormat::LittleEndian;
    int peak = 0;
    for (qint64 i = 0; i < samples; ++i) {
        const unsigned char *s = p + i * bytes;
        int v = 0;
        if (bytes == 1) {
            v = isSigned ? std::abs(int(static_cast<signed char>(s[0]))) : s[0];
        } else if (bytes == 2) {
            const int raw = little ? (s[0] | s[1] << 8) : (s[1] | s[0] << 8);
            v = isSigned ? std::abs(int(qint16(raw))) : raw;
        } else if (bytes == 3 && isSigned && little) {
            int raw = s[0] | s[1] << 8 | s[2] << 16;
            if (raw & 0x800000)
                raw -= 0x1000000;
            v = std::abs(raw);
        }
        peak = std::max(peak, v);
    }
    return peak;
}

bool AudioInfo::appendToTempFile(const char *data, int len, const QString &failureMessage)
{
    if (len <= 0 || !m_tempFile || !m_tempFile->isOpen())
        return true;
    if (m_tempFile->write(data, len) != len) {
        fail(-1, failureMessage);
        return false;
    }
    m_encodedBytes += len;
    return true;
}

qint64 AudioInfo::writeData(const char *data, qint64 len)
{
    QMutexLocker lock(&m_mutex);
    if (m_paused)
        return len;
    if (m_maxAmplitude == 0)
        return m_errorCode == 0 ? len : -1;
    if (m_errorCode != 0)
        return -1;

    const int peak = peakOf(data, len);
    int r = -1;
    int outLen = 0;
    if (m_encoder && len > 0) {
        // One encoder call per chunk keeps every call within the codec's own buffers.
        const qint64 frameBytes = qint64(std::max(m_format.channelCount(), 1))
            * std::max(m_format.sampleSize() / 8, 1);
        const qint64 slice = std::max<qint64>(frameBytes, (m_chunkSize / frameBytes) * frameBytes);
        for (qint64 done = 0; done < len;) {
            const int n = int(std::min(slice, len - done));
            outLen = 0;
            r = m_encoder->encode(data + done, n, m_outBuffer.get(), m_outCapacity, &outLen);
            if (r < 0)
                break;
            m_bytesEncoded += n;
            if (!appendToTempFile(m_outBuffer.get(), outLen,
                                  tr("Error: WriteData(): Unable to write to temporary file!")))
                break;
            done += n;
        }
    }
    m_bytesWritten += len;
    if (r < 0 && len > 0 && m_errorCode == 0) {
        qWarning() << "Unable to use audio encoder! len=" << len << " out buffer len="
                   << m_outCapacity << " done=" << outLen;
        fail(r, tr("Error: Unable to use audio encoder! result=%1, len=%2").arg(r).arg(len));
    }
    if (m_errorCode != 0)
        return -1;
    m_level = double(std::min(peak, m_maxAmplitude)) / m_maxAmplitude;
    return len;
}

void AudioInfo::flush()
{
    if (m_tempFile && m_tempFile->isOpen() && m_errorCode == 0 && m_encoder) {
        for (int i = 0; i < kMaxDrainCalls; ++i) {
            int outLen = 0;
            const int r = m_encoder->encode(m_inBuffer.get(), 0, m_outBuffer.get(), m_outCapacity, &outLen);
            if (r < 0 || outLen <= 0)
                break;
            if (!appendToTempFile(m_outBuffer.get(), outLen,
                                  tr("Error: flush(): Unable to write to temporary file!")))
                break;
        }
    }
    if (m_tempFile && m_tempFile->isOpen())
        m_tempFile->close();
    if (isOpen())
        QIODevice::close();
}

void AudioInfo::flushLocked()
{
    QMutexLocker lock(&m_mutex);
    flush();
    m_paused = true;
    if (m_encoder)
        m_encoder->close();
}

void AudioInfo::setAacRewrapper(const AacRewrapper &rewrapper) { aacRewrapper() = rewrapper; }

QString AudioInfo::saveToFile(const KvTempFilePtr &tempFile, const QString &destination,
                              bool aacRewrap, int sampleRate, int channels)
{
    if (!tempFile)
        return tr("Error: Unable to access the recording for saving!");
    // A file the program reads (a source of the document or of its undo
    // history, say) is never written over, as export refuses it too.
    if (KvSaveTarget::isOpenInProgram(destination))
        return tr("The file is already in use and cannot be overwritten.");
    const QString name = tempFile->fileName();

    if (aacRewrap) {
        tempFile->setAutoRemove(false);
        tempFile->close();
        const QString error = aacRewrapper() ? aacRewrapper()(name, destination)
                                             : tr("AAC output is not available.");
        if (error.isEmpty())
            QFile::remove(name);
        else
            tempFile->setAutoRemove(true);  // not left behind once its holder lets go
        return error;
    }
    if (name.isEmpty())
        return QString();

    // The destination appears only once it is complete; a failed save leaves no partial file.
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly)) {
        const QString why = out.errorString();
        return why.isEmpty() ? tr("Unknown error saving converted file.") : tr("Error: ") + why;
    }
    if (!tempFile->isOpen() && !tempFile->open())
        return tr("Error: Unable to access the recording for saving!");
    if (!tempFile->seek(0)) {
        tempFile->close();
        return tr("Error: Unable to access the recording for saving!");
    }

    const auto *encoded = dynamic_cast<const KvEncodedTempFile *>(tempFile.get());
    const bool wavStream = encoded ? encoded->encoderExtension() == QLatin1String("wav")
                                   : destination.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive);
    const int headerSize = KvWavHeaderSize();
    const bool writeHeader = wavStream && sampleRate >= 1 && channels >= 1;
    const QString copyError = tr("Error encountered saving the temp file: %1 to %2");

    if (writeHeader) {
        // The stream starts with a zeroed gap of the header's size; the header takes its place.
        const qint64 data = std::max<qint64>(0, tempFile->size() - headerSize);
        unsigned char header[44];
        KvFillWavHeader(header, quint64(data), sampleRate, channels);
        if (out.write(reinterpret_cast<const char *>(header), headerSize) != headerSize) {
            tempFile->close();
            return copyError.arg(destination, out.errorString());
        }
        tempFile->seek(std::min<qint64>(headerSize, tempFile->size()));
    }
    char block[kCopyBlock];
    while (!tempFile->atEnd()) {
        const qint64 n = tempFile->read(block, sizeof block);
        if (n < 0) {
            tempFile->close();
            return tr("Error: Unable to access the recording for saving!");
        }
        if (n == 0)
            break;
        if (out.write(block, n) != n) {
            tempFile->close();
            return copyError.arg(destination, out.errorString());
        }
    }
    tempFile->close();
    if (!out.commit())
        return copyError.arg(destination, out.errorString());
    return QString();
}
