#pragma once
// Archive form of QString for Boost.Serialization text archives. Include only
// from .cpp files that write or read archives.
//
// A QString is a class item with class information (version 1, never
// tracked): the first one in an archive is preceded by "0 1", later ones
// carry only their body, a std::string of the UTF-8 bytes cut at the first
// zero byte. Version-0 bodies start with one extra newline, which the reader
// drops. A body holding a zero byte was cut short and is refused.

#include "KvTextIArchive.h"

#include <QString>

#include <boost/archive/archive_exception.hpp>
#include <boost/serialization/level.hpp>
#include <boost/serialization/throw_exception.hpp>
#include <boost/serialization/split_free.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include <string>

template<class Archive>
void saveQString(Archive &ar, const QString &s, unsigned int version)
{
    QByteArray utf8 = s.toUtf8();
    const int zero = utf8.indexOf('\0');
    if (zero >= 0)
        utf8.truncate(zero);
    std::string body;
    if (version == 0)
        body.push_back('\n');
    body.append(utf8.constData(), size_t(utf8.size()));
    ar << body;
}

template<class Archive>
void loadQString(Archive &ar, QString &s, unsigned int version)
{
    std::string body;
    if (auto *checked = dynamic_cast<KvTextIArchive *>(&ar))
        checked->loadString(body);
    else
        ar >> body;
    // The text archive does not notice a body cut short by the end of the
    // stream; it leaves zero bytes, which a written body never holds.
    if (body.find('\0') != std::string::npos)
        boost::serialization::throw_exception(
            boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error));
    if (version == 0 && !body.empty())
        body.erase(0, 1);
    s = QString::fromUtf8(body.data(), int(body.size()));
}

namespace boost {
namespace serialization {

template<class Archive>
void save(Archive &ar, const QString &s, const unsigned int version)
{
    saveQString(ar, s, version);
}

template<class Archive>
void load(Archive &ar, QString &s, const unsigned int version)
{
    loadQString(ar, s, version);
}

} // namespace serialization
} // namespace boost

BOOST_SERIALIZATION_SPLIT_FREE(QString)
BOOST_CLASS_IMPLEMENTATION(QString, boost::serialization::object_class_info)
BOOST_CLASS_TRACKING(QString, boost::serialization::track_never)
BOOST_CLASS_VERSION(QString, 1)
