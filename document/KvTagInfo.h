#pragma once
#include "KvByteArray.h"

#include <QString>

#include <iosfwd>

// One tag record: what the program writes into exported files, shows in the
// track properties and keeps per track and for the whole file. Copies share
// the picture.
class KvTagInfo
{
public:
    QString title;
    QString artist;
    QString albumArtist;
    QString composer;
    QString album;
    int track = 0;
    int disc = 0;
    int year = 0;
    QString copyright;
    QString genre;
    QString comment;
    KvByteArrayPtr artwork;

    // Pictures compare by identity: interning makes equal pictures one object.
    bool operator==(const KvTagInfo &other) const;
    bool operator!=(const KvTagInfo &other) const { return !(*this == other); }

    // The tag clipboard text of this record.
    QString toXml() const;
    // Reads a tag clipboard text into this record. With full false the four
    // MP3-only fields (album artist, composer, disc, copyright) are left alone.
    // Throws std::exception on malformed text or a missing text field; fields
    // read before the failure keep their new values.
    void fromXml(std::wistream &in, bool full);
    // Convenience for clipboard text held in a QString.
    void fromXml(const QString &text, bool full);

    // True when the text starts exactly like a tag clipboard text.
    static bool hasXmlPrefix(const QString &text);
};
