// Opening MP3 sources: the frame index against ffprobe and an independent
// parse of every frame, and the failures of bad input.
#include "KvEngineFactories.h"
#include "KvFile.h"
#include "KvMP3AudioFile.h"
#include "KvMP3FrameRepacker.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3Records.h"
#include "KvMp3StreamCheck.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <map>

using namespace kvtest;

namespace {

const char *kNotRecognized = "The file is not recognized as a supported MP3 file format";

// Packet positions of the audio stream as ffprobe reports them.
std::vector<qint64> ffprobeOffsets(const QString &path)
{
    QByteArray out;
    runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", "packet=pos", "-of",
                           "csv=p=0", path},
               &out);
    std::vector<qint64> offsets;
    for (const QByteArray &line : out.split('\n')) {
        const QByteArray v = line.split(',').first().trimmed();
        if (!v.isEmpty())
            offsets.push_back(v.toLongLong());
    }
    return offsets;
}

struct Opened {
    boost::shared_ptr<KvMP3AudioFile> file = boost::shared_ptr<KvMP3AudioFile>(new KvMP3AudioFile);
    QString error;
    KvMP3FrameRepacker *index() const { return file->mp3Repacker(); }
    const KvMP3GainFrameInfo *table() const { return index()->frameTable().get(); }
    std::vector<qint64> offsets() const
    {
        std::vector<qint64> o;
        for (qint64 i = 0; i < file->frameCount(); ++i)
            o.push_back(table()[i].offset);
        return o;
    }
};

Opened openMp3(const QString &path)
{
    Opened o;
    o.error = o.file->open(path);
    return o;
}

struct FixtureCase {
    const char *name;
    int version, sampleRate, mode;
    bool crc, vbr;
};

} // namespace

TEST(KvMP3AudioFile, FrameIndexMatchesFfprobeAndAnIndependentParse)
{
    const FixtureCase cases[] = {
        {"cbr128_joint.mp3", 0, 44100, 1, false, false},
        {"cbr128_stereo.mp3", 0, 44100, 0, false, false},
        {"cbr160_dual.mp3", 0, 44100, 2, false, false},
        {"cbr64_mono.mp3", 0, 44100, 3, false, false},
        {"vbr_v2.mp3", 0, 44100, 1, false, true},
        {"vbr_v2_notag.mp3", 0, 44100, 1, false, true},
        {"vbr_v0_long.mp3", 0, 44100, 1, false, true},
        {"cbr128_crc.mp3", 0, 44100, 1, true, false},
        {"vbr_crc_48k.mp3", 0, 48000, 1, true, true},
        {"cbr96_32k.mp3", 0, 32000, 1, false, false},
        {"mpeg2_mono_22k.mp3", 1, 22050, 3, false, false},
        {"mpeg2_vbr_16k.mp3", 1, 16000, 1, false, true},
        {"mpeg2_vbr_quiet_22k.mp3", 1, 22050, 3, false, true},
        {"mpeg25_mono_8k.mp3", 2, 8000, 3, false, false},
        {"mpeg25_mono_11k.mp3", 2, 11025, 3, false, false},
        {"id3v2_tags.mp3", 0, 44100, 1, false, false},
        {"id3v1_only.mp3", 0, 44100, 1, false, false},
        {"id3v2_art_v1.mp3", 0, 44100, 1, false, false},
    };
    for (const FixtureCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = fixture(c.name);
        const Opened o = openMp3(path);
        ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();

        const std::vector<qint64> expected = ffprobeOffsets(path);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(o.offsets(), expected);
        EXPECT_EQ(o.index()->firstFrameOffset(), expected.front());
        EXPECT_EQ(o.table()[o.file->frameCount()].payloadLength, 0);   // the terminating record
        EXPECT_EQ(uint32_t(o.table()[o.file->frameCount()].offset), 0u);

        const KvMP3FrameSizeInfo *format = o.index()->mp3SizeInfo();
        EXPECT_EQ(format->versionCode(), c.version);
        EXPECT_EQ(format->sampleRate(), c.sampleRate);
        EXPECT_EQ(format->modeCode(), c.mode);
        EXPECT_EQ(format->channelCount(), c.mode == 3 ? 1 : 2);
        EXPECT_EQ(format->samplesPerFrame(), c.version == 0 ? 1152 : 576);
        EXPECT_EQ(format->variableBitrate(), c.vbr);

        // Every record against the stream checker's own reading of the frame.
        const Mp3StreamReport report = checkMp3Stream(readFile(path));
        std::map<qint64, const Mp3FrameFacts *> byOffset;
        for (const Mp3FrameFacts &f : report.frames)
            byOffset[f.offset] = &f;
        qint64 delivered = 0;      // main-data bytes of the frames scanned so far
        qint64 readPosBits = 0;    // end of the previous payload
        for (qint64 i = 0; i < o.file->frameCount(); ++i) {
            const KvMP3GainFrameInfo &r = o.table()[i];
            ASSERT_TRUE(byOffset.count(r.offset)) << "frame " << i;
            const Mp3FrameFacts &f = *byOffset[r.offset];
            const int nch = f.mode == 3 ? 1 : 2;
            int gain[2] = {0, 0};
            for (size_t k = 0; k < f.globalGains.size(); ++k)
                gain[k % nch] = std::max(gain[k % nch], f.globalGains[k]);
            if (nch == 1)
                gain[1] = gain[0];
            ASSERT_EQ(r.gain[0], gain[0]) << "frame " << i;
            ASSERT_EQ(r.gain[1], gain[1]) << "frame " << i;
            ASSERT_EQ(r.bitrateIndex(), f.bitrateIndex) << "frame " << i;
            ASSERT_EQ(r.capacity, f.capacity) << "frame " << i;
            ASSERT_EQ(r.mainDataBegin, f.mainDataBegin) << "frame " << i;
            ASSERT_EQ(bool(r.flags & KvMp3FrameFlag::Crc), c.crc);
            ASSERT_FALSE(r.flags & KvMp3FrameFlag::Broken) << "frame " << i;
            ASSERT_EQ(r.payloadLength, (f.payloadBits + 7) / 8) << "frame " << i;
            ASSERT_EQ(bool(r.flags & KvMp3FrameFlag::NoAudio), f.payloadBits == 0) << "frame " << i;
            ASSERT_EQ(r.stereoFlags, f.mode == 1 ? 1 : 0);
            // Unread reservoir bytes once this frame's main data is in.
            delivered += f.capacity;
            ASSERT_EQ(r.ringFill, (delivered - readPosBits / 8) & 0x3FFF) << "frame " << i;
            const qint64 start = delivered - f.capacity - f.mainDataBegin;
            readPosBits = start * 8 + f.payloadBits;
        }
    }
}

TEST(KvMP3AudioFile, BadInputGetsItsMessage)
{
    TempDir dir;
    QRandomGenerator rng(12345);
    QByteArray noise(200000, '\0');
    for (char &ch : noise)
        ch = char(rng.generate() & 0xFF);
    writeFile(dir.file("empty.mp3"), QByteArray());
    writeFile(dir.file("noise.mp3"), noise);
    writeFile(dir.file("wave.mp3"), readFile(fixture("plain.wav")));
    QDir(dir.path()).mkdir("folder.mp3");

    struct Case { const char *file; QString message; };
    const Case cases[] = {
        {"empty.mp3", kNotRecognized},
        {"noise.mp3", kNotRecognized},
        {"wave.mp3", kNotRecognized},
        {"missing.mp3", "Failed to open MP3 audio file: No such file or directory"},
        {"folder.mp3", "Failed to open MP3 audio file: Is a directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const Opened o = openMp3(dir.file(c.file));
        EXPECT_EQ(o.error, c.message);
        EXPECT_EQ(o.file->frameCount(), 0);
        ASSERT_TRUE(o.file->repacker());   // the failed index stays attached
    }
}

TEST(KvMP3AudioFile, TruncatedLastFrameKeepsTheFramesBeforeIt)
{
    TempDir dir;
    const QString src = fixture("vbr_v2_notag.mp3");
    const std::vector<qint64> all = ffprobeOffsets(src);
    ASSERT_GT(all.size(), 10u);
    const QString cut = dir.file("cut.mp3");
    writeFile(cut, readFile(src).left(int(all.back() + 100)));
    const Opened o = openMp3(cut);
    ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.offsets(), std::vector<qint64>(all.begin(), all.end() - 1));
    EXPECT_EQ(o.file->repacker()->frameCount(), qint64(all.size()) - 1);
}

TEST(KvMP3AudioFile, BytesBetweenFramesCountAsAncillaryData)
{
    // Junk and a mid-stream ID3v2 tag larger than the scan's read buffer (a
    // picture of 300 KB), both between frames 100 and 101.
    const QString src = fixture("cbr128_joint.mp3");
    const QByteArray data = readFile(src);
    const Opened plain = openMp3(src);
    ASSERT_TRUE(plain.error.isEmpty());
    const qint64 n = plain.file->frameCount();
    const qint64 at = plain.table()[101].offset;

    QByteArray junk(1000, 'j');
    QByteArray tag("ID3\x04\x00\x00", 6);
    const int body = 300000;
    tag.append(char((body >> 21) & 0x7F)).append(char((body >> 14) & 0x7F));
    tag.append(char((body >> 7) & 0x7F)).append(char(body & 0x7F));
    QRandomGenerator rng(7);
    QByteArray art(body, '\0');
    for (char &ch : art)
        ch = char(rng.generate() & 0x7F);   // no false sync words inside the tag
    tag.append(art);

    TempDir dir;
    for (const QByteArray &insert : {junk, tag}) {
        SCOPED_TRACE(insert.size());
        const QString path = dir.file("inserted.mp3");
        writeFile(path, data.left(int(at)) + insert + data.mid(int(at)));
        const Opened o = openMp3(path);
        ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
        ASSERT_EQ(o.file->frameCount(), n);
        for (qint64 i = 0; i < n; ++i) {
            KvMP3GainFrameInfo expected = plain.table()[i];
            if (i >= 101)
                expected.offset += uint32_t(insert.size());
            ASSERT_EQ(std::memcmp(&o.table()[i], &expected, sizeof expected), 0) << "frame " << i;
        }
    }
}

TEST(KvMP3AudioFile, CorruptCrcMarksOnlyThatFrame)
{
    const QString src = fixture("cbr128_crc.mp3");
    const Opened plain = openMp3(src);
    ASSERT_TRUE(plain.error.isEmpty());
    QByteArray data = readFile(src);
    // Flip a bit of frame 50's first global_gain (side-information byte 6 of
    // an MPEG-1 stereo frame, after header and CRC word).
    const int at = int(plain.table()[50].offset) + 6 + 6;
    data[at] = char(data[at] ^ 0x08);
    TempDir dir;
    writeFile(dir.file("crc.mp3"), data);
    const Opened o = openMp3(dir.file("crc.mp3"));
    ASSERT_TRUE(o.error.isEmpty());
    ASSERT_EQ(o.file->frameCount(), plain.file->frameCount());
    for (qint64 i = 0; i < o.file->frameCount(); ++i)
        EXPECT_EQ(bool(o.table()[i].flags & KvMp3FrameFlag::Broken), i == 50) << i;
    EXPECT_EQ(o.table()[50].payloadLength, 0);
}

TEST(KvMP3FrameRepacker, SecondScanAndInterruption)
{
    KvMP3FrameRepacker index;
    QString error;
    const qint64 n = index.scanFrames(fixture("cbr64_mono.mp3"), error);
    ASSERT_GT(n, 0);
    EXPECT_EQ(index.frameCount(), n);
    EXPECT_EQ(index.scanFrames(fixture("cbr64_mono.mp3"), error), -1);
    EXPECT_EQ(index.frameCount(), n);
    EXPECT_TRUE(error.isEmpty());

    // A scan on a thread that was asked to stop ends with -12.
    qint64 result = 0;
    KvMP3FrameRepacker stopped;
    const QString path = fixture("cbr64_mono.mp3");
    QThread *t = QThread::create([&] {
        QThread::currentThread()->requestInterruption();
        QString e;
        result = stopped.scanFrames(path, e);
    });
    t->start();
    t->wait();
    delete t;
    EXPECT_EQ(result, -12);
    EXPECT_EQ(stopped.frameCount(), 0);
}

TEST(KvMP3AudioFile, SourcesAndSilence)
{
    KvMP3AudioFile fresh;
    EXPECT_EQ(fresh.frameCount(), 0);
    EXPECT_FALSE(fresh.repacker());

    const Opened o = openMp3(fixture("cbr128_joint.mp3"));
    ASSERT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.file->repacker()->path(), QFileInfo(fixture("cbr128_joint.mp3")).canonicalFilePath());
    ASSERT_TRUE(o.file->repacker()->device());
    EXPECT_TRUE(o.file->repacker()->device()->isOpen());

    KvMP3AudioFile silent;
    silent.attachRepacker(o.file->repacker()->sizeInfo());
    EXPECT_EQ(silent.frameCount(), Q_INT64_C(9223372036854775807));
    EXPECT_TRUE(silent.repacker()->path().isEmpty());
    EXPECT_EQ(silent.repacker()->sizeInfo(), o.file->repacker()->sizeInfo());   // shared, not copied
    EXPECT_FALSE(silent.mp3Repacker()->frameTable());

    KvMP3FrameSizeInfo made(2, 2, 3);
    EXPECT_EQ(made.sampleRate(), 8000);
    EXPECT_EQ(made.samplesPerFrame(), 576);
    EXPECT_EQ(made.firstHeader().layer, 3);
    std::unique_ptr<KvFrameSizeInfo> copy(made.clone());
    EXPECT_EQ(copy->formatKey(), QString("MP3: ver:2 mode:3"));
    EXPECT_EQ(KvMP3FrameSizeInfo(0, 0, 0).formatKey(), KvMP3FrameSizeInfo(0, 1, 1).formatKey());
}

TEST(KvEngineFactories, SourceByExtension)
{
    bool heAac = true;
    QString error;
    TempDir dir;
    writeFile(dir.file("UPPER.MP3"), readFile(fixture("cbr64_mono.mp3")));
    boost::shared_ptr<KvAudioFile> f = createAudioFileByExtension(dir.file("UPPER.MP3"), heAac, error);
    ASSERT_TRUE(f);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(heAac);
    EXPECT_GT(f->frameCount(), 0);

    f = createAudioFileByExtension(fixture("plain.wav"), heAac, error);
    EXPECT_FALSE(f);
    EXPECT_EQ(error, QString("Internal error: unsupported file extension"));

    f = createAudioFileByExtension(dir.file("missing.mp3"), heAac, error);
    ASSERT_TRUE(f);   // returned also when opening failed
    EXPECT_EQ(error, QString("Failed to open MP3 audio file: No such file or directory"));
}

// The scan reads each frame as libmpg123 hands it over, and falls back to
// reading the frames at the offsets of libmpg123's index; both must give the
// same table and format facts, on clean files and on damaged ones.
TEST(KvMP3FrameRepacker, OnePassAndIndexedScansAgree)
{
    TempDir dir;
    std::vector<QString> paths;
    for (const char *name : {"cbr128_joint.mp3", "cbr128_stereo.mp3", "cbr160_dual.mp3", "cbr64_mono.mp3",
                             "vbr_v2.mp3", "vbr_v0_long.mp3", "cbr128_crc.mp3", "vbr_crc_48k.mp3",
                             "cbr96_32k.mp3", "mpeg2_mono_22k.mp3", "mpeg2_vbr_16k.mp3", "mpeg2_vbr_quiet_22k.mp3",
                             "mpeg25_mono_8k.mp3", "mpeg25_stereo_11k.mp3", "id3v2_tags.mp3", "id3v2_art_v1.mp3"})
        paths.push_back(fixture(name));
    // Damaged copies: a truncated last frame, junk between frames, a flipped
    // CRC-protected bit, and a frame whose side information is cut short.
    const QByteArray vbr = readFile(fixture("vbr_v2_notag.mp3"));
    const std::vector<qint64> at = ffprobeOffsets(fixture("vbr_v2_notag.mp3"));
    ASSERT_GT(at.size(), 60u);
    writeFile(dir.file("truncated.mp3"), vbr.left(int(at.back() + 100)));
    writeFile(dir.file("junk.mp3"), vbr.left(int(at[40])) + QByteArray(777, 'j') + vbr.mid(int(at[40])));
    writeFile(dir.file("cut.mp3"), vbr.left(int(at[50] + 20)) + vbr.mid(int(at[51])));
    QByteArray crc = readFile(fixture("cbr128_crc.mp3"));
    const std::vector<qint64> crcAt = ffprobeOffsets(fixture("cbr128_crc.mp3"));
    crc[int(crcAt[30] + 12)] = char(crc[int(crcAt[30] + 12)] ^ 0x08);
    writeFile(dir.file("crc.mp3"), crc);
    for (const char *name : {"truncated.mp3", "junk.mp3", "cut.mp3", "crc.mp3"})
        paths.push_back(dir.file(name));

    struct Scan {
        KvMP3FrameRepacker index;
        qint64 result = 0;
    };
    for (const QString &path : paths) {
        SCOPED_TRACE(path.toStdString());
        Scan one, two;
        QString error;
        one.result = one.index.scanFrames(path, error);
        KvMP3FrameRepacker::setOnePassScan(false);
        two.result = two.index.scanFrames(path, error);
        KvMP3FrameRepacker::setOnePassScan(true);
        ASSERT_EQ(one.result, two.result);
        ASSERT_GT(one.result, 0);
        EXPECT_EQ(one.index.firstFrameOffset(), two.index.firstFrameOffset());
        const KvMP3FrameSizeInfo &f1 = *one.index.mp3SizeInfo(), &f2 = *two.index.mp3SizeInfo();
        EXPECT_EQ(f1.formatKey(), f2.formatKey());
        EXPECT_EQ(f1.variableBitrate(), f2.variableBitrate());
        EXPECT_EQ(f1.jointStereoSeen(), f2.jointStereoSeen());
        EXPECT_EQ(f1.firstBitrateIndex(), f2.firstBitrateIndex());
        EXPECT_EQ(f1.bitrateSum(), f2.bitrateSum());
        const KvMP3GainFrameInfo *t1 = one.index.frameTable().get(), *t2 = two.index.frameTable().get();
        for (qint64 i = 0; i <= one.result; ++i)
            ASSERT_EQ(std::memcmp(&t1[i], &t2[i], sizeof *t1), 0) << "record " << i;
    }
}
