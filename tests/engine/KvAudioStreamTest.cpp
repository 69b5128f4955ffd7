// The document stream functions, the frame reader, chunked streaming and the
// reservoir planner's own promises.
#include "KvEditList.h"
#include "KvMp3StreamCheck.h"
#include "KvTestSupport.h"
#include "Mp3ExportSupport.h"

#include "KvAudioStream.h"
#include "KvEngineFactories.h"
#include "KvFrameSizeInfo.h"
#include "KvMP3FrameListIterator.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvMp3Records.h"
#include "KvRepackInfoPtrList.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

using namespace kvtest;

namespace {

KvEditListDocument build(const QString &list)
{
    KvEditListDocument d;
    QString error;
    EXPECT_TRUE(kvBuildEditList(list, d, error)) << error.toStdString();
    return d;
}

QString src(const QString &name, qint64 first, qint64 count)
{
    return QStringLiteral("src %1 %2 %3\n").arg(fixture(name)).arg(first).arg(count);
}

// Every frame the stream delivers, read as the saver reads.
struct Streamed {
    QByteArray bytes;
    int frames = 0;
    QString error;
};

Streamed readAll(const KvRepackInfoPtrListPtr &doc, int chunk)
{
    Streamed s;
    QIODevice *h = KvAudioStreamOpen("rb", doc, chunk);
    EXPECT_NE(h, nullptr);
    if (!h)
        return s;
    QByteArray buf(32768, '\0');
    while (!KvAudioStreamEof(h)) {
        const int n = KvAudioStreamRead(buf.data(), 1, buf.size(), h);
        EXPECT_GE(n, 0);
        if (n <= 0)
            continue;
        s.bytes.append(buf.constData(), n);
        ++s.frames;
    }
    s.error = qobject_cast<KvAudioListFileIO *>(h)->errorText();
    EXPECT_EQ(KvAudioStreamClose(h), 0);
    return s;
}

std::vector<KvMP3GainChangeInfo> editRecords(const KvRepackInfoPtrListPtr &doc)
{
    std::vector<KvMP3GainChangeInfo> v;
    KvMP3FrameListIterator it(doc, false);
    while (it.next())
        v.push_back(*it.context().editRecord);
    return v;
}

} // namespace

TEST(KvAudioStream, RefusesWrongModesEmptyDocumentsAndForeignHandles)
{
    const KvEditListDocument d = build(src("cbr128_joint.mp3", 0, 10));
    EXPECT_EQ(KvAudioStreamOpen("w", d.document, 0), nullptr);
    EXPECT_EQ(KvAudioStreamOpen("rb+", d.document, 0), nullptr);
    EXPECT_EQ(KvAudioStreamOpen(nullptr, d.document, 0), nullptr);
    const KvRepackInfoPtrListPtr empty = createRepackInfoPtrList(d.document);
    EXPECT_EQ(KvAudioStreamOpen("rb", empty, 0), nullptr);
    EXPECT_EQ(KvAudioStreamOpen("r", KvRepackInfoPtrListPtr(), 0), nullptr);

    EXPECT_EQ(KvAudioStreamEof(nullptr), 1);
    QBuffer other;
    char b[16];
    EXPECT_EQ(KvAudioStreamRead(b, 1, sizeof b, &other), 0);
    EXPECT_EQ(KvAudioStreamClose(&other), -1);
    EXPECT_EQ(KvAudioStreamClose(nullptr), -1);
}

TEST(KvAudioStream, DeliversOneWholeFramePerReadThenEnds)
{
    const KvEditListDocument d = build(src("cbr128_joint.mp3", 0, 100));
    KvPrepareRepack(d.document);
    QIODevice *h = KvAudioStreamOpen("r", d.document, 0);
    ASSERT_NE(h, nullptr);
    QByteArray buf(32768, '\0');
    // Too small a buffer: -1, and the frame is still there for a larger one.
    EXPECT_EQ(KvAudioStreamRead(buf.data(), 1, 100, h), -1);
    QByteArray all;
    int frames = 0;
    while (!KvAudioStreamEof(h)) {
        const int n = KvAudioStreamRead(buf.data(), 4, 8192, h);
        ASSERT_GE(n, 0);
        if (n > 0) {
            const Mp3StreamReport one = checkMp3Stream(buf.left(n));
            ASSERT_EQ(one.frames.size(), 1u) << "read " << frames;
            EXPECT_EQ(one.frames[0].length, n);
            all.append(buf.constData(), n);
            ++frames;
        }
    }
    EXPECT_EQ(frames, 100);
    EXPECT_EQ(KvAudioStreamRead(buf.data(), 1, 32768, h), 0);
    EXPECT_NE(KvAudioStreamEof(h), 0);
    EXPECT_TRUE(checkMp3Stream(all).errors.isEmpty());
    EXPECT_EQ(KvAudioStreamClose(h), 0);
}

TEST(KvAudioStream, PreRollAndFramesAddUpToWhatTheDocumentNeeds)
{
    const KvEditListDocument d = build(src("vbr_v2.mp3", 25, 50) + src("vbr_v2.mp3", 3, 5));
    KvPrepareRepack(d.document);
    QIODevice *h = KvAudioStreamOpen("rb", d.document, 0);
    ASSERT_NE(h, nullptr);
    KvAudioListFileIO *dev = qobject_cast<KvAudioListFileIO *>(h);
    QByteArray buf(32768, '\0');
    quint64 stepped = 0;
    int frames = 0;
    while (!KvAudioStreamEof(h)) {
        if (KvAudioStreamRead(buf.data(), 1, buf.size(), h) > 0)
            ++frames;
        stepped += dev->takeFramesRead();
    }
    KvAudioStreamClose(h);
    EXPECT_EQ(frames, 55);
    EXPECT_EQ(stepped, 10u + 50u + 3u + 5u);
}

TEST(KvAudioStream, FirstReadAfterTenPreRollFramesIsTheFragmentsFirstFrame)
{
    const KvEditListDocument d = build(src("vbr_v2.mp3", 25, 50));
    KvPrepareRepack(d.document);
    QIODevice *h = KvAudioStreamOpen("rb", d.document, 0);
    ASSERT_NE(h, nullptr);
    KvAudioListFileIO *dev = qobject_cast<KvAudioListFileIO *>(h);
    QByteArray buf(32768, '\0');
    const int n = KvAudioStreamRead(buf.data(), 1, buf.size(), h);
    ASSERT_GT(n, 0);
    // Ten pre-roll frames and at least the first real one were stepped.
    EXPECT_GE(dev->takeFramesRead(), 11u);
    const Mp3StreamReport first = checkMp3Stream(buf.left(n));
    ASSERT_EQ(first.frames.size(), 1u);
    EXPECT_EQ(first.frames[0].mainDataBegin, 0);
    KvAudioStreamClose(h);
}

TEST(KvAudioFrameReader, ReadsFramesAndAnswersWithoutADevice)
{
    KvAudioFrameReader none;
    QByteArray buf(32768, '\0');
    EXPECT_EQ(none.read(buf.data(), 1, buf.size()), 0);
    EXPECT_EQ(none.finished(), -1);
    EXPECT_EQ(none.close(), 0);

    const KvEditListDocument d = build(src("cbr64_mono.mp3", 0, 20));
    KvPrepareRepack(d.document);
    QIODevice *h = KvAudioStreamOpen("rb", d.document, 0);
    ASSERT_NE(h, nullptr);
    KvAudioFrameReader reader(h);
    EXPECT_EQ(reader.finished(), 0);
    EXPECT_EQ(reader.read(buf.data(), 1, 10), -1);
    int frames = 0;
    while (!reader.finished()) {
        if (reader.read(buf.data(), 1, buf.size()) > 0)
            ++frames;
    }
    EXPECT_EQ(frames, 20);
    EXPECT_EQ(reader.read(buf.data(), 1, buf.size()), 0);
    EXPECT_EQ(reader.close(), 0);
    EXPECT_EQ(reader.finished(), -1);
    // The reader closed the device but left it to its owner.
    EXPECT_EQ(KvAudioStreamClose(h), 0);
}

TEST(KvAudioStream, ChunkedStreamDecodesLikeTheSource)
{
    struct Case {
        QString list;
        QString name;
    };
    const Case cases[] = {{src("vbr_v2.mp3", 0, -1), "vbr_v2.mp3"},
                          {src("cbr128_crc.mp3", 0, -1), "cbr128_crc.mp3"},
                          {src("vbr_v0_long.mp3", 0, -1), "vbr_v0_long.mp3"}};
    TempDir dir;
    for (const Case &c : cases) {
        const KvEditListDocument d = build(c.list);
        const Streamed s = readAll(d.document, 100);
        EXPECT_TRUE(s.error.isEmpty()) << s.error.toStdString();
        EXPECT_EQ(s.frames, d.document->totalFrames());
        const QString out = dir.file("chunked_" + c.name);
        ASSERT_TRUE(writeFile(out, s.bytes));
        const Mp3StreamReport r = checkMp3Stream(s.bytes);
        EXPECT_TRUE(r.errors.isEmpty()) << c.name.toStdString() << ": " << r.errors.mid(0, 3).join("; ").toStdString();
        // Chunks start with an empty reservoir: every chunk's frames keep their
        // whole payload, so the stream decodes exactly like the source.
        const QByteArray a = decodeMpg123(out), b = decodeMpg123(fixture(c.name));
        qint64 diff = -1;
        EXPECT_EQ(a.size(), b.size());
        EXPECT_TRUE(sameFrames(a, 0, b, 0, b.size() / 4608, 4608, &diff)) << c.name.toStdString() << " frame " << diff;
    }
}

TEST(KvAudioStream, ChunkedStreamOfAnEditedDocumentIsSound)
{
    TempDir dir;
    struct Case {
        QString list;
        int frameBytes;
    };
    const Case cases[] = {
        {src("vbr_v0_long.mp3", 0, -1) + "delete 300 211\nsilence 37\n" + src("vbr_v0_long.mp3", 50, 400) +
             "mute 700 30\ngain 0 900 -2\n",
         4608},
        // Frames of 13 main-data bytes: more frames than a fragment's ten margin
        // frames refill the reservoir that a chunk's first frames reach back for.
        {src("mpeg2_vbr_quiet_22k.mp3", 0, -1) + src("mpeg2_vbr_quiet_22k.mp3", 20, 150), 1152},
    };
    int k = 0;
    for (const Case &c : cases) {
        const KvEditListDocument d = build(c.list);
        const Streamed s = readAll(d.document, 100);
        EXPECT_TRUE(s.error.isEmpty());
        EXPECT_EQ(s.frames, d.document->totalFrames());
        const QString out = dir.file(QString("edited%1.mp3").arg(++k));
        ASSERT_TRUE(writeFile(out, s.bytes));
        const Mp3StreamReport r = checkMp3Stream(s.bytes);
        EXPECT_TRUE(r.errors.isEmpty()) << r.errors.mid(0, 3).join("; ").toStdString();
        QString err;
        const QByteArray pcm = decodeMpg123(out, &err);
        EXPECT_TRUE(err.trimmed().isEmpty()) << err.toStdString();
        EXPECT_EQ(pcm.size(), d.document->totalFrames() * c.frameBytes);
    }
}

// Playback reads one frame at a time and the saver many at once; long
// unedited runs come straight from the source either way. Both give the same
// bytes, and streaming in chunks (which plans copies of the document) changes
// nothing that a later save writes.
TEST(KvAudioStream, FrameByFrameAndChunkedReadsLeaveTheSaveAsItIs)
{
    TempDir dir;
    const KvEditListDocument d = build(src("vbr_v0_long.mp3", 0, -1) + "delete 300 211\nsilence 37\n" +
                                       src("cbr128_joint.mp3", 50, 400) + "mute 700 30\ngain 900 400 -2\n");
    const QString before = dir.file("before.mp3"), after = dir.file("after.mp3");
    KvPrepareRepack(d.document);
    ASSERT_EQ(saveDocumentFile(d.document, before), QString());
    const QByteArray saved = readFile(before);
    const Mp3StreamReport r = checkMp3Stream(saved);
    ASSERT_FALSE(r.frames.empty());

    const Streamed frameByFrame = readAll(d.document, 0);
    EXPECT_EQ(frameByFrame.frames, d.document->totalFrames());
    EXPECT_TRUE(frameByFrame.bytes == saved.mid(r.frames[0].length)) << "frame by frame differs from the save";

    const Streamed chunked = readAll(d.document, 100);
    EXPECT_EQ(chunked.frames, d.document->totalFrames());
    KvPrepareRepack(d.document);
    ASSERT_EQ(saveDocumentFile(d.document, after), QString());
    EXPECT_TRUE(readFile(after) == saved) << "playing in chunks changed the save";
}

TEST(KvAudioStream, ReadFailureEndsTheStreamWithAnError)
{
    TempDir dir;
    const QString source = dir.file("shrinking.mp3");
    ASSERT_TRUE(QFile::copy(fixture("vbr_v2.mp3"), source));
    QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner);
    const KvEditListDocument d = build(QString("src %1 0 -1\n").arg(source));
    KvPrepareRepack(d.document);
    ASSERT_TRUE(QFile::resize(source, QFileInfo(source).size() / 3));
    const Streamed s = readAll(d.document, 0);
    EXPECT_FALSE(s.error.isEmpty());
    EXPECT_LT(s.frames, d.document->totalFrames());
    // What was delivered is still a sound stream.
    EXPECT_TRUE(checkMp3Stream(s.bytes).errors.isEmpty());
}

// ---------------------------------------------------------------------------

TEST(KvReservoirPlanner, FirstFrameStartsEmptyAndLimitsHold)
{
    for (const char *name : {"vbr_v2.mp3", "mpeg2_vbr_16k.mp3", "mpeg25_stereo_11k.mp3"}) {
        const KvEditListDocument d = build(src(name, 20, 60) + src(name, 5, 40));
        const boost::shared_ptr<KvFrameSizeInfo> f = d.document->firstSourceInfo();
        const int limit = f->versionCode() == 0 ? 511 : 255;
        KvPrepareRepack(d.document);
        const std::vector<KvMP3GainChangeInfo> e = editRecords(d.document);
        ASSERT_EQ(e.size(), 100u);
        // Packed records: fields are read by value.
        EXPECT_EQ(int(e[0].mainDataBegin), 0) << name;
        for (const KvMP3GainChangeInfo &r : e) {
            const int begin = r.mainDataBegin;
            EXPECT_GE(begin, 0);
            EXPECT_LE(begin, limit);
        }
        const KvMP3RepackInfoPtrList::PlanReport report = KvMP3RepackInfoPtrList::lastPlanReport();
        EXPECT_FALSE(report.bounded) << name;
        EXPECT_EQ(report.repaired, 0) << name;
    }
}

TEST(KvReservoirPlanner, UneditedDocumentKeepsItsSourceLayoutAndDropsNothing)
{
    for (const char *name : {"vbr_v2.mp3", "abr160.mp3", "mpeg2_vbr_quiet_22k.mp3"}) {
        const KvEditListDocument d = build(src(name, 0, -1));
        KvPrepareRepack(d.document);
        KvMP3FrameListIterator it(d.document, false);
        for (qint64 i = 0; it.next(); ++i) {
            const KvMP3GainChangeInfo &e = *it.context().editRecord;
            const KvMP3GainFrameInfo &s = *it.context().sourceRecord;
            EXPECT_EQ(e.bitrateIndex(), s.bitrateIndex()) << name << " frame " << i;
            EXPECT_EQ(int(e.mainDataBegin), int(s.mainDataBegin)) << name << " frame " << i;
            EXPECT_FALSE(e.flags & (KvMp3EditFlag::Dropped | KvMp3EditFlag::Silenced)) << name << " frame " << i;
        }
        EXPECT_EQ(KvMP3RepackInfoPtrList::lastPlanReport().dropped, 0) << name;
    }
}

TEST(KvReservoirPlanner, StartAtMaxRaisesEveryFrameAndFindsACutPoint)
{
    const KvEditListDocument shortDoc = build(src("vbr_v2.mp3", 0, 100));
    EXPECT_EQ(KvPrepareRepackFlagged(shortDoc.document, true), 0);
    for (const KvMP3GainChangeInfo &r : editRecords(shortDoc.document))
        EXPECT_EQ(r.bitrateIndex(), 14);

    const KvEditListDocument longDoc = build(src("vbr_v0_long.mp3", 0, 1000));
    const int cut = KvPrepareRepackFlagged(longDoc.document, true);
    EXPECT_GE(cut, 100);
    EXPECT_LT(cut, 1000);
    // Without the flag there is no cut point.
    const KvEditListDocument again = build(src("vbr_v0_long.mp3", 0, 1000));
    EXPECT_EQ(KvPrepareRepackFlagged(again.document, false), 0);
}

TEST(KvReservoirPlanner, OtherDocumentsAreLeftAlone)
{
    EXPECT_EQ(KvPrepareRepackFlagged(KvRepackInfoPtrListPtr(), true), 0);
    KvPrepareRepack(KvRepackInfoPtrListPtr());
    EXPECT_EQ(KvMP3RepackInfoPtrList::planReservoir(KvRepackInfoPtrListPtr(), false), 0);
    EXPECT_EQ(createAudioListFileIO(KvRepackInfoPtrListPtr()), nullptr);
    EXPECT_TRUE(documentFileSuffix(KvRepackInfoPtrListPtr()).isEmpty());
    EXPECT_TRUE(saveDocumentFile(KvRepackInfoPtrListPtr(), "/tmp/x.mp3").isEmpty());
}
