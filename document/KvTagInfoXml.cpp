// Tag records as clipboard text: one XML line after the declaration.
#include "KvTagInfo.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <sstream>

namespace pt = boost::property_tree;

namespace {

const wchar_t kDeclarationAndRoot[] = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KvTagInfo>";

std::wstring wide(const QString &s) { return s.toStdWString(); }
QString fromWide(const std::wstring &s) { return QString::fromStdWString(s); }

QString readText(const pt::wptree &tree, const wchar_t *path)
{
    return fromWide(tree.get<std::wstring>(pt::wptree::path_type(path, L'.')));
}

int readInt(const pt::wptree &tree, const wchar_t *path)
{
    return tree.get<int>(pt::wptree::path_type(path, L'.'), 0);
}

} // namespace

QString KvTagInfo::toXml() const
{
    pt::wptree tree;
    auto put = [&tree](const wchar_t *path, const std::wstring &value) {
        tree.put(pt::wptree::path_type(path, L'.'), value);
    };
    put(L"KvTagInfo.title", wide(title));
    put(L"KvTagInfo.artist", wide(artist));
    put(L"KvTagInfo.albumArtist", wide(albumArtist));
    put(L"KvTagInfo.composer", wide(composer));
    put(L"KvTagInfo.album", wide(album));
    put(L"KvTagInfo.track", std::to_wstring(track));
    put(L"KvTagInfo.disc", std::to_wstring(disc));
    put(L"KvTagInfo.year", std::to_wstring(year));
    put(L"KvTagInfo.copyright", wide(copyright));
    put(L"KvTagInfo.genre", wide(genre));
    put(L"KvTagInfo.comment", wide(comment));
    const QByteArray base64 = artwork ? artwork->bytes().toBase64() : QByteArray();
    put(L"KvTagInfo.artwork", wide(QString::fromLatin1(base64)));

    std::wostringstream out;
    pt::write_xml(out, tree, pt::xml_writer_make_settings<std::wstring>(L' ', 0, L"utf-8"));
    return fromWide(out.str());
}

void KvTagInfo::fromXml(std::wistream &in, bool full)
{
    pt::wptree tree;
    pt::read_xml(in, tree);
    title = readText(tree, L"KvTagInfo.title");
    artist = readText(tree, L"KvTagInfo.artist");
    if (full) {
        albumArtist = readText(tree, L"KvTagInfo.albumArtist");
        composer = readText(tree, L"KvTagInfo.composer");
    }
    album = readText(tree, L"KvTagInfo.album");
    track = readInt(tree, L"KvTagInfo.track");
    if (full)
        disc = readInt(tree, L"KvTagInfo.disc");
    year = readInt(tree, L"KvTagInfo.year");
    if (full)
        copyright = readText(tree, L"KvTagInfo.copyright");
    genre = readText(tree, L"KvTagInfo.genre");
    comment = readText(tree, L"KvTagInfo.comment");
    const QByteArray base64 = readText(tree, L"KvTagInfo.artwork").toUtf8();
    artwork = internArtwork(new KvByteArray(QByteArray::fromBase64(base64)));
}

void KvTagInfo::fromXml(const QString &text, bool full)
{
    std::wistringstream in(wide(text));
    fromXml(in, full);
}

bool KvTagInfo::hasXmlPrefix(const QString &text)
{
    static const QString prefix = QString::fromWCharArray(kDeclarationAndRoot);
    static_assert(sizeof(kDeclarationAndRoot) / sizeof(wchar_t) - 1 == 50,
                  "declaration, newline and root tag are 50 characters");
    return text.startsWith(prefix);
}
