#pragma once
// Points the process-wide AAC library binding at the library this test
// program was built against, before any test runs.
#include <QByteArray>
#include <QtGlobal>

namespace aacengine {
struct LibraryEnvironment {
    LibraryEnvironment() { qputenv("KV_AACWRAP_LIBRARY", QByteArray(KV_AACWRAP_LIBRARY_PATH)); }
};
static const LibraryEnvironment g_libraryEnvironment;
} // namespace aacengine
