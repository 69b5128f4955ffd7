#include "KvLamePresets.h"

#include <QCoreApplication>

namespace {
constexpr int kCount = 135;

const int kCbrHighRates[] = {48000, 44100, 32000};
const int kCbrHighBitrates[] = {320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32};
const int kCbrMidRates[] = {24000, 22050, 16000};
const int kCbrMidBitrates[] = {160, 144, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8};
const int kCbrLowRates[] = {12000, 11025, 8000};
const int kCbrLowBitrates[] = {64, 56, 48, 40, 32, 24, 16, 8};
const int kAbrBitrates[] = {8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128};

QString cbrText(const char *context, int bitrate, int rate)
{
    return QCoreApplication::translate(context, "LAME encoder: %2Hz, %1 kbps (CBR)")
        .arg(bitrate)
        .arg(rate);
}

QString vbrText(const char *context, int quality)
{
    QString text = QCoreApplication::translate(context, "LAME encoder: VBR quality %1").arg(quality);
    switch (quality) {
    case 0: text += QCoreApplication::translate(context, " (best)"); break;
    case 2: text += QCoreApplication::translate(context, " (recommended)"); break;
    case 4: text += QCoreApplication::translate(context, " (default)"); break;
    case 9: text += QCoreApplication::translate(context, " (smallest)"); break;
    default: break;
    }
    return text;
}
} // namespace

int kvLamePresetCount() { return kCount; }

audio_preset *kvLamePreset(int index, const char *context, bool accepts24Bit)
{
    if (index < 0 || index >= kCount)
        return nullptr;
    auto *p = new audio_preset;
    p->index = index;
    p->channels = 0;
    p->flag1 = accepts24Bit;
    p->channelMode = -1;
    p->flag2 = false;
    if (index < 42) {
        p->mode = 2;
        p->sampleRate = kCbrHighRates[index / 14];
        p->bitrate = kCbrHighBitrates[index % 14];
        p->vbrQuality = -1;
        p->text = cbrText(context, p->bitrate, p->sampleRate);
    } else if (index < 84) {
        const int j = index - 42;
        p->mode = 2;
        p->sampleRate = kCbrMidRates[j / 14];
        p->bitrate = kCbrMidBitrates[j % 14];
        p->vbrQuality = -1;
        p->text = cbrText(context, p->bitrate, p->sampleRate);
    } else if (index < 108) {
        const int j = index - 84;
        p->mode = 2;
        p->sampleRate = kCbrLowRates[j / 8];
        p->bitrate = kCbrLowBitrates[j % 8];
        p->vbrQuality = -1;
        p->text = cbrText(context, p->bitrate, p->sampleRate);
    } else if (index < 125) {
        p->mode = 3;
        p->sampleRate = 0;
        p->bitrate = kAbrBitrates[index - 108];
        p->vbrQuality = -1;
        p->text = QCoreApplication::translate(context, "LAME encoder: %1 kbps (ABR)").arg(p->bitrate);
    } else {
        p->mode = 1;
        p->sampleRate = 0;
        p->bitrate = -1;
        p->vbrQuality = index - 125;
        p->text = vbrText(context, p->vbrQuality);
    }
    return p;
}
