#pragma once
#include <QStringList>

// The ID3v1 genre names with the Winamp extensions, in index order.
const QStringList &kvGenreNames();
