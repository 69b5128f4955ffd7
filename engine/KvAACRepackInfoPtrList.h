#pragma once
#include "KvRepackInfoPtrList.h"

#include <QCoreApplication>

// The AAC document. AAC frames need no planning before they are streamed;
// the saver and the whole-file copy belong to this class too.
class KvAACRepackInfoPtrList : public KvRepackInfoPtrList {
    Q_DECLARE_TR_FUNCTIONS(KvAACRepackInfoPtrList)
public:
    KvAACRepackInfoPtrList();
    ~KvAACRepackInfoPtrList() override;

    // Needs a KvAACRepackInfo with that path; count -1 means to the end of the source.
    KvRepackInfoPtr createFragmentForSource(const QString &path, qint64 first, qint64 count) override;
    // AAC facts only; an empty document takes any. Otherwise the two
    // configuration blocks must agree (object type, sampling index and rate,
    // channel configuration, SBR and PS, frame length, channels).
    bool isCompatible(const boost::shared_ptr<KvFrameSizeInfo> &format) override;

    // Writes the document to path through the wrapper library; the error
    // text, empty on success.
    static QString writeAacFrames(const boost::shared_ptr<KvRepackInfoPtrList> &document, const QString &path);
    // Copies every frame of an AAC source file into a new file; the error text.
    static QString saveAacFile(const QString &sourcePath, const QString &path);
};

// Preparing an AAC document for streaming: nothing to do.
void KvAACPrepareRepack(const boost::shared_ptr<KvRepackInfoPtrList> &document);
