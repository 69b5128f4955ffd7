#pragma once
// Text output archive for our files and clipboard texts: it starts with our
// header (the installed library would write a newer library version than our
// files say), and writes integer tokens straight into the stream, which the
// fragment-list writer does for every run of a long document.
#include "KvFragmentListArchive.h"

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/serialization/throw_exception.hpp>

#include <cstdint>
#include <ostream>
#include <string>

class KvTextOArchive : public boost::archive::text_oarchive
{
public:
    // Without no_header in flags, writes our header first.
    explicit KvTextOArchive(std::ostream &os, unsigned int flags = 0)
        : boost::archive::text_oarchive(os, flags | boost::archive::no_header)
    {
        if ((flags & boost::archive::no_header) == 0)
            this->os << kKvArchiveHeader << ' ';
    }

    // One decimal integer token, exactly as `*this << value` writes it.
    void saveInteger(int64_t value)
    {
        if (delimiter != space) {
            *this << value;
            return;
        }
        std::string token;
        appendToken(token, value);
        saveTokens(token);
    }

    // Appends " VALUE" to text: tokens for saveTokens.
    static void appendToken(std::string &text, int64_t value)
    {
        char digits[24];
        char *end = digits + sizeof digits;
        char *p = end;
        uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
        do {
            *--p = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0)
            *--p = '-';
        *--p = ' ';
        text.append(p, size_t(end - p));
    }

    // Tokens made by appendToken, each with its blank in front; only after a
    // token written through the archive itself.
    void saveTokens(const std::string &tokens)
    {
        if (delimiter != space)
            boost::serialization::throw_exception(
                boost::archive::archive_exception(boost::archive::archive_exception::output_stream_error));
        if (os.fail())
            boost::serialization::throw_exception(
                boost::archive::archive_exception(boost::archive::archive_exception::output_stream_error));
        os.write(tokens.data(), std::streamsize(tokens.size()));
    }
};
