#include "KvRecordTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

#include <cstring>

namespace kvrectest {

ListEncoder::OpenArgs ListEncoder::lastOpen;
QString ListEncoder::failOpenWith;
bool ListEncoder::failEncode = false;

QString ListEncoder::name()
{
    return m_kind == Aac ? QStringLiteral("FFmpeg AAC Codec")
                         : QStringLiteral("LAME MP3 Library: libmp3lame.so.0 (3.100)");
}

bool ListEncoder::open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
                       int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
                       int resampleRate, bool encode)
{
    lastOpen = {channelsIn, bitsPerSample, sampleRate, mode, bitrate, vbrQuality, resampleRatio,
                channelsOut, resampleRate};
    if (!failOpenWith.isEmpty()) {
        m_errorText = failOpenWith;
        return false;
    }
    m_inputBufferSize = 9216;
    m_chunkSize = 9216;
    return setup(channelsIn, bitsPerSample, sampleRate, samplesPerFrame, mode, bitrate, vbrQuality,
                 resampleRatio, channelsOut, resampleRate, encode);
}

int ListEncoder::encode(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    return encodeChunk(in, inLen, out, outCap, outLen);
}

int ListEncoder::encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen)
{
    *outLen = 0;
    if (failEncode || inLen > outCap)
        return -1;
    if (inLen > 0)
        memcpy(out, in, size_t(inLen));
    *outLen = inLen;
    return 0;
}

audio_preset *ListEncoder::presetSettings(int index)
{
    auto *p = new audio_preset;
    p->index = index;
    p->channels = 0;
    if (m_kind == Aac) {
        static const int rates[] = {48000, 48000, 48000, 48000, 44100, 44100, 44100, 44100};
        static const int kbps[] = {192, 160, 128, 96, 192, 160, 128, 96};
        if (index < 0 || index > 7) {
            delete p;
            return nullptr;
        }
        p->sampleRate = rates[index];
        p->bitrate = kbps[index];
        p->mode = 2;
        p->flag1 = false;
        p->text = QStringLiteral("FFmpeg AAC encoder: %2Hz, %1 kbps (CBR)").arg(p->bitrate).arg(p->sampleRate);
        return p;
    }
    // The LAME library's list: CBR by rate, ABR, then VBR qualities.
    if (index < 0 || index > 134) {
        delete p;
        return nullptr;
    }
    p->flag1 = true;
    static const int cbrHigh[] = {320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32};
    static const int cbrMid[] = {160, 144, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8};
    static const int cbrLow[] = {64, 56, 48, 40, 32, 24, 16, 8};
    static const int abr[] = {8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128};
    if (index <= 107) {
        p->mode = 2;
        if (index <= 41) {
            p->sampleRate = index <= 13 ? 48000 : index <= 27 ? 44100 : 32000;
            p->bitrate = cbrHigh[index % 14];
        } else if (index <= 83) {
            p->sampleRate = index <= 55 ? 24000 : index <= 69 ? 22050 : 16000;
            p->bitrate = cbrMid[(index - 42) % 14];
        } else {
            p->sampleRate = index <= 91 ? 12000 : index <= 99 ? 11025 : 8000;
            p->bitrate = cbrLow[(index - 84) % 8];
        }
        p->text = QStringLiteral("LAME encoder: %2Hz, %1 kbps (CBR)").arg(p->bitrate).arg(p->sampleRate);
    } else if (index <= 124) {
        p->mode = 3;
        p->bitrate = abr[index - 108];
        p->text = QStringLiteral("LAME encoder: %1 kbps (ABR)").arg(p->bitrate);
    } else {
        p->mode = 1;
        p->vbrQuality = index - 125;
        p->text = QStringLiteral("LAME encoder: VBR quality %1").arg(p->vbrQuality);
        if (p->vbrQuality == 0) p->text += " (best)";
        if (p->vbrQuality == 2) p->text += " (recommended)";
        if (p->vbrQuality == 4) p->text += " (default)";
        if (p->vbrQuality == 9) p->text += " (smallest)";
    }
    return p;
}

ScopedEncoders::ScopedEncoders(Set set) : m_previous(kvBackendMakers())
{
    KvBackendMakers m;
    auto lame = [](const KvAudioFrameReaderPtr &) { return KvAudioLibPtr(new ListEncoder(ListEncoder::Lame)); };
    auto aac = [](const KvAudioFrameReaderPtr &) { return KvAudioLibPtr(new ListEncoder(ListEncoder::Aac)); };
    switch (set) {
    case LameOnly: m.dlllib = lame; break;
    case AacOnly: m.mftlib = aac; break;
    case LameAndAac: m.dlllib = lame; m.mftlib = aac; break;
    case None: break;
    case Program: m = KvBackendMakers::builtIn(); break;
    case BuiltIn: {
        // The real MP3 encoder over the installed codecs, without the LAME back-ends that would come first.
        const KvBackendMakers all = KvBackendMakers::builtIn();
        m.acmlib = all.acmlib;
        m.wavlib = all.wavlib;
        break;
    }
    }
    setKvBackendMakers(m);
    ListEncoder::failOpenWith.clear();
    ListEncoder::failEncode = false;
}

ScopedEncoders::~ScopedEncoders()
{
    setKvBackendMakers(m_previous);
    ListEncoder::failOpenWith.clear();
    ListEncoder::failEncode = false;
}

ModalResponder::ModalResponder()
{
    connect(&m_timer, &QTimer::timeout, this, &ModalResponder::poll);
    m_timer.start(20);
}

ModalResponder::~ModalResponder() = default;

void ModalResponder::poll()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w || !w->isVisible())
        return;
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        boxTexts << box->text();
        boxTitles << box->windowTitle();
        const int answer = m_buttons.isEmpty() ? int(QMessageBox::Ok) : m_buttons.takeFirst();
        QAbstractButton *button = box->button(QMessageBox::StandardButton(answer));
        if (button)
            button->click();
        else
            box->done(answer);
        return;
    }
    if (auto *dialog = qobject_cast<QFileDialog *>(w)) {
        // A dialog still up from the last poll has not taken its answer yet (its folder may
        // still be loading): give it the same answer again.
        if (dialog != m_fileDialog) {
            m_fileDialog = dialog;
            fileCaptions << dialog->windowTitle();
            m_fileAnswer = m_files.isEmpty() ? QString() : m_files.takeFirst();
        }
        if (m_fileAnswer.isEmpty()) {
            dialog->reject();
        } else {
            const QFileInfo info(m_fileAnswer);
            dialog->setDirectory(info.absolutePath());
            dialog->selectFile(info.fileName());
            // selectFile leaves a focused name field alone: type the name there.
            if (auto *edit = dialog->findChild<QLineEdit *>("fileNameEdit"))
                edit->setText(info.fileName());
            static_cast<QDialog *>(dialog)->accept();
        }
        return;
    }
    // Modal dialogs under test run their own exec(); only notices nobody plans for get closed.
    if (w->inherits("KvLameInstallDlg")) {
        ++otherDialogs;
        static_cast<QDialog *>(w)->reject();
    }
}

} // namespace kvrectest
