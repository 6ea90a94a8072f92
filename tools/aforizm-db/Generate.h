// Synthetic collections for benchmarks: many aphorisms of realistic Russian
// text in a large catalogue, the same for the same seed on every machine.
#pragma once

#include <QString>

#include <functional>

namespace dbtool {

struct GenerateOptions
{
    qint64 aphorisms = 0;
    qint64 nodes = 1; // level-3 nodes; ten per subsection 1, ten of those per section
    quint64 seed = 1;
};

// Builds a new database at `path`. Aphorisms are 40 to 400 characters long;
// node sizes are skewed as in real collections (a node's share falls with its
// position: the first node gets about 1/sqrt(nodes) of all aphorisms, most
// nodes far fewer). About 5% have no author and 70% no source; one in ten
// texts has two lines. `progress` is called now and then with the number of
// aphorisms written so far.
void generateCollection(const QString& path, const GenerateOptions& options,
                        const std::function<void(qint64)>& progress = {});

} // namespace dbtool
