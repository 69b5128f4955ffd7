#include "KvEditList.h"

#include "KvAudioFile.h"
#include "KvEngineFactories.h"
#include "KvFrameListIterator.h"
#include "KvFrameSizeInfo.h"
#include "KvRepackInfo.h"
#include "KvRepackInfoPtrList.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {

struct Line {
    int number = 0;
    QStringList words;
};

bool toFrames(const QString &word, qint64 &value, bool allowMinusOne = false)
{
    bool ok = false;
    value = word.toLongLong(&ok);
    return ok && (value >= 0 || (allowMinusOne && value == -1));
}

bool toInt(const QString &word, int &value)
{
    bool ok = false;
    value = word.toInt(&ok);
    return ok;
}

QString lineError(const Line &l, const QString &text)
{
    return QStringLiteral("line %1: %2").arg(l.number).arg(text);
}

// Runs fn over document frames [from, from+count) through the document's iterator.
template <typename Fn>
bool forFrames(const boost::shared_ptr<KvRepackInfoPtrList> &doc, qint64 from, qint64 count, Fn fn)
{
    const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(doc);
    if (!it)
        return false;
    qint64 i = 0;
    while (i < from + count && it->next()) {
        if (i >= from)
            fn(*it);
        ++i;
    }
    return true;
}

bool inDocument(const boost::shared_ptr<KvRepackInfoPtrList> &doc, qint64 from, qint64 count)
{
    return from + count <= doc->totalFrames();
}

} // namespace

bool kvBuildEditList(const QString &text, KvEditListDocument &out, QString &error)
{
    std::vector<Line> lines;
    int number = 0;
    for (QString raw : text.split(QLatin1Char('\n'))) {
        ++number;
        const int hash = raw.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            raw.truncate(hash);
        const QStringList words = raw.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!words.isEmpty())
            lines.push_back(Line{number, words});
    }

    // Sources first: the document's format is that of the first one.
    boost::shared_ptr<KvFrameSizeInfo> format;
    for (const Line &l : lines) {
        if (l.words.first() != QLatin1String("src"))
            continue;
        if (l.words.size() < 4) {
            error = lineError(l, QStringLiteral("usage: src PATH FIRST COUNT"));
            return false;
        }
        const QString path = QStringList(l.words.mid(1, l.words.size() - 3)).join(QLatin1Char(' '));
        if (out.sources.contains(path))
            continue;
        bool heAac = false;
        QString openError;
        const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(path, heAac, openError);
        if (!file || !openError.isEmpty()) {
            error = lineError(l, QStringLiteral("%1: %2").arg(path, openError.isEmpty() ? QStringLiteral("cannot open") : openError));
            return false;
        }
        out.sources.insert(path, file);
    }

    boost::shared_ptr<KvRepackInfoPtrList> &doc = out.document;
    doc.reset();
    for (const Line &l : lines) {
        const QString cmd = l.words.first();
        const QStringList &w = l.words;
        if (cmd == QLatin1String("src")) {
            const QString path = QStringList(w.mid(1, w.size() - 3)).join(QLatin1Char(' '));
            qint64 first = 0, count = 0;
            if (!toFrames(w.at(w.size() - 2), first) || !toFrames(w.last(), count, true)) {
                error = lineError(l, QStringLiteral("FIRST and COUNT must be frame numbers"));
                return false;
            }
            const boost::shared_ptr<KvAudioFile> file = out.sources.value(path);
            const qint64 n = file->frameCount();
            if (count == -1)
                count = n - first;
            if (first >= n || count <= 0 || first + count > n) {
                error = lineError(l, QStringLiteral("frames %1..%2 are not in %3 (%4 frames)")
                                         .arg(first).arg(first + count - 1).arg(path).arg(n));
                return false;
            }
            const boost::shared_ptr<KvRepackInfo> fragment = file->createRepackInfo(first, count);
            if (!fragment) {
                error = lineError(l, QStringLiteral("cannot take frames of %1").arg(path));
                return false;
            }
            if (!doc) {
                doc = createRepackInfoPtrListForFragment(fragment);
                if (!doc) {
                    error = lineError(l, QStringLiteral("%1 is of no known kind").arg(path));
                    return false;
                }
                format = fragment->sizeInfo();
            } else if (!doc->isCompatible(fragment->sizeInfo())) {
                error = lineError(l, QStringLiteral("%1 does not match the document's format").arg(path));
                return false;
            }
            doc->appendFragment(fragment);
        } else if (cmd == QLatin1String("silence")) {
            qint64 count = 0;
            if (w.size() != 2 || !toFrames(w.at(1), count) || count <= 0) {
                error = lineError(l, QStringLiteral("usage: silence COUNT"));
                return false;
            }
            if (!format) {
                error = lineError(l, QStringLiteral("silence needs a source in the list to take its format from"));
                return false;
            }
            const boost::shared_ptr<KvAudioFile> silent = createAudioFileLike(format, count);
            const boost::shared_ptr<KvRepackInfo> fragment = silent ? silent->createRepackInfoFrom(count)
                                                                    : boost::shared_ptr<KvRepackInfo>();
            if (!fragment) {
                error = lineError(l, QStringLiteral("cannot make silence in this format"));
                return false;
            }
            if (!doc)
                doc = createRepackInfoPtrListForFragment(fragment);
            doc->appendFragment(fragment);
        } else if (cmd == QLatin1String("fade")) {
            qint64 from = 0, count = 0;
            int start = 0, end = 0;
            if (w.size() != 5 || !toFrames(w.at(1), from) || !toFrames(w.at(2), count) || !toInt(w.at(3), start) ||
                !toInt(w.at(4), end)) {
                error = lineError(l, QStringLiteral("usage: fade FROM COUNT START END"));
                return false;
            }
            if (!doc || !inDocument(doc, from, count)) {
                error = lineError(l, QStringLiteral("frames %1..%2 are not in the document (%3 frames)")
                                         .arg(from).arg(from + count - 1).arg(doc ? doc->totalFrames() : 0));
                return false;
            }
            const qint64 span = std::max<qint64>(1, count - 1);
            forFrames(doc, from, count, [&, k = qint64(0)](KvFrameListIterator &it) mutable {
                it.addGain(int(start + qint64(end - start) * k++ / span));
            });
        } else if (cmd == QLatin1String("gain") || cmd == QLatin1String("mute") || cmd == QLatin1String("delete")) {
            const bool gain = cmd == QLatin1String("gain");
            qint64 from = 0, count = 0;
            int steps = 0;
            if (w.size() != (gain ? 4 : 3) || !toFrames(w.at(1), from) || !toFrames(w.at(2), count) ||
                (gain && !toInt(w.at(3), steps))) {
                error = lineError(l, gain ? QStringLiteral("usage: gain FROM COUNT STEPS")
                                          : QStringLiteral("usage: %1 FROM COUNT").arg(cmd));
                return false;
            }
            if (!doc || !inDocument(doc, from, count)) {
                error = lineError(l, QStringLiteral("frames %1..%2 are not in the document (%3 frames)")
                                         .arg(from).arg(from + count - 1).arg(doc ? doc->totalFrames() : 0));
                return false;
            }
            if (gain)
                forFrames(doc, from, count, [steps](KvFrameListIterator &it) { it.addGain(steps); });
            else if (cmd == QLatin1String("mute"))
                forFrames(doc, from, count, [](KvFrameListIterator &it) { it.setSilenced(true); });
            else
                doc->deleteRange(from, count);
        } else {
            error = lineError(l, QStringLiteral("unknown command \"%1\"").arg(cmd));
            return false;
        }
    }
    if (!doc || doc->totalFrames() == 0) {
        error = QStringLiteral("the edit list leaves an empty document");
        return false;
    }
    return true;
}

QString kvExportEditList(const QString &text, const QString &outPath, KvEditListDocument *keep)
{
    KvEditListDocument local;
    KvEditListDocument &d = keep ? *keep : local;
    QString error;
    if (!kvBuildEditList(text, d, error))
        return error;
    return kvSaveDocument(d.document, outPath);
}

QString kvSaveDocument(const boost::shared_ptr<KvRepackInfoPtrList> &document, const QString &outPath)
{
    const QString suffix = QFileInfo(outPath).suffix().toLower();
    const QString own = documentFileSuffix(document);
    const QStringList aacFamily = {QStringLiteral("aac"), QStringLiteral("m4a"), QStringLiteral("m4b"),
                                   QStringLiteral("m4r"), QStringLiteral("mp4")};
    const bool fits = suffix == own || (aacFamily.contains(suffix) && aacFamily.contains(own));
    if (!fits)
        return QStringLiteral("cannot save a %1 document as .%2").arg(own.isEmpty() ? QStringLiteral("?") : own, suffix);
    KvPrepareRepack(document);
    return saveDocumentFile(document, outPath);
}
