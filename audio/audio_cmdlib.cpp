#include "audio_cmdlib.h"

#include "KvLamePresets.h"

#include <KvConnect.h>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace {
constexpr int kStartTimeoutMs = 30000;
constexpr int kProbeMs = 1000;
constexpr int kFinishPollMs = 100;
constexpr int kMaxComplaint = 1023;
// A program that neither writes nor ends for this long after its input closed has hung.
constexpr int kFinishGiveUpMs = 60000;
} // namespace

audio_cmdlib::audio_cmdlib(const KvAudioFrameReaderPtr &source) : audio_lib(source)
{
    QSettings settings;
    const QVariant v = settings.value(QStringLiteral("Settings/LameAppLocation"), QString());
    m_lameLocation = v.canConvert<QString>() ? v.toString() : QString();
}

audio_cmdlib::~audio_cmdlib() { stopProcess(); }

bool audio_cmdlib::isAvailable()
{
    return !m_lameLocation.isEmpty() && QFileInfo::exists(m_lameLocation);
}

QString audio_cmdlib::name() { return QStringLiteral("LAME MP3 External Encoder"); }
QString audio_cmdlib::fileExtension() { return QStringLiteral("mp3"); }

audio_preset *audio_cmdlib::presetSettings(int index)
{
    if (m_lameLocation.isEmpty())
        return nullptr;
    return kvLamePreset(index, "audio_cmdlib", true);
}

int audio_cmdlib::decodeChunk(const char *, int, char *, int, int *outLen)
{
    *outLen = 0;
    return -1;
}

int audio_cmdlib::encodeChunk(const char *, int, char *, int, int *outLen)
{
    *outLen = 0;
    return -1;
}

void audio_cmdlib::printOutput() {}

void audio_cmdlib::process_finished(int, QProcess::ExitStatus)
{
    // The process object stays until the next open or our end: what the program wrote
    // before it ended is still to be read from it.
}

QStringList audio_cmdlib::arguments(int channelsIn, int bitsPerSample, int sampleRate, int mode,
                                    int bitrate, int vbrQuality, double resampleRatio,
                                    int resampleRate)
{
    QStringList args;
    args << QStringLiteral("-r");
    if (bitsPerSample != 16)
        args << QStringLiteral("--bitwidth") << QString::number(bitsPerSample);
    if (channelsIn == 1)
        args << QStringLiteral("-m") << QStringLiteral("m");
    if (mode == 2 && bitrate >= 1)
        args << QStringLiteral("-b") << QString::number(bitrate) << QStringLiteral("--cbr");
    else if (mode == 3 && bitrate >= 1)
        args << QStringLiteral("--abr") << QString::number(bitrate);
    else if (mode == 1)
        args << QStringLiteral("-V") << QString::number(vbrQuality);
    if (resampleRate > 0)
        args << QStringLiteral("--resample") << QString::number(resampleRate);
    // The rate the PCM really has when the caller states the output rate and the ratio.
    args << QStringLiteral("-s") << QString::number(int(sampleRate / resampleRatio + 0.5));
    args << QStringLiteral("-") << QStringLiteral("-");
    return args;
}

void audio_cmdlib::stopProcess()
{
    if (!m_process)
        return;
    std::unique_ptr<QProcess> p = std::move(m_process);
    p->disconnect(this);
    if (p->state() != QProcess::NotRunning) {
        p->closeWriteChannel();
        if (!p->waitForFinished(1000)) {
            p->kill();
            p->waitForFinished(1000);
        }
    }
    m_inputClosed = true;
}

QString audio_cmdlib::takeStandardError()
{
    if (!m_process)
        return QString();
    const QByteArray err = m_process->readAllStandardError();
    return QString::fromUtf8(err.left(kMaxComplaint));
}

bool audio_cmdlib::open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame,
                        int mode, int bitrate, int vbrQuality, double resampleRatio,
                        int channelsOut, int resampleRate, bool encode)
{
    m_errorText.clear();
    if (!encode || channelsIn != channelsOut || channelsIn == 0)
        return false;
    // A bad ratio would put a nonsense rate on the command line.
    if (!(resampleRatio > 0.0) || sampleRate <= 0)
        return false;
    const QStringList args = arguments(channelsIn, bitsPerSample, sampleRate, mode, bitrate,
                                       vbrQuality, resampleRatio, resampleRate);
    if (m_lameLocation.isEmpty()) {
        m_errorText = tr("The LAME encoder location has not been set in the Recording tab of the %1 dialog.")
                          .arg(tr("Options"));
        return false;
    }
    if (!QFileInfo::exists(m_lameLocation)) {
        m_errorText = tr("The LAME encoder was not found at the specified location: '%1.'").arg(m_lameLocation);
        return false;
    }

    stopProcess();
    m_process.reset(new QProcess);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setReadChannel(QProcess::StandardOutput);
    // Direct: the process lives on the encoding thread, which runs no event loop of its own.
    kvConnect(m_process.get(), SIGNAL(readyReadStandardOutput()), this, SLOT(printOutput()),
              Qt::DirectConnection);
    kvConnect(m_process.get(), SIGNAL(finished(int,QProcess::ExitStatus)), this,
              SLOT(process_finished(int,QProcess::ExitStatus)), Qt::DirectConnection);
    m_inputClosed = false;
    m_process->start(m_lameLocation, args, QIODevice::ReadWrite);
    if (!m_process->waitForStarted(kStartTimeoutMs)) {
        m_errorText = m_process->errorString();
        stopProcess();
        return false;
    }

    // An early complaint on standard error means the program refused our command line. The
    // LAME program also prints its banner there and keeps running: only text from a program
    // that has stopped within the probe time counts as a refusal.
    QElapsedTimer probe;
    probe.start();
    m_process->setReadChannel(QProcess::StandardError);
    const bool complained = m_process->waitForReadyRead(kProbeMs);
    if (complained) {
        const qint64 left = std::max<qint64>(0, kProbeMs - probe.elapsed());
        if (m_process->state() != QProcess::NotRunning)
            m_process->waitForFinished(int(left));
    }
    m_process->setReadChannel(QProcess::StandardOutput);
    if (m_process->state() == QProcess::NotRunning) {
        m_errorText = takeStandardError();
        if (m_errorText.isEmpty())
            m_errorText = tr("The LAME encoder stopped at once.");
        stopProcess();
        return false;
    }
    // The banner is of no use; dropping it keeps standard error from piling up.
    m_process->readAllStandardError();
    return true;
}

qint64 audio_cmdlib::pollAvailable()
{
    m_process->waitForReadyRead(0);
    // Progress text on standard error would otherwise pile up for the whole encode.
    m_process->readAllStandardError();
    return m_process->bytesAvailable();
}

qint64 audio_cmdlib::waitForOutput()
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const bool stopped = m_process->state() == QProcess::NotRunning;
        m_process->waitForReadyRead(kFinishPollMs);
        m_process->readAllStandardError();
        const qint64 available = m_process->bytesAvailable();
        if (available != 0 || stopped || !m_inputClosed)
            return available;
        if (waited.elapsed() > kFinishGiveUpMs) {
            m_errorText = tr("The LAME encoder does not finish.");
            return -1;
        }
    }
}

bool audio_cmdlib::endedBadly()
{
    if (m_process->state() != QProcess::NotRunning)
        return false;
    if (m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0)
        return false;
    m_errorText = tr("The LAME encoder ended with an error (exit code %1).").arg(m_process->exitCode());
    return true;
}

int audio_cmdlib::encode(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (!m_process || inLen < 0 || (inLen > 0 && !in) || !out || outCap < 0)
        return -1;
    if (inLen > 0) {
        if (m_inputClosed || m_process->state() == QProcess::NotRunning)
            return -1;
        if (m_process->write(in, inLen) != inLen)
            return -1;
    } else if (!m_inputClosed) {
        m_process->closeWriteChannel();
        m_inputClosed = true;
    }

    qint64 available = pollAvailable();
    if (available < 0)
        return -1;
    if (available == 0) {
        if (inLen > 0)
            return 0;
        available = waitForOutput();
        if (available < 0)
            return -1;
        if (available == 0)
            return endedBadly() ? -1 : 0;
    }
    while (outCap - *outLen > 0) {
        const qint64 want = std::min<qint64>(available, outCap - *outLen);
        const qint64 got = m_process->read(out + *outLen, want);
        if (got < 0)
            return -1;
        *outLen += int(got);
        available = pollAvailable();
        if (available < 0)
            return -1;
        if (available == 0) {
            if (inLen > 0)
                break;
            available = waitForOutput();
            if (available <= 0)
                break;
        }
    }
    return 0;
}
