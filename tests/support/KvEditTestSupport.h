#pragma once
// Documents for the tests of the undoable edits: built from pieces of two MP3
// fixtures and silence, with an exact snapshot (fragment bounds and every
// record byte) and a plain per-frame model to judge edits against.
// Header only; the test links the engine.
#include "KvTestSupport.h"

#include <KvMP3AudioFile.h>
#include <KvMP3FrameListIterator.h>
#include <KvMP3FrameRepacker.h>
#include <KvMP3RepackInfo.h>
#include <KvMP3RepackInfoPtrList.h>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <vector>

namespace kvtest {

inline boost::shared_ptr<KvMP3AudioFile> openEditSource(const QString &name)
{
    boost::shared_ptr<KvMP3AudioFile> file(new KvMP3AudioFile);
    const QString error = file->open(fixture(name));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return file;
}

// One fragment as it stands: source, range and the whole record table
// (margin, frames and terminator). The margin records describe the source
// frames before the fragment, which only refill the reservoir: a cut keeps
// there the gain and silence edits those frames had where they were cut
// from, so that part of them depends on the way the document came about and
// is left out (set to 0).
struct FragmentShot {
    QString path;
    qint64 first = 0;
    qint64 count = 0;
    qint64 base = 0;
    QByteArray records;

    bool operator==(const FragmentShot &o) const
    {
        return path == o.path && first == o.first && count == o.count && base == o.base
            && records == o.records;
    }
};
typedef std::vector<FragmentShot> DocumentShot;

inline std::ostream &operator<<(std::ostream &os, const FragmentShot &f)
{
    return os << "{" << (f.path.isEmpty() ? std::string("silence") : f.path.section('/', -1).toStdString())
              << " " << f.first << "+" << f.count << " base " << f.base << " records "
              << f.records.toHex().left(32).toStdString() << "...}";
}

inline DocumentShot shotOf(const KvRepackInfoPtrListPtr &doc)
{
    DocumentShot shot;
    for (const KvRepackInfoPtr &f : *doc->list()) {
        auto *mp3 = dynamic_cast<KvMP3RepackInfo *>(f.get());
        FragmentShot s;
        s.path = f->sourcePath();
        s.first = f->firstFrame();
        s.count = f->frameCount();
        s.base = f->gainRecordBase();
        if (mp3 && mp3->frameTable()) {
            std::vector<KvMP3GainChangeInfo> table(mp3->frameTable(), mp3->frameTable() + mp3->lastRecord() + 1);
            for (qint64 r = 0; r < s.base; ++r) {
                table[size_t(r)].gain[0] = table[size_t(r)].gain[1] = 0;
                table[size_t(r)].flags &= uint8_t(~KvMp3EditFlag::Silenced);
            }
            s.records = QByteArray(reinterpret_cast<const char *>(table.data()),
                                   int(sizeof(KvMP3GainChangeInfo) * table.size()));
        }
        shot.push_back(s);
    }
    return shot;
}

// One document frame in the plain model.
struct ModelFrame {
    QString path;       // empty for silence
    qint64 frame = 0;   // source frame; -1 for silence
    qint64 gain = 0;    // both channels alike in these tests
    bool silenced = false;
    bool audible = true;

    bool operator==(const ModelFrame &o) const
    {
        return path == o.path && frame == o.frame && gain == o.gain && silenced == o.silenced
            && audible == o.audible;
    }
};
typedef std::vector<ModelFrame> FrameModel;

inline std::ostream &operator<<(std::ostream &os, const ModelFrame &f)
{
    return os << "{" << (f.path.isEmpty() ? std::string("silence") : f.path.section('/', -1).toStdString())
              << ":" << f.frame << " gain " << f.gain << (f.silenced ? " silenced" : "")
              << (f.audible ? "" : " inaudible") << "}";
}

// The document read frame by frame through the records (not the iterator).
inline FrameModel modelOf(const KvRepackInfoPtrListPtr &doc)
{
    FrameModel m;
    for (const KvRepackInfoPtr &f : *doc->list()) {
        auto *mp3 = dynamic_cast<KvMP3RepackInfo *>(f.get());
        const KvMP3GainFrameInfo *source = mp3 ? mp3->sourceFrameTable() : nullptr;
        const KvMP3GainChangeInfo *table = mp3 ? mp3->frameTable() : nullptr;
        for (qint64 i = 0; i < f->frameCount(); ++i) {
            ModelFrame e;
            e.path = f->sourcePath();
            e.frame = e.path.isEmpty() ? -1 : f->firstFrame() + i;
            const KvMP3GainChangeInfo *r = table ? &table[f->gainRecordBase() + i] : nullptr;
            EXPECT_TRUE(!r || r->gain[0] == r->gain[1]);
            e.gain = r ? r->gain[0] : 0;
            e.silenced = r && (r->flags & KvMp3EditFlag::Silenced);
            e.audible = !e.path.isEmpty() && !(source && (source[e.frame].flags & KvMp3FrameFlag::Broken))
                && !(r && (r->flags & KvMp3EditFlag::Dropped));
            m.push_back(e);
        }
    }
    return m;
}

inline FrameModel modelSlice(const FrameModel &m, qint64 start, qint64 count)
{
    return FrameModel(m.begin() + start, m.begin() + start + count);
}

inline void modelErase(FrameModel &m, qint64 start, qint64 count)
{
    m.erase(m.begin() + start, m.begin() + start + count);
}

inline void modelInsert(FrameModel &m, qint64 at, const FrameModel &frames)
{
    m.insert(m.begin() + at, frames.begin(), frames.end());
}

// The gain a ramp from a to b steps over [s, e), repeated n times, gives
// frame i: one step beyond the plain difference, spread evenly, truncated
// toward zero, counted from the end whose volume is larger in magnitude.
inline qint64 expectedRamp(int a, int b, qint64 s, qint64 e, int n, qint64 i)
{
    qint64 step = qint64(b - a) * n;
    step += step > 0 ? 1 : step < 0 ? -1 : 0;
    const double d = double(step) / double(e - s);
    if (std::abs(a) >= std::abs(b))
        return qint64(a) * n + qint64(std::trunc(double(i - s) * d));
    return qint64(b) * n - qint64(std::trunc(double(e - 1 - i) * d));
}

// A document of pieces of two sources and silence, merged: about 430
// frames in five fragments.
struct EditSources {
    boost::shared_ptr<KvMP3AudioFile> a;
    boost::shared_ptr<KvMP3AudioFile> b;

    EditSources() : a(openEditSource("cbr128_joint.mp3")), b(openEditSource("cbr128_stereo.mp3")) {}

    KvRepackInfoPtr silence(qint64 count) const
    {
        return KvRepackInfoPtr(new KvMP3RepackInfo(a->repacker()->sizeInfo(), count));
    }

    KvRepackInfoPtrListPtr document() const
    {
        KvRepackInfoPtrListPtr doc(new KvMP3RepackInfoPtrList);
        doc->appendFragment(a->createRepackInfo(0, 150));
        doc->appendFragment(b->createRepackInfo(100, 120));
        doc->appendFragment(silence(20));
        doc->appendFragment(a->createRepackInfo(300, 100));
        doc->appendFragment(b->createRepackInfo(0, 40));
        doc->mergeAdjacent();
        return doc;
    }
};

} // namespace kvtest
