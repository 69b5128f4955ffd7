#pragma once
#include <QtGlobal>

class KvAudioFragmentList;

// Frame count of a document cursor, 0 for none. The one place where the
// document layer asks the engine's cursor for its length.
qint64 documentTotalFrames(const KvAudioFragmentList *document);

// Until the engine's cursor is part of the build the count comes from here;
// tests install their own counter. Null restores the built-in one.
using KvDocumentFrameCounter = qint64 (*)(const KvAudioFragmentList *document);
void setDocumentFrameCounter(KvDocumentFrameCounter counter);
