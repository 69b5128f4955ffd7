#include "KvPdfLinks.h"

#include <QMap>
#include <QRegularExpression>
#include <QVector>

#include <algorithm>

namespace {

// All bytes, also after a zero byte, where QString::fromLatin1(QByteArray) would stop.
QString latin1(const QByteArray &bytes) { return QString::fromLatin1(bytes.constData(), bytes.size()); }

QByteArray number(double value) { return QByteArray::number(value, 'f', 2); }

QByteArray destination(int pageObject, double top)
{
    return "[" + QByteArray::number(pageObject) + " 0 R /XYZ 0 " + number(top) + " 0]";
}

// A PDF text string of any characters: UTF-16BE with its byte order mark, in hex.
QByteArray textString(const QString &text)
{
    QByteArray utf16("\xfe\xff", 2);
    for (const QChar c : text) {
        utf16.append(char(c.unicode() >> 8));
        utf16.append(char(c.unicode() & 0xff));
    }
    return "<" + utf16.toHex() + ">";
}

class Rewriter {
public:
    Rewriter(const QByteArray &pdf, QString *error) : m_pdf(pdf), m_error(error) {}

    bool read()
    {
        const int start = m_pdf.lastIndexOf("startxref");
        if (start < 0)
            return fail(QStringLiteral("no startxref"));
        const QList<QByteArray> tail = m_pdf.mid(start).split('\n');
        bool ok = false;
        m_xrefAt = tail.value(1).trimmed().toLongLong(&ok);
        if (!ok || !m_pdf.mid(m_xrefAt).startsWith("xref"))
            return fail(QStringLiteral("no cross-reference table where startxref points"));
        const QList<QByteArray> lines = m_pdf.mid(m_xrefAt, start - m_xrefAt).split('\n');
        const QList<QByteArray> range = lines.value(1).trimmed().split(' ');
        if (range.size() != 2 || range.at(0) != "0")
            return fail(QStringLiteral("a cross-reference table of more than one section"));
        m_size = range.at(1).toInt();
        for (int i = 0; i < m_size; ++i) {
            const QByteArray entry = lines.value(2 + i);
            if (entry.size() < 18)
                return fail(QStringLiteral("a short cross-reference entry"));
            if (entry.at(17) == 'n')
                m_offsets.insert(entry.left(10).toLongLong(), i);
        }
        const int trailer = m_pdf.indexOf("trailer", m_xrefAt);
        if (trailer < 0 || trailer > start)
            return fail(QStringLiteral("no trailer"));
        m_trailer = m_pdf.mid(trailer, start - trailer);

        // Each object runs up to the next one, the last up to the table.
        const QList<qint64> offsets = m_offsets.keys();
        for (int i = 0; i < offsets.size(); ++i) {
            const qint64 from = offsets.at(i);
            const qint64 to = i + 1 < offsets.size() ? offsets.at(i + 1) : m_xrefAt;
            m_objects.insert(m_offsets.value(from), m_pdf.mid(from, to - from));
        }
        m_firstOffset = offsets.isEmpty() ? m_xrefAt : offsets.first();
        return readPages();
    }

    bool resolveLinks(const QHash<QString, KvPdfPlace> &anchors)
    {
        static const QRegularExpression uri(QStringLiteral("/S\\s*/URI\\s*/URI\\s*\\(#([^)]*)\\)"));
        for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
            if (!it->contains("/URI (#"))
                continue;
            const QString body = latin1(*it);
            QString rewritten;
            int last = 0;
            QRegularExpressionMatchIterator matches = uri.globalMatch(body);
            while (matches.hasNext()) {
                const QRegularExpressionMatch m = matches.next();
                const QString name = m.captured(1);
                if (!anchors.contains(name))
                    return fail(QStringLiteral("a link to \"#%1\", which no heading has").arg(name));
                rewritten += body.mid(last, m.capturedStart() - last);
                rewritten += QString::fromLatin1("/S /GoTo\n/D " + goTo(anchors.value(name)));
                last = m.capturedEnd();
            }
            rewritten += body.mid(last);
            *it = rewritten.toLatin1();
        }
        return true;
    }

    bool addOutline(const QList<KvPdfOutlineEntry> &entries)
    {
        if (entries.isEmpty())
            return true;
        // Chapters hang from the root, sections from their chapter.
        struct Node {
            int object = 0;
            int parent = -1;  // index into nodes, -1 for the root
            QList<int> children;
        };
        QVector<Node> nodes(entries.size());
        QList<int> top;
        int chapter = -1;
        int next = m_size;
        const int root = next++;
        for (int i = 0; i < entries.size(); ++i) {
            nodes[i].object = next++;
            if (entries.at(i).level > 1 && chapter >= 0) {
                nodes[i].parent = chapter;
                nodes[chapter].children << i;
            } else {
                chapter = i;
                top << i;
            }
        }
        auto siblings = [&](int i) { return nodes[i].parent < 0 ? top : nodes[nodes[i].parent].children; };
        for (int i = 0; i < entries.size(); ++i) {
            const QList<int> row = siblings(i);
            const int at = row.indexOf(i);
            QByteArray item = QByteArray::number(nodes[i].object) + " 0 obj\n<<\n/Title " +
                              textString(entries.at(i).title) + "\n/Parent " +
                              QByteArray::number(nodes[i].parent < 0 ? root : nodes[nodes[i].parent].object) +
                              " 0 R\n";
            if (at > 0)
                item += "/Prev " + QByteArray::number(nodes[row.at(at - 1)].object) + " 0 R\n";
            if (at + 1 < row.size())
                item += "/Next " + QByteArray::number(nodes[row.at(at + 1)].object) + " 0 R\n";
            if (!nodes[i].children.isEmpty()) {
                item += "/First " + QByteArray::number(nodes[nodes[i].children.first()].object) + " 0 R\n";
                item += "/Last " + QByteArray::number(nodes[nodes[i].children.last()].object) + " 0 R\n";
                // Negative: the chapter starts closed.
                item += "/Count -" + QByteArray::number(nodes[i].children.size()) + "\n";
            }
            item += "/Dest " + goTo(entries.at(i).place) + "\n>>\nendobj\n";
            m_added << item;
        }
        m_added.prepend(QByteArray::number(root) + " 0 obj\n<<\n/Type /Outlines\n/First " +
                        QByteArray::number(nodes[top.first()].object) + " 0 R\n/Last " +
                        QByteArray::number(nodes[top.last()].object) + " 0 R\n/Count " +
                        QByteArray::number(top.size()) + "\n>>\nendobj\n");
        QByteArray &catalog = m_objects[m_catalog];
        const int at = catalog.indexOf("/Type /Catalog");
        if (at < 0)
            return fail(QStringLiteral("the catalog has no type"));
        catalog.insert(at + int(qstrlen("/Type /Catalog")),
                       "\n/Outlines " + QByteArray::number(root) + " 0 R\n/PageMode /UseOutlines");
        return true;
    }

    QByteArray write() const
    {
        QByteArray out = m_pdf.left(m_firstOffset);
        QMap<int, qint64> at;  // object number to its new offset
        for (auto it = m_offsets.cbegin(); it != m_offsets.cend(); ++it) {
            at.insert(it.value(), out.size());
            out += m_objects.value(it.value());
        }
        int number = m_size;
        for (const QByteArray &object : m_added) {
            at.insert(number++, out.size());
            out += object;
        }
        const qint64 xref = out.size();
        out += "xref\n0 " + QByteArray::number(number) + "\n";
        for (int i = 0; i < number; ++i) {
            if (at.contains(i))
                out += QByteArray::number(at.value(i)).rightJustified(10, '0') + " 00000 n \n";
            else
                out += "0000000000 65535 f \n";
        }
        QString trailer = latin1(m_trailer);
        trailer.replace(QRegularExpression(QStringLiteral("/Size\\s+\\d+")), QStringLiteral("/Size %1").arg(number));
        out += trailer.toLatin1() + "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
        return out;
    }

private:
    bool fail(const QString &why)
    {
        if (m_error)
            *m_error = why;
        return false;
    }

    static int reference(const QByteArray &bytes, const char *key)
    {
        const QRegularExpression re(QStringLiteral("%1\\s+(\\d+)\\s+0\\s+R").arg(QRegularExpression::escape(key)));
        const QRegularExpressionMatch m = re.match(latin1(bytes));
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

    bool readPages()
    {
        m_catalog = reference(m_trailer, "/Root");
        if (!m_objects.contains(m_catalog))
            return fail(QStringLiteral("no catalog"));
        const int pages = reference(m_objects.value(m_catalog), "/Pages");
        if (!m_objects.contains(pages))
            return fail(QStringLiteral("no page tree"));
        const QString tree = latin1(m_objects.value(pages));
        const QRegularExpression kids(QStringLiteral("/Kids\\s*\\[([^\\]]*)\\]"));
        const QRegularExpressionMatch list = kids.match(tree);
        if (!list.hasMatch())
            return fail(QStringLiteral("a page tree without pages"));
        static const QRegularExpression ref(QStringLiteral("(\\d+)\\s+0\\s+R"));
        static const QRegularExpression box(
            QStringLiteral("/MediaBox\\s*\\[\\s*([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s*\\]"));
        QRegularExpressionMatchIterator it = ref.globalMatch(list.captured(1));
        while (it.hasNext()) {
            const int page = it.next().captured(1).toInt();
            const QRegularExpressionMatch media = box.match(latin1(m_objects.value(page)));
            if (!media.hasMatch())
                return fail(QStringLiteral("a page without a media box"));
            m_pages << page;
            m_pageTops << media.captured(4).toDouble();
        }
        return !m_pages.isEmpty() || fail(QStringLiteral("no pages"));
    }

    QByteArray goTo(const KvPdfPlace &place) const
    {
        const int page = std::clamp(place.page, 0, int(m_pages.size()) - 1);
        return destination(m_pages.at(page), m_pageTops.at(page) - place.fromTop);
    }

    const QByteArray &m_pdf;
    QString *m_error;
    qint64 m_xrefAt = 0;
    qint64 m_firstOffset = 0;
    int m_size = 0;
    int m_catalog = -1;
    QByteArray m_trailer;
    QMap<qint64, int> m_offsets;  // offset to object number, in file order
    // Object number to its bytes, from "N 0 obj" to the end of its "endobj" line.
    QMap<int, QByteArray> m_objects;
    QList<int> m_pages;
    QList<double> m_pageTops;
    QList<QByteArray> m_added;
};

} // namespace

QByteArray kvResolvePdfLinks(const QByteArray &pdf, const QHash<QString, KvPdfPlace> &anchors,
                             const QList<KvPdfOutlineEntry> &outline, QString *error)
{
    Rewriter rewriter(pdf, error);
    if (!rewriter.read() || !rewriter.resolveLinks(anchors) || !rewriter.addOutline(outline))
        return QByteArray();
    return rewriter.write();
}
