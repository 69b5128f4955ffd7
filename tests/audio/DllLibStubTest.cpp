// The LAME library back-end against stand-in libraries that record what they are asked:
// which interface it picks, the settings each interface receives, how input is cut up.
#include "AudioTestSettings.h"
#include "KvLameApi.h"
#include "audio_dlllib.h"

#include <gtest/gtest.h>

#include <QLibrary>

#include <cstring>

using namespace kvaudiotest;

namespace {
// Mirrors the stand-in's record.
struct StubState {
    int inRate, outRate, channels, vbr, brate, mode, vbrQ, writeVbrTag;
    int initCalls, initParamsCalls, closeCalls, interleavedCalls, long2Calls, flushCalls;
    int lastSamples;
    unsigned char config[331];
    int initStreamCalls, encodeChunkCalls, deinitCalls, closeStreamCalls;
    quint32 chunkSamples[64];
};

// Keeps a stand-in loaded for the test (so its record survives the back-end's unloads) and
// points the setting at it.
class Stub {
public:
    explicit Stub(const char *path) : m_lib(QString::fromUtf8(path)), m_where(QString::fromUtf8(path))
    {
        EXPECT_TRUE(m_lib.load()) << m_lib.errorString().toStdString();
        reinterpret_cast<void (*)()>(m_lib.resolve("kv_stub_reset"))();
    }
    const StubState &state()
    {
        return *reinterpret_cast<StubState *(*)()>(m_lib.resolve("kv_stub_state"))();
    }
    kvlame::BeConfig config()
    {
        kvlame::BeConfig c;
        std::memcpy(&c, state().config, sizeof c);
        return c;
    }

private:
    QLibrary m_lib;
    ScopedLameLocation m_where;
};
} // namespace

TEST(DllLibStub, TheStreamInterfaceIsUsedWhenTheNativeOneIsMissing)
{
    Stub stub(KV_LAME_STUB_BLADE);
    audio_dlllib dll;
    ASSERT_TRUE(dll.isAvailable());
    EXPECT_TRUE(dll.usesStreamInterface());
    EXPECT_FALSE(dll.usesNativeInterface());
    EXPECT_FALSE(dll.accepts24Bit());
    EXPECT_EQ(dll.name(), "LAME MP3 Library: libkv_lame_stub_blade.so (1.05) [03/07/2009]");
    std::unique_ptr<audio_preset> p(dll.presetSettings(129));
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->flag1);
    EXPECT_EQ(stub.state().initStreamCalls, 0);  // probing opens no stream
}

TEST(DllLibStub, AnIncompleteLibraryIsUnusable)
{
    Stub stub(KV_LAME_STUB_PARTIAL);
    audio_dlllib dll;
    EXPECT_FALSE(dll.isAvailable());
    EXPECT_EQ(dll.presetSettings(0), nullptr);
    EXPECT_FALSE(dll.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
}

TEST(DllLibStub, TheStreamConfigurationFollowsTheMode)
{
    struct Row { int channels, rate, mode, bitrate, quality, resample;
                 int nMode, nPreset; quint32 dwBitrate, abrBps; int enableVbr, vbrQuality; };
    const Row rows[] = {
        {2, 44100, 2, 128, 0, 0, 1, 12, 128, 0, 0, 0},
        {1, 22050, 2, 0, 0, 16000, 3, 12, 0, 0, 0, 0},
        {2, 48000, 3, 96, 0, 0, 1, 11, 0, 96000, 0, 0},
        {1, 32000, 3, 0, 0, 0, 3, 11, 0, 0, 0, 0},
        {2, 44100, 1, 0, 6, 0, 1, 0, 0, 0, 1, 6},
    };
    Stub stub(KV_LAME_STUB_BLADE);
    audio_dlllib dll;
    for (const Row &r : rows) {
        ASSERT_TRUE(dll.open(r.channels, 16, r.rate, 0, r.mode, r.bitrate, r.quality, 1.0, r.channels, r.resample, true));
        const kvlame::BeConfig c = stub.config();
        EXPECT_EQ(c.dwConfig, 256u);
        EXPECT_EQ(c.dwStructVersion, 1u);
        EXPECT_EQ(c.dwStructSize, 331u);
        EXPECT_EQ(c.dwSampleRate, quint32(r.rate));
        EXPECT_EQ(c.dwReSampleRate, quint32(r.resample));
        EXPECT_EQ(c.nMode, r.nMode);
        EXPECT_EQ(c.nPreset, r.nPreset);
        EXPECT_EQ(c.dwBitrate, r.dwBitrate);
        EXPECT_EQ(c.dwVbrAbr_bps, r.abrBps);
        EXPECT_EQ(c.bEnableVBR, r.enableVbr);
        EXPECT_EQ(c.nVBRQuality, r.vbrQuality);
        EXPECT_EQ(c.dwMpegVersion, 1u);
        EXPECT_EQ(c.bOriginal, 1);
        EXPECT_EQ(c.bWriteVBRHeader, 0);
        EXPECT_EQ(c.bNoRes, 0);
    }
    EXPECT_EQ(stub.state().initStreamCalls, 5);
    EXPECT_EQ(stub.state().closeStreamCalls, 4);  // every open closes the last stream
}

TEST(DllLibStub, TheStreamInterfaceGetsTheInputAndEndsOncePerStream)
{
    Stub stub(KV_LAME_STUB_BLADE);
    audio_dlllib dll;
    QByteArray out(64 * 1024, '\0');
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(dll.open(1, 16, 44100, 0, 2, 128, 0, 1.0, 1, 0, true));
        QByteArray pcm(2304 * 2, '\0');
        for (int i = 0; i < pcm.size(); ++i)
            pcm[i] = char(i * 7 + round);
        int outLen = -1;
        // A mono block of 2304 samples goes in as two halves, back to back.
        ASSERT_EQ(dll.encode(pcm.constData(), pcm.size(), out.data(), out.size(), &outLen), 0);
        EXPECT_EQ(out.left(outLen), pcm);
        // Any other size goes in whole.
        ASSERT_EQ(dll.encode(pcm.constData(), 1000, out.data(), out.size(), &outLen), 0);
        EXPECT_EQ(out.left(outLen), pcm.left(1000));
        ASSERT_EQ(dll.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        EXPECT_EQ(out.left(outLen), QByteArray("END!"));
        ASSERT_EQ(dll.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        EXPECT_EQ(outLen, 0);
    }
    const StubState &s = stub.state();
    ASSERT_EQ(s.encodeChunkCalls, 6);
    const quint32 expected[] = {1152, 1152, 500, 1152, 1152, 500};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(s.chunkSamples[i], expected[i]) << i;
    EXPECT_EQ(s.deinitCalls, 2);
}

TEST(DllLibStub, TheStreamInterfaceNeedsRoomForItsLargestAnswer)
{
    Stub stub(KV_LAME_STUB_BLADE);
    audio_dlllib dll;
    ASSERT_TRUE(dll.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    const QByteArray pcm(4000, '\1');
    QByteArray out(8000, '\0');
    int outLen = -1;
    EXPECT_EQ(dll.encode(pcm.constData(), pcm.size(), out.data(), out.size(), &outLen), -1);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(dll.encode(nullptr, 0, out.data(), 100, &outLen), -1);
    EXPECT_EQ(stub.state().encodeChunkCalls, 0);
    EXPECT_EQ(stub.state().deinitCalls, 0);
}

TEST(DllLibStub, ALibraryWithBothInterfacesIsDrivenNatively)
{
    struct Row { int channels, rate; double ratio; int resample, mode, bitrate, quality;
                 int inRate, vbr, brate, vbrQ, lameMode; };
    const Row rows[] = {
        {2, 44100, 1.0, 0, 2, 128, 0, 44100, 0, 128, -1, 1},
        {1, 22050, 0.5, 22050, 2, 64, 0, 44100, 0, 64, -1, 3},
        {2, 48000, 1.0, 0, 3, 96, 0, 48000, 3, 96, -1, 1},
        {2, 44100, 1.0, 0, 2, 0, 0, 44100, -1, -1, -1, 1},
        {1, 44100, 1.0, 0, 3, 0, 0, 44100, -1, -1, -1, 3},
        {2, 32000, 1.0, 0, 1, 0, 7, 32000, 4, -1, 7, 1},
        {2, 44100, 1.5, 0, 1, 0, 0, 29400, 4, -1, 0, 1},
    };
    Stub stub(KV_LAME_STUB_BOTH);
    audio_dlllib dll;
    ASSERT_TRUE(dll.usesNativeInterface());
    EXPECT_TRUE(dll.accepts24Bit());
    EXPECT_EQ(dll.name(), "LAME MP3 Library: libkv_lame_stub_both.so (9.87)");
    for (const Row &r : rows) {
        reinterpret_cast<void (*)()>(QLibrary(KV_LAME_STUB_BOTH).resolve("kv_stub_reset"))();
        ASSERT_TRUE(dll.open(r.channels, 16, r.rate, 0, r.mode, r.bitrate, r.quality, r.ratio, r.channels, r.resample, true));
        const StubState &s = stub.state();
        EXPECT_EQ(s.inRate, r.inRate);
        EXPECT_EQ(s.outRate, r.resample);
        EXPECT_EQ(s.channels, r.channels);
        EXPECT_EQ(s.vbr, r.vbr);
        EXPECT_EQ(s.brate, r.brate);
        EXPECT_EQ(s.vbrQ, r.vbrQ);
        EXPECT_EQ(s.mode, r.lameMode);
        EXPECT_EQ(s.writeVbrTag, 0);
        EXPECT_EQ(s.initParamsCalls, 1);
        EXPECT_EQ(s.initStreamCalls, 0);
    }
    // Mono 16-bit goes through the interleaved call, one pair per sample.
    ASSERT_TRUE(dll.open(1, 16, 44100, 0, 2, 128, 0, 1.0, 1, 0, true));
    QByteArray out(64 * 1024, '\0');
    int outLen = -1;
    const QByteArray pcm(3000, '\2');
    ASSERT_EQ(dll.encode(pcm.constData(), pcm.size(), out.data(), out.size(), &outLen), 0);
    EXPECT_EQ(out.left(outLen), QByteArray("NATV"));
    EXPECT_EQ(stub.state().lastSamples, 1500);
    EXPECT_EQ(stub.state().channels, 1);
    // 24-bit input through the wide call.
    ASSERT_TRUE(dll.open(2, 24, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    ASSERT_EQ(dll.encode(pcm.constData(), 2994, out.data(), out.size(), &outLen), 0);
    EXPECT_EQ(stub.state().long2Calls, 1);
    EXPECT_EQ(stub.state().lastSamples, 499);
    dll.close();
    EXPECT_GE(stub.state().closeCalls, 1);
}

TEST(DllLibStub, WithoutTheWideCallThereIsNo24BitInput)
{
    Stub stub(KV_LAME_STUB_NATIVE16);
    audio_dlllib dll;
    ASSERT_TRUE(dll.isAvailable());
    EXPECT_TRUE(dll.usesNativeInterface());
    EXPECT_FALSE(dll.accepts24Bit());
    std::unique_ptr<audio_preset> p(dll.presetSettings(0));
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->flag1);
    EXPECT_FALSE(dll.open(2, 24, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    EXPECT_TRUE(dll.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
}
