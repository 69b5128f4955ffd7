// The WAV writer: a header-sized zero gap, then the PCM as delivered.
#include "AudioTestUtil.h"
#include "audio_wavlib.h"

#include <gtest/gtest.h>

#include <memory>

TEST(WavLib, GapOnceThenPcmAndANewGapAfterReopen)
{
    audio_wavlib wav;
    EXPECT_TRUE(wav.isAvailable());
    EXPECT_EQ(wav.name(), "WAV Format");
    EXPECT_EQ(wav.fileExtension(), "wav");
    ASSERT_TRUE(wav.open(2, 16, 44100, 0, 2, 0, 0, 1.0, 2, 0, true));

    const QByteArray a("abcdefgh"), b("12345678");
    char out[128];
    int outLen = -1;
    // Too little room for the gap: refused, and the gap is still owed.
    EXPECT_EQ(wav.encodeChunk(a.constData(), a.size(), out, 43, &outLen), -1);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(wav.encodeChunk(a.constData(), a.size(), out, 50, &outLen), -1);
    ASSERT_EQ(wav.encodeChunk(a.constData(), a.size(), out, sizeof out, &outLen), 0);
    EXPECT_EQ(QByteArray(out, outLen), QByteArray(44, '\0') + a);
    ASSERT_EQ(wav.encodeChunk(b.constData(), b.size(), out, sizeof out, &outLen), 0);
    EXPECT_EQ(QByteArray(out, outLen), b);
    ASSERT_EQ(wav.encodeChunk(b.constData(), 0, out, sizeof out, &outLen), 0);
    EXPECT_EQ(outLen, 0);
    char dummy[4];
    EXPECT_EQ(wav.decodeChunk(dummy, 4, out, sizeof out, &outLen), -1);

    ASSERT_TRUE(wav.open(2, 16, 44100, 0, 2, 0, 0, 1.0, 2, 0, true));
    ASSERT_EQ(wav.encodeChunk(b.constData(), b.size(), out, sizeof out, &outLen), 0);
    EXPECT_EQ(QByteArray(out, outLen), QByteArray(44, '\0') + b);

    // Through the base pipeline with its finishing calls: 44 + PCM bytes exactly.
    ASSERT_TRUE(wav.open(1, 16, 22050, 0, 2, 0, 0, 1.0, 1, 0, true));
    const QByteArray pcm = kvaudiotest::sine(22050, 1, 0.5, {440}, 0.5);
    QByteArray all, big(64 * 1024, '\0');
    for (int off = 0; off < pcm.size(); off += 1000) {
        ASSERT_EQ(wav.encode(pcm.constData() + off, std::min(1000, pcm.size() - off), big.data(), big.size(), &outLen), 0);
        all.append(big.constData(), outLen);
    }
    ASSERT_EQ(wav.encode(pcm.constData(), 0, big.data(), big.size(), &outLen), 0);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(all, QByteArray(44, '\0') + pcm);
}

TEST(WavLib, PresetsOnePerRateUpToIndexEight)
{
    audio_wavlib wav;
    const int rates[] = {48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
    for (int i = 0; i < 9; ++i) {
        std::unique_ptr<audio_preset> p(wav.presetSettings(i));
        ASSERT_TRUE(p);
        EXPECT_EQ(p->index, i);
        EXPECT_EQ(p->sampleRate, rates[i]);
        EXPECT_EQ(p->channels, 0);
        EXPECT_FALSE(p->flag1);
        EXPECT_EQ(p->bitrate, 0);
        EXPECT_EQ(p->mode, 2);
        EXPECT_EQ(p->channelMode, -1);
        EXPECT_EQ(p->vbrQuality, -1);
        EXPECT_FALSE(p->flag2);
        EXPECT_EQ(p->text, QString("WAV format: %1Hz").arg(rates[i]));
        EXPECT_TRUE(p->detail.isEmpty());
    }
    EXPECT_EQ(wav.presetSettings(9), nullptr);
    EXPECT_EQ(wav.presetSettings(-1), nullptr);
}
