#pragma once
// Text input archive for files the user hands us (projects, clipboard text).
// The plain Boost text archive trusts the class ids and object references it
// reads: an id past the known classes makes it write out of bounds, and a
// reference to an object of another class hands back that object as the
// wrong type; and the header's signature string is allocated at whatever
// length the text claims. This archive refuses all three with an archive
// exception. Use it wherever a text_iarchive is expected.
#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/serialization/throw_exception.hpp>

#include <algorithm>
#include <limits>
#include <streambuf>
#include <type_traits>
#include <istream>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

class KvTextIArchive : public boost::archive::text_iarchive
{
public:
    explicit KvTextIArchive(std::istream &is, unsigned int flags = 0)
        : boost::archive::text_iarchive(is, flags | boost::archive::no_header)
    {
        if ((flags & boost::archive::no_header) == 0)
            readHeader();
    }

    // Names the type of the pointer about to be read. A class id seen for a
    // type stays that type's; a new id is only accepted for a type not seen
    // before. Without a name, only known class ids are accepted.
    void expectPointer(const std::type_info &type) { m_expected = &type; }

    // A std::string item (length, blank, bytes).
    void loadString(std::string &s)
    {
        std::size_t size = 0;
        plain() >> size;
        is.get(); // the blank after the length
        s.clear();
        constexpr std::size_t chunk = std::size_t(1) << 16;
        while (s.size() < size) {
            const std::size_t at = s.size();
            const std::size_t n = std::min(chunk, size - at);
            s.resize(at + n);
            is.read(&s[at], std::streamsize(n));
            if (std::size_t(is.gcount()) != n)
                refuse();
        }
    }

    // A decimal integer token, read straight from the stream buffer: what
    // `*this >> value` accepts for the tokens a text archive writes, at a
    // fraction of the cost.
    template<class Int>
    void loadInteger(Int &value)
    {
        static_assert(std::is_integral<Int>::value && std::is_signed<Int>::value, "signed integers");
        using Magnitude = typename std::make_unsigned<Int>::type;
        std::streambuf *buffer = is.rdbuf();
        if (!buffer || !is.good())
            refuse();
        int c = buffer->sgetc();
        while (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f')
            c = buffer->snextc();
        bool negative = false;
        if (c == '-' || c == '+') {
            negative = c == '-';
            c = buffer->snextc();
        }
        if (c < '0' || c > '9')
            refuse();
        const Magnitude limit = Magnitude(std::numeric_limits<Int>::max()) + (negative ? 1 : 0);
        Magnitude v = 0;
        do {
            const Magnitude digit = Magnitude(c - '0');
            if (v > (limit - digit) / 10)
                refuse();
            v = Magnitude(v * 10 + digit);
            c = buffer->snextc();
        } while (c >= '0' && c <= '9');
        value = negative ? Int(Magnitude(0) - v) : Int(v);
    }

private:
    boost::archive::text_iarchive &plain() { return *this; }

    // The header as the library reads it, but with the signature read as a
    // bounded string: the library's own read takes any length the text
    // claims and allocates it.
    void readHeader()
    {
        std::size_t size = 0;
        plain() >> size;
        const std::string expected = boost::archive::BOOST_ARCHIVE_SIGNATURE();
        if (size != expected.size())
            invalidSignature();
        std::string signature;
        is.get(); // the blank after the length
        signature.resize(size);
        is.read(&signature[0], std::streamsize(size));
        if (std::size_t(is.gcount()) != size || signature != expected)
            invalidSignature();
        boost::serialization::library_version_type version;
        plain() >> version;
        set_library_version(version);
        if (boost::archive::BOOST_ARCHIVE_VERSION() < version)
            boost::serialization::throw_exception(
                boost::archive::archive_exception(boost::archive::archive_exception::unsupported_version));
    }

    [[noreturn]] static void invalidSignature()
    {
        boost::serialization::throw_exception(
            boost::archive::archive_exception(boost::archive::archive_exception::invalid_signature));
    }

    [[noreturn]] static void refuse()
    {
        boost::serialization::throw_exception(
            boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error));
    }

    // A class whose information is read for an object: the archive has just
    // given it the next class id.
    void vload(boost::archive::class_id_optional_type &t) override
    {
        plain() >> t;
        ++m_classes;
    }

    // The class of a pointer: the one its type was read with before, or the
    // next new one for a type not read before. The archive may know more
    // classes than were read (registered types), never fewer.
    void vload(boost::archive::class_id_type &t) override
    {
        plain() >> t;
        const std::type_info *expected = m_expected;
        m_expected = nullptr;
        const int id = t;
        if (id == -1) { // null pointer
            m_lastClass = -1;
            return;
        }
        if (id < 0 || id > m_classes || !expected)
            refuse();
        bool typeSeen = false;
        for (const auto &known : m_pointerClasses) {
            if (*known.first == *expected) {
                typeSeen = true;
                if (known.second != id)
                    refuse();
            } else if (known.second == id) {
                refuse();
            }
        }
        if (!typeSeen)
            m_pointerClasses.emplace_back(expected, id);
        if (id == m_classes)
            ++m_classes;
        m_lastClass = id;
    }

    // The object a pointer refers to: the next new one, or one read before
    // as the same class.
    void vload(boost::archive::object_id_type &t) override
    {
        plain() >> t;
        const unsigned int id = t;
        if (id < m_objectClasses.size()) {
            if (m_objectClasses[id] != m_lastClass)
                refuse();
            return;
        }
        if (id != m_objectClasses.size())
            refuse();
        m_objectClasses.push_back(m_lastClass);
    }

    const std::type_info *m_expected = nullptr;
    std::vector<std::pair<const std::type_info *, int>> m_pointerClasses;
    int m_classes = 0;
    int m_lastClass = -1;
    std::vector<int> m_objectClasses;
};
