// The AAC stream device: one ADTS frame per read, the same frames the saver
// writes, and its ends (empty document, small buffer, close, other kinds).
#include "KvAacEnv.h"
#include "KvAacTestUtil.h"

#include "KvAACAudioListFileIO.h"
#include "KvAACFrameListIterator.h"
#include "KvAACFrameRepacker.h"
#include "KvAudioStream.h"
#include "KvEngineFactories.h"
#include "KvMP3RepackInfoPtrList.h"

#include <gtest/gtest.h>

#include <memory>

using namespace aacengine;

namespace {

// ADTS frame length from its header.
int adtsLength(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return ((u[3] & 0x03) << 11) | (u[4] << 3) | (u[5] >> 5);
}

std::unique_ptr<KvAudioListFileIO> deviceFor(const KvRepackInfoPtrListPtr &doc)
{
    std::unique_ptr<KvAudioListFileIO> device(createAudioListFileIO(doc));
    EXPECT_TRUE(dynamic_cast<KvAACAudioListFileIO *>(device.get()));
    if (device) {
        EXPECT_TRUE(device->setSource(doc, 0, 0));
    }
    return device;
}

} // namespace

TEST(AacStream, StreamsTheFramesTheSaverWrites)
{
    const boost::shared_ptr<KvAACAudioFile> a = openAac("aac_lc_stereo.m4a");
    const boost::shared_ptr<KvAACAudioFile> b = openAac("aac_lc_stereo.aac");
    const KvRepackInfoPtrListPtr doc =
        documentOf({silenceLike(a, 5), fragmentOf(a, 40, 100), fragmentOf(b, 7, 60), fragmentOf(a, 300, 20)});
    {
        KvAACFrameListIterator it(doc, 0);
        for (qint64 i = 0; it.next(); ++i) {
            if (i >= 50 && i < 90)
                it.addGain(i < 70 ? 3 : -5);
            if (i >= 120 && i < 130)
                it.setSilenced(true);
        }
    }
    const std::unique_ptr<KvAudioListFileIO> device = deviceFor(doc);
    ASSERT_TRUE(device);
    EXPECT_FALSE(device->finished());
    QByteArray stream;
    std::vector<char> buffer(32768);
    qint64 frames = 0;
    while (!device->finished()) {
        const int n = KvAudioStreamRead(buffer.data(), 1, int(buffer.size()), device.get());
        if (n <= 0)
            break;
        // Exactly one whole ADTS frame per read.
        ASSERT_EQ(uchar(buffer[0]), 0xFF);
        ASSERT_EQ(adtsLength(buffer.data()), n);
        stream.append(buffer.data(), n);
        ++frames;
    }
    EXPECT_EQ(frames, 185);
    EXPECT_TRUE(device->finished());
    EXPECT_EQ(KvAudioStreamEof(device.get()), 1);
    EXPECT_EQ(device->takeFramesRead(), 185u);
    EXPECT_EQ(device->takeFramesRead(), 0u);
    EXPECT_EQ(device->readData(buffer.data(), qint64(buffer.size())), 0);
    EXPECT_TRUE(device->errorText().isEmpty());
    // The silent first fragment's source keeps no writer.
    EXPECT_EQ(boost::dynamic_pointer_cast<KvAACRepackInfo>(doc->list()->front())->aacRepacker()->handle(), 0u);

    kvtest::TempDir tmp;
    const QString streamed = tmp.file("streamed.aac");
    ASSERT_TRUE(kvtest::writeFile(streamed, stream));
    const QString saved = tmp.file("saved.aac");
    ASSERT_TRUE(saveDocumentFile(doc, saved).isEmpty());
    const QStringList hashes = packetHashes(streamed);
    EXPECT_EQ(hashes.size(), 185);
    EXPECT_EQ(hashes, packetHashes(saved));
}

TEST(AacStream, EndsAndEdges)
{
    std::vector<char> buffer(32768);
    // An empty document: the first read closes the device.
    {
        const std::unique_ptr<KvAudioListFileIO> device = deviceFor(KvRepackInfoPtrListPtr(new KvAACRepackInfoPtrList));
        EXPECT_FALSE(device->finished());
        EXPECT_EQ(device->readData(buffer.data(), 32768), 0);
        EXPECT_TRUE(device->finished());
    }
    // A document of another kind is not streamed.
    {
        KvAACAudioListFileIO device;
        EXPECT_TRUE(device.finished());
        EXPECT_TRUE(device.setSource(KvRepackInfoPtrListPtr(new KvMP3RepackInfoPtrList), 0, 0));
        EXPECT_EQ(device.state(), int(KvAACAudioListFileIO::NotAac));
        EXPECT_TRUE(device.finished());
        EXPECT_EQ(device.readData(buffer.data(), 32768), 0);
    }
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_mono.aac");
    // A buffer smaller than the frame: -1, and that frame is gone.
    {
        const std::unique_ptr<KvAudioListFileIO> device = deviceFor(documentOf({fragmentOf(file, 0, 3)}));
        EXPECT_EQ(KvAudioStreamRead(buffer.data(), 1, 8, device.get()), -1);
        EXPECT_GT(device->readData(buffer.data(), 32768), 0);
        EXPECT_GT(device->readData(buffer.data(), 32768), 0);
        EXPECT_EQ(device->readData(buffer.data(), 32768), 0);
        EXPECT_TRUE(device->finished());
    }
    // Closing mid-stream finishes it; attaching again starts over.
    {
        const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 10, 4)});
        const std::unique_ptr<KvAudioListFileIO> device = deviceFor(doc);
        EXPECT_GT(device->readData(buffer.data(), 32768), 0);
        device->close();
        EXPECT_TRUE(device->finished());
        EXPECT_EQ(device->readData(buffer.data(), 32768), 0);
        EXPECT_TRUE(device->setSource(doc, 0, 0));
        int n = 0;
        while (device->readData(buffer.data(), 32768) > 0)
            ++n;
        EXPECT_EQ(n, 4);
    }
    // Through the stream functions' close.
    {
        QIODevice *handle = createAudioListFileIO(documentOf({fragmentOf(file, 0, 2)}));
        EXPECT_EQ(KvAudioStreamClose(handle), 0);
    }
}

TEST(AacStream, ThroughTheStreamFunctions)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_mono.m4a");
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 5, 30), silenceLike(file, 4)});
    QIODevice *handle = KvAudioStreamOpen("rb", doc, 0);
    ASSERT_TRUE(dynamic_cast<KvAACAudioListFileIO *>(handle));
    std::vector<char> buffer(32768);
    int frames = 0;
    while (!KvAudioStreamEof(handle)) {
        const int n = KvAudioStreamRead(buffer.data(), 1, int(buffer.size()), handle);
        if (n > 0)
            ++frames;
    }
    EXPECT_EQ(frames, 34);
    EXPECT_EQ(KvAudioStreamRead(buffer.data(), 1, int(buffer.size()), handle), 0);
    EXPECT_EQ(KvAudioStreamClose(handle), 0);
    EXPECT_FALSE(KvAudioStreamOpen("w", doc, 0));
    EXPECT_FALSE(KvAudioStreamOpen("rb", KvRepackInfoPtrListPtr(new KvAACRepackInfoPtrList), 0));
}
