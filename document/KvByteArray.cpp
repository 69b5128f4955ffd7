#include "KvByteArray.h"

#include <QHash>

#include <boost/weak_ptr.hpp>

#include <cstring>

namespace {

using ArtworkCache = QHash<const KvByteArray *, boost::weak_ptr<KvByteArray>>;

// Never destroyed: pictures held by static records may die after it would.
ArtworkCache &cache()
{
    static ArtworkCache *c = new ArtworkCache;
    return *c;
}

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

// The live cached picture with the same bytes, or null.
KvByteArrayPtr findEqual(const QByteArray &bytes)
{
    // Scan a snapshot: pictures dying during the scan must not disturb it.
    const ArtworkCache snapshot = cache();
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        KvByteArrayPtr live = it.value().lock();
        if (live && sameBytes(live->bytes(), bytes))
            return live;
    }
    return KvByteArrayPtr();
}

} // namespace

KvByteArray::~KvByteArray() { purgeArtwork(this); }

KvByteArrayPtr internArtwork(KvByteArray *picture)
{
    if (!picture)
        return KvByteArrayPtr();
    if (picture->bytes().isEmpty()) {
        delete picture;
        return KvByteArrayPtr();
    }
    if (KvByteArrayPtr existing = findEqual(picture->bytes())) {
        delete picture;
        return existing;
    }
    KvByteArrayPtr owned(picture);
    cache().insert(picture, owned);
    return owned;
}

KvByteArrayPtr internArtworkShared(KvByteArrayPtr picture)
{
    if (!picture || picture->bytes().isEmpty())
        return KvByteArrayPtr();
    if (KvByteArrayPtr existing = findEqual(picture->bytes()))
        return existing;
    cache().insert(picture.get(), picture);
    return picture;
}

void purgeArtwork(const KvByteArray *picture) { cache().remove(picture); }

int artworkCacheSize() { return cache().size(); }
