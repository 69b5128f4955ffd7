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

struct KvAACInfo;
// The AAC configuration block of an AAC format (valid while the format lives); null otherwise.
const KvAACInfo *castAacSizeInfo(const boost::shared_ptr<KvFrameSizeInfo> &format);
