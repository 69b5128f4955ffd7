#pragma once
// Where the rest of the program gets engine objects without naming the MP3 or
// AAC classes.
#include <QString>

#include <boost/shared_ptr.hpp>

class KvAudioFile;

// Opens a source by its file name extension (".mp3", any case). Returns the
// file also when its open failed (error is then set); null with "Internal
// error: unsupported file extension" for any other extension. heAac is set
// for HE-AAC sources.
boost::shared_ptr<KvAudioFile> createAudioFileByExtension(const QString &path, bool &heAac, QString &error);
