#pragma once
#include <QString>

// Where a source that lay at sourcePath when the project was saved at
// savedProjectPath lies now that the project is at currentProjectPath: the
// same place relative to the project (a source in a folder beside the
// project's folder is looked for in the folder of that name beside the new
// one). Paths may be written with either separator and a drive letter; a
// source on another drive or root than the saved project is never found.
// Empty when that place holds nothing.
QString findRelativeSource(const QString &savedProjectPath, const QString &currentProjectPath,
                           const QString &sourcePath);
