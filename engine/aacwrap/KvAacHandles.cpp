#include "KvAacHandles.h"

#include "KvAacSource.h"
#include "KvAacWriter.h"

#include <mutex>
#include <unordered_map>

namespace kvaac {

namespace {

struct Entry {
    std::shared_ptr<Source> source;
    std::shared_ptr<Writer> writer;
};

struct Table {
    std::mutex mutex;
    std::unordered_map<KvAacHandle, Entry> entries;
    KvAacHandle next = 0x10000; // never reused, so a stale handle is refused
};

Table &table()
{
    static Table t;
    return t;
}

KvAacHandle add(Entry e)
{
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    const KvAacHandle h = t.next;
    t.next += 16;
    t.entries.emplace(h, std::move(e));
    return h;
}

} // namespace

KvAacHandle addHandle(std::shared_ptr<Source> source) { return add({std::move(source), nullptr}); }
KvAacHandle addHandle(std::shared_ptr<Writer> writer) { return add({nullptr, std::move(writer)}); }

std::shared_ptr<Source> findSource(KvAacHandle h)
{
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.entries.find(h);
    return it == t.entries.end() ? nullptr : it->second.source;
}

std::shared_ptr<Writer> findWriter(KvAacHandle h)
{
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.entries.find(h);
    return it == t.entries.end() ? nullptr : it->second.writer;
}

Released releaseHandle(KvAacHandle h, bool writersOnly)
{
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Released r;
    const auto it = t.entries.find(h);
    if (it == t.entries.end() || (writersOnly && !it->second.writer))
        return r;
    r.found = true;
    r.source = std::move(it->second.source);
    r.writer = std::move(it->second.writer);
    t.entries.erase(it);
    return r;
}

} // namespace kvaac
