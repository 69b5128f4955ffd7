#include "KvFragmentListArchive.h"

#include "KvAacWrap.h"
#include "KvEngineFactories.h"
#include "KvFrameListIterator.h"
#include "KvFrameSizeInfo.h"
#include "KvQStringArchive.h"
#include "KvRepackInfo.h"
#include "KvRepackInfoPtrList.h"

#include <boost/archive/text_oarchive.hpp>

#include <cstdint>

const char kKvArchiveHeader[] = "22 serialization::archive 17";

void saveFragmentList(const boost::shared_ptr<KvRepackInfoPtrList> &document, boost::archive::text_oarchive &ar)
{
    // Only fragments with frames are written, so only they are counted: a
    // reader expects exactly N fragment records.
    int32_t n = 0;
    if (document) {
        for (const boost::shared_ptr<KvRepackInfo> &f : *document->list())
            n += f->frameCount() > 0 ? 1 : 0;
    }
    ar << n;
    const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(document);
    if (!it || !it->next())
        return;

    bool first = true;
    bool runOpen = false;
    bool havePrevious = false;
    int32_t previousGain = 0;
    bool previousSilenced = false;
    int32_t repeat = 0;
    do {
        if (it->enteredNewFragment()) {
            if (!first)
                ar << repeat;
            first = false;
            const boost::shared_ptr<KvRepackInfo> fragment = it->currentFragment();
            const QString path = fragment->sourcePath();
            const int64_t firstFrame = fragment->firstFrame();
            const int64_t count = fragment->frameCount();
            ar << path << firstFrame << count;
            if (path.isEmpty()) {
                const boost::shared_ptr<KvFrameSizeInfo> format = fragment->sizeInfo();
                const int32_t version = format ? format->versionCode() : 0;
                ar << version;
                if (format && version >= 0 && version <= 9) {
                    const int32_t rate = format->rateCode();
                    const int32_t mode = format->modeCode();
                    ar << rate << mode;
                } else if (const KvAACInfo *aac = castAacSizeInfo(format)) {
                    // The object type travels in the version code; field 12 is not stored.
                    for (int k = 1; k <= 11; ++k) {
                        const int32_t field = aac->field[k];
                        ar << field;
                    }
                }
            }
            havePrevious = false;
            runOpen = false;
            repeat = 0;
        }
        const int32_t g = it->gain();
        const bool s = it->isSilenced();
        if (havePrevious && g == previousGain && s == previousSilenced) {
            ++repeat;
        } else {
            if (runOpen) {
                ar << repeat;
                repeat = 0;
            }
            ar << s << g << g;
            previousGain = g;
            previousSilenced = s;
            havePrevious = true;
            runOpen = true;
        }
    } while (it->next());
    ar << repeat;
}
