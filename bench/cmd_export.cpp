// kvbench export OUT EDITLIST: builds a document from a text edit list (see
// KvEditList.h; "-" reads it from standard input) and saves it through the
// saver of OUT's extension. Exit 0 on success, 1 with the error on stderr.
//
// kvbench export-time [--runs N] OUT EDITLIST: builds the document once (its
// sources are scanned), then times exporting it N times (default 5) from the
// opened document, and as many plain copies of the exported file's bytes
// written the way a save writes them (temporary file, sync, rename). The
// fastest run of each is reported.
#include "KvEditList.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

bool readList(const QString &name, QString &text)
{
    QFile list;
    const bool opened = name == QLatin1String("-") ? list.open(stdin, QIODevice::ReadOnly)
                                                   : (list.setFileName(name), list.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "%s: %s\n", name.toLocal8Bit().constData(), list.errorString().toLocal8Bit().constData());
        return false;
    }
    text = QString::fromUtf8(list.readAll());
    return true;
}

// Copies the file's bytes in 1 MiB pieces into a temporary file beside the
// target, syncs it and renames it over the target. False on any failure.
bool plainCopy(const QString &from, const QString &to)
{
    QFile in(from);
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            return false;
    }
    return out.commit();
}

} // namespace

int cmdExport(const QStringList &args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: kvbench export OUT EDITLIST\n");
        return 2;
    }
    QString text;
    if (!readList(args.at(1), text))
        return 1;
    const QString error = kvExportEditList(text, args.at(0));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

int cmdExportTime(const QStringList &arguments)
{
    QStringList args = arguments;
    int runs = 5;
    const int at = args.indexOf(QStringLiteral("--runs"));
    if (at >= 0 && at + 1 < args.size()) {
        runs = args.at(at + 1).toInt();
        args.removeAt(at + 1);
        args.removeAt(at);
    }
    if (args.size() != 2 || runs < 1) {
        std::fprintf(stderr, "usage: kvbench export-time [--runs N] OUT EDITLIST\n");
        return 2;
    }
    QString text;
    if (!readList(args.at(1), text))
        return 1;
    const QString out = args.at(0);
    const QString copy = out + QStringLiteral(".copy");

    QElapsedTimer timer;
    timer.start();
    KvEditListDocument d;
    QString error;
    if (!kvBuildEditList(text, d, error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const double openMs = msSince(timer);

    double exportMs = 1e300, copyMs = 1e300;
    for (int r = 0; r < runs; ++r) {
        timer.start();
        error = kvSaveDocument(d.document, out);
        exportMs = std::min(exportMs, msSince(timer));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
            return 1;
        }
        timer.start();
        const bool copied = plainCopy(out, copy);
        copyMs = std::min(copyMs, msSince(timer));
        if (!copied) {
            std::fprintf(stderr, "%s: the plain copy failed\n", copy.toLocal8Bit().constData());
            return 1;
        }
    }
    QFile::remove(copy);
    std::printf("bytes: %lld\nopen_ms: %.1f\nexport_ms: %.1f\ncopy_ms: %.1f\n",
                static_cast<long long>(QFile(out).size()), openMs, exportMs, copyMs);
    return 0;
}
