#pragma once
// Chooses which codec back-ends exist for a task and in which order they are offered.
#include "KvAudioFrameSource.h"

#include <QList>
#include <QString>

#include <boost/shared_ptr.hpp>

#include <functional>

class audio_lib;
typedef boost::shared_ptr<audio_lib> KvAudioLibPtr;

// all false: the decoder for the source format ("mp3" or anything else for AAC).
// all true: the usable encoders in offering order; "wav" also admits the WAV writer.
// Only back-ends whose isAvailable() answers true are listed; the list may be empty.
QList<KvAudioLibPtr> createEncoders(const KvAudioFrameReaderPtr &source, bool all,
                                    const QString &format);

// An encoder name or preset text that the recording and conversion dialogs stored
// under the names of earlier versions ("ACM MP3 Codec", "MF AAC Codec", "MF AAC
// encoder: ..."), in today's words, so that it still selects the same encoder and
// preset; any other text comes back unchanged.
QString currentEncoderText(const QString &stored);

// The bit rate to open `encoder` with for `kbps` kbit/s: the installed-codec MP3 encoder
// counts its rates in bit/s (as its presets show), the others in kbit/s.
int encoderBitrate(const KvAudioLibPtr &encoder, int kbps);

// How each kind of back-end is made. An empty maker, or one that returns nothing, means the
// kind does not exist in this build.
struct KvBackendMakers {
    typedef std::function<KvAudioLibPtr(const KvAudioFrameReaderPtr &)> Maker;
    Maker dlllib;  // LAME library
    Maker acmlib;  // installed codecs (MP3 decoder and encoder)
    Maker cmdlib;  // external LAME program
    Maker mftlib;  // AAC decoder and encoder
    Maker wavlib;  // WAV writer

    static KvBackendMakers builtIn();
};

KvBackendMakers kvBackendMakers();
// Replaces the makers process-wide (start-up wiring and tests); returns the previous set.
KvBackendMakers setKvBackendMakers(const KvBackendMakers &makers);
