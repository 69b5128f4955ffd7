// The LAME program back-end: its command line, its start-up checks against fake programs,
// and real encodes through the installed lame, judged by mpg123.
#include "AudioTestSettings.h"
#include "AudioTestUtil.h"
#include "KvTestSupport.h"
#include "audio_cmdlib.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace kvaudiotest;

namespace {
// A fake program: a shell script with the given body.
QString writeScript(const kvtest::TempDir &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir.file(name);
    kvtest::writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

struct ArgsCase {
    int channels, bits, rate, mode, bitrate, quality;
    double ratio;
    int resample;
    const char *expected;
};

const ArgsCase kArgs[] = {
    {2, 16, 44100, 1, 0, 4, 1.0, 0, "-r -V 4 -s 44100 - -"},
    {1, 24, 22050, 2, 128, 0, 0.5, 22050, "-r --bitwidth 24 -m m -b 128 --cbr --resample 22050 -s 44100 - -"},
    {2, 16, 48000, 2, 0, 0, 1.0, 0, "-r -s 48000 - -"},
    {2, 16, 32000, 3, 96, 0, 1.0, 0, "-r --abr 96 -s 32000 - -"},
    {1, 16, 16000, 3, 0, 0, 1.0, 0, "-r -m m -s 16000 - -"},
    {2, 8, 8000, 0, 64, 3, 1.0, 0, "-r --bitwidth 8 -s 8000 - -"},
    {2, 16, 44100, 1, 0, 9, 1.5, 0, "-r -V 9 -s 29400 - -"},
};
} // namespace

TEST(CmdLib, BuildsTheCommandLine)
{
    for (const ArgsCase &c : kArgs) {
        const QStringList args = audio_cmdlib::arguments(c.channels, c.bits, c.rate, c.mode,
                                                         c.bitrate, c.quality, c.ratio, c.resample);
        EXPECT_EQ(args.join(' ').toStdString(), std::string(c.expected));
    }
}

TEST(CmdLib, NamesWhatIsMissing)
{
    {
        audio_cmdlib cmd;
        EXPECT_FALSE(cmd.isAvailable());
        EXPECT_FALSE(cmd.open(2, 16, 44100, 0, 1, 0, 4, 1.0, 2, 0, true));
        EXPECT_EQ(cmd.errorText(),
                  "The LAME encoder location has not been set in the Recording tab of the Options dialog.");
    }
    ScopedLameLocation where("/nonexistent/lame");
    audio_cmdlib cmd;
    EXPECT_FALSE(cmd.isAvailable());
    EXPECT_FALSE(cmd.open(2, 16, 44100, 0, 1, 0, 4, 1.0, 2, 0, true));
    EXPECT_EQ(cmd.errorText(), "The LAME encoder was not found at the specified location: '/nonexistent/lame.'");
    EXPECT_EQ(cmd.name(), "LAME MP3 External Encoder");
    EXPECT_EQ(cmd.fileExtension(), "mp3");
}

TEST(CmdLib, RefusesDecodingAndChannelChanges)
{
    ScopedLameLocation where("/usr/bin/lame");
    audio_cmdlib cmd;
    EXPECT_FALSE(cmd.open(2, 16, 44100, 0, 1, 0, 4, 1.0, 2, 0, false));
    EXPECT_FALSE(cmd.open(2, 16, 44100, 0, 1, 0, 4, 1.0, 1, 0, true));
    EXPECT_FALSE(cmd.open(0, 16, 44100, 0, 1, 0, 4, 1.0, 0, 0, true));
    char out[16];
    int outLen = -1;
    EXPECT_EQ(cmd.encode(out, 4, out, sizeof out, &outLen), -1);  // never opened
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(cmd.decodeChunk(out, 4, out, sizeof out, &outLen), -1);
    EXPECT_EQ(cmd.encodeChunk(out, 4, out, sizeof out, &outLen), -1);
}

TEST(CmdLib, AProgramThatComplainsAndStopsFailsTheOpenWithItsText)
{
    kvtest::TempDir dir;
    ScopedLameLocation where(writeScript(dir, "lame", "echo 'lame: unrecognized option --frobnicate' >&2\nexit 1\n"));
    audio_cmdlib cmd;
    ASSERT_TRUE(cmd.isAvailable());
    EXPECT_FALSE(cmd.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    EXPECT_EQ(cmd.errorText(), "lame: unrecognized option --frobnicate\n");
}

TEST(CmdLib, AProgramThatStopsSilentlyFailsTheOpen)
{
    kvtest::TempDir dir;
    ScopedLameLocation where(writeScript(dir, "lame", "exit 0\n"));
    audio_cmdlib cmd;
    EXPECT_FALSE(cmd.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    EXPECT_FALSE(cmd.errorText().isEmpty());
}

// A banner on standard error from a program that goes on running is no complaint; what it
// writes comes back whole, in order, over many calls.
TEST(CmdLib, PassesTheStreamsThroughAndReadsTheOutputWhole)
{
    kvtest::TempDir dir;
    const QString argsFile = dir.file("args.txt");
    ScopedLameLocation where(writeScript(
        dir, "lame",
        "for a in \"$@\"; do echo \"$a\"; done > '" + argsFile.toUtf8() + "'\n"
        "echo 'LAME 3.100 (fake banner)' >&2\nexec cat\n"));
    audio_cmdlib cmd;
    ASSERT_TRUE(cmd.open(1, 16, 22050, 0, 3, 64, 0, 1.0, 1, 0, true)) << cmd.errorText().toStdString();
    EXPECT_EQ(kvtest::readFile(argsFile), "-r\n-m\nm\n--abr\n64\n-s\n22050\n-\n-\n");

    QByteArray pcm = sine(22050, 1, 1.5, {330}, 0.4);
    bool ok = false;
    const QByteArray back = encodeAll(cmd, pcm, 3000, &ok, 5000);
    EXPECT_TRUE(ok);
    EXPECT_EQ(back.size(), pcm.size());
    EXPECT_TRUE(back == pcm);
    // After the end, more finishing calls give nothing and succeed.
    char out[64];
    int outLen = -1;
    EXPECT_EQ(cmd.encode(out, 0, out, sizeof out, &outLen), 0);
    EXPECT_EQ(outLen, 0);
}

TEST(CmdLib, AProgramThatFailsAtTheEndFailsTheFinish)
{
    kvtest::TempDir dir;
    ScopedLameLocation where(writeScript(dir, "lame", "cat >/dev/null\nexit 3\n"));
    audio_cmdlib cmd;
    ASSERT_TRUE(cmd.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    const QByteArray pcm(40000, '\1');
    char out[256];
    int outLen = -1;
    EXPECT_EQ(cmd.encode(pcm.constData(), pcm.size(), out, sizeof out, &outLen), 0);
    EXPECT_EQ(cmd.encode(out, 0, out, sizeof out, &outLen), -1);
    EXPECT_EQ(outLen, 0);
    EXPECT_FALSE(cmd.errorText().isEmpty());
}

// Real encodes through the installed lame, decoded by mpg123: the input's length plus the
// encoder's delay and at most two frames, and its level within 1 dB.
TEST(CmdLib, RealEncodesDecodeToTheInput)
{
    struct Row { int channels, bits, rate, mode, bitrate, quality; };
    const Row rows[] = {{2, 16, 44100, 2, 128, 0}, {2, 16, 44100, 1, 0, 4}, {1, 16, 22050, 2, 64, 0},
                        {1, 16, 44100, 1, 0, 2}, {2, 24, 48000, 2, 192, 0}};
    ScopedLameLocation where("/usr/bin/lame");
    audio_cmdlib cmd;  // one object for every row: each open starts a new program
    kvtest::TempDir dir;
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::Message() << r.channels << "ch " << r.bits << "bit " << r.rate << " mode " << r.mode);
        ASSERT_TRUE(cmd.open(r.channels, r.bits, r.rate, 0, r.mode, r.bitrate, r.quality, 1.0, r.channels, 0, true))
            << cmd.errorText().toStdString();
        const QByteArray pcm = sine(r.rate, r.channels, 1.5, {440, 660}, 0.5);
        bool ok = false;
        const QByteArray mp3 = encodeAll(cmd, r.bits == 24 ? widenTo24(pcm) : pcm, 9216, &ok);
        ASSERT_TRUE(ok);
        const QString path = dir.file("c.mp3");
        ASSERT_TRUE(kvtest::writeFile(path, mp3));
        const QVector<Mp3Frame> frames = splitFrames(mp3);
        ASSERT_FALSE(frames.isEmpty());
        EXPECT_EQ(frames[0].channels, r.channels);
        EXPECT_EQ(frames[0].sampleRate, r.rate);
        if (r.mode == 2) {
            for (const Mp3Frame &f : frames) {  // every frame at the bitrate asked
                EXPECT_NEAR(f.size * f.sampleRate / (f.version == 0 ? 144.0 : 72.0) / 1000, r.bitrate, 1.0);
            }
        }
        const QByteArray decoded = kvtest::decodeMpg123(path);
        const int spf = frames[0].samplesPerFrame;
        const int inFrames = pcm.size() / 2 / r.channels, gotFrames = decoded.size() / 2 / r.channels;
        EXPECT_GE(gotFrames, inFrames);
        EXPECT_LE(gotFrames, inFrames + 1105 + 2 * spf);
        for (int c = 0; c < r.channels; ++c) {
            const double in = rmsOfFrames(pcm, r.channels, c, r.rate / 4, r.rate);
            const double out = rmsOfFrames(decoded, r.channels, c, r.rate / 4 + 1105, r.rate);
            EXPECT_NEAR(dbRatio(out, in), 0.0, 1.0) << "channel " << c;
        }
    }
}
