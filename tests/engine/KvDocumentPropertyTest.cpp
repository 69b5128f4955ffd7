// Random edit sequences on documents built from two sources and silence,
// checked after every step against a plain model: one entry per document
// frame holding its source, source frame, gain delta and silenced flag, and
// whether a fragment starts there.
#include "KvDocumentTestSupport.h"
#include "KvEngineFactories.h"
#include "KvMP3AudioFragmentList.h"
#include "KvMP3FrameListIterator.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3Syntax.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>

using namespace kvtest;

namespace {

constexpr int kSilence = 2;

struct ModelFrame {
    int source;          // 0, 1, or kSilence
    qint64 frame;        // source frame; for silence its index in its run
    qint64 gain;
    bool silenced;
    bool start;          // a fragment begins at this frame
};
typedef std::vector<ModelFrame> Model;

bool continues(const ModelFrame &a, const ModelFrame &b)
{
    if (a.source == kSilence || b.source == kSilence)
        return a.source == kSilence && b.source == kSilence;
    return a.source == b.source && a.frame + 1 == b.frame;
}

// What merging neighbours leaves: a fragment starts wherever a frame does not
// continue the one before it.
bool normalize(Model &m)
{
    bool changed = false;
    for (size_t i = 0; i < m.size(); ++i) {
        const bool start = i == 0 || !continues(m[i - 1], m[i]);
        changed = changed || (m[i].start && !start);
        m[i].start = start;
    }
    return changed;
}

Model slice(const Model &m, qint64 start, qint64 count)
{
    start = std::clamp<qint64>(start, 0, qint64(m.size()));
    const qint64 end = count == -1 ? qint64(m.size()) : std::clamp<qint64>(start + count, start, qint64(m.size()));
    Model out(m.begin() + start, m.begin() + end);
    if (!out.empty())
        out.front().start = true;
    return out;
}

class DocumentProperty : public ::testing::Test {
protected:
    void SetUp() override
    {
        files[0] = openMp3("cbr128_joint.mp3");
        files[1] = openMp3("vbr_v2.mp3");
        ASSERT_GT(files[0]->frameCount(), 100);
        ASSERT_GT(files[1]->frameCount(), 100);
        // Frames the levels treat specially: broken (level -2, starts
        // silenced) and without audio (level 0).
        for (int s = 0; s < 2; ++s) {
            KvMP3GainFrameInfo *t = sourceTable(files[s]);
            t[5 + s].flags |= KvMp3FrameFlag::Broken;
            t[61].flags |= KvMp3FrameFlag::Broken;
            t[40 + s].flags |= KvMp3FrameFlag::NoAudio;
        }
        silentFile = createAudioFileLike(files[0]->repacker()->sizeInfo(), 0);
        ASSERT_TRUE(silentFile);
        paths[0] = files[0]->repacker()->path();
        paths[1] = files[1]->repacker()->path();
        const boost::shared_ptr<KvFrameSizeInfo> f = files[0]->repacker()->sizeInfo();
        silentCapacity = KvMp3MainDataCapacity(f->versionCode(), 1, f->rateCode(), 0, f->modeCode(), false);
    }

    qint64 randomIn(qint64 lo, qint64 hi) { return lo >= hi ? lo : lo + qint64(rng.bounded(quint32(hi - lo + 1))); }

    // A position with the edges favoured: 0, the end, and just around them.
    qint64 position(qint64 total)
    {
        switch (rng.bounded(8)) {
        case 0: return 0;
        case 1: return total;
        case 2: return std::max<qint64>(0, total - 1);
        default: return randomIn(0, total);
        }
    }

    // A count from `at`: empty, a frame, to the end, past the end or random.
    qint64 count(qint64 at, qint64 total)
    {
        switch (rng.bounded(10)) {
        case 0: return 0;
        case 1: return 1;
        case 2: return total - at;
        case 3: return total - at + 5;
        default: return randomIn(1, std::max<qint64>(1, std::min<qint64>(total - at, 200)));
        }
    }

    ModelFrame sourceFrame(int s, qint64 frame) const
    {
        const bool broken = sourceTable(files[s])[frame].flags & KvMp3FrameFlag::Broken;
        return ModelFrame{s, frame, 0, broken, false};
    }

    qint16 modelLevel(const ModelFrame &f) const
    {
        if (f.source == kSilence)
            return -3;
        const KvMP3GainFrameInfo &src = sourceTable(files[f.source])[f.frame];
        if (src.flags & KvMp3FrameFlag::Broken)
            return -2;
        if (src.flags & KvMp3FrameFlag::NoAudio)
            return 0;
        if (f.silenced)
            return -1;
        return qint16((src.gain[0] + src.gain[1] + 2 * f.gain) / 2);
    }

    KvMP3GainChangeInfo modelRecord(const ModelFrame &f) const
    {
        KvMP3GainChangeInfo r{};
        r.gain[0] = r.gain[1] = int32_t(f.gain);
        if (f.source == kSilence) {
            r.setBitrateIndex(1);
            r.capacity = int16_t(silentCapacity);
        } else {
            const KvMP3GainFrameInfo &src = sourceTable(files[f.source])[f.frame];
            if (src.flags & KvMp3FrameFlag::Broken)
                r.flags |= KvMp3EditFlag::ReservoirRestart;
            r.setBitrateIndex(src.bitrateIndex());
            r.mainDataBegin = int16_t(src.mainDataBegin);
            r.capacity = src.capacity;
        }
        if (f.silenced)
            r.flags |= KvMp3EditFlag::Silenced;
        return r;
    }

    // Every fragment, frame, record and level of the document against the model.
    void expectEqual(const KvRepackInfoPtrListPtr &doc, const Model &m, const std::string &where)
    {
        SCOPED_TRACE(where);
        ASSERT_EQ(doc->totalFrames(), qint64(m.size()));
        size_t k = 0;
        for (const KvRepackInfoPtr &f : *doc->list()) {
            KvMP3RepackInfo *mp3 = dynamic_cast<KvMP3RepackInfo *>(f.get());
            ASSERT_TRUE(mp3);
            ASSERT_GT(f->frameCount(), 0);
            ASSERT_LT(k, m.size());
            ASSERT_TRUE(m[k].start) << "fragment boundary at " << k << " where the model has none";
            const KvMP3GainChangeInfo *table = mp3->frameTable();
            ASSERT_TRUE(table);
            ASSERT_EQ(mp3->lastRecord(), mp3->gainRecordBase() + f->frameCount());
            const KvMP3GainChangeInfo zero{};
            EXPECT_EQ(0, std::memcmp(&table[mp3->lastRecord()], &zero, sizeof zero)) << "terminator at " << k;
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
                    ASSERT_EQ(f->gainRecordBase(), std::min<qint64>(10, f->firstFrame()));
                }
                ASSERT_EQ(f->frameGain(i), e.gain) << "frame " << k;
                ASSERT_EQ(f->isFrameSilenced(i), e.silenced) << "frame " << k;
                const KvMP3GainChangeInfo want = modelRecord(e);
                ASSERT_EQ(0, std::memcmp(&table[mp3->gainRecordBase() + i], &want, sizeof want)) << "record " << k;
            }
        }
        ASSERT_EQ(k, m.size());

        // Levels through the cursor, as the frame map draws them.
        KvMP3AudioFragmentList cursor;
        cursor.setList(doc);
        ASSERT_EQ(cursor.totalFrames(), qint64(m.size()));
        bool isFirst = false;
        for (size_t i = 0; i < m.size(); ++i) {
            const qint16 level = i == 0 ? cursor.seekFrame(0, &isFirst) : cursor.nextFrameLevel(&isFirst);
            ASSERT_EQ(level, modelLevel(m[i])) << "level " << i;
            ASSERT_EQ(isFirst, m[i].start) << "isFirst " << i;
        }
        EXPECT_EQ(cursor.nextFrameLevel(&isFirst), 0);
        EXPECT_FALSE(isFirst);
        for (int n = 0; n < 5 && !m.empty(); ++n) {
            const qint64 p = randomIn(0, qint64(m.size()) - 1);
            EXPECT_EQ(cursor.frameLevelAt(p), modelLevel(m[size_t(p)]));
            EXPECT_EQ(cursor.seekFrame(p, &isFirst), modelLevel(m[size_t(p)]));
            qint64 local = -1, index = 0;
            const KvRepackInfoPtr f = cursor.fragmentAt(p, &local, &index);
            ASSERT_TRUE(f);
            qint64 start = p;
            while (!m[size_t(start)].start)
                --start;
            EXPECT_EQ(local, p - start);
            EXPECT_EQ(cursor.fragmentStart(p), p == 0 ? -1 : (m[size_t(p)].start ? [&] {
                qint64 s = p - 1;
                while (!m[size_t(s)].start)
                    --s;
                return s;
            }() : start));
            qint64 end = p + 1;
            while (end < qint64(m.size()) && !m[size_t(end)].start)
                ++end;
            EXPECT_EQ(cursor.fragmentEnd(p), end);
        }

        // The walk of the iterator: same frames, values and fragment entries;
        // each frame's "next edit record" is the edit record of the frame the
        // walk reaches next, and its "next source record" the following record
        // of the same source.
        KvMP3FrameListIterator it(doc);
        const KvMP3GainChangeInfo *expectedNext = nullptr;
        std::vector<const KvMP3GainChangeInfo *> edits;
        for (size_t i = 0; i < m.size(); ++i) {
            ASSERT_TRUE(it.next()) << "iterator " << i;
            const ModelFrame &e = m[i];
            const KvMp3FrameContext &c = it.context();
            ASSERT_EQ(it.enteredNewFragment(), e.start) << "iterator " << i;
            ASSERT_EQ(it.steps(), qint64(i));
            ASSERT_EQ(it.gain(), e.gain);
            ASSERT_EQ(it.isSilenced(), e.silenced);
            ASSERT_EQ(bool(c.silentSource), e.source == kSilence);
            if (e.source != kSilence) {
                ASSERT_EQ(it.sourcePosition(), e.frame) << "iterator " << i;
                const KvMP3GainFrameInfo *t = sourceTable(files[e.source]);
                ASSERT_EQ(c.sourceRecord, t + e.frame);
                ASSERT_EQ(c.nextSourceRecord, t + e.frame + 1) << "iterator " << i;
                ASSERT_EQ(it.isAudible(), !(t[e.frame].flags & KvMp3FrameFlag::Broken));
            } else {
                ASSERT_FALSE(it.isAudible());
            }
            if (expectedNext) {
                ASSERT_EQ(c.editRecord, expectedNext) << "iterator " << i;
            }
            expectedNext = c.nextEditRecord;
            edits.push_back(c.editRecord);
        }
        if (!m.empty()) {
            const KvMP3GainChangeInfo zero{};
            EXPECT_EQ(0, std::memcmp(expectedNext, &zero, sizeof zero));
        }
        ASSERT_FALSE(it.next());
        // And back again.
        for (size_t i = m.size(); i-- > 1;) {
            ASSERT_TRUE(it.previous()) << "previous " << i;
            ASSERT_EQ(it.context().editRecord, edits[i - 1]) << "previous " << i;
            ASSERT_EQ(it.enteredNewFragment(), m[i].start) << "previous " << i;
        }
        EXPECT_FALSE(it.previous());
    }

    // Applies f to the iterator at every document frame in [start, start+n).
    template<class F>
    void walkRange(const KvRepackInfoPtrListPtr &doc, qint64 start, qint64 n, F f)
    {
        const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(doc);
        ASSERT_TRUE(it);
        for (qint64 i = 0; i < start + n && it->next(); ++i) {
            if (i >= start)
                f(*it);
        }
    }

    void run(quint32 seed, int steps);

    boost::shared_ptr<KvMP3AudioFile> files[2];
    boost::shared_ptr<KvAudioFile> silentFile;
    QString paths[2];
    int silentCapacity = 0;
    QRandomGenerator rng;
};

void DocumentProperty::run(quint32 seed, int steps)
{
    rng.seed(seed);
    const KvRepackInfoPtrListPtr doc(new KvMP3RepackInfoPtrList);
    Model m;
    const qint64 n0 = files[0]->frameCount();
    doc->appendFragment(files[0]->createRepackInfo(0, n0));
    for (qint64 i = 0; i < n0; ++i)
        m.push_back(sourceFrame(0, i));
    normalize(m);
    expectEqual(doc, m, "start");

    for (int step = 0; step < steps && !HasFatalFailure(); ++step) {
        const qint64 total = qint64(m.size());
        std::ostringstream what;
        int op = int(rng.bounded(13));
        // Keep the document to a few thousand frames: growing steps delete instead.
        if (total > 2500 && (op < 2 || op == 5 || op == 7))
            op = 2;
        switch (op) {
        case 0:
        case 1: { // insert a range of a source, or a run of silence
            const qint64 p = position(total) + (rng.bounded(10) == 0 ? 3 : 0);
            Model part;
            KvRepackInfoPtr f;
            if (op == 1 && rng.bounded(2)) {
                const qint64 k = randomIn(1, 30);
                f = silentFile->createRepackInfoFrom(k);
                for (qint64 i = 0; i < k; ++i)
                    part.push_back(ModelFrame{kSilence, i, 0, true, false});
            } else {
                const int s = int(rng.bounded(2));
                const qint64 n = files[s]->frameCount();
                const qint64 first = rng.bounded(4) == 0 ? randomIn(0, 12) : randomIn(0, n - 1);
                const qint64 k = randomIn(1, std::min<qint64>(n - first, 150));
                f = files[s]->createRepackInfo(first, k);
                for (qint64 i = 0; i < k; ++i)
                    part.push_back(sourceFrame(s, first + i));
            }
            what << "insertFragment(" << p << ", " << part.size() << " frames)";
            doc->insertFragment(p, f);
            const qint64 at = std::min(p, total);
            m.insert(m.begin() + at, part.begin(), part.end());
            normalize(m);
            break;
        }
        case 2:
        case 3: { // delete a range
            const qint64 p = rng.bounded(12) == 0 ? -3 : position(total);
            const qint64 c = count(std::max<qint64>(0, p), total);
            what << "deleteRange(" << p << ", " << c << ")";
            doc->deleteRange(p, c);
            if (p >= 0 && c > 0 && p < total)
                m.erase(m.begin() + p, m.begin() + std::min(total, p + c));
            normalize(m);
            break;
        }
        case 4: { // cut and paste elsewhere
            const qint64 s = position(total);
            const qint64 c = count(s, total);
            const KvRepackInfoPtrListPtr clip = doc->copyRange(s, c);
            const Model clipModel = slice(m, s, c);
            expectEqual(clip, clipModel, "clip of " + std::to_string(s) + "+" + std::to_string(c));
            doc->deleteRange(s, c);
            if (s < total && c > 0)
                m.erase(m.begin() + s, m.begin() + std::min(total, s + c));
            const qint64 p = position(qint64(m.size()));
            what << "cut(" << s << ", " << c << ") paste at " << p;
            doc->insertList(p, clip);
            m.insert(m.begin() + std::min(p, qint64(m.size())), clipModel.begin(), clipModel.end());
            normalize(m);
            break;
        }
        case 5: { // copy and paste; sometimes the whole document into itself
            if (rng.bounded(6) == 0) {
                const qint64 p = position(total);
                what << "insertList(" << p << ", itself)";
                doc->insertList(p, doc);
                const Model copy = m;
                m.insert(m.begin() + std::min(p, total), copy.begin(), copy.end());
            } else {
                const qint64 s = position(total);
                const qint64 c = rng.bounded(8) == 0 ? -1 : count(s, total);
                const KvRepackInfoPtrListPtr clip = doc->copyRange(s, c);
                const qint64 p = position(total);
                what << "copy(" << s << ", " << c << ") paste at " << p;
                const Model clipModel = slice(m, s, c);
                doc->insertList(p, clip);
                m.insert(m.begin() + std::min(p, total), clipModel.begin(), clipModel.end());
            }
            normalize(m);
            break;
        }
        case 6: { // delete, then paste the same frames back where they were
            const qint64 s = position(total);
            const qint64 c = count(s, total);
            what << "delete(" << s << ", " << c << ") and paste back";
            const KvRepackInfoPtrListPtr clip = doc->copyRange(s, c);
            doc->deleteRange(s, c);
            doc->insertList(s, clip);
            // Both steps merge: the frames end in as few fragments as they can.
            normalize(m);
            EXPECT_EQ(doc->list()->size(), size_t(std::count_if(m.begin(), m.end(), [](const ModelFrame &f) {
                          return f.start;
                      }))) << what.str();
            break;
        }
        case 7: { // append without merging, then sometimes merge
            const qint64 s = position(total);
            const qint64 c = count(s, total);
            const KvRepackInfoPtrListPtr clip = doc->copyRange(s, c);
            const Model clipModel = slice(m, s, c);
            what << "appendList(copy(" << s << ", " << c << "))";
            doc->appendList(clip);
            m.insert(m.end(), clipModel.begin(), clipModel.end());
            if (rng.bounded(2)) {
                what << " mergeAdjacent";
                const bool merged = doc->mergeAdjacent();
                EXPECT_EQ(merged, normalize(m)) << what.str();
            }
            break;
        }
        case 8:
        case 9: { // gain over a range, through the iterator
            const qint64 s = position(total);
            const qint64 c = count(s, total);
            const int delta = int(randomIn(-6, 6));
            what << "addGain(" << s << ", " << c << ", " << delta << ")";
            walkRange(doc, s, c, [&](KvFrameListIterator &it) { it.addGain(delta); });
            for (qint64 i = s; i < std::min(total, s + c); ++i)
                m[size_t(i)].gain += delta;
            break;
        }
        case 10: { // silence or unsilence a range, through the iterator
            const qint64 s = position(total);
            const qint64 c = count(s, total);
            const bool on = rng.bounded(2);
            what << "setSilenced(" << s << ", " << c << ", " << on << ")";
            walkRange(doc, s, c, [&](KvFrameListIterator &it) { it.setSilenced(on); });
            for (qint64 i = s; i < std::min(total, s + c); ++i)
                m[size_t(i)].silenced = on;
            break;
        }
        case 11: { // single frames through the fragment at a position
            if (total == 0)
                break;
            KvMP3AudioFragmentList cursor;
            cursor.setList(doc);
            for (int n = 0; n < 8; ++n) {
                const qint64 p = randomIn(0, total - 1);
                qint64 local = 0, index = 0;
                const KvRepackInfoPtr f = cursor.fragmentAt(p, &local, &index);
                ASSERT_TRUE(f);
                if (rng.bounded(2)) {
                    const qint16 g = qint16(randomIn(-300, 300));
                    f->setFrameGain(local, g);
                    m[size_t(p)].gain = g;
                } else {
                    const bool on = rng.bounded(2);
                    f->setFrameSilenced(local, on);
                    m[size_t(p)].silenced = on;
                }
            }
            what << "frame edits";
            break;
        }
        case 12: // pack every fragment; the next step works on packed ones
            what << "compressAll";
            doc->compressAll();
            for (const KvRepackInfoPtr &f : *doc->list())
                ASSERT_TRUE(static_cast<KvMP3RepackInfo *>(f.get())->isPacked());
            continue;
        }
        if (qEnvironmentVariableIsSet("KV_TRACE")) {
            std::ostringstream r;
            for (auto x : rangesOf(doc)) r << " (" << x.first << "," << x.second << ")";
            fprintf(stderr, "%d %s:%s\n", step, what.str().c_str(), r.str().c_str());
        }
        expectEqual(doc, m, "seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " + what.str());
    }
}

TEST_F(DocumentProperty, RandomEditsMatchTheModel)
{
    for (quint32 seed = 1; seed <= 8 && !HasFatalFailure(); ++seed)
        run(seed, 500);
}

} // namespace
