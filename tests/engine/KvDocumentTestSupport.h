#pragma once
// Sources and small documents for the tests of fragments, lists, the cursor
// and the iterator.
#include "KvMP3AudioFile.h"
#include "KvMP3FrameRepacker.h"
#include "KvMP3RepackInfo.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>
#include <vector>

namespace kvtest {

// An opened MP3 fixture; the test fails when it does not open.
inline boost::shared_ptr<KvMP3AudioFile> openMp3(const QString &name)
{
    boost::shared_ptr<KvMP3AudioFile> file(new KvMP3AudioFile);
    const QString error = file->open(fixture(name));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return file;
}

inline KvMP3GainFrameInfo *sourceTable(const boost::shared_ptr<KvMP3AudioFile> &file)
{
    return file->mp3Repacker()->frameTable().get();
}

inline KvMP3RepackInfoPtr fragmentOf(const boost::shared_ptr<KvMP3AudioFile> &file, qint64 first, qint64 count)
{
    return boost::dynamic_pointer_cast<KvMP3RepackInfo>(file->createRepackInfo(first, count));
}

inline KvMP3RepackInfoPtr silenceLike(const boost::shared_ptr<KvMP3AudioFile> &file, qint64 count)
{
    return KvMP3RepackInfoPtr(new KvMP3RepackInfo(file->repacker()->sizeInfo(), count));
}

inline KvRepackInfoPtrListPtr documentOf(std::initializer_list<KvRepackInfoPtr> fragments)
{
    KvRepackInfoPtrListPtr doc(new KvMP3RepackInfoPtrList);
    for (const KvRepackInfoPtr &f : fragments)
        doc->list()->push_back(f);
    return doc;
}

// (first, count) of every fragment in order; silence shows first -1.
typedef std::vector<std::pair<qint64, qint64>> Ranges;

inline Ranges rangesOf(const KvRepackInfoPtrListPtr &doc)
{
    Ranges r;
    for (const KvRepackInfoPtr &f : *doc->list())
        r.emplace_back(f->sourcePath().isEmpty() ? -1 : f->firstFrame(), f->frameCount());
    return r;
}

} // namespace kvtest
