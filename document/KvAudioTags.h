#pragma once
// Tags of audio files; TagLib stays inside the implementation.
#include <QString>

class KvTagInfo;

// Fills the record from the file's tags: the generic tag of every format,
// refined by the ID3v2 frames of an MPEG file, and the front cover (pictures
// larger than 600 x 600 become a 600 x 600 JPEG). True when the file yielded
// a tag (an MPEG file always does); on false the record holds the values of a
// new record. A disc number written as "n/total" reads as n.
bool loadTagsFromFile(KvTagInfo &record, const QString &path);

// Writes the record's fields and cover into the file (ID3v2 for MP3, atoms for
// MP4, the generic tag otherwise). A new cover replaces the front cover and
// keeps the file's other pictures. False when TagLib cannot open the file or
// has no tag for it, and when saving fails.
bool copyTagsAndArtwork(const KvTagInfo &record, const QString &path);
