#pragma once
// Text edit lists: a document described line by line, for kvbench export and
// the export tests. One command per line, '#' starts a comment, frame numbers
// are 0-based document or source frames:
//   src PATH FIRST COUNT     append source frames FIRST..FIRST+COUNT-1 (COUNT -1: to the end);
//                            each path is opened once; a path may contain spaces
//   silence COUNT            append COUNT silent frames in the document's format
//   gain FROM COUNT STEPS    add STEPS global_gain steps to document frames FROM..FROM+COUNT-1
//   fade FROM COUNT START END
//                            add a ramp of steps over frames FROM..FROM+COUNT-1: frame FROM+k
//                            gets START + (END - START) * k / (COUNT - 1), the division
//                            truncated toward zero (START alone when COUNT is 1)
//   mute FROM COUNT          silence document frames FROM..FROM+COUNT-1
//   delete FROM COUNT        delete document frames FROM..FROM+COUNT-1
#include <QMap>
#include <QString>

#include <boost/shared_ptr.hpp>

class KvAudioFile;
class KvRepackInfoPtrList;

struct KvEditListDocument {
    boost::shared_ptr<KvRepackInfoPtrList> document;
    // The opened sources by path as written; they must outlive the document's use.
    QMap<QString, boost::shared_ptr<KvAudioFile>> sources;
};

// Builds the document; false with an error text naming the line on failure.
bool kvBuildEditList(const QString &text, KvEditListDocument &out, QString &error);
// Builds, prepares and saves through the saver of the output's extension.
// Returns an error text, empty on success.
QString kvExportEditList(const QString &text, const QString &outPath, KvEditListDocument *keep = nullptr);
// Prepares and saves a document through the saver of the output's extension,
// which must be the document's own kind. Returns an error text, empty on success.
QString kvSaveDocument(const boost::shared_ptr<KvRepackInfoPtrList> &document, const QString &outPath);
