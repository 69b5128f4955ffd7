#pragma once
// Packed edit records of idle MP3 fragments: the fragment written as a
// one-fragment list archive, deflated with zlib.
#include "KvMp3Records.h"

#include <QByteArray>

#include <boost/shared_array.hpp>
#include <boost/shared_ptr.hpp>

class KvMP3RepackInfo;

// The packed text of the fragment's edit values; empty when it cannot be written.
QByteArray KvMp3PackRecords(const boost::shared_ptr<KvMP3RepackInfo> &fragment);

// Rebuilds the fragment's record table from its own source (fresh records,
// margin and terminator included) with the packed gains and silenced flags
// laid on its frames. Touches nothing else: no file is opened, no other
// document searched, so it runs on any thread. Null when the text does not
// hold exactly this fragment.
boost::shared_array<KvMP3GainChangeInfo> KvMp3UnpackRecords(const QByteArray &packed, const KvMP3RepackInfo &fragment);
