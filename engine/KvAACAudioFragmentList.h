#pragma once
#include "KvAudioFragmentList.h"

// The cursor over an AAC document; its dynamic type tells AAC documents apart.
class KvAACAudioFragmentList : public KvAudioFragmentList {
public:
    // Starts with a new, empty AAC document.
    KvAACAudioFragmentList();
    ~KvAACAudioFragmentList() override;
};
