// The encoding sink: writing, pausing, errors reported once, and saving the temporary
// stream (with the WAV header for WAV streams).
#include "AudioInfo.h"
#include "AudioTestUtil.h"
#include "KvTestSupport.h"
#include "audio_wavlib.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

using namespace kvaudiotest;

namespace {
struct ErrorCounter {
    explicit ErrorCounter(AudioInfo &sink)
    {
        QObject::connect(&sink, &AudioInfo::reportFatalError, [this](const QString &m) {
            ++count;
            last = m;
        });
    }
    int count = 0;
    QString last;
};

QString soxInfo(const QString &path, const char *what)
{
    QByteArray out;
    kvtest::runProgram("sox", {"--i", what, path}, &out);
    return QString::fromLocal8Bit(out).trimmed();
}

// Writes the PCM in uneven pieces, finishes, and saves under each name.
void encodeWav(AudioInfo &sink, const QByteArray &pcm)
{
    ASSERT_TRUE(sink.openWrite());
    for (int off = 0, step = 1000; off < pcm.size(); off += step, step = step * 3 % 40000 + 4)
        ASSERT_EQ(sink.write(pcm.constData() + off, std::min(step, pcm.size() - off)),
                  std::min(step, pcm.size() - off));
    sink.flush();
    EXPECT_FALSE(sink.isOpen());
}
} // namespace

TEST(AudioInfo, WavThroughTheSinkGetsAValidHeaderWhateverTheDestinationIsCalled)
{
    const QByteArray pcm = sine(22050, 2, 2.0, {440, 660}, 0.5);
    for (const char *name : {"out.wav", "OUT.WAV", "out.dat"}) {
        KvAudioLibPtr wav(new audio_wavlib);
        AudioInfo sink(wav, pcmFormat(22050, 2), 2, 0, 0, 1.0, 2, 0);
        ASSERT_FALSE(sink.hasError()) << sink.errorMessage().toStdString();
        encodeWav(sink, pcm);
        EXPECT_EQ(sink.pcmBytesWritten(), pcm.size());
        EXPECT_EQ(sink.pcmBytesEncoded(), pcm.size());
        EXPECT_EQ(sink.encodedBytes(), 44 + pcm.size());
        EXPECT_GT(sink.level(), 0.45);
        EXPECT_TRUE(QFileInfo(sink.tempFile()->fileName()).fileName().startsWith("MP3KQ_REC-"));

        kvtest::TempDir dir;
        const QString dest = dir.file(name);
        EXPECT_EQ(AudioInfo::saveToFile(sink.tempFile(), dest, false, 22050, 2), QString());
        const QByteArray saved = kvtest::readFile(dest);
        ASSERT_EQ(saved.size(), 44 + pcm.size());
        EXPECT_TRUE(saved.mid(44) == pcm);
        // sox reads the header (it needs the .wav type named for other suffixes).
        const QString probe = QString(name).endsWith("dat") ? dir.file("copy.wav") : dest;
        if (probe != dest) {
            ASSERT_TRUE(kvtest::writeFile(probe, saved));
        }
        EXPECT_EQ(soxInfo(probe, "-r"), "22050") << name;
        EXPECT_EQ(soxInfo(probe, "-c"), "2");
        EXPECT_EQ(soxInfo(probe, "-s"), QString::number(pcm.size() / 4));
    }
}

TEST(AudioInfo, ZeroLengthAndPausedWritesNeverReachTheEncoder)
{
    auto *fake = new PcmPassthrough;
    KvAudioLibPtr enc(fake);
    AudioInfo sink(enc, pcmFormat(44100, 1), 2, 0, 0, 1.0, 1, 0);
    ASSERT_TRUE(sink.openWrite());
    const int before = fake->encodeCalls;
    EXPECT_EQ(sink.write(QByteArray()), 0);
    EXPECT_EQ(fake->encodeCalls, before);
    sink.setPaused(true);
    EXPECT_EQ(sink.write(QByteArray(100, 'x')), 100);
    EXPECT_EQ(fake->encodeCalls, before);
    EXPECT_EQ(sink.pcmBytesWritten(), 0);
    EXPECT_EQ(sink.tempFile()->size(), 0);
    sink.setPaused(false);

    // A full-scale negative sample measures as full scale.
    QByteArray one(2, '\0');
    one[1] = char(0x80);
    EXPECT_EQ(sink.write(one), 2);
    EXPECT_DOUBLE_EQ(sink.level(), 1.0);
    EXPECT_FALSE(sink.hasError());
}

TEST(AudioInfo, EncoderFailuresAreReportedOnceAndEveryLaterWriteFails)
{
    {
        // Refuses to open: 1 channel in, 2 out is no encoder set-up.
        KvAudioLibPtr wav(new audio_wavlib);
        AudioInfo sink(wav, pcmFormat(44100, 1), 2, 0, 0, 1.0, 2, 0);
        EXPECT_TRUE(sink.hasError());
        EXPECT_EQ(sink.errorMessage(), "Unable to initialize audio encoder.");
        ErrorCounter errors(sink);
        ASSERT_TRUE(sink.openWrite());
        EXPECT_EQ(sink.write(QByteArray(64, '\1')), -1);
        EXPECT_EQ(sink.write(QByteArray(64, '\1')), -1);
        EXPECT_EQ(errors.count, 0);
    }
    {
        auto *fake = new PcmPassthrough;
        KvAudioLibPtr enc(fake);
        AudioInfo sink(enc, pcmFormat(44100, 1), 2, 0, 0, 1.0, 1, 0);
        ErrorCounter errors(sink);
        ASSERT_TRUE(sink.openWrite());
        EXPECT_EQ(sink.write(QByteArray(64, '\1')), 64);
        fake->failAfter = 0;
        EXPECT_EQ(sink.write(QByteArray(64, '\1')), -1);
        EXPECT_EQ(sink.write(QByteArray(64, '\1')), -1);
        EXPECT_EQ(errors.count, 1);
        EXPECT_EQ(errors.last, "Error: Unable to use audio encoder! result=-1, len=64");
        EXPECT_EQ(sink.pcmBytesEncoded(), 64);
    }
}

TEST(AudioInfo, TemporaryFileThatCannotBeOpenedIsAnError)
{
    const QByteArray saved = qgetenv("TMPDIR");
    // A folder where nobody, root included, can create files.
    qputenv("TMPDIR", "/proc");
    KvAudioLibPtr wav(new audio_wavlib);
    AudioInfo sink(wav, pcmFormat(44100, 2), 2, 0, 0, 1.0, 2, 0);
    if (saved.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", saved);
    EXPECT_TRUE(sink.hasError());
    EXPECT_EQ(sink.errorMessage(), "Unable to open recording output file");
    ASSERT_TRUE(sink.openWrite());
    EXPECT_EQ(sink.write(QByteArray(64, '\1')), -1);
}

TEST(AudioInfo, SavingFailuresLeaveNothingBehind)
{
    kvtest::TempDir dir;
    // A temporary file that was never created: nothing to do, nothing created.
    KvTempFilePtr never(new QTemporaryFile(dir.file("never-XXXXXX")));
    EXPECT_EQ(AudioInfo::saveToFile(never, dir.file("x.wav"), false, 44100, 2), QString());
    EXPECT_FALSE(QFileInfo::exists(dir.file("x.wav")));

    KvAudioLibPtr wav(new audio_wavlib);
    AudioInfo sink(wav, pcmFormat(44100, 2), 2, 0, 0, 1.0, 2, 0);
    encodeWav(sink, sine(44100, 2, 0.2, {440, 440}, 0.3));
    const QString tempName = sink.tempFile()->fileName();

    // Destination folder missing: an error text, no file.
    const QString bad = dir.file("missing/out.wav");
    const QString err = AudioInfo::saveToFile(sink.tempFile(), bad, false, 44100, 2);
    EXPECT_TRUE(err.startsWith("Error: ")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(bad));

    // An existing destination is replaced only by a complete file.
    const QString dest = dir.file("keep.wav");
    ASSERT_TRUE(kvtest::writeFile(dest, "old"));
    EXPECT_EQ(AudioInfo::saveToFile(sink.tempFile(), dest, false, 44100, 2), QString());
    EXPECT_EQ(QFileInfo(dest).size(), sink.encodedBytes());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"keep.wav"}));

    // AAC hand-over: a failure keeps the temporary file only while it is held.
    AudioInfo::setAacRewrapper([](const QString &, const QString &) { return QString("no"); });
    {
        KvTempFilePtr held = sink.tempFile();
        EXPECT_EQ(AudioInfo::saveToFile(held, dir.file("a.m4a"), true, 44100, 2), "no");
        EXPECT_TRUE(QFileInfo::exists(tempName));
    }
    AudioInfo::setAacRewrapper({});
}

TEST(AudioInfo, AacHandOverPassesThePathsAndRemovesTheTemporaryFileOnSuccess)
{
    kvtest::TempDir dir;
    KvTempFilePtr temp;
    QString tempName;
    {
        KvAudioLibPtr wav(new audio_wavlib);
        AudioInfo sink(wav, pcmFormat(44100, 2), 2, 0, 0, 1.0, 2, 0);
        encodeWav(sink, sine(44100, 2, 0.2, {440, 440}, 0.3));
        temp = sink.tempFile();
        tempName = temp->fileName();
    }
    QString gotSource, gotDest;
    AudioInfo::setAacRewrapper([&](const QString &s, const QString &d) {
        gotSource = s;
        gotDest = d;
        return QString();
    });
    EXPECT_EQ(AudioInfo::saveToFile(temp, dir.file("a.m4a"), true, 44100, 2), QString());
    AudioInfo::setAacRewrapper({});
    EXPECT_EQ(gotSource, tempName);
    EXPECT_EQ(gotDest, dir.file("a.m4a"));
    EXPECT_FALSE(QFileInfo::exists(tempName));
    // Without the engine's writer the hand-over is an error, not a silent success.
    KvTempFilePtr other(new QTemporaryFile);
    ASSERT_TRUE(other->open());
    EXPECT_FALSE(AudioInfo::saveToFile(other, dir.file("b.m4a"), true, 44100, 2).isEmpty());
}

TEST(AudioInfo, FailingTemporaryRemovedWhenReleased)
{
    kvtest::TempDir dir;
    QString tempName;
    {
        KvAudioLibPtr wav(new audio_wavlib);
        AudioInfo sink(wav, pcmFormat(44100, 2), 2, 0, 0, 1.0, 2, 0);
        encodeWav(sink, sine(44100, 2, 0.2, {440, 440}, 0.3));
        tempName = sink.tempFile()->fileName();
        AudioInfo::setAacRewrapper([](const QString &, const QString &) { return QString("bad"); });
        EXPECT_EQ(AudioInfo::saveToFile(sink.tempFile(), dir.file("a.m4a"), true, 44100, 2), "bad");
        AudioInfo::setAacRewrapper({});
    }
    EXPECT_FALSE(QFileInfo::exists(tempName));
}
