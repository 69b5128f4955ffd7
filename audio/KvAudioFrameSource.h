#pragma once
// What a decoding back-end is fed from: the engine's reader over the document stream device.
#include "KvAudioFrameReader.h"

#include <boost/shared_ptr.hpp>

typedef boost::shared_ptr<KvAudioFrameReader> KvAudioFrameReaderPtr;
