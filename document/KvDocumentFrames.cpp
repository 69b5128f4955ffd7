#include "KvDocumentFrames.h"

#include <KvAudioFragmentList.h>

qint64 documentTotalFrames(const KvAudioFragmentList *document)
{
    return document ? document->totalFrames() : 0;
}
