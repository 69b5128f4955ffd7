#pragma once
// KvAACInfo <-> stream configuration.
#include "AacConfig.h"
#include "KvAacWrap.h"

namespace kvaac {

enum Container { ContainerNone = 0, ContainerMp4 = 1, ContainerAdts = 2 };

KvAACInfo infoFromConfig(const AacConfig &cfg, Container container);

// The configuration a block describes, with a channel configuration 1..7; false when the
// block names no usable AAC configuration (object type other than Main, LC, LTP; no rate or
// channel layout).
bool configFromInfo(const KvAACInfo &info, AacConfig *out);

// Frames of a and b can follow one another in one output stream.
bool sameStreamLayout(const AacConfig &a, const AacConfig &b);

} // namespace kvaac
