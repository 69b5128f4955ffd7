#pragma once
// Connects the audio services' two AAC seams to the AAC wrapper library's
// binding: the AAC encoder's writer calls (KvAacFrameWriter), which package
// encoded frames, and the encoding sink's file-to-file rewrap (an ADTS
// recording saved as MP4 through the engine's whole-file copy). Without the
// library the writer calls answer "no writer" / -1 and the rewrap fails with
// a text.
void installKvAacLibraryCalls();
