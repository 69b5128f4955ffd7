// The engine with the AAC library out of reach: AAC files are refused with
// the usual text, nothing crashes, MP3 is unaffected, saves fail loudly.
#include "KvAacTestUtil.h"

#include "KvAACFrameSizeInfo.h"
#include "KvAudioStream.h"
#include "KvEngineFactories.h"
#include "KvLibavLoad.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace {
// The library "renamed away": the loader is pointed at a name that is not there.
struct MissingLibrary {
    MissingLibrary() { qputenv("KV_AACWRAP_LIBRARY", QByteArray(KV_AACWRAP_LIBRARY_PATH)); }
};
const MissingLibrary g_missing;
} // namespace

TEST(AacWithoutLibrary, AacFilesAreNotRecognised)
{
    for (const char *name : {"aac_lc_stereo.m4a", "aac_lc_mono.aac", "aac_lc_48k.m4a"}) {
        bool heAac = true;
        QString error;
        const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(kvtest::fixture(name), heAac, error);
        ASSERT_TRUE(file) << name;
        EXPECT_EQ(error, QStringLiteral("The file is not recognized as a supported AAC file format")) << name;
        EXPECT_FALSE(heAac);
        EXPECT_EQ(file->frameCount(), 0);
        const KvRepackInfoPtr f = file->createRepackInfo(0, -1);
        EXPECT_TRUE(!f || f->frameCount() == 0);
    }
    EXPECT_EQ(KvLibavLoad::instance()->loadedValue(), 0);
}

TEST(AacWithoutLibrary, Mp3StillOpens)
{
    bool heAac = true;
    QString error;
    const boost::shared_ptr<KvAudioFile> file =
        createAudioFileByExtension(kvtest::fixture("cbr128_joint.mp3"), heAac, error);
    ASSERT_TRUE(file);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_GT(file->frameCount(), 100);
}

TEST(AacWithoutLibrary, SavesFailWithATextAndWriteNothing)
{
    KvAACInfo info{};
    info.field[KV_AAC_OBJECT_TYPE] = 2;
    info.field[KV_AAC_SAMPLING_INDEX] = 4;
    info.field[KV_AAC_SAMPLE_RATE] = 44100;
    info.field[KV_AAC_CHANNEL_CONFIG] = 2;
    info.field[KV_AAC_CHANNELS] = 2;
    info.field[KV_AAC_SAMPLES_PER_FRAME] = 1024;
    const boost::shared_ptr<KvAudioFile> silent =
        createAudioFileLike(boost::shared_ptr<KvFrameSizeInfo>(new KvAACFrameSizeInfo(info)), 0);
    const KvRepackInfoPtrListPtr doc = aacengine::documentOf({silent->createRepackInfoFrom(50)});

    kvtest::TempDir tmp;
    const QString fresh = tmp.file("fresh.m4a");
    EXPECT_FALSE(KvAACRepackInfoPtrList::writeAacFrames(doc, fresh).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(fresh));
    const QString old = tmp.file("old.aac");
    ASSERT_TRUE(kvtest::writeFile(old, "keep me"));
    EXPECT_FALSE(KvAACRepackInfoPtrList::writeAacFrames(doc, old).isEmpty());
    EXPECT_EQ(kvtest::readFile(old), QByteArray("keep me"));

    const QString source = kvtest::fixture("aac_lc_stereo.m4a");
    EXPECT_EQ(KvAACRepackInfoPtrList::saveAacFile(source, tmp.file("copy.m4a")),
              QStringLiteral("Failed to open source AAC file: %1, Error: ").arg(source));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.aac"});
}

TEST(AacWithoutLibrary, StreamEndsWithAReasonInsteadOfWaiting)
{
    KvAACInfo info{};
    info.field[KV_AAC_OBJECT_TYPE] = 2;
    info.field[KV_AAC_SAMPLE_RATE] = 48000;
    info.field[KV_AAC_SAMPLING_INDEX] = 3;
    info.field[KV_AAC_CHANNELS] = 1;
    info.field[KV_AAC_SAMPLES_PER_FRAME] = 1024;
    const boost::shared_ptr<KvAudioFile> silent =
        createAudioFileLike(boost::shared_ptr<KvFrameSizeInfo>(new KvAACFrameSizeInfo(info)), 0);
    const KvRepackInfoPtrListPtr doc = aacengine::documentOf({silent->createRepackInfoFrom(20)});
    std::unique_ptr<KvAudioListFileIO> device(createAudioListFileIO(doc));
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->setSource(doc, 0, 0));
    char buffer[4096];
    EXPECT_EQ(device->readData(buffer, sizeof buffer), 0);
    EXPECT_TRUE(device->finished());
    EXPECT_FALSE(device->errorText().isEmpty());
}
