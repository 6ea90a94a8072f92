#include "Catalogue.h"

#include "CatalogueSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>

#include <sqlite3.h>
#include <sys/stat.h>

namespace dbtool {

void checkCatalogue(Database& db)
{
    struct Table
    {
        const char* name;
        QStringList columns;
    };
    const Table tables[] = {
        {"TB0", {"NMB1", "GROUP1"}},
        {"TB1", {"NMB2", "NMB1", "GROUP2"}},
        {"TB2", {"NMB3", "NMB2", "GROUP3"}},
        {"TB4", {"NMB3", "NMB4", "AUTHOR", "AFORIZM", "SOURCE"}},
    };
    // Reading the schema is the first access to the file: this is where a
    // file that is not a database is found out.
    char* error = nullptr;
    if (sqlite3_exec(db.handle(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) !=
        SQLITE_OK) {
        QString reason = QString::fromUtf8(error ? error : sqlite3_errmsg(db.handle()));
        sqlite3_free(error);
        throw Failure(
            QStringLiteral("%1: cannot be read as a database: %2").arg(db.path(), reason));
    }
    Statement columns = db.prepare(QStringLiteral("SELECT upper(name) FROM pragma_table_info(?)"));
    for (const Table& table : tables) {
        QStringList present;
        columns.bind(1, QString::fromLatin1(table.name));
        while (columns.step())
            present.append(columns.text(0));
        columns.reset();
        if (present.isEmpty())
            throw Failure(QStringLiteral("%1: not a catalogue database: table %2 is missing")
                              .arg(db.path(), QLatin1String(table.name)));
        for (const QString& column : table.columns)
            if (!present.contains(column))
                throw Failure(
                    QStringLiteral("%1: not a catalogue database: table %2 has no column %3")
                        .arg(db.path(), QLatin1String(table.name), column));
    }
}

Transaction::Transaction(Database& db) : m_db(db)
{
    m_db.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (m_open) {
        try {
            m_db.exec(QStringLiteral("ROLLBACK"));
        } catch (const Failure&) {
            // SQLite has already rolled back after the error that brought us here.
        }
    }
}

void Transaction::commit()
{
    m_db.exec(QStringLiteral("COMMIT"));
    m_open = false;
}

CatalogueWriter::CatalogueWriter(Database& db)
    : m_db(db), m_findSection(db.prepare(QStringLiteral(
                    "SELECT NMB1 FROM TB0 WHERE GROUP1 = ?2 ORDER BY NMB1 LIMIT 1"))),
      m_addSection(db.prepare(QStringLiteral("INSERT INTO TB0 (GROUP1) VALUES (?2)"))),
      m_findSub1(db.prepare(QStringLiteral(
          "SELECT NMB2 FROM TB1 WHERE NMB1 = ?1 AND GROUP2 = ?2 ORDER BY NMB2 LIMIT 1"))),
      m_addSub1(db.prepare(QStringLiteral("INSERT INTO TB1 (NMB1, GROUP2) VALUES (?1, ?2)"))),
      m_findSub2(db.prepare(QStringLiteral(
          "SELECT NMB3 FROM TB2 WHERE NMB2 = ?1 AND GROUP3 = ?2 ORDER BY NMB3 LIMIT 1"))),
      m_addSub2(db.prepare(QStringLiteral("INSERT INTO TB2 (NMB2, GROUP3) VALUES (?1, ?2)"))),
      m_addAphorism(db.prepare(QStringLiteral(
          "INSERT INTO TB4 (NMB3, AUTHOR, AFORIZM, SOURCE) VALUES (?1, ?2, ?3, ?4)")))
{}

qint64 CatalogueWriter::findOrAdd(Statement& find, Statement& add, qint64 parent,
                                  const QString& name)
{
    if (parent >= 0)
        find.bind(1, parent);
    find.bind(2, name);
    bool found = find.step();
    qint64 key = found ? find.int64(0) : 0;
    find.reset();
    if (found)
        return key;
    if (parent >= 0)
        add.bind(1, parent);
    add.bind(2, name);
    add.run();
    ++m_nodesAdded;
    return m_db.lastInsertId();
}

qint64 CatalogueWriter::node(const NodePath& path)
{
    QString cacheKey = path.section + QLatin1Char('\n') + path.sub1 + QLatin1Char('\n') + path.sub2;
    auto it = m_cache.constFind(cacheKey);
    if (it != m_cache.constEnd())
        return *it;
    qint64 nmb1 = findOrAdd(m_findSection, m_addSection, -1, path.section);
    qint64 nmb2 = findOrAdd(m_findSub1, m_addSub1, nmb1, path.sub1);
    qint64 nmb3 = findOrAdd(m_findSub2, m_addSub2, nmb2, path.sub2);
    m_cache.insert(cacheKey, nmb3);
    return nmb3;
}

void CatalogueWriter::addAphorism(qint64 nmb3, const QString& author, const QString& text,
                                  const QString& source)
{
    m_addAphorism.bind(1, nmb3).bind(2, author).bind(3, text).bind(4, source);
    m_addAphorism.run();
    ++m_aphorismsAdded;
}

void buildNewDatabase(const QString& path, const std::function<void(Database&)>& fill, bool fast)
{
    QFileInfo target(path);
    if (target.exists() || target.isSymLink())
        throw Failure(QStringLiteral("%1: already exists; will not overwrite it").arg(path));
    QDir folder = target.absoluteDir();
    if (!folder.exists())
        throw Failure(QStringLiteral("%1: the folder %2 does not exist")
                          .arg(path, QDir::toNativeSeparators(folder.path())));

    QTemporaryFile temp(folder.filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    if (!temp.open())
        throw Failure(QStringLiteral("%1: cannot create a file in %2: %3")
                          .arg(path, folder.path(), temp.errorString()));
    const QString tempPath = temp.fileName();
    temp.close(); // an empty file is a valid new SQLite database

    {
        Database db(tempPath, Database::Mode::OpenExisting);
        if (fast)
            db.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; "
                                   "PRAGMA cache_size = -65536"));
        Transaction transaction(db);
        db.exec(QString::fromUtf8(aforizm::catalogueSchemaSql()));

        // Filling tables without their indexes and indexing afterwards is
        // several times faster than keeping the indexes up to date row by row.
        QStringList indexes;
        if (fast) {
            Statement list = db.prepare(QStringLiteral(
                "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"));
            QStringList names;
            while (list.step()) {
                names.append(list.text(0));
                indexes.append(list.text(1));
            }
            for (const QString& name : names)
                db.exec(QStringLiteral("DROP INDEX \"%1\"").arg(name));
        }
        fill(db);
        for (const QString& sql : indexes)
            db.exec(sql);
        transaction.commit();
    }

    // QTemporaryFile made the file private; give it the permissions any
    // newly created file gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::chmod(QFile::encodeName(tempPath).constData(), 0666 & ~mask) != 0)
        throw Failure(QStringLiteral("%1: cannot set the file's permissions").arg(path));

    // QFile::rename never replaces an existing file, so a file that
    // appeared at `path` in the meantime is kept.
    if (!QFile::rename(tempPath, path))
        throw Failure(QStringLiteral("%1: cannot put the new database in place").arg(path));
    temp.setAutoRemove(false);
}

} // namespace dbtool
