#include "KvManualPdf.h"

#include "KvPdfLinks.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>

#include <cmath>

namespace {

// The writer's resolution: the unit of the layout below.
constexpr int dpi = 300;
const QString textFamily = QStringLiteral("DejaVu Sans");
const QString codeFamily = QStringLiteral("DejaVu Sans Mono");
constexpr double textPoints = 10.0;
const QColor headingColour(0x20, 0x41, 0x6b);
const QColor ruleColour(0xb0, 0xb0, 0xb0);
const QColor footerColour(0x60, 0x60, 0x60);

// Marks of the blocks that hold a picture, and of the captions under them.
constexpr int pictureProperty = QTextFormat::UserProperty + 1;
constexpr int captionProperty = QTextFormat::UserProperty + 2;

// Lengths in text formats are CSS pixels, 96 to the inch, whatever the device.
double css(double points) { return points * 96.0 / 72.0; }
double devicePixels(double points) { return points * dpi / 72.0; }

// The anchor name of a heading, as links in the text write it: "Using another
// LAME encoder" is "#using-another-lame-encoder".
QString headingAnchor(const QString &heading)
{
    QString anchor;
    for (const QChar c : heading.toLower()) {
        // Plain ASCII, so that a link needs no escaping.
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            anchor += c;
        else if (c == QLatin1Char(' ') || c == QLatin1Char('-'))
            anchor += QLatin1Char('-');
    }
    return anchor;
}

struct Heading {
    int level = 0;
    QString text;
    QString anchor;
    double y = 0.0;  // of its first line, in the document
};

class Manual {
public:
    Manual(const KvManualPdfInput &input, QString *error) : m_input(input), m_error(error) {}

    bool write(const QString &path)
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&buffer);
            writer.setResolution(dpi);
            writer.setPageSize(QPageSize(QPageSize::A4));
            writer.setPageMargins(QMarginsF(20, 18, 20, 12), QPageLayout::Millimeter);
            writer.setTitle(QStringLiteral("%1 %2").arg(m_input.title, m_input.subtitle));
            writer.setCreator(m_input.title);
            const QRectF paint = writer.pageLayout().paintRectPixels(dpi);
            m_footer = devicePixels(22);
            m_page = QSizeF(paint.width(), paint.height() - m_footer);
            m_marginTop = writer.pageLayout().paintRectPoints().top();

            QTextDocument body;
            prepare(body);
            body.setMarkdown(m_input.markdown);
            addImages(body);
            if (!styleBody(body))
                return false;
            paginate(body, writer);
            keepTogether(body);
            const QList<Heading> headings = collectHeadings(body);

            // The contents take as many pages whatever the numbers in them.
            QTextDocument front;
            prepare(front);
            buildFront(front, headings, 0);
            paginate(front, writer);
            const int frontPages = front.pageCount();
            front.clear();
            buildFront(front, headings, frontPages);

            QPainter painter(&writer);
            const int total = frontPages + body.pageCount();
            for (int i = 0; i < front.pageCount(); ++i) {
                if (i > 0)
                    writer.newPage();
                drawPage(painter, front, i, i + 1, total, i > 0);
            }
            for (int i = 0; i < body.pageCount(); ++i) {
                writer.newPage();
                drawPage(painter, body, i, frontPages + i + 1, total, true);
            }
            painter.end();

            for (const Heading &h : headings) {
                const KvPdfPlace place = placeOf(h.y, frontPages);
                m_anchors.insert(h.anchor, place);
                if (h.level <= 2)
                    m_outline << KvPdfOutlineEntry{h.text, h.level, place};
            }
            m_outline.prepend(KvPdfOutlineEntry{QStringLiteral("Contents"), 1, KvPdfPlace{1, m_marginTop}});
        }
        const QByteArray pdf = kvResolvePdfLinks(buffer.data(), m_anchors, m_outline, m_error);
        if (pdf.isEmpty())
            return false;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit())
            return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return true;
    }

private:
    bool fail(const QString &why)
    {
        if (m_error)
            *m_error = why;
        return false;
    }

    void prepare(QTextDocument &doc) const
    {
        doc.setDocumentMargin(0);
        doc.setDefaultFont(QFont(textFamily, int(textPoints)));
        doc.setBaseUrl(QUrl::fromLocalFile(m_input.imageDir + QLatin1Char('/')));
    }

    // Pages of the PDF: laid out from here on, so only once the text is styled.
    void paginate(QTextDocument &doc, QPdfWriter &writer) const
    {
        doc.documentLayout()->setPaintDevice(&writer);
        doc.setPageSize(m_page);
    }

    // After the text is in: setting it clears the document's resources. The
    // document looks its pictures up by their names resolved against its base.
    void addImages(QTextDocument &doc) const
    {
        for (auto it = m_input.images.cbegin(); it != m_input.images.cend(); ++it)
            doc.addResource(QTextDocument::ImageResource, doc.baseUrl().resolved(QUrl(it.key())), it.value());
        if (!m_input.logo.isNull())
            doc.addResource(QTextDocument::ImageResource, doc.baseUrl().resolved(QUrl(QStringLiteral("kv-logo"))),
                            m_input.logo);
    }

    // Where a point of the text lies in the file: page and points from the top.
    KvPdfPlace placeOf(double y, int frontPages) const
    {
        const int page = pageOf(y);
        const double within = (y - page * m_page.height()) * 72.0 / dpi;
        // A little above the line, so that the jump shows all of it.
        return KvPdfPlace{frontPages + page, std::max(0.0, m_marginTop + within - 6.0)};
    }

    static QImage imageOf(QTextDocument &doc, const QString &name)
    {
        const QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(name));
        if (resource.canConvert<QImage>())
            return resource.value<QImage>();
        return QImage::fromData(resource.toByteArray());
    }

    bool styleBody(QTextDocument &doc)
    {
        const double textWidth = m_page.width() * 96.0 / dpi;  // in CSS pixels
        const QString importedCodeFamily = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        bool first = true;
        bool afterPicture = false;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            QTextCursor cursor(block);
            const int level = block.blockFormat().headingLevel();
            if (level > 0) {
                styleHeading(cursor, level, first);
                first = false;
                afterPicture = false;
                continue;
            }
            first = false;
            bool picture = false;
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                // Code, which Qt's reader gives the system's fixed font, whatever
                // that is here: commands, file names and patterns in the typewriter face.
                const QString family = fragment.charFormat().fontFamily();
                if (!family.isEmpty() && family == importedCodeFamily) {
                    QTextCursor code(&doc);
                    code.setPosition(fragment.position());
                    code.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
                    QTextCharFormat mono;
                    mono.setFontFamily(codeFamily);
                    mono.setFontFixedPitch(true);
                    code.mergeCharFormat(mono);
                }
                if (!fragment.charFormat().isImageFormat())
                    continue;
                QTextImageFormat format = fragment.charFormat().toImageFormat();
                const QImage image = imageOf(doc, format.name());
                if (image.isNull())
                    return fail(QStringLiteral("the picture \"%1\" is missing").arg(format.name()));
                // Command icons sit in the text; screenshots print at 128 dpi
                // unless the page is narrower. A "@2x" picture has two pixels
                // to each of the window's.
                const bool icon = format.name().startsWith(QLatin1String("icon-"));
                const double pixels = format.name().contains(QLatin1String("@2x")) ? image.width() / 2.0 : image.width();
                const double width = icon ? css(12) : std::min(textWidth, pixels * 0.75);
                format.setWidth(width);
                format.setHeight(width * image.height() / image.width());
                QTextCursor select(&doc);
                select.setPosition(fragment.position());
                select.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
                select.setCharFormat(format);
                picture = picture || !icon;
            }
            if (picture) {
                QTextBlockFormat format = block.blockFormat();
                format.setProperty(pictureProperty, true);
                format.setAlignment(Qt::AlignHCenter);
                format.setTopMargin(css(6));
                format.setBottomMargin(css(2));
                cursor.setBlockFormat(format);
            } else if (afterPicture && isItalic(block)) {
                // An italic line under a picture is its caption.
                QTextBlockFormat format = block.blockFormat();
                format.setProperty(captionProperty, true);
                format.setAlignment(Qt::AlignHCenter);
                format.setBottomMargin(css(10));
                cursor.setBlockFormat(format);
                QTextCharFormat smaller;
                smaller.setFontPointSize(textPoints - 1);
                cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                cursor.mergeCharFormat(smaller);
            }
            afterPicture = picture;
        }
        styleTables(doc.rootFrame());
        return true;
    }

    // Where the first line of a block lies in the document.
    static double firstLineY(QTextDocument &doc, const QTextBlock &block)
    {
        const QTextLayout *layout = block.layout();
        const double top = doc.documentLayout()->blockBoundingRect(block).top();
        return layout->lineCount() > 0 ? top + layout->lineAt(0).y() - layout->boundingRect().top() : top;
    }

    int pageOf(double y) const { return int(std::floor(y / m_page.height())); }

    // Qt keeps nothing together across a page end: a heading may end a page,
    // and a picture may run over one, or be parted from its caption. Each such
    // block starts a new page instead, one at a time, as each move shifts the
    // pages after it.
    void keepTogether(QTextDocument &doc) const
    {
        const double room = devicePixels(72);
        for (bool moved = true; moved;) {
            moved = false;
            // All of it again: Qt's layout after a format change leaves the
            // first block without lines.
            doc.markContentsDirty(0, doc.characterCount());
            doc.documentLayout()->documentSize();
            for (QTextBlock block = doc.begin(); block.isValid() && !moved; block = block.next()) {
                QTextBlockFormat format = block.blockFormat();
                const bool heading = format.headingLevel() > 0;
                const bool picture = format.boolProperty(pictureProperty);
                if ((!heading && !picture) || (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
                    continue;
                const double y = firstLineY(doc, block);
                const int page = pageOf(y);
                const QTextBlock next = block.next();
                bool move = false;
                if (heading) {
                    // The heading needs room for some text, and a picture
                    // under it comes along when the picture would run over.
                    const bool nextPicture = next.isValid() && next.blockFormat().boolProperty(pictureProperty);
                    move = y - page * m_page.height() > m_page.height() - room ||
                           (next.isValid() && pageOf(firstLineY(doc, next)) > page) ||
                           (nextPicture && pageOf(blockBottom(doc, next) - 1) > page);
                } else {
                    move = pageOf(blockBottom(doc, block) - 1) > page ||
                           (next.isValid() && next.blockFormat().boolProperty(captionProperty) &&
                            pageOf(blockBottom(doc, next) - 1) > page);
                }
                if (move) {
                    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                    QTextCursor(block).setBlockFormat(format);
                    moved = true;
                }
            }
        }
    }

    static double blockBottom(QTextDocument &doc, const QTextBlock &block)
    {
        return doc.documentLayout()->blockBoundingRect(block).bottom();
    }

    static bool isItalic(const QTextBlock &block)
    {
        bool any = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (!it.fragment().charFormat().fontItalic())
                return false;
            any = true;
        }
        return any;
    }

    static void styleHeading(QTextCursor &cursor, int level, bool first)
    {
        static const double sizes[] = {20.0, 14.0, 11.5, 10.5};
        static const double above[] = {0.0, 14.0, 10.0, 8.0};
        static const double below[] = {10.0, 6.0, 4.0, 3.0};
        const int i = std::min(level, 4) - 1;
        QTextBlockFormat block = cursor.blockFormat();
        block.setTopMargin(css(above[i]));
        block.setBottomMargin(css(below[i]));
        // Chapters start on a page of their own; the text stays with its heading.
        if (level == 1 && !first)
            block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.setBlockFormat(block);
        QTextCharFormat text;
        text.setFont(QFont(textFamily, 10));
        text.setFontPointSize(sizes[i]);
        text.setFontWeight(QFont::Bold);
        if (level <= 2)
            text.setForeground(headingColour);
        cursor.movePosition(QTextCursor::StartOfBlock);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.setCharFormat(text);
        cursor.setBlockCharFormat(text);
    }

    static void styleTables(QTextFrame *frame)
    {
        for (QTextFrame *child : frame->childFrames()) {
            if (auto *table = qobject_cast<QTextTable *>(child)) {
                QTextTableFormat format = table->format();
                format.setBorder(0.75);
                format.setBorderBrush(ruleColour);
                format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
                format.setBorderCollapse(true);
                format.setCellSpacing(0);
                format.setCellPadding(css(3));
                format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
                format.setTopMargin(css(4));
                format.setBottomMargin(css(8));
                table->setFormat(format);
                for (int c = 0; c < table->columns(); ++c) {
                    QTextTableCell cell = table->cellAt(0, c);
                    QTextCharFormat header = cell.format();
                    header.setBackground(QColor(0xe8, 0xed, 0xf3));
                    cell.setFormat(header);
                }
            }
            styleTables(child);
        }
    }

    static QList<Heading> collectHeadings(QTextDocument &doc)
    {
        QList<Heading> out;
        QHash<QString, int> uses;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            const int level = block.blockFormat().headingLevel();
            if (level == 0)
                continue;
            Heading h;
            h.level = level;
            h.text = block.text().trimmed();
            h.anchor = headingAnchor(h.text);
            // A second heading of the same words gets "-1", as on the web.
            const int n = uses[h.anchor]++;
            if (n > 0)
                h.anchor += QStringLiteral("-%1").arg(n);
            h.y = firstLineY(doc, block);
            out << h;
        }
        return out;
    }

    void buildFront(QTextDocument &doc, const QList<Heading> &headings, int frontPages) const
    {
        addImages(doc);
        QTextCursor cursor(&doc);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        centred.setTopMargin(css(220));
        cursor.setBlockFormat(centred);
        if (!m_input.logo.isNull()) {
            QTextImageFormat logo;
            logo.setName(QStringLiteral("kv-logo"));
            logo.setWidth(css(64));
            logo.setHeight(css(64) * m_input.logo.height() / m_input.logo.width());
            cursor.insertImage(logo);
            centred.setTopMargin(css(16));
            cursor.insertBlock(centred);
        }
        QTextCharFormat big;
        big.setFont(QFont(textFamily, 10));
        big.setFontPointSize(32);
        big.setFontWeight(QFont::Bold);
        big.setForeground(headingColour);
        cursor.insertText(m_input.title, big);
        centred.setTopMargin(css(6));
        cursor.insertBlock(centred);
        QTextCharFormat sub = big;
        sub.setFontPointSize(20);
        sub.setFontWeight(QFont::Normal);
        cursor.insertText(m_input.subtitle, sub);
        centred.setTopMargin(css(18));
        cursor.insertBlock(centred);
        QTextCharFormat small;
        small.setFont(QFont(textFamily, 10));
        small.setFontPointSize(11);
        small.setForeground(footerColour);
        cursor.insertText(m_input.version, small);

        QTextBlockFormat heading;
        heading.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        heading.setBottomMargin(css(10));
        cursor.insertBlock(heading);
        QTextCharFormat title = big;
        title.setFontPointSize(20);
        cursor.insertText(QStringLiteral("Contents"), title);
        cursor.insertBlock(QTextBlockFormat());

        QList<const Heading *> entries;
        for (const Heading &h : headings) {
            if (h.level <= 2)
                entries << &h;
        }
        QTextTableFormat format;
        format.setBorder(0);
        format.setCellPadding(css(1.5));
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 92),
                                          QTextLength(QTextLength::PercentageLength, 8)});
        QTextTable *table = cursor.insertTable(entries.size(), 2, format);
        for (int row = 0; row < entries.size(); ++row) {
            const Heading &h = *entries.at(row);
            QTextCharFormat link;
            link.setFont(QFont(textFamily, 10));
            link.setFontPointSize(h.level == 1 ? 11 : 10);
            link.setFontWeight(h.level == 1 ? QFont::Bold : QFont::Normal);
            link.setAnchor(true);
            link.setAnchorHref(QLatin1Char('#') + h.anchor);
            QTextBlockFormat line;
            line.setLeftMargin(h.level == 1 ? 0 : css(20));
            if (h.level == 1 && row > 0)
                line.setTopMargin(css(5));
            QTextCursor text = table->cellAt(row, 0).firstCursorPosition();
            text.setBlockFormat(line);
            text.insertText(h.text, link);
            line.setLeftMargin(0);
            line.setAlignment(Qt::AlignRight);
            QTextCursor page = table->cellAt(row, 1).firstCursorPosition();
            page.setBlockFormat(line);
            const int number = frontPages + pageOf(h.y) + 1;
            page.insertText(QString::number(number), link);
        }
    }

    void drawPage(QPainter &painter, QTextDocument &doc, int index, int number, int total, bool footer) const
    {
        const QRectF page(0, index * m_page.height(), m_page.width(), m_page.height());
        painter.save();
        painter.translate(0, -page.top());
        // Not the last device pixels: what starts right at the next page's
        // top would leave a hairline here.
        painter.setClipRect(page.adjusted(0, 0, 0, -2));
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = page;
        context.palette.setColor(QPalette::Text, Qt::black);
        context.palette.setColor(QPalette::Link, headingColour);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
        if (!footer)
            return;
        const QRectF area(0, m_page.height(), m_page.width(), m_footer);
        const double rule = area.top() + devicePixels(8);
        painter.setPen(QPen(ruleColour, devicePixels(0.5)));
        painter.drawLine(QPointF(area.left(), rule), QPointF(area.right(), rule));
        painter.setPen(footerColour);
        painter.setFont(QFont(textFamily, 8));
        const QRectF text(area.left(), rule + devicePixels(2), area.width(), area.bottom() - rule);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("%1 %2").arg(m_input.title, m_input.subtitle));
        painter.drawText(text, Qt::AlignRight | Qt::AlignTop, QStringLiteral("Page %1 of %2").arg(number).arg(total));
    }

    const KvManualPdfInput &m_input;
    QString *m_error;
    QSizeF m_page;         // the text area of a page, in device pixels
    double m_footer = 0;   // the footer's height under it
    double m_marginTop = 0;  // points
    QHash<QString, KvPdfPlace> m_anchors;
    QList<KvPdfOutlineEntry> m_outline;
};

} // namespace

bool kvWriteManualPdf(const KvManualPdfInput &input, const QString &path, QString *error)
{
    Manual manual(input, error);
    return manual.write(path);
}
