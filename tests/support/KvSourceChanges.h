#pragma once
#include <QByteArray>
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

// Another program's save: `bytes` written to a file beside path, then renamed
// over it. A failed step fails the running test.
void renameOver(const QString &path, const QByteArray &bytes);

// What the program says of a source that was changed under it.
QString changedSourceText(const QString &path);

} // namespace kvtest
