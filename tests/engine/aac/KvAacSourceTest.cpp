// AAC sources: the frame index against ffprobe, the format facts, opening by
// extension and the HE-AAC flag, holders and handles.
#include "KvAacEnv.h"
#include "KvAacTestUtil.h"

#include "KvAACFrameRepacker.h"
#include "KvAACFrameSizeInfo.h"
#include "KvAacOpaqueAudioFileInfo.h"
#include "KvEngineFactories.h"
#include "KvFile.h"
#include "KvLibavLoad.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cctype>
#include <cstring>
#include <string>

using namespace aacengine;

namespace {

struct SourceCase {
    const char *name;
    int rate;
    int channels;
    int container;
};

void PrintTo(const SourceCase &c, std::ostream *os) { *os << c.name; }

class AacSource : public ::testing::TestWithParam<SourceCase> {};

// Packet sizes of the raw frames, from ffprobe.
std::vector<int> packetSizes(const QString &path)
{
    QByteArray out;
    kvtest::runProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", "packet=size", "-of",
                                   "csv=p=0", path},
                       &out);
    std::vector<int> sizes;
    for (const QByteArray &line : out.split('\n')) {
        // Packets with side data end their line with a separator.
        const QByteArray field = line.split(',').first().trimmed();
        if (!field.isEmpty())
            sizes.push_back(field.toInt());
    }
    return sizes;
}

} // namespace

TEST_P(AacSource, IndexMatchesFfprobeAndFormatFactsAreTheStreams)
{
    const SourceCase c = GetParam();
    const QString path = kvtest::fixture(c.name);
    const boost::shared_ptr<KvAACAudioFile> file = openAac(path);
    KvAACFrameRepacker *index = file->aacRepacker();
    ASSERT_TRUE(index);
    EXPECT_EQ(file->frameCount(), countPackets(path));

    // Frame lengths are the differences of the library's cumulative offsets:
    // they must be the raw packet sizes (ADTS sizes less their 7-byte header).
    std::vector<int> sizes = packetSizes(path);
    ASSERT_EQ(qint64(sizes.size()), file->frameCount());
    const KvAACGainFrameInfo *table = index->frameTable().get();
    const int header = c.container == 2 ? 7 : 0;
    for (qint64 i = 0; i < file->frameCount(); ++i)
        ASSERT_EQ(table[i].length, sizes[size_t(i)] - header) << "frame " << i;

    const KvAACFrameSizeInfo *format = index->aacSizeInfo();
    ASSERT_TRUE(format);
    EXPECT_EQ(format->sampleRate(), c.rate);
    EXPECT_EQ(format->rateCode(), c.rate);
    EXPECT_EQ(format->channelCount(), c.channels);
    EXPECT_EQ(format->modeCode(), c.channels);
    EXPECT_EQ(format->samplesPerFrame(), 1024);
    EXPECT_EQ(format->versionCode(), 12);   // AAC LC
    EXPECT_TRUE(format->formatKey().isEmpty());
    EXPECT_EQ(format->aacInfo()->field[KV_AAC_CONTAINER], c.container);
    const std::unique_ptr<KvFrameSizeInfo> copy(format->clone());
    EXPECT_EQ(std::memcmp(static_cast<KvAACFrameSizeInfo *>(copy.get())->aacInfo(), format->aacInfo(),
                          sizeof(KvAACInfo)),
              0);

    // The source counts as an open file of the program, under its normalised path.
    EXPECT_EQ(index->path(), normalizeLongPath(path));
    EXPECT_TRUE(KvFile::openFiles().contains(index->path()));
    EXPECT_NE(index->handle(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AacSource,
                         ::testing::Values(SourceCase{"aac_lc_stereo.m4a", 44100, 2, 1},
                                           SourceCase{"aac_lc_mono.m4a", 44100, 1, 1},
                                           SourceCase{"aac_lc_48k.m4a", 48000, 2, 1},
                                           SourceCase{"aac_lc_stereo.aac", 44100, 2, 2},
                                           SourceCase{"aac_lc_mono.aac", 44100, 1, 2},
                                           SourceCase{"aac/clicks_mono_48k.aac", 48000, 1, 2}),
                         [](const ::testing::TestParamInfo<SourceCase> &info) {
                             std::string name = info.param.name;
                             for (char &ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

TEST(AacSourceOpen, ByExtensionAnyCase)
{
    kvtest::TempDir tmp;
    const QByteArray bytes = kvtest::readFile(kvtest::fixture("aac_lc_stereo.m4a"));
    for (const char *ext : {".m4a", ".M4B", ".m4r", ".Mp4"}) {
        const QString path = tmp.file(QStringLiteral("copy") + QLatin1String(ext));
        ASSERT_TRUE(kvtest::writeFile(path, bytes));
        bool heAac = true;
        QString error;
        const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(path, heAac, error);
        ASSERT_TRUE(dynamic_cast<KvAACAudioFile *>(file.get())) << ext;
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_FALSE(heAac);
        EXPECT_GT(file->frameCount(), 0);
    }
    bool heAac = false;
    QString error;
    const boost::shared_ptr<KvAudioFile> adts =
        createAudioFileByExtension(kvtest::fixture("aac_lc_mono.aac"), heAac, error);
    EXPECT_TRUE(dynamic_cast<KvAACAudioFile *>(adts.get()));
    EXPECT_TRUE(error.isEmpty());
}

TEST(AacSourceOpen, FailuresGiveTheFileAndTheReason)
{
    // Not AAC at all, under an AAC name: the library indexes nothing.
    kvtest::TempDir tmp;
    const QString fake = tmp.file("fake.m4a");
    ASSERT_TRUE(kvtest::writeFile(fake, kvtest::readFile(kvtest::fixture("cbr128_joint.mp3"))));
    bool heAac = true;
    QString error;
    boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(fake, heAac, error);
    ASSERT_TRUE(file);
    EXPECT_EQ(error, QStringLiteral("The file is not recognized as a supported AAC file format"));
    EXPECT_FALSE(heAac);
    EXPECT_LE(file->frameCount(), 0);
    EXPECT_FALSE(file->repacker()->sizeInfo());
    EXPECT_FALSE(file->createRepackInfo(0, 1));

    // A missing file: the library finds nothing and the program cannot open it.
    file = createAudioFileByExtension(tmp.file("missing.aac"), heAac, error);
    ASSERT_TRUE(file);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Failed to open AAC audio file: "))) << error.toStdString();

    // A WAV file is nobody's.
    file = createAudioFileByExtension(kvtest::fixture("plain.wav"), heAac, error);
    EXPECT_FALSE(file);
    EXPECT_EQ(error, QStringLiteral("Internal error: unsupported file extension"));
}

TEST(AacSourceOpen, HeAacSourceIsFlagged)
{
    // An HE-AAC file: an LC core at 22050 Hz under an explicit SBR
    // configuration with 44100 Hz output, written by the library itself.
    kvtest::TempDir tmp;
    const QString core = tmp.file("core.aac");
    QByteArray err;
    ASSERT_EQ(kvtest::runProgram("ffmpeg", {"-v", "error", "-y", "-i", kvtest::fixture("aac_lc_stereo.m4a"), "-ar",
                                            "22050", "-c:a", "aac", "-b:a", "48k", core},
                                 nullptr, &err),
              0)
        << err.toStdString();
    const boost::shared_ptr<KvAACAudioFile> lc = openAac(core);
    KvAACInfo he = *lc->aacRepacker()->aacSizeInfo()->aacInfo();
    he.field[KV_AAC_OBJECT_TYPE] = 5;
    he.field[KV_AAC_SBR] = 1;
    he.field[KV_AAC_EXT_OBJECT_TYPE] = 5;
    he.field[KV_AAC_EXT_SAMPLE_RATE] = 44100;
    const QString path = tmp.file("he.mp4");
    KvLibavLoad *lib = KvLibavLoad::instance();
    const KvAacHandle w = lib->initAacWriteNextFileFrames(0, lc->aacRepacker()->handle(), path.toUtf8().constData(),
                                                          0, lc->frameCount(), 0, &he);
    ASSERT_NE(w, 0u);
    for (qint64 i = 0; i < lc->frameCount(); ++i)
        ASSERT_EQ(lib->aacWriteNextFrame(w, 0, 0, nullptr, 0, nullptr), 1);
    ASSERT_EQ(lib->closeAacWrite(w), 0);

    bool heAac = false;
    QString error;
    const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(path, heAac, error);
    ASSERT_TRUE(file);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(heAac);
    const KvAACInfo *info = castAacSizeInfo(file->repacker()->sizeInfo());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->field[KV_AAC_OBJECT_TYPE], 5);
    EXPECT_EQ(info->field[KV_AAC_EXT_SAMPLE_RATE], 44100);
}

TEST(AacSourceOpen, HandleIsReleasedWithTheLastHolder)
{
    KvAacHandle handle = 0;
    KvRepackInfoPtr fragment;
    {
        const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_mono.aac");
        handle = file->aacRepacker()->handle();
        ASSERT_NE(handle, 0u);
        fragment = file->createRepackInfo(10, 5);
    }
    // The fragment still holds the source: the handle still opens writers.
    KvLibavLoad *lib = KvLibavLoad::instance();
    const KvAacHandle w = lib->initAacWriteNextFileFrames(0, handle, "", 0, 1, 1, nullptr);
    EXPECT_NE(w, 0u);
    lib->closeAacWrite(w);
    fragment.reset();
    // Gone with the last holder: the library refuses the handle now.
    EXPECT_EQ(lib->initAacWriteNextFileFrames(0, handle, "", 0, 1, 1, nullptr), 0u);
    EXPECT_LT(lib->closeAacHandle(handle), 0);
}

TEST(AacSourceOpen, SilentSourceOfAFormat)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_stereo.aac");
    const boost::shared_ptr<KvAudioFile> silent = createAudioFileLike(file->repacker()->sizeInfo(), 10);
    ASSERT_TRUE(dynamic_cast<KvAACAudioFile *>(silent.get()));
    EXPECT_EQ(silent->frameCount(), KvFrameRepacker::kSilentFrameCount);
    EXPECT_TRUE(silent->repacker()->path().isEmpty());
    EXPECT_EQ(static_cast<KvAACAudioFile *>(silent.get())->aacRepacker()->handle(), 0u);
    const KvRepackInfoPtr run = silent->createRepackInfoFrom(7);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->frameCount(), 7);
    EXPECT_EQ(run->sizeInfo(), file->repacker()->sizeInfo());
    EXPECT_FALSE(silent->createRepackInfo(0, -1));   // silence needs a length
}
