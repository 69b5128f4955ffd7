#pragma once
// Tags of written audio files; TagLib stays inside the implementation.
#include <QString>

class KvTagInfo;

// Writes the record's fields and cover into the file (ID3v2 for MP3, atoms for MP4,
// the generic tag otherwise). False only when TagLib fails to save the file; a file
// TagLib cannot open is left untouched and counts as done.
bool copyTagsAndArtwork(const KvTagInfo &record, const QString &path);
