#pragma once
#include <KvDocumentFrames.h>
#include <KvQmlModel.h>

#include <boost/core/null_deleter.hpp>

// A stand-in for the engine's cursor: the model only holds the pointer and
// the document frame counter reports its length.
struct KvFakeDocument {
    qint64 frames;
};

inline qint64 kvFakeDocumentFrames(const KvAudioFragmentList *list)
{
    return reinterpret_cast<const KvFakeDocument *>(list)->frames;
}

inline KvQmlModel::FragmentListPtr kvFakeDocumentPtr(KvFakeDocument &doc)
{
    return KvQmlModel::FragmentListPtr(reinterpret_cast<KvAudioFragmentList *>(&doc),
                                       boost::null_deleter());
}
