#pragma once
// Reading fragment-list texts in tests, and random edited documents.
#include "KvArchiveText.h"
#include "KvDocumentTestSupport.h"
#include "KvEngineFactories.h"
#include "KvFragmentListArchive.h"
#include "KvFrameListIterator.h"
#include "KvQStringArchive.h"

#include <QRandomGenerator>

#include <boost/archive/archive_exception.hpp>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kvtest {

// A fragment list text with our header in front.
inline std::string listText(const std::string &body)
{
    return std::string(kArchiveHeader) + " " + body;
}

struct Loaded {
    QString errors;
    KvRepackInfoPtrListPtr lookup;
    KvRepackInfoPtrListPtr out;
    KvRepackInfoPtrListPtr reference;
    bool relocated = false;
};

struct LoadPlaces {
    QString saved;
    QString current;
    QUndoStack *undo = nullptr;
    KvRepackInfoPtrListPtr extra;
};

// Reads a text that holds a fragment list after the header; with
// clipboard set, after the clipboard's format name, which must be there.
inline Loaded loadText(const std::string &text, bool clipboard, int options, const KvRepackInfoPtrListPtr &lookup,
                       const KvRepackInfoPtrListPtr &reference, const LoadPlaces &places)
{
    Loaded r;
    r.lookup = lookup;
    r.reference = reference;
    std::istringstream is(text);
    KvTextIArchive ar(is);
    if (clipboard) {
        QString format;
        ar >> format;
        if (format != QLatin1String(kKvClipboardFormatName))
            throw boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error);
    }
    r.errors = loadFragmentList(options, places.undo, &r.lookup, places.saved, places.current, &r.out, &r.reference,
                                places.extra, ar, &r.relocated, nullptr);
    return r;
}

inline Loaded loadList(const std::string &text, int options,
                       const KvRepackInfoPtrListPtr &lookup = KvRepackInfoPtrListPtr(),
                       const KvRepackInfoPtrListPtr &reference = KvRepackInfoPtrListPtr(),
                       const LoadPlaces &places = LoadPlaces())
{
    return loadText(text, false, options, lookup, reference, places);
}

inline Loaded loadClipboard(const std::string &text, int options,
                            const KvRepackInfoPtrListPtr &lookup = KvRepackInfoPtrListPtr(),
                            const KvRepackInfoPtrListPtr &reference = KvRepackInfoPtrListPtr(),
                            const LoadPlaces &places = LoadPlaces())
{
    return loadText(text, true, options, lookup, reference, places);
}

// (gain, silenced) of every frame of the document's sources; silence is
// left out, since it is always read back fresh.
inline std::vector<std::pair<int, bool>> frameValues(const KvRepackInfoPtrListPtr &doc)
{
    std::vector<std::pair<int, bool>> v;
    const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(doc);
    while (it && it->next()) {
        if (!it->currentFragment()->sourcePath().isEmpty())
            v.emplace_back(it->gain(), it->isSilenced());
    }
    return v;
}

inline qint64 randomIn(QRandomGenerator &rng, qint64 lo, qint64 hi)
{
    return hi <= lo ? lo : lo + qint64(rng.bounded(quint32(hi - lo + 1)));
}

// Ranges of the files and silence, then gain, mute and delete edits.
inline KvRepackInfoPtrListPtr randomDocument(QRandomGenerator &rng,
                                             const std::vector<boost::shared_ptr<KvMP3AudioFile>> &files)
{
    KvRepackInfoPtrListPtr doc(new KvMP3RepackInfoPtrList);
    const int pieces = int(randomIn(rng, 1, 6));
    for (int p = 0; p < pieces; ++p) {
        const boost::shared_ptr<KvMP3AudioFile> &f = files[size_t(randomIn(rng, 0, qint64(files.size()) - 1))];
        if (rng.bounded(5) == 0) {
            doc->appendFragment(silenceLike(f, randomIn(rng, 1, 40)));
            continue;
        }
        const qint64 first = randomIn(rng, 0, f->frameCount() - 2);
        doc->appendFragment(fragmentOf(f, first, randomIn(rng, 1, std::min<qint64>(300, f->frameCount() - first))));
    }
    const int edits = int(randomIn(rng, 0, 8));
    for (int e = 0; e < edits; ++e) {
        const qint64 total = doc->totalFrames();
        if (total < 2)
            break;
        const qint64 from = randomIn(rng, 0, total - 1);
        const qint64 count = randomIn(rng, 1, std::min<qint64>(80, total - from));
        const int kind = int(rng.bounded(4));
        if (kind == 3) {
            doc->deleteRange(from, count);
            continue;
        }
        const int steps = int(randomIn(rng, -6, 6));
        const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(doc);
        for (qint64 i = 0; i < from + count && it->next(); ++i) {
            if (i < from)
                continue;
            if (kind == 2)
                it->setSilenced(true);
            else
                it->addGain(steps);
        }
    }
    if (doc->totalFrames() == 0)
        doc->appendFragment(fragmentOf(files.front(), 0, 10));
    return doc;
}

} // namespace kvtest
