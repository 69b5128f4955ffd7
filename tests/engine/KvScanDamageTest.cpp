// Damaged and unusual files: what an open keeps, what it tells the user, and
// that exports of such documents stay sound. The damaged files are made here
// from the generated fixtures with fixed seeds; libmpg123's own index (the bare
// kv_mpg123_scan program) and FFprobe are the judges of the frame counts.
#include "KvAACAudioFile.h"
#include "KvAacEnv.h"
#include "KvFrameRepacker.h"
#include "KvMP3AudioFile.h"
#include "KvMP3FrameRepacker.h"
#include "KvMp3Records.h"
#include "KvTestSupport.h"
#include "Mp3ExportSupport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <functional>
#include <random>

using namespace kvtest;

namespace {

int kvbench(const QStringList &args, QByteArray *out, QByteArray *err)
{
    return runProgram(KVBENCH_PATH, args, out, err);
}

// libmpg123's frame count for the whole file (through every change of format).
qint64 mpg123Frames(const QString &path)
{
    QByteArray out;
    runProgram(MPG123_SCAN_PATH, {path}, &out);
    const QRegularExpressionMatch m = QRegularExpression("index (\\d+)").match(QString::fromLatin1(out));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

struct Packet {
    qint64 pos;
    int size;
};
std::vector<Packet> ffprobePackets(const QString &path)
{
    QByteArray out;
    runProgram("ffprobe", {"-v", "quiet", "-select_streams", "a:0", "-show_entries", "packet=pos,size", "-of",
                           "compact=p=0:nk=0", path},
               &out);
    std::vector<Packet> packets;
    const QRegularExpression re("size=(\\d+)\\|pos=(\\d+)");
    for (const QByteArray &line : out.split('\n')) {
        const QRegularExpressionMatch m = re.match(QString::fromLatin1(line));
        if (m.hasMatch())
            packets.push_back({m.captured(2).toLongLong(), m.captured(1).toInt()});
    }
    return packets;
}

// Frame offsets of a sound MP3, from the engine's open.
std::vector<qint64> mp3Offsets(const QString &path)
{
    KvMP3AudioFile f;
    EXPECT_EQ(f.open(path), QString());
    std::vector<qint64> offsets;
    const KvMP3GainFrameInfo *table = f.mp3Repacker()->frameTable().get();
    for (qint64 i = 0; i < f.frameCount(); ++i)
        offsets.push_back(table[i].offset);
    return offsets;
}

QByteArray overwriteRandom(QByteArray b, int count, unsigned seed, int from)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> at(from, b.size() - 1), byte(0, 255);
    for (int k = 0; k < count; ++k)
        b[at(rng)] = char(byte(rng));
    return b;
}

QByteArray randomBlock(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray junk(n, 0);
    for (char &c : junk)
        c = char(rng());
    return junk;
}

// Sets `bits` bits at bit position `bit` of the byte array.
void putBits(QByteArray &b, qint64 bit, int bits, unsigned value)
{
    for (int k = 0; k < bits; ++k) {
        const qint64 p = bit + k;
        const int mask = 0x80 >> (p & 7);
        const bool on = (value >> (bits - 1 - k)) & 1;
        b[int(p >> 3)] = char(on ? (b[int(p >> 3)] | mask) : (b[int(p >> 3)] & ~mask));
    }
}

struct Mp3Case {
    const char *name;
    // Makes the damaged file from the fixture's bytes and frame offsets.
    std::function<QByteArray(const QByteArray &, const std::vector<qint64> &)> make;
    const char *fixture = "vbr_v2.mp3";
    bool damageExpected = true;    // at least one frame must be kept broken
    qint64 cutAt = -1;             // the open ends at this frame (a change of format)
    std::vector<qint64> brokenAt = {};  // frames that must be broken
    // Random bytes inside audio payloads pass every structural check and reach
    // the export as they are; each decoder conceals them its own way.
    bool payloadNoise = false;
};

// MPEG-1 stereo side information without CRC starts at byte 4; granule 0 of
// channel 0 follows main_data_begin (9), private bits (3) and scfsi (8).
constexpr int kGr0Ch0 = 32 + 20;

const std::vector<Mp3Case> &mp3Cases()
{
    static const std::vector<Mp3Case> cases = {
        {"random bytes, light", [](const QByteArray &b, auto &) { return overwriteRandom(b, 50, 1, 4000); },
         "vbr_v2.mp3", false, -1, {}, true},
        {"random bytes, 500", [](const QByteArray &b, auto &) { return overwriteRandom(b, 500, 1, 4000); },
         "vbr_v2.mp3", true, -1, {}, true},
        {"random bytes, 2000", [](const QByteArray &b, auto &) { return overwriteRandom(b, 2000, 2, 4000); },
         "vbr_v2.mp3", true, -1, {}, true},
        {"damaged header: another sampling frequency",
         [](QByteArray b, const std::vector<qint64> &o) {
             putBits(b, o[200] * 8 + 20, 2, 2);
             return b;
         },
         "cbr128_joint.mp3", true, -1, {200}},
        {"impossible side information: big_values 511",
         [](QByteArray b, const std::vector<qint64> &o) {
             putBits(b, o[150] * 8 + kGr0Ch0 + 12, 9, 511);
             return b;
         },
         "cbr128_stereo.mp3", true, -1, {150}},
        {"impossible side information: block type 0 with window switching",
         [](QByteArray b, const std::vector<qint64> &o) {
             putBits(b, o[100] * 8 + kGr0Ch0 + 33, 3, 4);
             return b;
         },
         "cbr128_stereo.mp3", true, -1, {100}},
        {"junk block between frames",
         [](const QByteArray &b, const std::vector<qint64> &o) {
             return b.left(int(o[230])) + randomBlock(3000, 3) + b.mid(int(o[230]));
         },
         "vbr_v2.mp3", false},
        {"junk block over frames",
         [](QByteArray b, const std::vector<qint64> &o) {
             b.replace(int(o[230]) + 100, 1500, randomBlock(1500, 4));
             return b;
         },
         "vbr_v2.mp3", false, -1, {}, true},
        {"joined with itself: a second Xing frame mid-stream",
         [](const QByteArray &b, auto &) { return b + b; }, "vbr_v2.mp3", false},
        {"joined at another rate",
         [](const QByteArray &b, auto &) {
             return b + readFile(fixture("mpeg2_mono_22k.mp3"));
         },
         "cbr128_joint.mp3", false, 0 /* set from the fixture below */},
    };
    return cases;
}

qint64 brokenCount(const KvMP3AudioFile &f)
{
    const KvMP3GainFrameInfo *table = f.mp3Repacker()->frameTable().get();
    qint64 n = 0;
    for (qint64 i = 0; i < f.frameCount(); ++i)
        n += (table[i].flags & KvMp3FrameFlag::Broken) ? 1 : 0;
    return n;
}

} // namespace

// One row of the table per test, so that rows run side by side.
class ScanDamageMp3 : public ::testing::TestWithParam<size_t> {};

TEST_P(ScanDamageMp3, FixtureRow)
{
    TempDir dir;
    {
        const Mp3Case &c = mp3Cases()[GetParam()];
        SCOPED_TRACE(c.name);
        const QString clean = fixture(c.fixture);
        const QByteArray bytes = readFile(clean);
        const std::vector<qint64> offsets = mp3Offsets(clean);
        const QString path = dir.file(QString::fromLatin1(c.name).replace(QRegularExpression("[^a-z0-9]+"), "_") + ".mp3");
        ASSERT_TRUE(writeFile(path, c.make(bytes, offsets)));
        const qint64 cutAt = c.cutAt < 0 ? -1 : qint64(offsets.size());

        KvMP3AudioFile f;
        ASSERT_EQ(f.open(path), QString());
        const KvScanReport &report = f.repacker()->scanReport();
        const QString sentence = f.damageReport();

        // Frame count: libmpg123's, or the frames before the change of format.
        if (cutAt < 0) {
            EXPECT_EQ(f.frameCount(), mpg123Frames(path));
            EXPECT_EQ(report.cutAtFrame, -1);
        } else {
            EXPECT_EQ(f.frameCount(), cutAt);
            EXPECT_EQ(report.cutAtFrame, cutAt);
            EXPECT_EQ(report.cutAtOffset, bytes.size());
            EXPECT_TRUE(sentence.contains(QString("first %1 frames").arg(cutAt))) << sentence.toStdString();
        }
        // The damage count is the broken frames kept, and the sentence says it.
        EXPECT_EQ(report.damagedFrames, brokenCount(f));
        if (c.damageExpected) {
            EXPECT_GT(report.damagedFrames, 0);
        }
        for (qint64 k : c.brokenAt)
            EXPECT_TRUE(f.mp3Repacker()->frameTable()[k].flags & KvMp3FrameFlag::Broken) << "frame " << k;
        EXPECT_EQ(sentence.isEmpty(), !report.any());
        if (report.damagedFrames > 1) {
            EXPECT_TRUE(sentence.contains(QString::number(report.damagedFrames))) << sentence.toStdString();
        }

        // The driver prints the sentence alone on stderr, with its own exit code:
        // nothing from libmpg123.
        QByteArray out, err;
        EXPECT_EQ(kvbench({"scan", path}, &out, &err), report.any() ? 3 : 0);
        EXPECT_EQ(QString::fromLocal8Bit(err).trimmed(), sentence);

        // The whole document, and one with a cut and a gain edit across the
        // damage, export to streams both decoders and the checker accept.
        const QString editList = dir.file("edits.txt");
        const qint64 n = f.frameCount();
        for (const QString &edits : {QString("src %1 0 -1\n").arg(path),
                                     QString("src %1 0 -1\ngain %2 %3 3\ndelete %4 %5\n")
                                         .arg(path).arg(n / 4).arg(n / 2).arg(n / 3).arg(n / 10)}) {
            writeFile(editList, edits.toUtf8());
            const QString outPath = dir.file("out.mp3");
            ASSERT_EQ(kvbench({"export", outPath, editList}, &out, &err), 0) << err.toStdString();
            EXPECT_EQ(err, QByteArray());
            judge(outPath, c.payloadNoise ? -1 : 2);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ScanDamageMp3, ::testing::Range<size_t>(0, mp3Cases().size()));

TEST(ScanDamage, SoundFilesReportNothing)
{
    for (const char *name : {"vbr_v2.mp3", "cbr128_crc.mp3", "mpeg2_vbr_quiet_22k.mp3", "id3v2_art_v1.mp3",
                             "aac_lc_stereo.aac", "aac_lc_stereo.m4a"}) {
        SCOPED_TRACE(name);
        QByteArray out, err;
        EXPECT_EQ(kvbench({"scan", fixture(name)}, &out, &err), 0);
        EXPECT_EQ(err, QByteArray());
    }
}

namespace {

struct AacCase {
    const char *name;
    const char *fixture;
    std::function<QByteArray(const QByteArray &)> make;
    const char *suffix;
    bool cut = false;
};

// The sample sizes of an MP4's sample table, replaced from `first` on by
// random sizes small enough that every sample still lies inside the file.
QByteArray damageSampleSizes(QByteArray b)
{
    const int stsz = b.indexOf("stsz");
    std::mt19937 rng(5);
    for (int k = 40; k < 240; k += 3) {
        const int at = stsz + 16 + 4 * k;
        const unsigned size = 1 + rng() % 300;
        for (int j = 0; j < 4; ++j)
            b[at + j] = char(size >> (24 - 8 * j));
    }
    return b;
}

struct AdtsFrame {
    qint64 pos; // of the header
    QByteArray payload; // the bytes after the header
};

// An ADTS stream split by its own headers: a header at the end of the previous frame is taken;
// past damage the next header counts only when another follows right after its frame (or
// the file ends there).
std::vector<AdtsFrame> splitAdts(const QByteArray &b)
{
    const auto header = [&](qint64 p, int *length, int *headerSize) {
        if (p + 7 > b.size())
            return false;
        const auto u = [&](qint64 i) { return unsigned(uchar(b[int(p + i)])); };
        if (u(0) != 0xff || (u(1) & 0xf6) != 0xf0 || ((u(2) >> 2) & 15) > 12)
            return false;
        *headerSize = (u(1) & 1) ? 7 : 9;
        *length = int(((u(3) & 3) << 11) | (u(4) << 3) | (u(5) >> 5));
        return *length > *headerSize && p + *length <= b.size();
    };
    std::vector<AdtsFrame> frames;
    bool inStep = true;
    int length = 0, headerSize = 0, l2 = 0, h2 = 0;
    for (qint64 p = 0; p + 7 <= b.size();) {
        bool ok = header(p, &length, &headerSize);
        if (ok && !inStep)
            ok = p + length + 7 > b.size() || header(p + length, &l2, &h2);
        inStep = ok;
        if (!ok) {
            ++p;
            continue;
        }
        frames.push_back({p, b.mid(int(p + headerSize), length - headerSize)});
        p += length;
    }
    return frames;
}

} // namespace

// FFmpeg's ADTS parser, resyncing over damage, returns packets that are not the file's bytes
// at the positions it reports. Exports copy frames from the file, so every frame must be
// indexed where its own header is: each exported frame is a frame of the source.
TEST(ScanDamage, DamagedAdtsExportsTheFilesOwnFrames)
{
    TempDir dir;
    const QByteArray source = readFile(fixture("aac_lc_stereo.aac"));
    struct Damage {
        const char *name;
        QByteArray bytes;
    };
    const std::vector<Damage> damages = {
        {"300 random bytes", overwriteRandom(source, 300, 7, 100)},
        {"30 random bytes", overwriteRandom(source, 30, 11, 100)},
        {"a junk block", source.left(40000) + randomBlock(3000, 3) + source.mid(40000)},
    };
    for (const Damage &d : damages) {
        SCOPED_TRACE(d.name);
        const QString path = dir.file("damaged.aac");
        ASSERT_TRUE(writeFile(path, d.bytes));
        const std::vector<AdtsFrame> frames = splitAdts(d.bytes);
        KvAACAudioFile f;
        ASSERT_EQ(f.open(path), QString());
        EXPECT_EQ(f.frameCount(), qint64(frames.size()));
        QString sourceErrors;
        decodeFfmpeg(path, &sourceErrors);
        const int sourceComplaints = sourceErrors.count("Error while decoding");

        const QString editList = dir.file("edits.txt");
        for (const char *edits : {"src %1 0 -1\n", "src %1 0 -1\ngain 0 %2 3\n"}) {
            SCOPED_TRACE(edits);
            writeFile(editList, QString(edits).arg(path).arg(frames.size()).toUtf8());
            const QString outPath = dir.file("out.aac");
            QByteArray out, err;
            ASSERT_EQ(kvbench({"export", outPath, editList}, &out, &err), 0) << err.toStdString();
            const std::vector<AdtsFrame> exported = splitAdts(readFile(outPath));
            ASSERT_EQ(exported.size(), frames.size());
            // Untouched, every frame goes out as the source's frame at its own header.
            if (!QString(edits).contains("gain")) {
                for (size_t i = 0; i < frames.size(); ++i)
                    EXPECT_EQ(exported[i].payload, frames[i].payload) << "frame " << i << " at " << frames[i].pos;
            }
            // Away from the damage the export decodes cleanly: FFmpeg complains of it no more
            // than of the damaged file itself (frames taken from the wrong bytes fail by the hundred).
            QString decodeErrors;
            EXPECT_FALSE(decodeFfmpeg(outPath, &decodeErrors).isEmpty());
            EXPECT_LE(decodeErrors.count("Error while decoding"), sourceComplaints) << decodeErrors.toStdString();
        }
    }
}

TEST(ScanDamage, AacFixtureTable)
{
    const std::vector<AacCase> cases = {
        {"ADTS with damaged frames", "aac_lc_stereo.aac",
         [](const QByteArray &b) { return overwriteRandom(b, 300, 7, 100); }, ".aac"},
        {"MP4 with a damaged sample table", "aac_lc_stereo.m4a", damageSampleSizes, ".m4a"},
        {"ADTS joined with another channel layout", "aac_lc_stereo.aac",
         [](const QByteArray &b) { return b + readFile(fixture("aac_lc_mono.aac")); }, ".aac", true},
    };
    TempDir dir;
    for (const AacCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = readFile(fixture(c.fixture));
        const QString path = dir.file(QStringLiteral("damaged") + c.suffix);
        ASSERT_TRUE(writeFile(path, c.make(bytes)));

        KvAACAudioFile f;
        ASSERT_EQ(f.open(path), QString());
        const KvScanReport &report = f.repacker()->scanReport();
        const std::vector<Packet> packets = ffprobePackets(path);
        if (c.cut) {
            KvAACAudioFile first;
            ASSERT_EQ(first.open(fixture(c.fixture)), QString());
            EXPECT_EQ(f.frameCount(), first.frameCount());
            EXPECT_EQ(report.cutAtFrame, first.frameCount());
            EXPECT_EQ(report.cutAtOffset, bytes.size() + 7);
        } else {
            if (QString(c.suffix) == ".aac") {
                // The stream's own headers, not FFprobe's packets: over damage FFmpeg's parser
                // merges and splits frames.
                EXPECT_EQ(f.frameCount(), qint64(splitAdts(c.make(bytes)).size()));
            } else {
                EXPECT_EQ(f.frameCount(), qint64(packets.size()));
            }
            EXPECT_GT(report.damagedFrames, 0);
        }
        const QString sentence = f.damageReport();
        EXPECT_FALSE(sentence.isEmpty());
        QByteArray out, err;
        EXPECT_EQ(kvbench({"scan", path}, &out, &err), 3);
        EXPECT_EQ(QString::fromLocal8Bit(err).trimmed(), sentence);

        // Frames kept as they are go out as they came in: the export decodes to as
        // many samples as the frames kept, damaged ones included.
        const QString editList = dir.file("edits.txt");
        writeFile(editList, QString("src %1 0 -1\ngain 10 200 2\n").arg(path).toUtf8());
        const QString outPath = dir.file(QStringLiteral("out") + c.suffix);
        ASSERT_EQ(kvbench({"export", outPath, editList}, &out, &err), 0) << err.toStdString();
        EXPECT_EQ(err, QByteArray());
        EXPECT_EQ(qint64(ffprobePackets(outPath).size()), f.frameCount());
        QString decodeErrors;
        EXPECT_FALSE(decodeFfmpeg(outPath, &decodeErrors).isEmpty());
    }
}

TEST(ScanDamage, RefusedAacFileSaysWhy)
{
    TempDir dir;
    const QString path = dir.file("cut.m4a");
    // The sample table lives at the end of the file: cut off, FFmpeg finds no index.
    writeFile(path, readFile(fixture("aac_lc_stereo.m4a")).left(3000));
    KvAACAudioFile f;
    const QString error = f.open(path);
    EXPECT_TRUE(error.startsWith("The file is not recognized as a supported AAC file format")) << error.toStdString();
    EXPECT_TRUE(error.contains("moov atom not found")) << error.toStdString();
    QByteArray out, err;
    EXPECT_EQ(kvbench({"scan", path}, &out, &err), 1);
    EXPECT_EQ(QString::fromLocal8Bit(err).trimmed(), error);
}
