// The preset list both LAME back-ends offer: fields and texts at the edges of every range.
#include "AudioTestSettings.h"
#include "KvTestSupport.h"
#include "audio_cmdlib.h"
#include "audio_dlllib.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kvaudiotest;

namespace {
struct PresetRow {
    int index, mode, sampleRate, bitrate, vbrQuality;
    const char *text;
};

const PresetRow kRows[] = {
    {0, 2, 48000, 320, -1, "LAME encoder: 48000Hz, 320 kbps (CBR)"},
    {13, 2, 48000, 32, -1, "LAME encoder: 48000Hz, 32 kbps (CBR)"},
    {14, 2, 44100, 320, -1, "LAME encoder: 44100Hz, 320 kbps (CBR)"},
    {19, 2, 44100, 128, -1, "LAME encoder: 44100Hz, 128 kbps (CBR)"},
    {41, 2, 32000, 32, -1, "LAME encoder: 32000Hz, 32 kbps (CBR)"},
    {42, 2, 24000, 160, -1, "LAME encoder: 24000Hz, 160 kbps (CBR)"},
    {57, 2, 22050, 144, -1, "LAME encoder: 22050Hz, 144 kbps (CBR)"},
    {83, 2, 16000, 8, -1, "LAME encoder: 16000Hz, 8 kbps (CBR)"},
    {84, 2, 12000, 64, -1, "LAME encoder: 12000Hz, 64 kbps (CBR)"},
    {92, 2, 11025, 64, -1, "LAME encoder: 11025Hz, 64 kbps (CBR)"},
    {107, 2, 8000, 8, -1, "LAME encoder: 8000Hz, 8 kbps (CBR)"},
    {108, 3, 0, 8, -1, "LAME encoder: 8 kbps (ABR)"},
    {113, 3, 0, 20, -1, "LAME encoder: 20 kbps (ABR)"},
    {124, 3, 0, 128, -1, "LAME encoder: 128 kbps (ABR)"},
    {125, 1, 0, -1, 0, "LAME encoder: VBR quality 0 (best)"},
    {126, 1, 0, -1, 1, "LAME encoder: VBR quality 1"},
    {127, 1, 0, -1, 2, "LAME encoder: VBR quality 2 (recommended)"},
    {129, 1, 0, -1, 4, "LAME encoder: VBR quality 4 (default)"},
    {133, 1, 0, -1, 8, "LAME encoder: VBR quality 8"},
    {134, 1, 0, -1, 9, "LAME encoder: VBR quality 9 (smallest)"},
};

void expectTable(audio_lib &backend, bool flag1)
{
    for (const PresetRow &r : kRows) {
        std::unique_ptr<audio_preset> p(backend.presetSettings(r.index));
        ASSERT_TRUE(p) << backend.name().toStdString() << " index " << r.index;
        EXPECT_EQ(p->index, r.index);
        EXPECT_EQ(p->mode, r.mode) << r.index;
        EXPECT_EQ(p->sampleRate, r.sampleRate) << r.index;
        EXPECT_EQ(p->bitrate, r.bitrate) << r.index;
        EXPECT_EQ(p->vbrQuality, r.vbrQuality) << r.index;
        EXPECT_EQ(p->text.toStdString(), std::string(r.text));
        EXPECT_EQ(p->channels, 0);
        EXPECT_EQ(p->channelMode, -1);
        EXPECT_EQ(p->flag1, flag1);
        EXPECT_FALSE(p->flag2);
        EXPECT_TRUE(p->detail.isEmpty());
    }
    // The list is contiguous and ends at 135.
    for (int i = 0; i < 135; ++i) {
        std::unique_ptr<audio_preset> p(backend.presetSettings(i));
        EXPECT_TRUE(p) << i;
    }
    EXPECT_EQ(backend.presetSettings(135), nullptr);
    EXPECT_EQ(backend.presetSettings(-1), nullptr);
}
} // namespace

TEST(LamePresets, TheProgramBackEndOffersTheTableOnlyWithALocation)
{
    {
        audio_cmdlib none;
        EXPECT_EQ(none.presetSettings(0), nullptr);
        EXPECT_FALSE(none.isAvailable());
    }
    ScopedLameLocation where("/usr/bin/lame");
    audio_cmdlib cmd;
    expectTable(cmd, true);
}

TEST(LamePresets, TheLibraryBackEndOffersTheSameTableWith24BitInput)
{
    audio_dlllib dll;  // no location configured: the system's library
    ASSERT_TRUE(dll.isAvailable()) << dll.errorText().toStdString();
    EXPECT_TRUE(dll.accepts24Bit());
    expectTable(dll, true);
}

TEST(LamePresets, AnUnusableLibraryOffersNone)
{
    ScopedLameLocation where("/nonexistent/libmp3lame.so.0");
    audio_dlllib dll;
    EXPECT_FALSE(dll.isAvailable());
    EXPECT_EQ(dll.presetSettings(0), nullptr);
}
