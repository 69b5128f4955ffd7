#pragma once
// The preset list the LAME back-ends (program and library) share: 135 entries of CBR at
// fixed rates, ABR and VBR quality steps.
#include "audio_preset.h"

// Number of entries; indices 0 .. kvLamePresetCount() - 1 exist.
int kvLamePresetCount();

// A new record for index, or null outside the list. context is the translation context of
// the calling back-end; accepts24Bit goes into flag1 (24-bit input allowed).
audio_preset *kvLamePreset(int index, const char *context, bool accepts24Bit);
