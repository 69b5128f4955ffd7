#pragma once
// The frame reader lives with the stream functions.
#include "KvAudioStream.h"
