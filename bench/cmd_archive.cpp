// Fragment-list texts from the command line:
//   kvbench archive-time [--runs N] FILE: scan FILE, give every frame its own
//     gain (one run per frame, the archive's worst case), then time writing
//     the document's text and reading it back (source already open, as a
//     paste does; and source opened again, as a project load does). Each
//     step runs N times (default 5); the fastest run is reported.
#include "KvAudioFile.h"
#include "KvEngineFactories.h"
#include "KvFragmentListArchive.h"
#include "KvFrameListIterator.h"
#include "KvRepackInfoPtrList.h"
#include "KvQStringArchive.h"
#include "KvTextIArchive.h"

#include <QElapsedTimer>
#include <QStringList>

#include <boost/archive/archive_exception.hpp>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

namespace {

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Reads a clipboard text; returns the error text, or the archive error.
QString readText(const std::string &text, const KvRepackInfoPtrListPtr &open, KvRepackInfoPtrListPtr &out)
{
    try {
        std::istringstream is(text);
        KvTextIArchive ar(is);
        QString format;
        ar >> format;
        if (format != QLatin1String(kKvClipboardFormatName))
            return QStringLiteral("not a fragment-list text");
        KvRepackInfoPtrListPtr lookup = open;
        return loadFragmentList(KvLoadOption::Append, nullptr, &lookup, QString(), QString(), &out, nullptr,
                                KvRepackInfoPtrListPtr(), ar, nullptr, nullptr);
    } catch (const boost::archive::archive_exception &e) {
        return QString::fromLatin1(e.what());
    }
}

} // namespace

int cmdArchiveTime(const QStringList &arguments)
{
    QStringList args = arguments;
    int runs = 5;
    const int at = args.indexOf(QStringLiteral("--runs"));
    if (at >= 0 && at + 1 < args.size()) {
        runs = args.at(at + 1).toInt();
        args.removeAt(at + 1);
        args.removeAt(at);
    }
    if (args.size() != 1 || runs < 1) {
        std::fprintf(stderr, "usage: kvbench archive-time [--runs N] FILE\n");
        return 2;
    }
    QElapsedTimer timer;
    double scanMs = 1e300, saveMs = 1e300, loadSharedMs = 1e300, loadReopenMs = 1e300;
    boost::shared_ptr<KvAudioFile> file;
    for (int r = 0; r < runs; ++r) {
        timer.start();
        bool heAac = false;
        QString error;
        file = createAudioFileByExtension(args.first(), heAac, error);
        if (!file || !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
            return 1;
        }
        scanMs = std::min(scanMs, msSince(timer));
    }
    const boost::shared_ptr<KvRepackInfo> whole = file->createRepackInfo(0, -1);
    const KvRepackInfoPtrListPtr doc = createRepackInfoPtrListForFragment(whole);
    doc->appendFragment(whole);
    const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(doc);
    for (qint64 i = 0; it->next(); ++i)
        it->addGain(int(i % 7) - 3);

    std::string text;
    for (int r = 0; r < runs; ++r) {
        timer.start();
        text = saveFragmentListToString(doc, 0, -1).toStdString();
        saveMs = std::min(saveMs, msSince(timer));
    }
    for (int r = 0; r < 2 * runs; ++r) {
        // Alternately with the source open and opened again.
        const bool shared = r % 2 == 0;
        timer.start();
        KvRepackInfoPtrListPtr loaded;
        const QString error = readText(text, shared ? doc : KvRepackInfoPtrListPtr(), loaded);
        double &best = shared ? loadSharedMs : loadReopenMs;
        best = std::min(best, msSince(timer));
        if (!error.isEmpty() || !loaded || loaded->totalFrames() != doc->totalFrames()) {
            std::fprintf(stderr, "load failed: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
    }

    std::printf("frames: %lld\ntext: %zu bytes\n", static_cast<long long>(doc->totalFrames()), text.size());
    std::printf("scan_ms: %.1f\nsave_ms: %.1f\nload_shared_ms: %.1f\nload_reopen_ms: %.1f\n", scanMs, saveMs,
                loadSharedMs, loadReopenMs);
    return 0;
}
