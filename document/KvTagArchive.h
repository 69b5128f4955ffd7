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
template<class Archive> void load_construct_data(Archive &ar, KvTagProperty *track, unsigned int version);
template<class Archive> void load_construct_data(Archive &ar, KvByteArray *picture, unsigned int version);
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

// The archive library does not free an object it has made for a pointer
// when reading the object's body fails: damaged text would leak every
// track and picture cut short. While a guard lives (on this thread), each
// such object is noted as it is made, and whatever has not been handed
// over (adopt) when the guard ends is destroyed.
class KvArchiveLoadGuard
{
public:
    KvArchiveLoadGuard();
    ~KvArchiveLoadGuard();
    KvArchiveLoadGuard(const KvArchiveLoadGuard &) = delete;
    KvArchiveLoadGuard &operator=(const KvArchiveLoadGuard &) = delete;

    // The object now has an owner (or is null).
    static void adopt(const void *object);
    // Notes an object the archive has just made (nothing without a guard).
    static void made(KvTagProperty *track);
    static void made(KvByteArray *picture);
};
