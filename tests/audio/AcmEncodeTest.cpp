// MP3 encoding through the installed codecs (libavcodec's MP3 encoders), judged by ffprobe,
// ffmpeg and sox.
#include "AudioInfo.h"
#include "AudioTestUtil.h"
#include "KvTestSupport.h"
#include "audio_acmlib.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <memory>

using namespace kvaudiotest;

namespace {
QString probe(const QString &path, const char *entry)
{
    QByteArray out;
    kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                   QString("stream=") + entry, "-of", "csv=p=0", path},
                       &out);
    return QString::fromLocal8Bit(out).trimmed();
}

// Encodes through a sink and saves; returns the saved path.
QString encodeThroughSink(const kvtest::TempDir &dir, const QString &name, const QByteArray &pcm,
                          int rate, int channelsIn, int channelsOut, int bitrate)
{
    KvAudioLibPtr acm(new audio_acmlib);
    AudioInfo sink(acm, pcmFormat(rate, channelsIn), 2, bitrate, 0, 1.0, channelsOut, 0);
    EXPECT_FALSE(sink.hasError()) << sink.errorMessage().toStdString();
    EXPECT_TRUE(sink.openWrite());
    for (int off = 0; off < pcm.size(); off += 7000)
        EXPECT_EQ(sink.write(pcm.constData() + off, std::min(7000, pcm.size() - off)),
                  std::min(7000, pcm.size() - off));
    sink.flush();
    const QString dest = dir.file(name);
    EXPECT_EQ(AudioInfo::saveToFile(sink.tempFile(), dest, false, rate, channelsOut), QString());
    return dest;
}
} // namespace

TEST(AcmEncode, PresetsAreTheDriversFormatsInBitsPerSecond)
{
    ASSERT_FALSE(KvMp3CodecEncoder::driverName().isEmpty()) << "no MP3 encoder in libavcodec";
    audio_acmlib acm;
    ASSERT_GT(acm.formatCount(), 0);
    int mono = 0, stereo = 0;
    for (int i = 0;; ++i) {
        std::unique_ptr<audio_preset> p(acm.presetSettings(i));
        if (!p) {
            EXPECT_EQ(i, acm.formatCount());
            break;
        }
        EXPECT_EQ(p->index, i);
        EXPECT_EQ(p->mode, 2);
        EXPECT_EQ(p->vbrQuality, -1);
        EXPECT_EQ(p->channelMode, p->channels == 1 ? 3 : 0);
        EXPECT_GE(p->bitrate, 8000);
        (p->channels == 1 ? mono : stereo)++;
        const QString expected = QString("%1 kBit/s, %2 Hz, %3")
                                     .arg(p->bitrate / 1000)
                                     .arg(QLocale(QLocale::English).toString(p->sampleRate).replace(QLatin1Char(','), QLatin1Char('.')))
                                     .arg(p->channels == 1 ? "Mono" : "Stereo");
        EXPECT_EQ(p->text, expected);
    }
    EXPECT_GT(mono, 0);
    EXPECT_GT(stereo, 0);
    ASSERT_NE(acm.findFormat(44100, 128000, 2), nullptr);
    EXPECT_EQ(acm.findFormat(44100, 128000, 2)->text, "128 kBit/s, 44.100 Hz, Stereo");
    EXPECT_EQ(acm.findFormat(44100, 128, 2), nullptr);  // kbit/s is not the preset's unit
    EXPECT_EQ(acm.findFormat(44100, 24000, 2), nullptr);  // not an MPEG-1 bitrate
}

TEST(AcmEncode, SinkOutputDecodesWithTheFormatAndLengthAsked)
{
    struct Row { int rate, in, out, bitrate; };
    const Row rows[] = {{44100, 2, 2, 128000}, {22050, 1, 1, 32000}, {48000, 2, 1, 64000}, {8000, 1, 1, 8000}};
    kvtest::TempDir dir;
    for (const Row &r : rows) {
        const QByteArray pcm = sine(r.rate, r.in, 3.0, {440, 440}, 0.5);
        const QString mp3 = encodeThroughSink(dir, QString("t%1_%2.mp3").arg(r.rate).arg(r.out),
                                              pcm, r.rate, r.in, r.out, r.bitrate);
        EXPECT_EQ(probe(mp3, "codec_name"), "mp3");
        EXPECT_EQ(probe(mp3, "sample_rate"), QString::number(r.rate));
        EXPECT_EQ(probe(mp3, "channels"), QString::number(r.out));
        EXPECT_EQ(probe(mp3, "bit_rate"), QString::number(r.bitrate));
        // Every input sample is there; the codec adds its delay and padding, under 3 frames.
        const QByteArray decoded = kvtest::decodeFfmpeg(mp3);
        const int spf = r.rate >= 32000 ? 1152 : 576;
        const int gotFrames = decoded.size() / 2 / r.out, inFrames = pcm.size() / 2 / r.in;
        EXPECT_GE(gotFrames, inFrames);
        EXPECT_LT(gotFrames, inFrames + 3 * spf);
        ASSERT_TRUE(writeWav(dir.file("d.wav"), decoded, r.rate, r.out));
        EXPECT_NEAR(soxRoughFrequency(dir.file("d.wav")), 440, 9);
    }
}

TEST(AcmEncode, PartialFramesWaitAndTheEndFlushesThemOnce)
{
    audio_acmlib acm;
    ASSERT_TRUE(acm.open(2, 16, 44100, 0, 2, 128000, 0, 1.0, 2, 0, true));
    const QByteArray pcm = sine(44100, 2, 1.0, {440, 440}, 0.5);
    QByteArray out(256 * 1024, '\0');
    int outLen = -1;
    ASSERT_EQ(acm.encodeChunk(pcm.constData(), 1000, out.data(), out.size(), &outLen), 0);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(acm.pendingBytes(), 1000);
    // Beyond the input buffer beside what is pending: refused, nothing taken.
    const QByteArray big(2 * 2 * 40960, '\0');
    EXPECT_EQ(acm.encodeChunk(big.constData(), big.size(), out.data(), out.size(), &outLen), -1);
    EXPECT_EQ(acm.pendingBytes(), 1000);

    QByteArray mp3;
    for (int off = 1000; off < pcm.size(); off += 40000) {
        ASSERT_EQ(acm.encodeChunk(pcm.constData() + off, std::min(40000, pcm.size() - off),
                                  out.data(), out.size(), &outLen), 0);
        mp3.append(out.constData(), outLen);
    }
    EXPECT_LT(acm.pendingBytes(), 1152 * 4);
    ASSERT_EQ(acm.encodeChunk(nullptr, 0, out.data(), out.size(), &outLen), 0);
    EXPECT_GT(outLen, 0);
    mp3.append(out.constData(), outLen);
    EXPECT_EQ(acm.pendingBytes(), 0);
    ASSERT_EQ(acm.encodeChunk(nullptr, 0, out.data(), out.size(), &outLen), 0);
    EXPECT_EQ(outLen, 0);
    // Our own frame walk covers the whole stream.
    qint64 covered = 0;
    for (const Mp3Frame &f : splitFrames(mp3))
        covered += f.size;
    EXPECT_EQ(covered, mp3.size());
}

TEST(AcmEncode, AReopenedEncoderKeepsTheTailOfEveryStream)
{
    audio_acmlib acm;
    const QByteArray pcm = sine(44100, 1, 1.0, {440}, 0.5);
    kvtest::TempDir dir;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(acm.open(1, 16, 44100, 0, 2, 64000, 0, 1.0, 1, 0, true));
        QByteArray mp3, out(512 * 1024, '\0');
        int outLen = 0;
        for (int off = 0; off < pcm.size(); off += 9216) {
            ASSERT_EQ(acm.encode(pcm.constData() + off, std::min(9216, pcm.size() - off), out.data(),
                                 out.size(), &outLen), 0);
            mp3.append(out.constData(), outLen);
        }
        ASSERT_EQ(acm.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        mp3.append(out.constData(), outLen);
        ASSERT_TRUE(kvtest::writeFile(dir.file("r.mp3"), mp3));
        const QByteArray decoded = kvtest::decodeFfmpeg(dir.file("r.mp3"));
        EXPECT_GE(decoded.size(), pcm.size()) << "round " << round;
    }
}

TEST(AcmEncode, NoMatchingFormatFailsOpenWithAReason)
{
    audio_acmlib acm;
    EXPECT_FALSE(acm.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    EXPECT_FALSE(acm.errorText().isEmpty());
    KvAudioLibPtr enc(new audio_acmlib);
    AudioInfo sink(enc, pcmFormat(44100, 2), 2, 127000, 0, 1.0, 2, 0);
    EXPECT_TRUE(sink.errorMessage().startsWith("Unable to initialize audio encoder - Error:\n"))
        << sink.errorMessage().toStdString();
}
