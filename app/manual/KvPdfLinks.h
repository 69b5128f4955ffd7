#pragma once
// Turns the links that Qt's PDF writer leaves inside a document into jumps to
// pages, and gives the document an outline (the viewer's bookmarks).
//
// Qt writes every link as a URI action, also a link to an anchor of the same
// document ("#name"), which a viewer then treats as an address it cannot
// open. This rewrites those actions as GoTo actions to the anchor's place,
// adds the outline, and lays out the cross-reference table anew.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// A place in the document: the page (0-based) and the distance of the point
// from the page's top edge, in points.
struct KvPdfPlace {
    int page = 0;
    double fromTop = 0.0;
};

struct KvPdfOutlineEntry {
    QString title;
    int level = 1;  // 1 or 2
    KvPdfPlace place;
};

// Rewrites pdf, a file as QPdfWriter writes it. anchors maps the names of the
// "#name" links to their places. Returns the new file; an empty result with
// the reason in *error when the file is not as expected or a link names an
// anchor that is not in the map.
QByteArray kvResolvePdfLinks(const QByteArray &pdf, const QHash<QString, KvPdfPlace> &anchors,
                             const QList<KvPdfOutlineEntry> &outline, QString *error);
