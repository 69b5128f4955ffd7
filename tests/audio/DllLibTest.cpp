// The LAME library back-end over the installed libmp3lame: where it looks for the library,
// and real encodes judged by mpg123 and by our own frame walk.
#include "AudioInfo.h"
#include "AudioTestSettings.h"
#include "AudioTestUtil.h"
#include "KvTestSupport.h"
#include "audio_dlllib.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace kvaudiotest;

TEST(DllLibLocation, WithoutASettingTheSystemLibraryServes)
{
    audio_dlllib dll;
    ASSERT_TRUE(dll.isAvailable()) << dll.errorText().toStdString();
    EXPECT_EQ(dll.location(), "libmp3lame.so.0");
    EXPECT_TRUE(dll.usesNativeInterface());
    EXPECT_FALSE(dll.usesStreamInterface());
    EXPECT_TRUE(QRegularExpression("^LAME MP3 Library: libmp3lame\\.so\\.0 \\(3\\.\\d+\\)$").match(dll.name()).hasMatch())
        << dll.name().toStdString();
    EXPECT_EQ(dll.fileExtension(), "mp3");
    EXPECT_TRUE(dll.errorText().isEmpty());
}

TEST(DllLibLocation, AMissingFileGivesTheNotFoundText)
{
    ScopedLameLocation where("/nonexistent/libmp3lame.so.0");
    audio_dlllib dll;
    EXPECT_FALSE(dll.isAvailable());
    EXPECT_EQ(dll.errorText(),
              "The LAME encoder library was not found at the specified location: '/nonexistent/libmp3lame.so.0.'");
    EXPECT_FALSE(dll.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
}

// A configured LAME program leads to the library beside it, whatever the case of its name:
// the native library first, then the stream-interface one, named even when it is missing.
TEST(DllLibLocation, AConfiguredProgramLeadsToTheLibraryBesideIt)
{
    const char *programNames[] = {"lame.exe", "LAME.EXE", "Lame.Exe", "lame"};
    for (const char *program : programNames) {
        kvtest::TempDir dir;
        const QString folder = QDir::toNativeSeparators(dir.path());
        ScopedLameLocation where(dir.file(program));
        {
            audio_dlllib dll;
            EXPECT_FALSE(dll.isAvailable()) << program;
            EXPECT_EQ(dll.location(), folder + "/lame_enc.so");
            EXPECT_EQ(dll.errorText(), QString("The LAME encoder library was not found at the "
                                               "specified location: '%1/lame_enc.so.'").arg(folder));
        }
        ASSERT_TRUE(QFile::copy(KV_LAME_STUB_BLADE, dir.file("lame_enc.so")));
        {
            audio_dlllib dll;
            EXPECT_TRUE(dll.isAvailable()) << program;
            EXPECT_TRUE(dll.usesStreamInterface());
            EXPECT_EQ(dll.location(), folder + "/lame_enc.so");
        }
        ASSERT_TRUE(QFile::copy(KV_LAME_STUB_BOTH, dir.file("libmp3lame.so.0")));
        audio_dlllib dll;
        EXPECT_EQ(dll.location(), folder + "/libmp3lame.so.0");
        EXPECT_TRUE(dll.usesNativeInterface());
        EXPECT_EQ(dll.name(), "LAME MP3 Library: libmp3lame.so.0 (9.87)");
    }
}

TEST(DllLib, RefusesWhatItCannotEncode)
{
    audio_dlllib dll;
    ASSERT_TRUE(dll.isAvailable());
    EXPECT_FALSE(dll.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, false));  // decoding
    EXPECT_FALSE(dll.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 1, 0, true));   // mix-down
    EXPECT_FALSE(dll.open(0, 16, 44100, 0, 2, 128, 0, 1.0, 0, 0, true));
    EXPECT_FALSE(dll.open(2, 8, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));    // 8-bit samples
    EXPECT_FALSE(dll.errorText().isEmpty());
    char buf[16];
    int outLen = -1;
    EXPECT_EQ(dll.encode(buf, 4, buf, sizeof buf, &outLen), -1);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(dll.decodeChunk(buf, 4, buf, sizeof buf, &outLen), -1);
    EXPECT_EQ(dll.encodeChunk(buf, 4, buf, sizeof buf, &outLen), -1);
}

namespace {
struct EncodeRow {
    const char *what;
    int channels, bits, rate, mode, bitrate, quality;
};
const EncodeRow kEncodes[] = {
    {"CBR 128 stereo", 2, 16, 44100, 2, 128, 0},
    {"ABR 64 mono", 1, 16, 44100, 3, 64, 0},
    {"VBR q4 stereo", 2, 16, 44100, 1, 0, 4},
    {"CBR 64 mono 22050", 1, 16, 22050, 2, 64, 0},
    {"24-bit CBR 192 stereo", 2, 24, 48000, 2, 192, 0},
    {"24-bit VBR q2 mono", 1, 24, 44100, 1, 0, 2},
};
} // namespace

TEST(DllLib, RealEncodesDecodeToTheInput)
{
    audio_dlllib dll;
    ASSERT_TRUE(dll.isAvailable());
    kvtest::TempDir dir;
    for (const EncodeRow &r : kEncodes) {
        SCOPED_TRACE(r.what);
        ASSERT_TRUE(dll.open(r.channels, r.bits, r.rate, 0, r.mode, r.bitrate, r.quality, 1.0, r.channels, 0, true))
            << dll.errorText().toStdString();
        const QByteArray pcm16 = sine(r.rate, r.channels, 1.5, {440, 660}, 0.5);
        const QByteArray input = r.bits == 24 ? widenTo24(pcm16) : pcm16;
        bool ok = false;
        const QByteArray mp3 = encodeAll(dll, input, 9216 / 2 * (r.bits / 8), &ok);
        ASSERT_TRUE(ok);
        const QVector<Mp3Frame> frames = splitFrames(mp3);
        ASSERT_FALSE(frames.isEmpty());
        qint64 covered = 0;
        for (const Mp3Frame &f : frames) {
            covered += f.size;
            EXPECT_EQ(f.channels, r.channels);
            EXPECT_EQ(f.sampleRate, r.rate);
            if (r.mode == 2) {
                EXPECT_NEAR(f.size * f.sampleRate / (f.version == 0 ? 144.0 : 72.0) / 1000, r.bitrate, 1.0);
            }
        }
        EXPECT_EQ(covered, mp3.size());  // nothing but whole frames
        // No empty tag frame in front: the stream was written as it was encoded.
        const QByteArray first = mp3.left(frames[0].size);
        EXPECT_FALSE(first.contains("Xing") || first.contains("Info"));

        const QString path = dir.file("d.mp3");
        ASSERT_TRUE(kvtest::writeFile(path, mp3));
        const QByteArray decoded = kvtest::decodeMpg123(path);
        const int spf = frames[0].samplesPerFrame;
        const int inFrames = pcm16.size() / 2 / r.channels, gotFrames = decoded.size() / 2 / r.channels;
        EXPECT_GE(gotFrames, inFrames);
        EXPECT_LE(gotFrames, inFrames + 1105 + 2 * spf);
        for (int c = 0; c < r.channels; ++c) {
            const double in = rmsOfFrames(pcm16, r.channels, c, r.rate / 4, r.rate);
            const double out = rmsOfFrames(decoded, r.channels, c, r.rate / 4 + 1105, r.rate);
            EXPECT_NEAR(dbRatio(out, in), 0.0, 1.0) << "channel " << c;
        }
    }
}

// A reused object ends every stream, not only its first: the flush runs once per open.
TEST(DllLib, AReusedEncoderFlushesItsTailEveryTime)
{
    audio_dlllib dll;
    const QByteArray pcm = sine(44100, 2, 1.0, {440, 440}, 0.5);
    kvtest::TempDir dir;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(dll.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
        QByteArray mp3, out(1 << 20, '\0');
        int outLen = 0;
        for (int off = 0; off < pcm.size(); off += 9216) {
            ASSERT_EQ(dll.encode(pcm.constData() + off, std::min(9216, pcm.size() - off), out.data(), out.size(), &outLen), 0);
            mp3.append(out.constData(), outLen);
        }
        ASSERT_EQ(dll.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        EXPECT_GT(outLen, 0) << "round " << round;
        mp3.append(out.constData(), outLen);
        ASSERT_EQ(dll.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);  // flushed already
        EXPECT_EQ(outLen, 0);
        ASSERT_TRUE(kvtest::writeFile(dir.file("r.mp3"), mp3));
        EXPECT_GE(kvtest::decodeMpg123(dir.file("r.mp3")).size(), pcm.size()) << "round " << round;
        if (round == 1)
            dll.close();  // an explicit close between streams changes nothing
    }
}

TEST(DllLib, TooSmallAnOutputFailsInsteadOfOverrunning)
{
    audio_dlllib dll;
    ASSERT_TRUE(dll.open(2, 16, 44100, 0, 2, 320, 0, 1.0, 2, 0, true));
    const QByteArray pcm = sine(44100, 2, 0.5, {440, 440}, 0.9);
    QByteArray out(64 + 16, '\x5a');
    int outLen = -1;
    int result = 0;
    for (int off = 0; off < pcm.size() && result == 0; off += 9216)
        result = dll.encode(pcm.constData() + off, std::min(9216, pcm.size() - off), out.data(), 64, &outLen);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(out.mid(64), QByteArray(16, '\x5a'));
}

TEST(DllLib, EncodesThroughTheSink)
{
    KvAudioLibPtr dll(new audio_dlllib);
    QAudioFormat f;
    f.setSampleRate(44100);
    f.setChannelCount(2);
    f.setSampleSize(16);
    f.setSampleType(QAudioFormat::SignedInt);
    f.setByteOrder(QAudioFormat::LittleEndian);
    f.setCodec("audio/pcm");
    AudioInfo sink(dll, f, 1, 0, 4, 1.0, 2, 0);
    ASSERT_FALSE(sink.hasError()) << sink.errorMessage().toStdString();
    ASSERT_TRUE(sink.openWrite());
    const QByteArray pcm = sine(44100, 2, 2.0, {440, 440}, 0.5);
    EXPECT_EQ(sink.write(pcm), pcm.size());
    sink.flush();
    kvtest::TempDir dir;
    ASSERT_EQ(AudioInfo::saveToFile(sink.tempFile(), dir.file("s.mp3"), false, 44100, 2), QString());
    const QByteArray decoded = kvtest::decodeMpg123(dir.file("s.mp3"));
    EXPECT_GE(decoded.size(), pcm.size());
    EXPECT_LE(decoded.size(), pcm.size() + (1105 + 2 * 1152) * 4);
}
