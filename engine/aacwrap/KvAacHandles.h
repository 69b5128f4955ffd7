#pragma once
// Handle table: maps the numbers handed out through the C interface to sources and writers.
#include "KvAacWrap.h"

#include <memory>

namespace kvaac {

struct Source;
class Writer;

KvAacHandle addHandle(std::shared_ptr<Source> source);
KvAacHandle addHandle(std::shared_ptr<Writer> writer);
std::shared_ptr<Source> findSource(KvAacHandle h);
std::shared_ptr<Writer> findWriter(KvAacHandle h);

struct Released {
    bool found = false;
    std::shared_ptr<Source> source;
    std::shared_ptr<Writer> writer;
};
// Removes a handle; `writersOnly` leaves source handles in place.
Released releaseHandle(KvAacHandle h, bool writersOnly);

} // namespace kvaac
