#pragma once
// What a decoding back-end is fed from: the reader over the document stream device.
// The stand-in below carries the same virtual interface as the engine's reader; once the
// engine provides it, this include becomes "KvAudioFrameReader.h" and nothing else changes.
#include "KvAudioFrameReaderStandIn.h"

#include <boost/shared_ptr.hpp>

typedef boost::shared_ptr<KvAudioFrameReader> KvAudioFrameReaderPtr;
