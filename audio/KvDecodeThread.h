#pragma once
// Decodes a fragment list to PCM on its own thread without playing it: a peak scan for
// the normalize dialog, or a conversion step whose PCM an encoding sink re-encodes into
// a temporary file. The owner stops it by releasing one permit of stopSemaphore.
#include "AudioInfo.h"

#include <QAudioFormat>
#include <QSemaphore>
#include <QString>
#include <QThread>

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <memory>

class KvAudioGenerator;
class KvRepackInfoPtrList;

class KvDecodeThread : public QThread {
    Q_OBJECT
public:
    KvDecodeThread(const boost::shared_ptr<KvRepackInfoPtrList> &list, const QAudioFormat &format,
                   const KvAudioLibPtr &encoder, int mode, int bitrate, int vbrQuality,
                   double resampleRatio, int channelsOut, int resampleRate, bool writeOutput,
                   double tempo, double pitch, QObject *parent = nullptr);
    ~KvDecodeThread() override;

    void setPaused(bool paused);
    bool isPaused() const { return m_paused.load(); }
    // The sink's temporary encoded file; empty without a sink.
    KvTempFilePtr outputFile() const;
    // PCM bytes written into the sink so far; 0 without a sink.
    qint64 outputLength() const;
    // Why the run failed (sink or decoding); empty after a good run. Read after finished().
    QString errorText() const { return m_errorText; }

    // Stop request: the caller sets stopState to -1 and releases one permit.
    QSemaphore stopSemaphore;
    std::atomic<int> stopState{0};
    // Sets both parts of the stop request.
    void requestStop();

signals:
    void decodeProgress(int percent);
    void MaxVolumes(qint16 leftMaxVol, qint16 rightMaxVol);

protected:
    void run() override;

private:
    std::atomic<bool> m_paused{false};
    bool m_writeOutput;
    QString m_errorText;
    boost::shared_ptr<KvRepackInfoPtrList> m_list;
    std::unique_ptr<AudioInfo> m_sink;
    double m_tempo;
    double m_pitch;
    QAudioFormat m_format;
    KvAudioLibPtr m_encoder;
    int m_mode;
    int m_bitrate;
    int m_vbrQuality;
    double m_resampleRatio;
    int m_channelsOut;
    int m_resampleRate;
};
