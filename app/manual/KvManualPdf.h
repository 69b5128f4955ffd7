#pragma once
// Lays out the manual's Markdown text as an A4 PDF with Qt's own PDF writer:
// a title page, a table of contents whose entries link to their pages, the
// text with its pictures, page numbers in the footer and the chapters and
// sections as the viewer's bookmarks.
#include <QHash>
#include <QImage>
#include <QString>

struct KvManualPdfInput {
    QString title;     // e.g. "mp3Morvelta"
    QString subtitle;  // e.g. "User Manual"
    QString version;   // a line under the title
    QImage logo;       // shown on the title page when not null
    QString markdown;  // the text; "# " headings start chapters on a new page
    QString imageDir;  // where the pictures the text names lie
    QHash<QString, QImage> images;  // further pictures by name, e.g. command icons
};

// Writes the PDF to path. False with the reason in *error when a picture is
// missing, a link names no heading, or the file cannot be written.
bool kvWriteManualPdf(const KvManualPdfInput &input, const QString &path, QString *error);
