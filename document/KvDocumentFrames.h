#pragma once
#include <QtGlobal>

class KvAudioFragmentList;

// Frame count of a document cursor, 0 for none. The one place where the
// document layer asks the engine's cursor for its length.
qint64 documentTotalFrames(const KvAudioFragmentList *document);
