#pragma once
#include "KvAudioFragmentList.h"

// The cursor over an MP3 document; its dynamic type tells MP3 documents apart.
class KvMP3AudioFragmentList : public KvAudioFragmentList {
public:
    // Starts with a new, empty MP3 document.
    KvMP3AudioFragmentList();
    ~KvMP3AudioFragmentList() override;
};
