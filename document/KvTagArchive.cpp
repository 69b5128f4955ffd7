#include "KvTagArchive.h"

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>

namespace boost {
namespace serialization {

template<class Archive>
void save(Archive &ar, const KvTagInfo &t, unsigned int)
{
    ar << t.title << t.artist << t.albumArtist << t.composer << t.album;
    ar << t.track << t.disc << t.year;
    ar << t.copyright << t.genre << t.comment;
    ar << t.artwork;
}

template<class Archive>
void load(Archive &ar, KvTagInfo &t, unsigned int version)
{
    ar >> t.title >> t.artist >> t.albumArtist >> t.composer >> t.album;
    ar >> t.track >> t.disc >> t.year;
    ar >> t.copyright >> t.genre >> t.comment;
    KvByteArrayPtr picture;
    if (version >= 1) {
        if (auto *checked = dynamic_cast<KvTextIArchive *>(&ar))
            checked->expectPointer(typeid(KvByteArray));
        ar >> picture;
    }
    // A loaded picture may equal one already shown elsewhere: share that one.
    t.artwork = internArtworkShared(picture);
}

template<class Archive>
void save(Archive &ar, const KvByteArray &picture, unsigned int)
{
    const QString base64 = QString::fromLatin1(picture.bytes().toBase64());
    ar << base64;
}

template<class Archive>
void load(Archive &ar, KvByteArray &picture, unsigned int)
{
    QString base64;
    ar >> base64;
    picture.setBytes(QByteArray::fromBase64(base64.toUtf8()));
}

template<class Archive>
void save(Archive &ar, const KvTagProperty &track, unsigned int)
{
    const qint64 start = track.start();
    const qint64 end = track.end();
    ar << start << end << track.tagInfo();
}

template<class Archive>
void load(Archive &ar, KvTagProperty &track, unsigned int)
{
    qint64 start = -1;
    qint64 end = -1;
    ar >> start >> end;
    track.setStart(start);
    track.setEnd(end);
    ar >> track.tagInfo();
}

#define KV_INSTANTIATE(Archive, Type, Verb, Const) \
    template void Verb<Archive>(Archive &, Const Type &, unsigned int);

KV_INSTANTIATE(boost::archive::text_oarchive, KvTagInfo, save, const)
KV_INSTANTIATE(boost::archive::text_iarchive, KvTagInfo, load, )
KV_INSTANTIATE(boost::archive::text_oarchive, KvByteArray, save, const)
KV_INSTANTIATE(boost::archive::text_iarchive, KvByteArray, load, )
KV_INSTANTIATE(boost::archive::text_oarchive, KvTagProperty, save, const)
KV_INSTANTIATE(boost::archive::text_iarchive, KvTagProperty, load, )

#undef KV_INSTANTIATE

} // namespace serialization
} // namespace boost
