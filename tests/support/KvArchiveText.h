#pragma once
// Text archives as our project and clipboard files carry them: Boost 1.74
// would write library version 18 into the header, our files say 17.
#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>

#include <KvTextIArchive.h>

#include <sstream>
#include <string>

namespace kvtest {

inline constexpr char kArchiveHeader[] = "22 serialization::archive 17";

// Runs body(text_oarchive&) on an archive that starts with our header.
template<class Body>
std::string writeArchive(Body body)
{
    std::ostringstream os;
    os << kArchiveHeader << ' ';
    {
        boost::archive::text_oarchive oa(os, boost::archive::no_header);
        body(oa);
    }
    return os.str();
}

// Runs body(text_iarchive&) on the text, whose header is checked, through
// the archive that refuses bad class ids and object references.
template<class Body>
void readArchive(const std::string &text, Body body)
{
    std::istringstream is(text);
    KvTextIArchive ia(is);
    body(static_cast<boost::archive::text_iarchive &>(ia));
}

// The same through Boost's plain text archive.
template<class Body>
void readPlainArchive(const std::string &text, Body body)
{
    std::istringstream is(text);
    boost::archive::text_iarchive ia(is);
    body(ia);
}

} // namespace kvtest
