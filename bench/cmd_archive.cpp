// Fragment-list texts from the command line:
//   kvbench archive EDITLIST: prints the fragment-list text (the frame
//     clipboard's form) of the document that the edit list builds ("-" reads
//     the list from standard input).
//   kvbench load TEXTFILE OUT: reads such a text ("-": standard input),
//     attaching its sources, and saves the document through the saver of
//     OUT's extension.
//   Both exit 0 on success, 1 with the error on stderr.
//   kvbench archive-time [--runs N] FILE: scan FILE, give every frame its own
//     gain (one run per frame, the archive's worst case), then time writing
//     the document's text and reading it back (source already open, as a
//     paste does; and source opened again, as a project load does). Each
//     step runs N times (default 5); the fastest run is reported.
#include "KvEditList.h"

#include "KvAudioFile.h"
#include "KvEngineFactories.h"
#include "KvFragmentListArchive.h"
#include "KvFrameListIterator.h"
#include "KvRepackInfoPtrList.h"
#include "KvQStringArchive.h"
#include "KvTextIArchive.h"

#include <QElapsedTimer>
#include <QFile>
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

// The bytes of a file, or of standard input for "-".
bool readInput(const QString &name, QByteArray &bytes)
{
    QFile file;
    const bool opened = name == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "%s: %s\n", name.toLocal8Bit().constData(), file.errorString().toLocal8Bit().constData());
        return false;
    }
    bytes = file.readAll();
    return true;
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
        return QStringLiteral("damaged fragment-list text (%1)").arg(QString::fromLatin1(e.what()));
    }
}

} // namespace

int cmdArchive(const QStringList &args)
{
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: kvbench archive EDITLIST\n");
        return 2;
    }
    QByteArray list;
    if (!readInput(args.first(), list))
        return 1;
    KvEditListDocument built;
    QString error;
    if (!kvBuildEditList(QString::fromUtf8(list), built, error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const QByteArray text = saveFragmentListToString(built.document, 0, -1).toUtf8();
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) || std::fflush(stdout)) {
        std::fprintf(stderr, "cannot write the text\n");
        return 1;
    }
    return 0;
}

int cmdLoad(const QStringList &args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: kvbench load TEXTFILE OUT\n");
        return 2;
    }
    QByteArray text;
    if (!readInput(args.at(0), text))
        return 1;
    KvRepackInfoPtrListPtr document;
    QString error = readText(text.toStdString(), KvRepackInfoPtrListPtr(), document);
    if (error.isEmpty() && (!document || document->totalFrames() == 0))
        error = QStringLiteral("the text holds no frames");
    if (error.isEmpty())
        error = kvSaveDocument(document, args.at(1));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.trimmed().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

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
