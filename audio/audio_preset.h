#pragma once
#include <QString>

// One entry of a back-end's preset list, as the encoder choices show it. Returned on the
// heap by presetSettings() and owned by the caller.
struct audio_preset {
    int index = 0;
    int channels = 0;      // 0: the caller's choice
    int sampleRate = 0;    // Hz; 0: the caller's choice
    bool flag1 = false;    // LAME presets: true; also "accepts 24-bit input"
    int bitrate = -1;      // kbit/s (LAME, AAC), bit/s (installed-codec MP3), 0 for WAV
    int mode = 2;          // 1 VBR, 2 CBR, 3 ABR
    int channelMode = -1;  // installed-codec MP3: 3 mono, 0 stereo; -1 unset
    int vbrQuality = -1;   // 0..9, -1 none
    bool flag2 = false;    // reserved, always false
    QString text;
    QString detail;
};
