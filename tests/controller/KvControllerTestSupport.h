#pragma once
#include <KvMP3AudioFragmentList.h>
#include <KvMP3FrameSizeInfo.h>
#include <KvMP3RepackInfo.h>
#include <KvQmlModel.h>

// A document cursor over `frames` frames of silence (MPEG-1, 44.1 kHz,
// stereo); an empty document for 0.
inline KvQmlModel::FragmentListPtr kvSilentDocument(qint64 frames)
{
    KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
    if (frames > 0) {
        const boost::shared_ptr<KvFrameSizeInfo> format(new KvMP3FrameSizeInfo(0, 0, 0));
        cursor->list()->appendFragment(KvRepackInfoPtr(new KvMP3RepackInfo(format, frames)));
    }
    return cursor;
}
