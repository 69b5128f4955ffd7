// AAC fragments, documents, the cursor and the iterator: random edit sequences
// against a plain model, then the edge cases one by one.
#include "KvAacEnv.h"
#include "KvAacTestUtil.h"

#include "KvAACAudioFragmentList.h"
#include "KvAACFrameListIterator.h"
#include "KvAACFrameRepacker.h"
#include "KvAACFrameSizeInfo.h"
#include "KvAacFileInfoText.h"
#include "KvEngineFactories.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <cstring>
#include <limits>
#include <sstream>

using namespace aacengine;

namespace {

constexpr int kSilence = 2;

struct ModelFrame {
    int source;      // 0, 1 or kSilence
    qint64 frame;    // source frame (silence: index in its run)
    qint32 gain;
    bool silenced;
    bool start;      // a fragment begins here
};
typedef std::vector<ModelFrame> Model;

bool continues(const ModelFrame &a, const ModelFrame &b)
{
    if (a.source == kSilence || b.source == kSilence)
        return a.source == kSilence && b.source == kSilence;
    return a.source == b.source && a.frame + 1 == b.frame;
}

void normalize(Model &m)
{
    for (size_t i = 0; i < m.size(); ++i)
        m[i].start = i == 0 || !continues(m[i - 1], m[i]);
}

class AacDocumentProperty : public ::testing::Test {
protected:
    void SetUp() override
    {
        files[0] = openAac("aac_lc_stereo.m4a");
        files[1] = openAac("aac_lc_stereo.aac");
        silentFile = createAudioFileLike(files[0]->repacker()->sizeInfo(), 0);
        ASSERT_TRUE(silentFile);
        for (int s = 0; s < 2; ++s)
            paths[s] = files[s]->repacker()->path();
    }

    qint64 randomIn(qint64 lo, qint64 hi) { return lo >= hi ? lo : lo + qint64(rng.bounded(quint32(hi - lo + 1))); }

    qint16 modelLevel(const ModelFrame &f) const
    {
        if (f.source == kSilence)
            return -3;
        if (f.silenced)
            return -1;
        const KvAACGainFrameInfo &src = files[f.source]->aacRepacker()->frameTable()[f.frame];
        return qint16(uint16_t(src.gain + uint16_t(f.gain)));
    }

    void expectEqual(const KvRepackInfoPtrListPtr &doc, const Model &m, const std::string &where)
    {
        SCOPED_TRACE(where);
        ASSERT_EQ(doc->totalFrames(), qint64(m.size()));
        size_t k = 0;
        for (const KvRepackInfoPtr &f : *doc->list()) {
            KvAACRepackInfo *aac = dynamic_cast<KvAACRepackInfo *>(f.get());
            ASSERT_TRUE(aac);
            ASSERT_GT(f->frameCount(), 0);
            ASSERT_TRUE(k < m.size() && m[k].start) << "fragment boundary at " << k;
            ASSERT_TRUE(aac->frameTable());
            for (qint64 i = 0; i < f->frameCount(); ++i, ++k) {
                ASSERT_LT(k, m.size());
                const ModelFrame &e = m[k];
                ASSERT_EQ(i == 0, e.start) << "frame " << k;
                if (e.source == kSilence) {
                    ASSERT_TRUE(f->sourcePath().isEmpty()) << "frame " << k;
                    ASSERT_EQ(f->firstFrame(), 0);
                } else {
                    ASSERT_EQ(f->sourcePath(), paths[e.source]) << "frame " << k;
                    ASSERT_EQ(f->firstFrame() + i, e.frame) << "frame " << k;
                }
                ASSERT_EQ(int32_t(aac->frameTable()[i].gain), e.gain) << "frame " << k;
                ASSERT_EQ(f->frameGain(i), qint16(e.gain)) << "frame " << k;
                ASSERT_EQ(f->isFrameSilenced(i), e.silenced) << "frame " << k;
            }
        }
        ASSERT_EQ(k, m.size());

        KvAACAudioFragmentList cursor;
        cursor.setList(doc);
        bool isFirst = false;
        for (size_t i = 0; i < m.size(); ++i) {
            const qint16 level = i == 0 ? cursor.seekFrame(0, &isFirst) : cursor.nextFrameLevel(&isFirst);
            ASSERT_EQ(level, modelLevel(m[i])) << "level " << i;
            ASSERT_EQ(isFirst, m[i].start) << "isFirst " << i;
        }

        KvAACFrameListIterator it(doc, 0);
        for (size_t i = 0; i < m.size(); ++i) {
            ASSERT_TRUE(it.next()) << "iterator " << i;
            const ModelFrame &e = m[i];
            ASSERT_EQ(it.enteredNewFragment(), e.start) << "iterator " << i;
            ASSERT_EQ(it.framesStepped(), qint64(i));
            ASSERT_EQ(it.gain(), e.gain);
            ASSERT_EQ(it.isSilenced(), e.silenced);
            ASSERT_EQ(it.isAudible(), e.source != kSilence);
            if (e.source != kSilence) {
                ASSERT_EQ(it.sourceFrame(), e.frame);
                ASSERT_EQ(it.sourceRecord(), files[e.source]->aacRepacker()->frameTable().get() + e.frame);
            }
        }
        ASSERT_FALSE(it.next());
        ASSERT_FALSE(it.next());
        // And back again, through the base interface.
        KvFrameListIterator &back = it;
        for (size_t i = m.size(); i-- > 1;) {
            ASSERT_TRUE(back.previous()) << "previous " << i;
            const ModelFrame &e = m[i - 1];
            ASSERT_EQ(back.enteredNewFragment(), m[i].start) << "previous " << i;
            ASSERT_EQ(it.framesStepped(), qint64(i - 1));
            ASSERT_EQ(back.gain(), e.gain);
            if (e.source != kSilence) {
                ASSERT_EQ(it.sourceFrame(), e.frame) << "previous " << i;
            }
        }
        EXPECT_FALSE(back.previous());
        if (!m.empty()) {
            EXPECT_EQ(it.framesStepped(), 0);
        }
    }

    template <class F>
    void walkRange(const KvRepackInfoPtrListPtr &doc, qint64 start, qint64 n, F f)
    {
        const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(doc);
        ASSERT_TRUE(dynamic_cast<KvAACFrameListIterator *>(it.get()));
        for (qint64 i = 0; i < start + n && it->next(); ++i) {
            if (i >= start)
                f(*it);
        }
    }

    void run(quint32 seed, int steps);

    boost::shared_ptr<KvAACAudioFile> files[2];
    boost::shared_ptr<KvAudioFile> silentFile;
    QString paths[2];
    QRandomGenerator rng;
};

void AacDocumentProperty::run(quint32 seed, int steps)
{
    rng.seed(seed);
    const KvRepackInfoPtrListPtr doc(new KvAACRepackInfoPtrList);
    Model m;
    const qint64 n0 = files[0]->frameCount();
    doc->appendFragment(files[0]->createRepackInfo(0, n0));
    for (qint64 i = 0; i < n0; ++i)
        m.push_back(ModelFrame{0, i, 0, false, false});
    normalize(m);
    expectEqual(doc, m, "start");

    for (int step = 0; step < steps && !HasFatalFailure(); ++step) {
        const qint64 total = qint64(m.size());
        std::ostringstream what;
        int op = int(rng.bounded(8));
        if (total > 2000 && (op == 0 || op == 3))
            op = 1;
        switch (op) {
        case 0: { // insert a source range or silence
            const qint64 p = randomIn(0, total);
            Model part;
            KvRepackInfoPtr f;
            if (rng.bounded(3) == 0) {
                const qint64 k = randomIn(1, 20);
                f = silentFile->createRepackInfoFrom(k);
                for (qint64 i = 0; i < k; ++i)
                    part.push_back(ModelFrame{kSilence, i, 0, true, false});
            } else {
                const int s = int(rng.bounded(2));
                const qint64 n = files[s]->frameCount();
                const qint64 first = randomIn(0, n - 1);
                const qint64 k = randomIn(1, std::min<qint64>(n - first, 120));
                f = files[s]->createRepackInfo(first, k);
                for (qint64 i = 0; i < k; ++i)
                    part.push_back(ModelFrame{s, first + i, 0, false, false});
            }
            what << "insert " << part.size() << " at " << p;
            doc->insertFragment(p, f);
            m.insert(m.begin() + std::min<qint64>(p, total), part.begin(), part.end());
            break;
        }
        case 1: { // delete
            const qint64 p = randomIn(0, total);
            const qint64 n = randomIn(0, std::min<qint64>(total - p + 3, 300));
            what << "delete " << n << " at " << p;
            doc->deleteRange(p, n);
            if (p < total)
                m.erase(m.begin() + p, m.begin() + std::min(total, p + n));
            break;
        }
        case 2: { // gain over a range through the iterator
            const qint64 p = randomIn(0, total);
            const qint64 n = randomIn(0, 200);
            const int delta = int(rng.bounded(17)) - 8;
            what << "gain " << delta << " over " << n << " at " << p;
            walkRange(doc, p, n, [&](KvFrameListIterator &it) { it.addGain(delta); });
            for (qint64 i = p; i < std::min(total, p + n); ++i)
                m[size_t(i)].gain += delta;
            break;
        }
        case 3: { // copy a range and paste it elsewhere
            const qint64 p = randomIn(0, total);
            const qint64 n = randomIn(1, 150);
            const qint64 at = randomIn(0, total);
            what << "paste " << n << " from " << p << " at " << at;
            const KvRepackInfoPtrListPtr clip = doc->copyRange(p, n);
            ASSERT_TRUE(dynamic_cast<KvAACRepackInfoPtrList *>(clip.get()));
            Model part(m.begin() + std::min(p, total), m.begin() + std::min(total, p + n));
            doc->insertList(at, clip);
            m.insert(m.begin() + at, part.begin(), part.end());
            break;
        }
        case 4: { // silence or un-silence a range by fragment and local index
            const qint64 p = randomIn(0, std::max<qint64>(0, total - 1));
            const qint64 n = randomIn(0, 60);
            const bool s = rng.bounded(2);
            what << "silence " << s << " over " << n << " at " << p;
            for (qint64 i = p; i < std::min(total, p + n); ++i) {
                qint64 local = 0;
                const KvRepackInfoPtrList::List::iterator f = doc->findFragment(i, local);
                ASSERT_NE(f, doc->list()->end());
                (*f)->setFrameSilenced(local, s);
                m[size_t(i)].silenced = s;
            }
            break;
        }
        case 5: // pack every fragment; the next reads unpack
            what << "pack";
            doc->compressAll();
            break;
        case 6: { // set a 16-bit gain directly
            if (total == 0)
                break;
            const qint64 p = randomIn(0, total - 1);
            const qint16 g = qint16(int(rng.bounded(65536)) - 32768);
            what << "setFrameGain " << g << " at " << p;
            qint64 local = 0;
            const KvRepackInfoPtrList::List::iterator f = doc->findFragment(p, local);
            (*f)->setFrameGain(local, g);
            m[size_t(p)].gain = g;
            break;
        }
        default: { // keep only a range
            const qint64 p = randomIn(0, total);
            const qint64 n = randomIn(1, total + 1);
            what << "crop " << n << " at " << p;
            const KvRepackInfoPtrListPtr kept = doc->copyRange(p, n);
            doc->deleteRange(0, total);
            doc->insertList(0, kept);
            m = Model(m.begin() + std::min(p, total), m.begin() + std::min(total, p + n));
            break;
        }
        }
        normalize(m);
        expectEqual(doc, m, what.str());
    }
}

} // namespace

TEST_F(AacDocumentProperty, RandomEditsMatchTheModel)
{
    for (quint32 seed : {1u, 2u, 3u, 4u})
        run(seed, 120);
}

namespace {

boost::shared_ptr<KvAACFrameSizeInfo> formatWith(std::initializer_list<std::pair<int, int>> fields)
{
    KvAACInfo info{};
    info.field[KV_AAC_OBJECT_TYPE] = 2;
    info.field[KV_AAC_SAMPLING_INDEX] = 4;
    info.field[KV_AAC_SAMPLE_RATE] = 44100;
    info.field[KV_AAC_CHANNEL_CONFIG] = 2;
    info.field[KV_AAC_CHANNELS] = 2;
    info.field[KV_AAC_SAMPLES_PER_FRAME] = 1024;
    for (const auto &f : fields)
        info.field[f.first] = f.second;
    return boost::shared_ptr<KvAACFrameSizeInfo>(new KvAACFrameSizeInfo(info));
}

KvRepackInfoPtrListPtr silentDocument(const boost::shared_ptr<KvFrameSizeInfo> &format, qint64 n)
{
    return documentOf({KvRepackInfoPtr(new KvAACRepackInfo(format, n))});
}

} // namespace

TEST(AacCompatibility, BlocksAgreeFieldByField)
{
    struct Case {
        const char *what;
        std::initializer_list<std::pair<int, int>> doc, candidate;
        bool compatible;
    };
    const Case cases[] = {
        {"same", {}, {}, true},
        {"other rate", {}, {{KV_AAC_SAMPLE_RATE, 48000}, {KV_AAC_SAMPLING_INDEX, 3}}, false},
        {"other channels", {}, {{KV_AAC_CHANNELS, 1}, {KV_AAC_CHANNEL_CONFIG, 1}}, false},
        {"other object type", {}, {{KV_AAC_OBJECT_TYPE, 1}}, false},
        {"SBR -1 matches 1", {{KV_AAC_SBR, 1}}, {{KV_AAC_SBR, -1}}, true},
        {"PS -1 matches 1", {{KV_AAC_PS, -1}}, {{KV_AAC_PS, 1}}, true},
        {"SBR 0 against 1", {{KV_AAC_SBR, 0}}, {{KV_AAC_SBR, 1}}, false},
        {"explicit SBR next to no SBR", {{KV_AAC_SBR, 0}}, {{KV_AAC_EXT_OBJECT_TYPE, 5}, {KV_AAC_SBR, -1}}, false},
        {"explicit SBR next to any SBR", {{KV_AAC_SBR, -1}}, {{KV_AAC_EXT_OBJECT_TYPE, 5}, {KV_AAC_SBR, -1}}, true},
        {"other output rate", {}, {{KV_AAC_EXT_SAMPLE_RATE, 88200}}, false},
        {"frame length", {}, {{KV_AAC_FRAME_LENGTH_FLAG, 1}}, false},
        {"samples and container not compared", {}, {{KV_AAC_SAMPLES_PER_FRAME, 960}, {KV_AAC_CONTAINER, 2}}, true},
    };
    for (const Case &c : cases) {
        const KvRepackInfoPtrListPtr doc = silentDocument(formatWith(c.doc), 3);
        EXPECT_EQ(doc->isCompatible(formatWith(c.candidate)), c.compatible) << c.what;
    }
    KvAACRepackInfoPtrList empty;
    EXPECT_TRUE(empty.isCompatible(formatWith({})));
    EXPECT_FALSE(empty.isCompatible(boost::shared_ptr<KvFrameSizeInfo>()));
}

TEST(AacCompatibility, RealSourcesOfOtherRateOrChannelsAreRefused)
{
    const boost::shared_ptr<KvAACAudioFile> stereo = openAac("aac_lc_stereo.m4a");
    const KvRepackInfoPtrListPtr doc = documentOf({stereo->createRepackInfo(0, -1)});
    EXPECT_TRUE(doc->isCompatible(openAac("aac_lc_stereo.aac")->repacker()->sizeInfo()));
    EXPECT_FALSE(doc->isCompatible(openAac("aac_lc_mono.m4a")->repacker()->sizeInfo()));
    EXPECT_FALSE(doc->isCompatible(openAac("aac_lc_48k.m4a")->repacker()->sizeInfo()));
    KvAACAudioFragmentList cursor;
    cursor.setList(doc);
    EXPECT_FALSE(cursor.isCompatible(openAac("aac_lc_mono.aac")->repacker()->sizeInfo()));
}

TEST(AacFragment, SilenceIsSilencedAndHasNoLevel)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_mono.aac");
    const KvAACRepackInfoPtr silence = silenceLike(file, 4);
    for (qint64 i = 0; i < 4; ++i) {
        EXPECT_EQ(silence->frameLevel(i), -3);
        EXPECT_TRUE(silence->isFrameSilenced(i));
    }
    EXPECT_EQ(silence->frameLevel(4), 0);
    EXPECT_EQ(silence->frameLevel(-1), 0);
    EXPECT_TRUE(silence->sourcePath().isEmpty());
    EXPECT_EQ(silence->gainRecordBase(), 0);
}

TEST(AacFragment, GainPast16BitsShowsItsLowBits)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_mono.aac");
    const KvRepackInfoPtrListPtr doc = documentOf({file->createRepackInfo(3, 2)});
    KvAACFrameListIterator it(doc, 0);
    ASSERT_TRUE(it.next());
    for (int k = 0; k < 3; ++k)
        it.addGain(20000);
    EXPECT_EQ(it.gain(), 60000);
    const KvRepackInfoPtr f = doc->list()->front();
    EXPECT_EQ(f->frameGain(0), qint16(60000 & 0xFFFF));
    const uint16_t source = file->aacRepacker()->frameTable()[3].gain;
    EXPECT_EQ(f->frameLevel(0), qint16(uint16_t(source + 60000)));
    f->setFrameGain(1, -5);
    EXPECT_EQ(f->frameGain(1), -5);
    f->setFrameSilenced(1, true);
    EXPECT_EQ(f->frameLevel(1), -1);
    // Out of range: nothing happens.
    f->setFrameGain(2, 9);
    f->setFrameSilenced(-1, true);
    EXPECT_EQ(f->frameGain(2), 0);
    EXPECT_FALSE(f->isFrameSilenced(-1));
    // Saturates instead of wrapping.
    for (int k = 0; k < 200000; ++k)
        it.addGain(std::numeric_limits<int>::max() / 1000);
    EXPECT_EQ(it.gain(), std::numeric_limits<int32_t>::max());
}

TEST(AacFragment, SetRangeJoinsTheFollowingFragmentsRecords)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_stereo.aac");
    const KvAACRepackInfoPtr a = fragmentOf(file, 10, 5);
    const KvAACRepackInfoPtr b = fragmentOf(file, 15, 4);
    for (qint64 i = 0; i < 5; ++i)
        a->setFrameGain(i, qint16(i + 1));
    for (qint64 i = 0; i < 4; ++i) {
        b->setFrameGain(i, qint16(-(i + 1)));
        b->setFrameSilenced(i, i == 2);
    }
    a->setRange(10, 9, b);
    ASSERT_EQ(a->frameCount(), 9);
    const int want[] = {1, 2, 3, 4, 5, -1, -2, -3, -4};
    for (qint64 i = 0; i < 9; ++i) {
        EXPECT_EQ(a->frameGain(i), want[i]) << i;
        EXPECT_EQ(a->isFrameSilenced(i), i == 7) << i;
    }
    // Trimming keeps the records of the frames kept.
    a->setRange(12, 3);
    EXPECT_EQ(a->firstFrame(), 12);
    EXPECT_EQ(a->frameGain(0), 3);
    EXPECT_EQ(a->frameGain(2), 5);
    // A fragment of another kind is refused.
    a->setRange(12, 10, boost::shared_ptr<KvRepackInfo>());
    EXPECT_EQ(a->frameCount(), 10);
}

TEST(AacFragment, PackingKeepsValuesAndIsInvisible)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_stereo.m4a");
    const KvAACRepackInfoPtr f = fragmentOf(file, 20, 300);
    QRandomGenerator rng(7);
    for (qint64 i = 0; i < f->frameCount(); ++i) {
        f->frameTable()[i].gain = i % 50 == 0 ? int32_t(rng.generate()) : int32_t(i / 30) - 4;
        f->frameTable()[i].silenced = (i / 17) % 3 == 0;
    }
    const std::vector<KvAACGainChangeInfo> before(f->frameTable(), f->frameTable() + f->frameCount());
    f->compressFrameTable();
    ASSERT_TRUE(f->isPacked());
    const QByteArray text = f->packedText();
    f->compressFrameTable();   // twice packs once
    EXPECT_EQ(f->packedText(), text);
    // A clone of a packed fragment stays packed; unpacking it leaves the original packed.
    const KvAACRepackInfoPtr copy = boost::dynamic_pointer_cast<KvAACRepackInfo>(f->clone());
    ASSERT_TRUE(copy->isPacked());
    EXPECT_EQ(copy->frameGain(5), qint16(before[5].gain));
    EXPECT_FALSE(copy->isPacked());
    EXPECT_TRUE(f->isPacked());
    ASSERT_TRUE(f->frameTable());
    EXPECT_EQ(0, std::memcmp(before.data(), f->frameTable(), before.size() * sizeof(KvAACGainChangeInfo)));
    EXPECT_EQ(0, std::memcmp(before.data(), copy->frameTable(), before.size() * sizeof(KvAACGainChangeInfo)));

    // Silence packs with its format and keeps its edits.
    const KvAACRepackInfoPtr s = silenceLike(file, 12);
    s->setFrameGain(3, -7);
    s->setFrameSilenced(4, false);
    s->compressFrameTable();
    ASSERT_TRUE(s->isPacked());
    EXPECT_EQ(s->frameGain(3), -7);
    EXPECT_FALSE(s->isFrameSilenced(4));
    EXPECT_TRUE(s->isFrameSilenced(5));
}

TEST(AacFragment, FragmentForSourceSharesTheOpenSource)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_stereo.aac");
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 10)});
    const QString path = file->repacker()->path();
    const KvRepackInfoPtr f = doc->createFragmentForSource(path, 100, 20);
    ASSERT_TRUE(dynamic_cast<KvAACRepackInfo *>(f.get()));
    EXPECT_EQ(f->source(), file->repacker());
    EXPECT_EQ(f->firstFrame(), 100);
    EXPECT_EQ(f->frameCount(), 20);
    const qint64 n = file->frameCount();
    EXPECT_FALSE(doc->createFragmentForSource(path, n, 1));
    EXPECT_FALSE(doc->createFragmentForSource(path, n - 5, 6));
    EXPECT_EQ(doc->createFragmentForSource(path, n - 5, -1)->frameCount(), 5);
    EXPECT_FALSE(doc->createFragmentForSource(path + "x", 0, 1));
}

TEST(AacIterator, EmptyDocumentEndsAtOnce)
{
    KvAACRepackInfoPtrList doc;
    KvAACFrameListIterator it(KvRepackInfoPtrListPtr(new KvAACRepackInfoPtrList), 0);
    EXPECT_FALSE(it.next());
    EXPECT_FALSE(it.currentFragment());
    EXPECT_EQ(it.gain(), 0);
    it.addGain(3);   // harmless
}

TEST(AacFactories, ChooseTheAacClasses)
{
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_mono.aac");
    const KvRepackInfoPtr f = file->createRepackInfo(0, 5);
    const KvRepackInfoPtrListPtr doc = documentOf({f});
    EXPECT_TRUE(dynamic_cast<KvAACAudioFragmentList *>(createFragmentListFor(doc).get()));
    EXPECT_TRUE(dynamic_cast<KvAACAudioFragmentList *>(createFragmentListForFile(f).get()));
    EXPECT_TRUE(dynamic_cast<KvAACAudioFragmentList *>(createFragmentListByFormat("aac").get()));
    EXPECT_TRUE(dynamic_cast<KvAACAudioFragmentList *>(createFragmentListByFormat("m4a").get()));
    EXPECT_FALSE(createFragmentListByFormat("AAC"));
    EXPECT_TRUE(dynamic_cast<KvAACRepackInfoPtrList *>(createRepackInfoPtrList(doc).get()));
    EXPECT_TRUE(dynamic_cast<KvAACRepackInfoPtrList *>(createRepackInfoPtrListForFragment(f).get()));
    const boost::shared_ptr<KvAudioFragmentList> cursor = createFragmentListFor(doc);
    EXPECT_TRUE(dynamic_cast<KvAACRepackInfoPtrList *>(createRepackInfoPtrListForFragmentList(cursor).get()));
    EXPECT_TRUE(dynamic_cast<KvAACRepackInfoPtrList *>(cursor->list().get()));
    EXPECT_TRUE(dynamic_cast<KvAACFrameListIterator *>(createFrameListIterator(doc).get()));
    EXPECT_EQ(castAacSizeInfo(file->repacker()->sizeInfo()), file->aacRepacker()->aacSizeInfo()->aacInfo());
    EXPECT_FALSE(castAacSizeInfo(boost::shared_ptr<KvFrameSizeInfo>()));
}

TEST(AacInfoText, DescribesKindBitrateRateChannelsAndDuration)
{
    // Silent stereo LC at 44100 Hz: 10 bytes a frame, 3 kbps.
    const KvRepackInfoPtrListPtr silent = silentDocument(formatWith({}), 8884);   // 206.29 s
    KvAACAudioFragmentList cursor;
    cursor.setList(silent);
    EXPECT_EQ(KvAACFileInfoText(boost::shared_ptr<KvAudioFragmentList>(new KvAACAudioFragmentList)), QString());
    const boost::shared_ptr<KvAudioFragmentList> list(new KvAACAudioFragmentList);
    list->setList(silent);
    EXPECT_EQ(KvAACFileInfoText(list), QStringLiteral("AAC LC - 3 kbps - 44100 Hz - Stereo - 0:03:26.29"));

    struct Case {
        std::initializer_list<std::pair<int, int>> fields;
        const char *text;
    };
    const Case cases[] = {
        {{{KV_AAC_OBJECT_TYPE, 1}}, "AAC Main - 3 kbps - 44100 Hz - Stereo - 0:00:02.32"},
        {{{KV_AAC_OBJECT_TYPE, 4}, {KV_AAC_CHANNELS, 1}}, "AAC LTP - 1 kbps - 44100 Hz - Mono - 0:00:02.32"},
        {{{KV_AAC_SBR, 1}, {KV_AAC_EXT_SAMPLE_RATE, 88200}}, "HE-AAC v1 - 6 kbps - 88200 Hz - Stereo - 0:00:02.32"},
        {{{KV_AAC_OBJECT_TYPE, 5}, {KV_AAC_PS, 1}, {KV_AAC_CHANNELS, 1}},
         "HE-AAC v2 - 1 kbps - 44100 Hz - Stereo - 0:00:02.32"},
        {{{KV_AAC_OBJECT_TYPE, 7}}, "MPEG (unsupported) - 3 kbps - 44100 Hz - Stereo - 0:00:02.32"},
    };
    for (const Case &c : cases) {
        list->setList(silentDocument(formatWith(c.fields), 100));
        EXPECT_EQ(KvAACFileInfoText(list), QLatin1String(c.text));
    }

    // A real file: the bitrate from its frame sizes, close to what ffprobe reports.
    const boost::shared_ptr<KvAACAudioFile> file = openAac("aac_lc_stereo.m4a");
    list->setList(documentOf({file->createRepackInfo(0, -1)}));
    const QString text = KvAACFileInfoText(list);
    EXPECT_TRUE(text.startsWith(QStringLiteral("AAC LC - 1"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(" kbps - 44100 Hz - Stereo - 0:00:12."))) << text.toStdString();
}
