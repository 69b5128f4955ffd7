#include "KvAACAudioFragmentList.h"

#include "KvAACRepackInfoPtrList.h"

KvAACAudioFragmentList::KvAACAudioFragmentList()
{
    m_document.reset(new KvAACRepackInfoPtrList);
}

KvAACAudioFragmentList::~KvAACAudioFragmentList() = default;
