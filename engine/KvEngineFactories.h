#pragma once
// Where the rest of the program gets engine objects without naming the MP3 or
// AAC classes: by the dynamic type of an object in hand, by file name
// extension or by format name. Objects of neither kind give null.
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvAudioFile;
class KvAudioFragmentList;
class KvFrameListIterator;
class KvFrameSizeInfo;
class KvRepackInfo;
class KvRepackInfoPtrList;

// Opens a source by its file name extension (".mp3"; ".m4a", ".m4b", ".m4r",
// ".mp4", ".aac"; any case). Returns the
// file also when its open failed (error is then set); null with "Internal
// error: unsupported file extension" for any other extension. heAac is set
// for HE-AAC sources.
boost::shared_ptr<KvAudioFile> createAudioFileByExtension(const QString &path, bool &heAac, QString &error);

// A new cursor (with a new, empty document) of the document's kind.
boost::shared_ptr<KvAudioFragmentList> createFragmentListFor(const boost::shared_ptr<KvRepackInfoPtrList> &document);
// A new cursor of the fragment's kind.
boost::shared_ptr<KvAudioFragmentList> createFragmentListForFile(const boost::shared_ptr<KvRepackInfo> &fragment);
// The empty name or "mp3" (exactly): an MP3 cursor; "aac" or "m4a": an AAC cursor.
boost::shared_ptr<KvAudioFragmentList> createFragmentListByFormat(const QString &format);
// An iterator over the document, with or without pre-roll.
boost::shared_ptr<KvFrameListIterator> createFrameListIterator(const boost::shared_ptr<KvRepackInfoPtrList> &document,
                                                               bool preRoll = false);
// New, empty documents of the kind of a document, a cursor or a fragment.
boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrList(const KvRepackInfoPtrList *document);
boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrList(const boost::shared_ptr<KvRepackInfoPtrList> &document);
boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrListForFragmentList(
    const boost::shared_ptr<KvAudioFragmentList> &fragmentList);
boost::shared_ptr<KvRepackInfoPtrList> createRepackInfoPtrListForFragment(const boost::shared_ptr<KvRepackInfo> &fragment);
// A silent source file of that format and frame count n.
boost::shared_ptr<KvAudioFile> createAudioFileLike(const boost::shared_ptr<KvFrameSizeInfo> &format, qint64 n);

class KvAudioListFileIO;
struct KvAACInfo;

// A new stream device of the document's kind, owned by the caller; null otherwise.
KvAudioListFileIO *createAudioListFileIO(const boost::shared_ptr<KvRepackInfoPtrList> &document);
// Format facts from codes (taken as 16-bit): version below 0 gives null,
// 0..9 MP3 facts, 10 and above AAC facts holding a copy of the block.
boost::shared_ptr<KvFrameSizeInfo> createFrameSizeInfo(int version, int rateCode, int modeCode, const KvAACInfo *aacInfo);
// "mp3" for an MP3 document; for an AAC document "m4a" when a fragment is
// HE-AAC (SBR or PS), else "aac"; empty for none.
QString documentFileSuffix(const boost::shared_ptr<KvRepackInfoPtrList> &document);
// The one-line technical description of the cursor's document; empty for none.
QString fileInfoText(const boost::shared_ptr<KvAudioFragmentList> &fragmentList);
// Saves the (prepared) document to path through the saver of its kind; the
// error text, empty on success (also for a document of no known kind). A
// document whose source another program changed is refused before anything
// is written.
QString saveDocumentFile(const boost::shared_ptr<KvRepackInfoPtrList> &document, const QString &path);

// Prepares a document for saving or streaming: plans the MP3 bit reservoir;
// nothing for other kinds.
void KvPrepareRepack(const boost::shared_ptr<KvRepackInfoPtrList> &document);
// The planner with the start-at-max flag; returns its cut point (0 for other kinds).
int KvPrepareRepackFlagged(const boost::shared_ptr<KvRepackInfoPtrList> &document, bool startAtMax);
// Dispatch rows under their table names.
void KvPrepareRepackDispatch(const boost::shared_ptr<KvRepackInfoPtrList> &document);
int KvPrepareRepackDispatchFlagged(const boost::shared_ptr<KvRepackInfoPtrList> &document, bool startAtMax);
// The AAC configuration block of an AAC format (valid while the format lives); null otherwise.
const KvAACInfo *castAacSizeInfo(const boost::shared_ptr<KvFrameSizeInfo> &format);
