// kvbench export OUT EDITLIST: builds a document from a text edit list (see
// KvEditList.h; "-" reads it from standard input) and saves it through the
// saver of OUT's extension. Exit 0 on success, 1 with the error on stderr.
#include "KvEditList.h"

#include <QFile>
#include <QStringList>

#include <cstdio>

int cmdExport(const QStringList &args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: kvbench export OUT EDITLIST\n");
        return 2;
    }
    QFile list;
    const bool fromStdin = args.at(1) == QLatin1String("-");
    const bool opened = fromStdin ? list.open(stdin, QIODevice::ReadOnly)
                                  : (list.setFileName(args.at(1)), list.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "%s: %s\n", args.at(1).toLocal8Bit().constData(), list.errorString().toLocal8Bit().constData());
        return 1;
    }
    const QString text = QString::fromUtf8(list.readAll());
    const QString error = kvExportEditList(text, args.at(0));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
