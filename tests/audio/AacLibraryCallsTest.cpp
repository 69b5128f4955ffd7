// The AAC encoder and the encoding sink's MP4 rewrap over the real AAC wrapper
// library, connected by installKvAacLibraryCalls(): encoded frames come out as
// ADTS that FFmpeg decodes, and the rewrap gives an MP4 with the same packets.
#include "AudioInfo.h"
#include "AudioTestUtil.h"
#include "KvAacFrameWriter.h"
#include "KvAacLibraryCalls.h"
#include "KvTestSupport.h"
#include "audio_mftlib.h"

#include <gtest/gtest.h>

#include <QAudioFormat>

using namespace kvaudiotest;

namespace {

struct UseTheBuiltLibrary {
    UseTheBuiltLibrary() { qputenv("KV_AACWRAP_LIBRARY", QByteArray(KV_AACWRAP_LIBRARY_PATH)); }
};
const UseTheBuiltLibrary g_library;

QStringList packets(const QString &path)
{
    QByteArray out;
    kvtest::runProgram("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-c", "copy", "-bsf:a", "aac_adtstoasc",
                                  "-f", "framemd5", "-"},
                       &out);
    QStringList hashes;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> f = line.split(',');
        if (!line.startsWith('#') && f.size() >= 6)
            hashes << QString::fromLatin1(f[5].trimmed());
    }
    return hashes;
}

} // namespace

TEST(AacLibraryCalls, EncoderWritesThroughTheLibraryAndTheSinkRewrapsToMp4)
{
    const KvAacFrameWriter previous = kvAacFrameWriter();
    installKvAacLibraryCalls();
    for (int channels = 1; channels <= 2; ++channels) {
        SCOPED_TRACE(channels);
        QAudioFormat format;
        format.setSampleRate(44100);
        format.setChannelCount(channels);
        format.setSampleSize(16);
        format.setSampleType(QAudioFormat::SignedInt);
        format.setByteOrder(QAudioFormat::LittleEndian);
        format.setCodec("audio/pcm");
        KvAudioLibPtr aac(new audio_mftlib);
        AudioInfo sink(aac, format, 2, 128, 0, 1.0, channels, 0);
        ASSERT_FALSE(sink.hasError()) << sink.errorMessage().toStdString();
        ASSERT_TRUE(sink.openWrite());
        const QByteArray pcm = sine(44100, channels, 2.0, {440, 660}, 0.5);
        ASSERT_EQ(sink.write(pcm.constData(), pcm.size()), pcm.size());
        sink.flush();

        kvtest::TempDir dir;
        const QString adts = dir.file("plain.aac");
        ASSERT_EQ(AudioInfo::saveToFile(sink.tempFile(), adts, false, 44100, channels), QString());
        const QByteArray decoded = kvtest::decodeFfmpeg(adts);
        ASSERT_GT(decoded.size(), pcm.size());
        for (int c = 0; c < channels; ++c) {
            const double in = rmsOfFrames(pcm, channels, c, 11025, 44100);
            const double out = rmsOfFrames(decoded, channels, c, 11025 + 1024, 44100);
            EXPECT_NEAR(dbRatio(out, in), 0.0, 1.0) << "channel " << c;
        }

        const QString mp4 = dir.file("rewrapped.m4a");
        KvAudioLibPtr again(new audio_mftlib);
        AudioInfo sink2(again, format, 2, 128, 0, 1.0, channels, 0);
        ASSERT_TRUE(sink2.openWrite());
        ASSERT_EQ(sink2.write(pcm.constData(), pcm.size()), pcm.size());
        sink2.flush();
        ASSERT_EQ(AudioInfo::saveToFile(sink2.tempFile(), mp4, true, 44100, channels), QString());
        QByteArray probe;
        kvtest::runProgram("ffprobe", {"-v", "error", "-show_entries", "format=format_name", "-of", "csv=p=0", mp4},
                           &probe);
        EXPECT_TRUE(probe.contains("mov,mp4")) << probe.toStdString();
        EXPECT_EQ(packets(mp4), packets(adts));
    }
    setKvAacFrameWriter(previous);
}
