#include "KvTagArchive.h"

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>

#include <functional>
#include <utility>
#include <vector>

namespace {

struct Pending {
    const void *object;
    std::function<void()> destroy;
};

thread_local std::vector<Pending> *t_pending = nullptr;
thread_local int t_guards = 0;

template<class T>
void notePending(T *object)
{
    if (t_pending)
        t_pending->push_back({object, [object] { delete object; }});
}

} // namespace

// Guards nest: the outermost one holds and ends everything.
KvArchiveLoadGuard::KvArchiveLoadGuard()
{
    if (t_guards++ == 0)
        t_pending = new std::vector<Pending>;
}

KvArchiveLoadGuard::~KvArchiveLoadGuard()
{
    if (--t_guards > 0)
        return;
    std::vector<Pending> *pending = t_pending;
    t_pending = nullptr;
    // Newest first: an object may own one made after it.
    for (auto it = pending->rbegin(); it != pending->rend(); ++it)
        it->destroy();
    delete pending;
}

void KvArchiveLoadGuard::adopt(const void *object)
{
    if (!t_pending || !object)
        return;
    for (auto it = t_pending->begin(); it != t_pending->end(); ++it) {
        if (it->object == object) {
            t_pending->erase(it);
            return;
        }
    }
}

void KvArchiveLoadGuard::made(KvTagProperty *track) { notePending(track); }

void KvArchiveLoadGuard::made(KvByteArray *picture) { notePending(picture); }

namespace boost {
namespace serialization {

template<class Archive>
void load_construct_data(Archive &, KvTagProperty *track, unsigned int)
{
    ::new (track) KvTagProperty();
    KvArchiveLoadGuard::made(track);
}

template<class Archive>
void load_construct_data(Archive &, KvByteArray *picture, unsigned int)
{
    ::new (picture) KvByteArray();
    KvArchiveLoadGuard::made(picture);
}

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
        KvArchiveLoadGuard::adopt(picture.get());
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

template void load_construct_data<boost::archive::text_iarchive>(boost::archive::text_iarchive &, KvTagProperty *,
                                                                 unsigned int);
template void load_construct_data<boost::archive::text_iarchive>(boost::archive::text_iarchive &, KvByteArray *,
                                                                 unsigned int);
KV_INSTANTIATE(boost::archive::text_oarchive, KvTagInfo, save, const)
KV_INSTANTIATE(boost::archive::text_iarchive, KvTagInfo, load, )
KV_INSTANTIATE(boost::archive::text_oarchive, KvByteArray, save, const)
KV_INSTANTIATE(boost::archive::text_iarchive, KvByteArray, load, )
KV_INSTANTIATE(boost::archive::text_oarchive, KvTagProperty, save, const)
KV_INSTANTIATE(boost::archive::text_iarchive, KvTagProperty, load, )

#undef KV_INSTANTIATE

} // namespace serialization
} // namespace boost
