// The AAC back-end: its configuration blocks, the writer calls it makes, real encodes
// (wrapped as ADTS by the test writer, decoded by FFmpeg) and decoding of raw and ADTS frames.
#include "AacTestWriter.h"
#include "AudioInfo.h"
#include "AudioTestUtil.h"
#include "KvTestSupport.h"
#include "audio_mftlib.h"

#include <gtest/gtest.h>

#include <cstring>
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

QByteArray hex(const QByteArray &b) { return b.toHex(' '); }

// Encodes through an opened encoder into an ADTS stream (the test writer is installed).
QByteArray encodeToAdts(audio_mftlib &enc, const QByteArray &pcm)
{
    bool ok = false;
    const QByteArray adts = encodeAll(enc, pcm, 9216, &ok);
    EXPECT_TRUE(ok);
    return adts;
}
} // namespace

TEST(MftLib, ConfigurationBlocks)
{
    struct Row { int rate, index; };
    const Row rows[] = {{96000, 0}, {88200, 1}, {64000, 2}, {48000, 3}, {44100, 4}, {32000, 5},
                        {24000, 6}, {22050, 7}, {16000, 8}, {12000, 9}, {11025, 10}, {8000, 11},
                        {7350, 12}, {44000, 15}, {0, 15}, {192000, 15}};
    for (const Row &r : rows)
        EXPECT_EQ(audio_mftlib::samplingIndex(r.rate), r.index) << r.rate;

    const KvAacStreamInfo info = audio_mftlib::streamInfo(44100, 2);
    const qint32 expected[13] = {2, 4, 44100, 0, 0, 0, 0, 0, 0, 2, 0, 1024, 0};
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(info.field[i], expected[i]) << "field " << i;
    EXPECT_EQ(audio_mftlib::streamInfo(44000, 1).field[1], 15);

    // AAC LC, index, channels, then the "no SBR" extension (0x2b7, type 5, flag 0).
    EXPECT_EQ(hex(audio_mftlib::audioSpecificConfig(44100, 2)), "12 10 56 e5 00");
    EXPECT_EQ(hex(audio_mftlib::audioSpecificConfig(48000, 1)), "11 88 56 e5 00");
    EXPECT_EQ(hex(audio_mftlib::audioSpecificConfig(8000, 2)), "15 90 56 e5 00");
    // 00010 1111 <44000 in 24 bits> 0010 000 01010110111 00101 0: the rate written out.
    EXPECT_EQ(hex(audio_mftlib::audioSpecificConfig(44000, 2)), "17 80 55 f0 10 56 e5 00");
}

TEST(MftLib, PresetsAndNames)
{
    audio_mftlib aac;
    ASSERT_TRUE(aac.isAvailable());
    EXPECT_EQ(aac.name(), "FFmpeg AAC Codec");
    EXPECT_EQ(aac.fileExtension(), "aac");
    const int rates[] = {48000, 48000, 48000, 48000, 44100, 44100, 44100, 44100};
    const int bitrates[] = {192, 160, 128, 96, 192, 160, 128, 96};
    for (int i = 0; i < 8; ++i) {
        std::unique_ptr<audio_preset> p(aac.presetSettings(i));
        ASSERT_TRUE(p);
        EXPECT_EQ(p->index, i);
        EXPECT_EQ(p->sampleRate, rates[i]);
        EXPECT_EQ(p->bitrate, bitrates[i]);
        EXPECT_EQ(p->mode, 2);
        EXPECT_EQ(p->channels, 0);
        EXPECT_FALSE(p->flag1);
        EXPECT_EQ(p->vbrQuality, -1);
        EXPECT_EQ(p->channelMode, -1);
        EXPECT_EQ(p->text, QString("FFmpeg AAC encoder: %1Hz, %2 kbps (CBR)").arg(rates[i]).arg(bitrates[i]));
    }
    EXPECT_EQ(aac.presetSettings(8), nullptr);
    EXPECT_EQ(aac.presetSettings(-1), nullptr);
}

TEST(MftLib, OpensOneWriterAndClosesItOnce)
{
    AacTestWriter writer;
    ScopedAacWriter installed(writer);
    {
        audio_mftlib aac;
        ASSERT_TRUE(aac.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true)) << aac.errorText().toStdString();
        ASSERT_EQ(writer.inits.size(), 1);
        const AacTestWriter::Init &i = writer.inits[0];
        EXPECT_EQ(i.writer, 0u);
        EXPECT_EQ(i.source, 0u);
        EXPECT_EQ(i.path, QByteArray(""));
        EXPECT_EQ(i.firstFrame, 0);
        EXPECT_EQ(i.frameCount, 2147483647);
        EXPECT_EQ(i.memoryMode, 0);
        ASSERT_TRUE(i.hadFormat);
        EXPECT_EQ(std::memcmp(&i.info, &aac.writerInfo(), sizeof i.info), 0);
        EXPECT_EQ(i.info.field[9], 2);
        const KvAacWriterHandle first = aac.writerHandle();
        EXPECT_NE(first, 0u);
        // Reopening closes the old writer and opens a new one; close releases that one.
        ASSERT_TRUE(aac.open(1, 16, 48000, 0, 2, 96, 0, 1.0, 1, 0, true));
        ASSERT_EQ(writer.closed.size(), 1);
        EXPECT_EQ(writer.closed[0], first);
        EXPECT_EQ(writer.inits[1].info.field[1], 3);
        EXPECT_EQ(writer.inits[1].info.field[9], 1);
        aac.close();
        ASSERT_EQ(writer.closed.size(), 2);
        EXPECT_EQ(aac.writerHandle(), 0u);
        aac.close();
        ASSERT_TRUE(aac.open(1, 16, 48000, 0, 2, 96, 0, 1.0, 1, 0, true));
    }
    EXPECT_EQ(writer.closed.size(), 3);  // destruction released the last one
    // Decoding opens no writer.
    audio_mftlib dec;
    ASSERT_TRUE(dec.open(2, 16, 44100, 1024, 1, 0, 0, 1.0, 2, 0, false));
    EXPECT_EQ(writer.inits.size(), 3);
}

TEST(MftLib, WithoutAWriterTheEncoderDoesNotOpen)
{
    {
        AacTestWriter writer;
        writer.refuseInit = true;
        ScopedAacWriter installed(writer);
        KvAudioLibPtr aac(new audio_mftlib);
        AudioInfo sink(aac, pcmFormat(44100, 2), 2, 128, 0, 1.0, 2, 0);
        EXPECT_EQ(sink.errorMessage(), "Unable to initialize audio encoder - Error:\nThe AAC writer is not available.");
    }
    // Nothing installed at all: as without the AAC library.
    audio_mftlib aac;
    EXPECT_FALSE(aac.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
}

TEST(MftLib, AWriterFailureFailsTheChunkWithNoOutput)
{
    AacTestWriter writer;
    writer.failAfterFrames = 3;
    ScopedAacWriter installed(writer);
    audio_mftlib aac;
    ASSERT_TRUE(aac.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    const QByteArray pcm = sine(44100, 2, 1.0, {440, 440}, 0.5);
    QByteArray out(1 << 20, '\0');
    int outLen = -1, r = 0, off = 0;
    for (; off < pcm.size() && r == 0; off += 9216)
        r = aac.encode(pcm.constData() + off, std::min(9216, pcm.size() - off), out.data(), out.size(), &outLen);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(outLen, 0);
    // Too small an output for a frame is a failure too, never an overrun.
    writer.failAfterFrames = -1;
    ASSERT_TRUE(aac.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    QByteArray small(40 + 8, '\x33');
    r = 0;
    for (off = 0; off < pcm.size() && r == 0; off += 4096)
        r = aac.encode(pcm.constData() + off, std::min(4096, pcm.size() - off), small.data(), 40, &outLen);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(small.mid(40), QByteArray(8, '\x33'));
}

TEST(MftLib, TheInputBufferBoundsAChunk)
{
    AacTestWriter writer;
    ScopedAacWriter installed(writer);
    audio_mftlib aac;
    ASSERT_TRUE(aac.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    const QByteArray pcm(audio_mftlib::kEncodeInputBuffer + 4, '\0');
    QByteArray out(1 << 20, '\0');
    int outLen = -1;
    EXPECT_EQ(aac.encodeChunk(pcm.constData(), pcm.size(), out.data(), out.size(), &outLen), -1);
    EXPECT_EQ(aac.inputBytes(), 0u);
    EXPECT_EQ(aac.encodeChunk(pcm.constData(), audio_mftlib::kEncodeInputBuffer, out.data(), out.size(), &outLen), 0);
    EXPECT_GT(outLen, 0);
    EXPECT_EQ(aac.inputBytes(), quint64(audio_mftlib::kEncodeInputBuffer));

    audio_mftlib dec;
    ASSERT_TRUE(dec.open(2, 16, 44100, 1024, 1, 0, 0, 1.0, 2, 0, false));
    const QByteArray big(audio_mftlib::kDecodeInputBuffer + 1, '\0');
    EXPECT_EQ(dec.decodeChunk(big.constData(), big.size(), out.data(), out.size(), &outLen), -1);
    EXPECT_EQ(outLen, 0);
}

// Every preset in mono and stereo through the encoding sink: FFmpeg reads AAC-LC at the rate
// and channel count asked, as long as the input plus the encoder's delay and at most two
// frames, at the input's level.
TEST(MftLib, PresetEncodesDecodeToTheInput)
{
    AacTestWriter writer;
    ScopedAacWriter installed(writer);
    kvtest::TempDir dir;
    audio_mftlib presets;
    for (int index = 0;; ++index) {
        std::unique_ptr<audio_preset> p(presets.presetSettings(index));
        if (!p)
            break;
        for (int channels = 1; channels <= 2; ++channels) {
            SCOPED_TRACE(::testing::Message() << p->text.toStdString() << ", " << channels << " ch");
            KvAudioLibPtr aac(new audio_mftlib);
            AudioInfo sink(aac, pcmFormat(p->sampleRate, channels), p->mode, p->bitrate, 0, 1.0, channels, 0);
            ASSERT_FALSE(sink.hasError()) << sink.errorMessage().toStdString();
            ASSERT_TRUE(sink.openWrite());
            const QByteArray pcm = sine(p->sampleRate, channels, 1.5, {440, 660}, 0.5);
            for (int off = 0; off < pcm.size(); off += 7000)
                ASSERT_EQ(sink.write(pcm.constData() + off, std::min(7000, pcm.size() - off)),
                          std::min(7000, pcm.size() - off));
            sink.flush();
            const QString path = dir.file("p.aac");
            ASSERT_EQ(AudioInfo::saveToFile(sink.tempFile(), path, false, p->sampleRate, channels), QString());
            EXPECT_EQ(probe(path, "codec_name,profile,sample_rate,channels"),
                      QString("aac,LC,%1,%2").arg(p->sampleRate).arg(channels));
            const QByteArray decoded = kvtest::decodeFfmpeg(path);
            const int inFrames = pcm.size() / 2 / channels, gotFrames = decoded.size() / 2 / channels;
            EXPECT_GE(gotFrames, inFrames + 1024);
            EXPECT_LE(gotFrames, inFrames + 1024 + 2 * 1024);
            for (int c = 0; c < channels; ++c) {
                const double in = rmsOfFrames(pcm, channels, c, p->sampleRate / 4, p->sampleRate);
                const double out = rmsOfFrames(decoded, channels, c, p->sampleRate / 4 + 1024, p->sampleRate);
                EXPECT_NEAR(dbRatio(out, in), 0.0, 1.0) << "channel " << c;
            }
        }
    }
}

// The end drains once per stream: a second finishing call gives nothing, and a reopened
// encoder drains its own tail again.
TEST(MftLib, EachStreamDrainsItsTailOnce)
{
    AacTestWriter writer;
    ScopedAacWriter installed(writer);
    audio_mftlib aac;
    const QByteArray pcm = sine(48000, 2, 1.0, {440, 440}, 0.5);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(aac.open(2, 16, 48000, 0, 2, 128, 0, 1.0, 2, 0, true));
        QByteArray adts, out(1 << 20, '\0');
        int outLen = 0;
        for (int off = 0; off < pcm.size(); off += 9216) {
            ASSERT_EQ(aac.encode(pcm.constData() + off, std::min(9216, pcm.size() - off), out.data(), out.size(), &outLen), 0);
            adts.append(out.constData(), outLen);
        }
        ASSERT_EQ(aac.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        EXPECT_GT(outLen, 0) << "round " << round;
        adts.append(out.constData(), outLen);
        ASSERT_EQ(aac.encode(nullptr, 0, out.data(), out.size(), &outLen), 0);
        EXPECT_EQ(outLen, 0);
        // The stream has ended: more PCM is refused until the next open.
        EXPECT_EQ(aac.encode(pcm.constData(), 4096, out.data(), out.size(), &outLen), -1);
        const int frames = splitAdts(adts).size();
        EXPECT_GE(frames * 1024, 48000 + 1024) << "round " << round;
        EXPECT_LE(frames * 1024, 48000 + 3 * 1024) << "round " << round;
    }
}

namespace {
// Decodes frame by frame through the back-end's pipeline, then drains; the PCM.
QByteArray decodeFrames(audio_mftlib &dec, const QVector<QByteArray> &frames, int outCap, bool *ok)
{
    *ok = true;
    QByteArray pcm, out(outCap, '\0');
    int outLen = 0;
    for (const QByteArray &f : frames) {
        if (dec.decode(f.constData(), f.size(), out.data(), out.size(), &outLen) != 0)
            *ok = false;
        pcm.append(out.constData(), outLen);
    }
    for (int i = 0; i < 100; ++i) {
        if (dec.decode(nullptr, 0, out.data(), out.size(), &outLen) != 0)
            *ok = false;
        if (outLen == 0 && i > 2)
            break;
        pcm.append(out.constData(), outLen);
    }
    return pcm;
}
} // namespace

TEST(MftLib, DecodesRawAndAdtsFramesAlike)
{
    AacTestWriter writer;
    ScopedAacWriter installed(writer);
    for (int channels = 1; channels <= 2; ++channels) {
        SCOPED_TRACE(channels);
        audio_mftlib enc;
        ASSERT_TRUE(enc.open(channels, 16, 44100, 0, 2, 128, 0, 1.0, channels, 0, true));
        const QByteArray pcm = sine(44100, channels, 1.5, {440, 660}, 0.5);
        const QVector<QByteArray> adts = splitAdts(encodeToAdts(enc, pcm));
        ASSERT_GT(adts.size(), 60);
        QVector<QByteArray> raw;
        for (const QByteArray &f : adts)
            raw.append(f.mid(7));

        audio_mftlib dec;
        ASSERT_TRUE(dec.open(channels, 16, 44100, 1024, 1, 0, 0, 1.0, channels, 0, false)) << dec.errorText().toStdString();
        bool ok = false;
        const QByteArray fromRaw = decodeFrames(dec, raw, 65536, &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(dec.decodedBytes(), adts.size() * 1024 * 2 * channels);
        // Whatever SoundTouch held came out at the end: all of it.
        EXPECT_NEAR(fromRaw.size() / 2 / channels, adts.size() * 1024, 1);
        for (int c = 0; c < channels; ++c) {
            const double in = rmsOfFrames(pcm, channels, c, 11025, 44100);
            const double out = rmsOfFrames(fromRaw, channels, c, 11025 + 1024, 44100);
            EXPECT_NEAR(dbRatio(out, in), 0.0, 1.0);
        }
        ASSERT_TRUE(dec.open(channels, 16, 44100, 1024, 1, 0, 0, 1.0, channels, 0, false));
        EXPECT_EQ(dec.decodedBytes(), 0);
        const QByteArray fromAdts = decodeFrames(dec, adts, 65536, &ok);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(fromAdts == fromRaw);
    }
}

TEST(MftLib, DecodingKeepsWithinTheCallersRoom)
{
    AacTestWriter writer;
    ScopedAacWriter installed(writer);
    audio_mftlib enc;
    ASSERT_TRUE(enc.open(2, 16, 44100, 0, 2, 128, 0, 1.0, 2, 0, true));
    const QVector<QByteArray> adts = splitAdts(encodeToAdts(enc, sine(44100, 2, 0.5, {440, 440}, 0.5)));
    ASSERT_FALSE(adts.isEmpty());

    audio_mftlib dec;
    ASSERT_TRUE(dec.open(2, 16, 44100, 1024, 1, 0, 0, 1.0, 2, 0, false));
    // The codec step alone: at most the room given, whole sample frames, the rest later.
    QByteArray out(1000 + 16, '\x77');
    int outLen = -1;
    qint64 total = 0;
    for (const QByteArray &f : adts) {
        ASSERT_EQ(dec.decodeChunk(f.constData(), f.size(), out.data(), 1000, &outLen), 0);
        EXPECT_LE(outLen, 1000);
        EXPECT_EQ(outLen % 4, 0);
        total += outLen;
    }
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(dec.decodeChunk(nullptr, 0, out.data(), 1000, &outLen), 0);
        if (outLen == 0)
            break;
        total += outLen;
    }
    EXPECT_EQ(out.mid(1000), QByteArray(16, '\x77'));
    EXPECT_EQ(total, qint64(adts.size()) * 1024 * 4);
    EXPECT_EQ(dec.decodedBytes(), total);
}

TEST(MftLib, ABrokenFrameFailsTheCall)
{
    audio_mftlib dec;
    ASSERT_TRUE(dec.open(2, 16, 44100, 1024, 1, 0, 0, 1.0, 2, 0, false));
    const QByteArray junk(300, '\xff');
    QByteArray out(65536, '\0');
    int outLen = -1;
    EXPECT_EQ(dec.decode(junk.constData(), junk.size(), out.data(), out.size(), &outLen), -1);
    EXPECT_EQ(outLen, 0);
    EXPECT_EQ(dec.decodedBytes(), 0);
    // Decoders refuse what they cannot take: 24-bit output, a rate beyond 24 bits.
    EXPECT_FALSE(dec.open(2, 24, 44100, 1024, 1, 0, 0, 1.0, 2, 0, false));
    EXPECT_FALSE(dec.open(2, 16, 0x1000000, 1024, 1, 0, 0, 1.0, 2, 0, false));
    // A rate outside the table is described in full, but the decoder has no tables for it.
    EXPECT_FALSE(dec.open(2, 16, 44000, 1024, 1, 0, 0, 1.0, 2, 0, false));
    EXPECT_FALSE(dec.errorText().isEmpty());
}
