#include "KvMP3AudioFragmentList.h"

#include "KvMP3RepackInfoPtrList.h"

KvMP3AudioFragmentList::KvMP3AudioFragmentList()
{
    m_document.reset(new KvMP3RepackInfoPtrList);
}

KvMP3AudioFragmentList::~KvMP3AudioFragmentList() = default;
