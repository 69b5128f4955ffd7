#pragma once
// Packed edit records of idle AAC fragments: the fragment written as a
// one-fragment list archive, deflated with zlib.
#include "KvAacRecords.h"

#include <QByteArray>

#include <boost/shared_array.hpp>
#include <boost/shared_ptr.hpp>

class KvAACRepackInfo;

// The packed text of the fragment's edit values; empty when it cannot be written.
QByteArray KvAacPackRecords(const boost::shared_ptr<KvAACRepackInfo> &fragment);

// The fragment's records rebuilt from the packed gains and silenced flags.
// Opens nothing and searches nothing, so it runs on any thread. Null when the
// text does not hold exactly this fragment.
boost::shared_array<KvAACGainChangeInfo> KvAacUnpackRecords(const QByteArray &packed, const KvAACRepackInfo &fragment);
