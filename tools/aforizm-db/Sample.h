// The sample collection: Debian's Russian fortune files filed into a
// three-level catalogue by theme.
#pragma once

#include "Catalogue.h"

#include <QString>

namespace dbtool {

inline constexpr const char* kFortunesRu = "/usr/share/games/fortunes/ru";

// Where the fortune file `fileName` is filed. Files not known here go to
// "Разное" / "Прочее" under their own name.
NodePath sampleNodeFor(const QString& fileName);

struct SampleResult
{
    int files = 0;
    qint64 aphorisms = 0;
    int nodes = 0;
};

// Builds a new database at `path` from the fortune files in `fortuneDir`
// (every regular file except the .dat indexes and the .u8 links). Refuses to
// overwrite `path`.
SampleResult buildSample(const QString& path, const QString& fortuneDir);

} // namespace dbtool
