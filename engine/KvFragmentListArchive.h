#pragma once
// The fragment list as an archive item: for every fragment its source path,
// frame range and, run-length encoded, the edit values (gain, silenced) of its
// frames; a silent fragment stores its format instead of a path.
#include <boost/shared_ptr.hpp>

#include <string>

namespace boost {
namespace archive {
class text_oarchive;
}
}

class KvRepackInfoPtrList;

// The header our text archives carry (the installed library would write a
// newer library version than our files use).
extern const char kKvArchiveHeader[];

// Writes the document at the archive's current position. Fragments without
// frames are left out (and not counted).
void saveFragmentList(const boost::shared_ptr<KvRepackInfoPtrList> &document, boost::archive::text_oarchive &ar);
