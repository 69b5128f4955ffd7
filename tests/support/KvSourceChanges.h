#pragma once
#include <QString>

namespace kvtest {

// What another program does to a source the document holds open.
enum class Change {
    InPlace,         // 40,000 bytes in the middle rewritten, size kept, modification time new
    InPlaceOldTime,  // the same, then the old modification time put back
    Truncated,
    Grown,
    RenamedOver,     // another file (the rewritten bytes) renamed over the path
};

const char *nameOf(Change c);

// Does it to the file at path; a failed step fails the running test.
void change(Change c, const QString &path);

} // namespace kvtest
