#pragma once
#include <QString>

#include <boost/shared_ptr.hpp>

class KvAudioFragmentList;

// One line describing an AAC document: kind, average bitrate, rate, channels
// and duration, e.g. "AAC LC - 128 kbps - 44100 Hz - Stereo - 0:03:25.46".
// Empty when the document has no AAC format.
QString KvAACFileInfoText(const boost::shared_ptr<KvAudioFragmentList> &fragmentList);
