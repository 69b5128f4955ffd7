#pragma once
#include <QByteArray>
#include <QString>

// TagLib stays out of this header: callers that hold TagLib objects include
// TagLib themselves, everyone else uses the path-based calls.
namespace TagLib {
class FileRef;
namespace ID3v2 {
class Tag;
}
namespace APE {
class Tag;
}
namespace MP4 {
class Tag;
}
namespace ASF {
class Tag;
}
} // namespace TagLib

// Embedded cover pictures. The readers return true when a picture was found;
// `out` then holds exactly its bytes. On false `out` is left as it was. A
// picture without bytes counts as none.
bool readCoverArt(const TagLib::FileRef &file, QByteArray &out);
bool readId3v2CoverArt(const TagLib::ID3v2::Tag *tag, QByteArray &out);
// The item "COVER ART (FRONT)": a file name, a zero byte, then the picture.
bool readApeCoverArt(const TagLib::APE::Tag *tag, QByteArray &out);
bool readMp4CoverArt(const TagLib::MP4::Tag *tag, QByteArray &out);
bool readAsfCoverArt(const TagLib::ASF::Tag *tag, QByteArray &out);

// Opens the file read-only and reads its cover; false for a file TagLib
// cannot open (an image, for example) or one without a picture.
bool readCoverArtFile(const QString &path, QByteArray &out);

// "image/" and the format Qt detects in the bytes; empty when none.
QString artworkMimeType(const QByteArray &picture);

// Writers used when tags go into exported files. An empty picture changes
// nothing. The ID3v2 writer replaces the front cover (the new frame comes
// first, other pictures stay behind it); the MP4 writer replaces the first
// "covr" entry, typed by the picture's real format, and keeps the others.
void writeId3v2CoverArt(TagLib::ID3v2::Tag *tag, const QByteArray &picture);
void writeMp4CoverArt(TagLib::MP4::Tag *tag, const QByteArray &picture);
