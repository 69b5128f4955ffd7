#pragma once
#include <QByteArray>

#include <boost/shared_ptr.hpp>

// The encoded bytes of one picture (JPEG, PNG or whatever a tag held; never
// decoded here). Pictures are interned in a process-wide cache so that every
// record showing the same picture shares one object.
class KvByteArray
{
public:
    KvByteArray() = default;
    explicit KvByteArray(const QByteArray &bytes) : m_bytes(bytes) {}
    ~KvByteArray();

    KvByteArray(const KvByteArray &) = delete;
    KvByteArray &operator=(const KvByteArray &) = delete;

    const QByteArray &bytes() const { return m_bytes; }
    void setBytes(const QByteArray &bytes) { m_bytes = bytes; }

private:
    QByteArray m_bytes;
};

using KvByteArrayPtr = boost::shared_ptr<KvByteArray>;

// Takes ownership of a newly made picture and returns the one shared object
// holding equal bytes; null for a null or empty picture.
KvByteArrayPtr internArtwork(KvByteArray *picture);
// The same for a picture that already has a shared owner.
KvByteArrayPtr internArtworkShared(KvByteArrayPtr picture);
// Removes the cache entry of the given object; run by its destructor.
void purgeArtwork(const KvByteArray *picture);
// Number of live pictures in the cache.
int artworkCacheSize();
