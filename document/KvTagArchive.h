#pragma once
// Archive forms of tag records, pictures and tracks for Boost.Serialization
// text archives (project files). Include only from .cpp files that archive.
#include "KvTagProperty.h"

#include <KvQStringArchive.h>

#include <boost/serialization/shared_ptr.hpp>
#include <boost/serialization/split_free.hpp>
#include <boost/serialization/version.hpp>

namespace boost {
namespace serialization {

// Defined and instantiated for the text archives in KvTagArchive.cpp.
template<class Archive> void save(Archive &ar, const KvTagInfo &tags, unsigned int version);
template<class Archive> void load(Archive &ar, KvTagInfo &tags, unsigned int version);
template<class Archive> void save(Archive &ar, const KvByteArray &picture, unsigned int version);
template<class Archive> void load(Archive &ar, KvByteArray &picture, unsigned int version);
template<class Archive> void save(Archive &ar, const KvTagProperty &track, unsigned int version);
template<class Archive> void load(Archive &ar, KvTagProperty &track, unsigned int version);

} // namespace serialization
} // namespace boost

BOOST_SERIALIZATION_SPLIT_FREE(KvTagInfo)
BOOST_SERIALIZATION_SPLIT_FREE(KvByteArray)
BOOST_SERIALIZATION_SPLIT_FREE(KvTagProperty)
BOOST_CLASS_VERSION(KvTagInfo, 1)
BOOST_CLASS_VERSION(KvByteArray, 0)
BOOST_CLASS_VERSION(KvTagProperty, 0)
