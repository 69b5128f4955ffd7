#include "KvTagInfo.h"

bool KvTagInfo::operator==(const KvTagInfo &o) const
{
    return title == o.title && artist == o.artist && albumArtist == o.albumArtist
        && composer == o.composer && album == o.album && track == o.track && disc == o.disc
        && year == o.year && copyright == o.copyright && genre == o.genre
        && comment == o.comment && artwork.get() == o.artwork.get();
}
