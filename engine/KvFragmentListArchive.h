#pragma once
// The fragment list as an archive item: for every fragment its source path,
// frame range and, run-length encoded, the edit values (gain, silenced) of its
// frames; a silent fragment stores its format instead of a path. Projects,
// the frame clipboard and packed edit records carry it.
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

#include <string>

namespace boost {
namespace archive {
class text_oarchive;
class text_iarchive;
}
}

class KvRepackInfo;
class KvRepackInfoPtrList;
class QUndoStack;
class QWidget;

// The header our text archives carry (the installed library would write a
// newer library version than our files use).
extern const char kKvArchiveHeader[];
// First item of a frame clipboard text.
extern const char kKvClipboardFormatName[];

// Most frames one read accepts: about 110 hours of the densest MP3 format.
// Larger counts only come from damaged or hostile text.
constexpr qint64 kKvArchiveMaxFrames = qint64(1) << 24;

// Option bits of loadFragmentList.
namespace KvLoadOption {
enum : int {
    Interactive = 1, // wait cursor and questions
    Attach = 2,      // open and check the sources
    Append = 4,      // as Attach, and append every fragment to the output list
};
}

// Writes the document at the archive's current position. Fragments without
// frames are left out (and not counted).
void saveFragmentList(const boost::shared_ptr<KvRepackInfoPtrList> &document, boost::archive::text_oarchive &ar);

// The frame clipboard text of document frames [start, start+count): our
// header, the clipboard format name, then the fragment list of that range.
QString saveFragmentListToString(const boost::shared_ptr<KvRepackInfoPtrList> &document, qint64 start, qint64 count);

// Reads a fragment list and attaches its fragments to open sources. Returns
// the error text ("%1: %2\n" lines), empty on success; the first failing
// fragment ends the read. Damaged or hostile text (bad tokens, the end of the
// stream, counts or codes no writer makes, ranges outside their source)
// raises boost::archive::archive_exception (input_stream_error). Untrusted
// text must come through a KvTextIArchive, which bounds string lengths.
//
// lookup: searched first for an open source; receives the output list at the
//   end unless options is exactly Interactive.
// savedProjectPath, currentProjectPath: where the project was written and
//   where it is now; when both are set and differ, a missing source is
//   searched for at the same place relative to the project.
// output, reference: created on demand; fragments are appended to output,
//   and every fragment must be compatible with both.
// relocated: set (never cleared) when a source was found by that search.
// Pointer arguments may be null.
QString loadFragmentList(int options, QUndoStack *undoStack, boost::shared_ptr<KvRepackInfoPtrList> *lookup,
                         const QString &savedProjectPath, const QString &currentProjectPath,
                         boost::shared_ptr<KvRepackInfoPtrList> *output,
                         boost::shared_ptr<KvRepackInfoPtrList> *reference,
                         const boost::shared_ptr<KvRepackInfoPtrList> &extraLookup, boost::archive::text_iarchive &ar,
                         bool *relocated, QWidget *parent);

// Opens a source for the reader and cuts frames [first, first+count) of it.
// Null when the file is missing (no message), cannot be opened or no longer
// holds that range (a "%1: %2\n" line in errors).
boost::shared_ptr<KvRepackInfo> reopenSandboxedFile(QWidget *parent, const QString &path, qint64 first, qint64 count,
                                                    QString &errors, bool *heAac);

