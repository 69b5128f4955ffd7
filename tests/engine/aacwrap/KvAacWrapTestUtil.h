#pragma once
// Calls of the wrapper library the way the engine makes them, for the tests.
#include "KvAacWrap.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace aactest {

struct Scan {
    KvAacHandle handle = 0;
    int64_t count = 0;
    KvAACInfo info{};
    std::vector<KvAACGainOffsetEntry> entries;
};

Scan scan(const QString &path, KvAacCancelFn cancel = nullptr);

// Writes frames [first, first + count) of a scanned source to a file through one writer,
// with gain(i) and silenced(i) per written frame; returns the first negative result, or 0.
int writeFile(const Scan &src, const QString &out, int64_t first, int64_t count,
              const std::function<int(int64_t)> &gain = {},
              const std::function<bool(int64_t)> &silenced = {});

// Memory mode over the same run: the concatenated ADTS frames.
QByteArray writeMemory(const Scan &src, int64_t first, int64_t count, int gain = 0);

} // namespace aactest
