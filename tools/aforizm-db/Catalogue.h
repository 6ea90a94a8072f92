// Writing into the catalogue: checking that a file is a catalogue database,
// finding or adding nodes by their names, adding aphorisms, and building a
// new database file so that it appears only when complete.
#pragma once

#include "Sqlite.h"

#include <QHash>
#include <QString>

#include <functional>

namespace dbtool {

// Throws Failure unless `db` is an SQLite database holding TB0, TB1, TB2 and
// TB4 with the columns the program reads.
void checkCatalogue(Database& db);

// One BEGIN IMMEDIATE ... COMMIT; rolled back unless commit() was called.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& m_db;
    bool m_open = true;
};

// A level-3 node named by its path of names.
struct NodePath
{
    QString section, sub1, sub2;
};

class CatalogueWriter
{
public:
    explicit CatalogueWriter(Database& db);

    // The key of the level-3 node with these names, adding whichever of the
    // three nodes is missing. Names are compared exactly; when two siblings
    // share a name the older one (smaller key) is used.
    qint64 node(const NodePath& path);

    void addAphorism(qint64 nmb3, const QString& author, const QString& text,
                     const QString& source = {});

    int nodesAdded() const { return m_nodesAdded; }
    qint64 aphorismsAdded() const { return m_aphorismsAdded; }

private:
    qint64 findOrAdd(Statement& find, Statement& add, qint64 parent, const QString& name);

    Database& m_db;
    Statement m_findSection, m_addSection, m_findSub1, m_addSub1, m_findSub2, m_addSub2;
    Statement m_addAphorism;
    QHash<QString, qint64> m_cache; // "section\nsub1\nsub2" -> NMB3
    int m_nodesAdded = 0;
    qint64 m_aphorismsAdded = 0;
};

// Builds a new catalogue database at `path`: the schema, then `fill`, all in
// a temporary file beside `path` that is renamed to `path` only when
// everything succeeded. Refuses an existing `path`; leaves nothing behind on
// failure. `fast` trades durability for speed while the file is private
// (no journal, no syncs) and builds the indexes after `fill`.
void buildNewDatabase(const QString& path, const std::function<void(Database&)>& fill,
                      bool fast = false);

} // namespace dbtool
