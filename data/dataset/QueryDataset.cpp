#include "Dataset.h"
#include "RowBuffer.h"

#include <sqlite3.h>

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QPointer>

#include <algorithm>
#include <numeric>

namespace data {

using detail::Cell;
using detail::CellTag;
using detail::RowBuffer;
using detail::RowWriter;

namespace {

constexpr int kFirstFetch = 64;

// Quotes an identifier for SQL text: "name" with inner quotes doubled.
QString quoted(const QString& identifier)
{
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

FieldType typeFromDeclaration(const QString& decl)
{
    const QString t = decl.toUpper();
    if (t.contains(QLatin1String("INT")))
        return FieldType::Integer;
    if (t.contains(QLatin1String("CHAR")))
        return FieldType::String;
    if (t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT")))
        return FieldType::Memo;
    if (t.contains(QLatin1String("BLOB")))
        return FieldType::Blob;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) ||
        t.contains(QLatin1String("DEC")))
        return FieldType::Float;
    return FieldType::Unknown;
}

FieldType typeFromCell(CellTag tag)
{
    switch (tag) {
    case CellTag::Integer:
        return FieldType::Integer;
    case CellTag::Real:
        return FieldType::Float;
    case CellTag::Text:
        return FieldType::String;
    case CellTag::Blob:
        return FieldType::Blob;
    case CellTag::Null:
        break;
    }
    return FieldType::Unknown;
}

void bindVariant(sqlite3_stmt* stmt, int index, const QVariant& v)
{
    switch (detail::storageClassOf(v)) {
    case CellTag::Null:
        sqlite3_bind_null(stmt, index);
        break;
    case CellTag::Integer:
        sqlite3_bind_int64(stmt, index, detail::integerOf(v));
        break;
    case CellTag::Real:
        sqlite3_bind_double(stmt, index, v.toDouble());
        break;
    case CellTag::Blob: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob64(stmt, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case CellTag::Text: {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text64(stmt, index, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
        break;
    }
    }
}

// Owns a prepared statement for the length of one write or look-up.
struct Statement
{
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

QCollator makeCollator()
{
    // The collection is Russian: a machine without a configured locale still
    // sorts names in Russian alphabetical order (Ё beside Е, not after Я).
    QLocale locale;
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        locale = QLocale(QLocale::Russian, QLocale::Russia);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(false);
    return collator;
}

} // namespace

struct ColumnInfo
{
    QString name;   // as the statement names it
    QString table;  // origin table, empty for expressions
    QString origin; // origin column name
    FieldType type = FieldType::Unknown;
    bool key = false; // the origin table's INTEGER PRIMARY KEY
};

enum class Pending { None, Edit, Insert };

struct QueryDataset::Impl
{
    QueryDataset* q = nullptr;
    QString name;
    QPointer<Connection> conn;
    QString sql;

    // Master-detail link.
    QueryDataset* master = nullptr;
    QString masterKeyField;
    QString paramName;
    QString linkColumn;
    std::vector<QueryDataset*> details;

    QStringList clientOrder;
    QHash<QString, QVariant> params; // lower-case name -> value

    // Open statement and its cursor.
    bool active = false;
    sqlite3_stmt* stmt = nullptr;
    qint64 consumed = 0; // result rows read from the statement so far
    bool exhausted = true;
    bool released = false; // reset by ReleaseCursor; re-run and skip on next fetch
    qint64 lastKey = 0;    // key of the last row read from the statement
    bool haveLastKey = false;

    std::vector<ColumnInfo> columns;
    QString table; // the one table a writable statement reads, else empty
    int keyColumn = -1;

    std::vector<RowBuffer> rows;
    int cur = -1;
    bool eof = true;
    bool bof = true;

    Pending pending = Pending::None;
    std::vector<QVariant> pendingValues;
    std::vector<char> pendingSet;
    bool modified = false;
    int rowBeforeInsert = -1;

    int disableCount = 0;
    RowWriter writer;
    detail::RowArena arena;

    void dropRows()
    {
        rows.clear();
        rows.shrink_to_fit();
        arena.clear();
    }

    // --- errors -----------------------------------------------------------
    [[noreturn]] void fail(const QString& text) const
    {
        throw DataError(QStringLiteral("%1: %2").arg(name, text));
    }
    [[noreturn]] void failSqlite() const
    {
        fail(QString::fromUtf8(sqlite3_errmsg(conn->Handle())));
    }
    void checkActive() const
    {
        if (!active)
            fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
    }
    void checkWritable() const
    {
        if (table.isEmpty() || keyColumn < 0)
            fail(QStringLiteral("Cannot modify a read-only dataset: its statement does not read "
                                "one table with an INTEGER PRIMARY KEY"));
    }
    sqlite3* db() const { return conn ? conn->Handle() : nullptr; }

    // --- visible signals --------------------------------------------------
    bool quiet() const { return disableCount > 0; }
    void emitCurrent()
    {
        if (!quiet())
            Q_EMIT q->currentChanged(cur);
    }
    void emitRowChanged(int row)
    {
        if (!quiet())
            Q_EMIT q->rowChanged(row);
    }
    void emitState()
    {
        if (!quiet())
            Q_EMIT q->stateChanged(q->State());
    }

    // --- statement --------------------------------------------------------
    void finalize()
    {
        sqlite3_finalize(stmt);
        stmt = nullptr;
        consumed = 0;
        exhausted = true;
        released = false;
        haveLastKey = false;
    }
    void prepare();
    void readColumns();
    void bindParams();
    bool stepRow(); // true: a row is ready; false: no more rows
    bool resume();
    int fetch(int count, bool announce); // returns rows added
    void fetchAll(bool announce) { fetch(-1, announce); }
    void runQuery(int atLeast);

    // --- values -----------------------------------------------------------
    QVariant stored(int row, int column) const
    {
        if (row < 0 || row >= int(rows.size()))
            return {};
        return detail::cellToVariant(detail::cellAt(rows[size_t(row)], column));
    }
    QVariant value(int row, int column) const
    {
        if (row == cur && pending != Pending::None && pendingSet[size_t(column)])
            return pendingValues[size_t(column)];
        return stored(row, column);
    }
    RowBuffer nullRow()
    {
        writer.clear();
        for (size_t i = 0; i < columns.size(); ++i)
            writer.addNull();
        return writer.take(arena);
    }
    QVariant currentKeyOf(const QString& field) const
    {
        if (!active || cur < 0)
            return {};
        const int c = q->FieldIndex(field);
        return c < 0 ? QVariant() : value(cur, c);
    }

    // --- order ------------------------------------------------------------
    std::vector<int> orderColumns() const;
    int compareRows(const std::vector<int>& cols, const QCollator& coll, int a, int b) const;
    void sortRows();
    void placeRow(int row);

    // --- chain ------------------------------------------------------------
    void endDetailChanges();
    void requeryDetails();
    void requeryFromMaster();
    bool orphan() const;

    // --- moving -----------------------------------------------------------
    void setCurrent(int row, bool force = false);
    void startNewRow(int pos, int returnTo);
    void leaveRow(); // ends pending changes before a move
    void dropInsert();

    // --- writes -----------------------------------------------------------
    void execWrite(const QString& text, const std::vector<QVariant>& values);
    bool reread(qint64 key, RowBuffer& out);
    void post();
};

// --- statement ----------------------------------------------------------

void QueryDataset::Impl::prepare()
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db(), text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db()));
        sqlite3_finalize(stmt);
        stmt = nullptr;
        fail(why);
    }
    if (!stmt)
        fail(QStringLiteral("The SQL text holds no statement"));
    // A dataset reads; a statement that would change the database is refused
    // before it runs.
    if (sqlite3_column_count(stmt) == 0 || !sqlite3_stmt_readonly(stmt)) {
        finalize();
        fail(QStringLiteral("The statement is not a query that returns rows"));
    }
    consumed = 0;
    exhausted = false;
    released = false;
    haveLastKey = false;
}

void QueryDataset::Impl::readColumns()
{
    columns.clear();
    table.clear();
    keyColumn = -1;
    const int n = sqlite3_column_count(stmt);
    bool oneTable = true;
    QString dbName;
    for (int c = 0; c < n; ++c) {
        ColumnInfo info;
        info.name = QString::fromUtf8(sqlite3_column_name(stmt, c));
        const char* tbl = sqlite3_column_table_name(stmt, c);
        const char* origin = sqlite3_column_origin_name(stmt, c);
        const char* schema = sqlite3_column_database_name(stmt, c);
        info.type = typeFromDeclaration(QString::fromUtf8(sqlite3_column_decltype(stmt, c)));
        if (tbl && origin) {
            info.table = QString::fromUtf8(tbl);
            info.origin = QString::fromUtf8(origin);
            const char* declType = nullptr;
            int primaryKey = 0;
            if (sqlite3_table_column_metadata(db(), schema, tbl, origin, &declType, nullptr,
                                              nullptr, &primaryKey, nullptr) == SQLITE_OK &&
                primaryKey && declType && sqlite3_stricmp(declType, "INTEGER") == 0) {
                // A single-column INTEGER PRIMARY KEY is the row id; a composite
                // key is not.
                Statement count;
                if (sqlite3_prepare_v2(
                        db(), "SELECT count(*) FROM pragma_table_info(?1, ?2) WHERE pk > 0", -1,
                        &count.stmt, nullptr) == SQLITE_OK) {
                    sqlite3_bind_text(count.stmt, 1, tbl, -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(count.stmt, 2, schema, -1, SQLITE_TRANSIENT);
                    if (sqlite3_step(count.stmt) == SQLITE_ROW &&
                        sqlite3_column_int(count.stmt, 0) == 1)
                        info.key = true;
                }
            }
            if (info.key)
                info.type = FieldType::AutoInc;
            if (c == 0) {
                table = info.table;
                dbName = QString::fromUtf8(schema);
            } else if (info.table != table || QString::fromUtf8(schema) != dbName) {
                oneTable = false;
            }
        } else {
            oneTable = false;
        }
        columns.push_back(info);
    }
    if (oneTable && dbName == QLatin1String("main")) {
        for (int c = 0; c < n; ++c) {
            if (columns[size_t(c)].key) {
                keyColumn = c;
                break;
            }
        }
    }
    if (!oneTable || keyColumn < 0)
        table.clear();
}

void QueryDataset::Impl::bindParams()
{
    const int n = sqlite3_bind_parameter_count(stmt);
    for (int i = 1; i <= n; ++i) {
        const char* raw = sqlite3_bind_parameter_name(stmt, i);
        QVariant v;
        if (raw && raw[0]) {
            const QString pname = QString::fromUtf8(raw + 1).toLower();
            if (master && pname == paramName.toLower())
                v = master->d->currentKeyOf(masterKeyField);
            else
                v = params.value(pname);
        }
        bindVariant(stmt, i, v);
    }
}

// Runs the statement again after ReleaseCursor and stands after the last row
// read. With a key column that is the row with the last key read, so rows
// deleted or added before it by a write in between do not shift the place;
// without one (or when that row itself is gone) it goes by the row count.
bool QueryDataset::Impl::resume()
{
    const auto step = [this] {
        const int rc = sqlite3_step(stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            const QString why = QString::fromUtf8(sqlite3_errmsg(db()));
            sqlite3_reset(stmt);
            fail(why);
        }
        return rc == SQLITE_ROW;
    };
    qint64 skip = consumed;
    if (keyColumn >= 0 && haveLastKey) {
        while (step()) {
            if (sqlite3_column_type(stmt, keyColumn) == SQLITE_INTEGER &&
                sqlite3_column_int64(stmt, keyColumn) == lastKey)
                return true;
        }
        // The last row read was deleted: one row fewer stands before the place.
        sqlite3_reset(stmt);
        skip = consumed - 1;
    }
    for (qint64 skipped = 0; skipped < skip; ++skipped) {
        if (!step())
            return false;
    }
    return true;
}

bool QueryDataset::Impl::stepRow()
{
    if (exhausted || !stmt)
        return false;
    if (released) {
        // The cursor was given up for a write: run the statement again.
        released = false;
        bool more = false;
        try {
            more = resume();
        } catch (...) {
            released = true; // a later fetch tries again
            throw;
        }
        if (!more) {
            sqlite3_reset(stmt);
            exhausted = true;
            return false;
        }
    }
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        ++consumed;
        if (keyColumn >= 0) {
            haveLastKey = sqlite3_column_type(stmt, keyColumn) == SQLITE_INTEGER;
            lastKey = sqlite3_column_int64(stmt, keyColumn);
        }
        return true;
    }
    // Reset at once: a finished statement must not hold back any commit.
    if (rc == SQLITE_DONE) {
        sqlite3_reset(stmt);
        exhausted = true;
        return false;
    }
    const QString why = QString::fromUtf8(sqlite3_errmsg(db()));
    sqlite3_reset(stmt);
    released = true; // a later fetch tries again from where we were
    fail(why);
}

int QueryDataset::Impl::fetch(int count, bool announce)
{
    if (exhausted || !stmt || count == 0)
        return 0;
    WaitCursor busy;
    std::vector<RowBuffer> fresh;
    const int ncols = int(columns.size());
    try {
        while ((count < 0 || int(fresh.size()) < count) && stepRow()) {
            fresh.push_back(arena.storeStatementRow(stmt, ncols));
        }
    } catch (...) {
        // Keep what was read; the cursor position counts it.
        if (fresh.empty())
            throw;
    }
    if (fresh.empty())
        return 0;
    // Columns without a declared type take the type of their first value.
    if (rows.empty() && !fresh.empty()) {
        for (int c = 0; c < ncols; ++c) {
            ColumnInfo& info = columns[size_t(c)];
            if (info.type == FieldType::Unknown)
                info.type = typeFromCell(detail::cellAt(fresh.front(), c).tag);
        }
    }
    const int first = int(rows.size());
    const int last = first + int(fresh.size()) - 1;
    if (announce)
        Q_EMIT q->rowsAboutToBeFetched(first, last);
    rows.reserve(rows.size() + fresh.size());
    for (auto& r : fresh)
        rows.push_back(std::move(r));
    if (announce)
        Q_EMIT q->rowsFetched(first, last);
    return int(fresh.size());
}

// Runs the statement from the start and fetches the first rows (all of them
// when a client order needs them). Callers emit the reset pair around it.
void QueryDataset::Impl::runQuery(int atLeast)
{
    finalize();
    dropRows();
    cur = -1;
    pending = Pending::None;
    modified = false;
    if (!conn)
        fail(QStringLiteral("The dataset has no connection"));
    if (!conn->Connected())
        conn->Open();
    WaitCursor busy;
    prepare();
    readColumns();
    bindParams();
    if (!orderColumns().empty()) {
        fetchAll(false);
        sortRows();
    } else {
        fetch(std::max(kFirstFetch, atLeast), false);
    }
    cur = rows.empty() ? -1 : 0;
    eof = rows.empty();
    bof = true;
}

// --- order --------------------------------------------------------------

// The columns the fetched rows are kept sorted by. A detail's link column is
// the same in all its rows and orders nothing: a detail ordered by it alone
// keeps the statement's order and can fetch its rows on demand.
std::vector<int> QueryDataset::Impl::orderColumns() const
{
    std::vector<int> cols;
    for (const QString& c : clientOrder) {
        if (master && c.compare(linkColumn, Qt::CaseInsensitive) == 0)
            continue;
        const int i = q->FieldIndex(c);
        if (i >= 0)
            cols.push_back(i);
    }
    return cols;
}

int QueryDataset::Impl::compareRows(const std::vector<int>& cols, const QCollator& coll, int a,
                                    int b) const
{
    for (int c : cols) {
        const Cell x = detail::cellAt(rows[size_t(a)], c);
        const Cell y = detail::cellAt(rows[size_t(b)], c);
        // NULL first, then numbers, then text and blobs, as SQLite orders them.
        const auto rank = [](CellTag t) {
            switch (t) {
            case CellTag::Null:
                return 0;
            case CellTag::Integer:
            case CellTag::Real:
                return 1;
            case CellTag::Text:
                return 2;
            case CellTag::Blob:
                return 3;
            }
            return 4;
        };
        if (rank(x.tag) != rank(y.tag))
            return rank(x.tag) < rank(y.tag) ? -1 : 1;
        int r = 0;
        switch (rank(x.tag)) {
        case 1: {
            const double dx = x.tag == CellTag::Integer ? double(x.integer) : x.real;
            const double dy = y.tag == CellTag::Integer ? double(y.integer) : y.real;
            if (x.tag == CellTag::Integer && y.tag == CellTag::Integer)
                r = x.integer < y.integer ? -1 : (x.integer > y.integer ? 1 : 0);
            else
                r = dx < dy ? -1 : (dx > dy ? 1 : 0);
            break;
        }
        case 2:
            r = coll.compare(QString::fromUtf8(x.bytes, qsizetype(x.size)),
                             QString::fromUtf8(y.bytes, qsizetype(y.size)));
            break;
        case 3:
            r = std::memcmp(x.bytes, y.bytes, std::min(x.size, y.size));
            if (r == 0)
                r = x.size < y.size ? -1 : (x.size > y.size ? 1 : 0);
            break;
        default:
            break;
        }
        if (r != 0)
            return r;
    }
    return 0;
}

void QueryDataset::Impl::sortRows()
{
    const std::vector<int> cols = orderColumns();
    if (cols.empty() || rows.size() < 2)
        return;
    const QCollator coll = makeCollator();
    std::vector<int> idx(rows.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(),
                     [&](int a, int b) { return compareRows(cols, coll, a, b) < 0; });
    std::vector<RowBuffer> sorted;
    sorted.reserve(rows.size());
    for (int i : idx)
        sorted.push_back(std::move(rows[size_t(i)]));
    rows = std::move(sorted);
}

// Moves a stored row to its place in the client order; the current row
// follows it.
void QueryDataset::Impl::placeRow(int row)
{
    const std::vector<int> cols = orderColumns();
    if (cols.empty() || rows.size() < 2)
        return;
    const QCollator coll = makeCollator();
    const int n = int(rows.size());
    // A row that already stands between its neighbours stays where it is
    // (equal rows need not move); otherwise it goes after every other row
    // that sorts before it or equal to it.
    if ((row == 0 || compareRows(cols, coll, row - 1, row) <= 0) &&
        (row == n - 1 || compareRows(cols, coll, row, row + 1) <= 0))
        return;
    int target = 0;
    for (int i = 0; i < n; ++i) {
        if (i == row)
            continue;
        if (compareRows(cols, coll, i, row) > 0)
            break;
        ++target;
    }
    if (target == row)
        return;
    Q_EMIT q->rowAboutToBeMoved(row, target);
    RowBuffer moving = std::move(rows[size_t(row)]);
    rows.erase(rows.begin() + row);
    rows.insert(rows.begin() + target, std::move(moving));
    if (cur == row)
        cur = target;
    else if (row < cur && target >= cur)
        --cur;
    else if (row > cur && target <= cur)
        ++cur;
    Q_EMIT q->rowMoved(row, target);
    emitCurrent();
}

// --- chain --------------------------------------------------------------

// A new detail row that would be stored without a master record: its link
// column got no key when the row was started (the master had no current row,
// or only a new one without a key yet) and none was written into it since.
// Without the link column in the statement, the master's current row counts.
bool QueryDataset::Impl::orphan() const
{
    if (!master || pending != Pending::Insert)
        return false;
    const int link = q->FieldIndex(linkColumn);
    if (link >= 0)
        return pendingValues[size_t(link)].isNull();
    return master->d->currentKeyOf(masterKeyField).isNull();
}

// Before an operation on this dataset: each detail's pending change is posted
// if changed and dropped if not, deepest first. While this dataset has a
// pending change of its own, the details' changes are left alone.
void QueryDataset::Impl::endDetailChanges()
{
    if (pending != Pending::None)
        return;
    for (QueryDataset* detail : details) {
        if (!detail->d->active)
            continue;
        detail->d->endDetailChanges();
        detail->EndPendingChange();
    }
}

void QueryDataset::Impl::requeryDetails()
{
    for (QueryDataset* detail : details)
        detail->d->requeryFromMaster();
}

void QueryDataset::Impl::requeryFromMaster()
{
    if (!active)
        return;
    // A change still pending here is not thrown away by the re-query.
    q->EndPendingChange();
    Q_EMIT q->aboutToReset();
    try {
        runQuery(0);
    } catch (...) {
        active = false;
        finalize();
        dropRows();
        cur = -1;
        Q_EMIT q->reset();
        emitState();
        throw;
    }
    Q_EMIT q->reset();
    emitCurrent();
    requeryDetails();
}

// --- moving -------------------------------------------------------------

void QueryDataset::Impl::setCurrent(int row, bool force)
{
    if (row == cur && !force)
        return;
    cur = row;
    emitCurrent();
    requeryDetails();
}

void QueryDataset::Impl::leaveRow()
{
    endDetailChanges();
    q->EndPendingChange();
}

void QueryDataset::Impl::dropInsert()
{
    const int row = cur;
    pending = Pending::None;
    modified = false;
    Q_EMIT q->rowAboutToBeRemoved(row);
    rows.erase(rows.begin() + row);
    Q_EMIT q->rowRemoved(row);
    int back = rowBeforeInsert;
    if (back >= int(rows.size()))
        back = int(rows.size()) - 1;
    cur = -2; // force the change notification
    setCurrent(back, true);
    eof = rows.empty();
    emitState();
}

// --- writes -------------------------------------------------------------

void QueryDataset::Impl::execWrite(const QString& text, const std::vector<QVariant>& values)
{
    // Every half-read cursor lets go first, so that the write commits when it
    // ends instead of when the last reader finishes.
    conn->ReleaseCursors();
    Statement s;
    const QByteArray utf8 = text.toUtf8();
    if (sqlite3_prepare_v2(db(), utf8.constData(), int(utf8.size()), &s.stmt, nullptr) != SQLITE_OK)
        failSqlite();
    for (size_t i = 0; i < values.size(); ++i)
        bindVariant(s.stmt, int(i) + 1, values[i]);
    if (sqlite3_step(s.stmt) != SQLITE_DONE)
        failSqlite();
}

bool QueryDataset::Impl::reread(qint64 key, RowBuffer& out)
{
    QStringList names;
    for (const ColumnInfo& c : columns)
        names << quoted(c.origin);
    const QString text = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1")
                             .arg(names.join(QLatin1String(", ")), quoted(table),
                                  quoted(columns[size_t(keyColumn)].origin));
    Statement s;
    const QByteArray utf8 = text.toUtf8();
    if (sqlite3_prepare_v2(db(), utf8.constData(), int(utf8.size()), &s.stmt, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_int64(s.stmt, 1, key);
    if (sqlite3_step(s.stmt) != SQLITE_ROW)
        return false;
    writer.clear();
    writer.addStatementRow(s.stmt, int(columns.size()));
    out = writer.take(arena);
    return true;
}

void QueryDataset::Impl::post()
{
    checkWritable();
    if (orphan())
        fail(QStringLiteral("Cannot post a new record: the master dataset %1 has no current "
                            "record to attach it to")
                 .arg(master->Name()));
    WaitCursor busy;
    const int ncols = int(columns.size());
    qint64 key = 0;
    if (pending == Pending::Insert) {
        QStringList names, marks;
        std::vector<QVariant> values;
        for (int c = 0; c < ncols; ++c) {
            if (!pendingSet[size_t(c)])
                continue;
            names << quoted(columns[size_t(c)].origin);
            marks << QStringLiteral("?%1").arg(values.size() + 1);
            values.push_back(pendingValues[size_t(c)]);
        }
        const QString text =
            names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(table))
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(quoted(table), names.join(QLatin1String(", ")),
                                       marks.join(QLatin1String(", ")));
        execWrite(text, values);
        key = sqlite3_last_insert_rowid(db());
    } else {
        const Cell keyCell = detail::cellAt(rows[size_t(cur)], keyColumn);
        key = keyCell.integer;
        QStringList sets;
        std::vector<QVariant> values;
        for (int c = 0; c < ncols; ++c) {
            if (!pendingSet[size_t(c)])
                continue;
            sets << QStringLiteral("%1 = ?%2")
                        .arg(quoted(columns[size_t(c)].origin))
                        .arg(values.size() + 1);
            values.push_back(pendingValues[size_t(c)]);
        }
        if (!sets.isEmpty()) {
            values.push_back(qlonglong(key));
            const QString text = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?%4")
                                     .arg(quoted(table), sets.join(QLatin1String(", ")),
                                          quoted(columns[size_t(keyColumn)].origin))
                                     .arg(values.size());
            execWrite(text, values);
            if (sqlite3_changes(db()) == 0)
                fail(QStringLiteral("The record was not found in the database; it may have "
                                    "been deleted"));
            // The key itself may have been changed.
            if (pendingSet[size_t(keyColumn)])
                key = pendingValues[size_t(keyColumn)].toLongLong();
        }
    }

    // The write is committed: from here on nothing may leave the change pending.
    const bool wasInsert = pending == Pending::Insert;
    RowBuffer fresh;
    if (!reread(key, fresh)) {
        writer.clear();
        for (int c = 0; c < ncols; ++c) {
            if (c == keyColumn)
                writer.addInteger(key);
            else
                writer.addVariant(value(cur, c));
        }
        fresh = writer.take(arena);
    }
    rows[size_t(cur)] = std::move(fresh);
    pending = Pending::None;
    modified = false;
    pendingValues.clear();
    pendingSet.clear();
    emitRowChanged(cur);
    emitState();
    placeRow(cur);
    if (wasInsert)
        requeryDetails();
}

// --- QueryDataset -------------------------------------------------------

QueryDataset::QueryDataset(const QString& name, Connection* connection, QObject* parent)
    : QObject(parent), d(new Impl)
{
    d->q = this;
    d->name = name;
    d->conn = connection;
    setObjectName(name);
    if (connection)
        connection->attach(this);
}

QueryDataset::~QueryDataset()
{
    d->finalize();
    if (d->conn)
        d->conn->detach(this);
    if (d->master) {
        auto& list = d->master->d->details;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    for (QueryDataset* detail : d->details)
        detail->d->master = nullptr;
}

QString QueryDataset::Name() const
{
    return d->name;
}

Connection* QueryDataset::GetConnection() const
{
    return d->conn;
}

void QueryDataset::SetSQL(const QString& text)
{
    if (d->active)
        d->fail(QStringLiteral("Cannot perform this operation on an open dataset"));
    d->sql = text;
}

QString QueryDataset::SQL() const
{
    return d->sql;
}

void QueryDataset::SetMaster(QueryDataset* master, const QString& masterKeyField,
                             const QString& paramName, const QString& linkColumn)
{
    if (d->master) {
        auto& list = d->master->d->details;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    d->master = master;
    d->masterKeyField = masterKeyField;
    d->paramName = paramName;
    d->linkColumn = linkColumn;
    if (master)
        master->d->details.push_back(this);
}

QueryDataset* QueryDataset::Master() const
{
    return d->master;
}

void QueryDataset::SetClientOrder(const QStringList& columns)
{
    d->clientOrder = columns;
}

void QueryDataset::SetParamValue(const QString& name, const QVariant& value)
{
    QString key = name.toLower();
    if (key.startsWith(QLatin1Char(':')))
        key.remove(0, 1);
    d->params.insert(key, value);
}

void QueryDataset::Open()
{
    if (d->active)
        return;
    Q_EMIT aboutToReset();
    try {
        d->runQuery(0);
    } catch (...) {
        d->finalize();
        d->dropRows();
        d->cur = -1;
        Q_EMIT reset();
        throw;
    }
    d->active = true;
    Q_EMIT reset();
    d->emitState();
    d->emitCurrent();
    d->requeryDetails();
}

void QueryDataset::Open(const QString& sql)
{
    Close();
    if (!sql.isEmpty())
        d->sql = sql;
    Open();
}

void QueryDataset::Close()
{
    if (!d->active)
        return;
    Q_EMIT aboutToReset();
    d->finalize();
    d->dropRows();
    d->columns.clear();
    d->table.clear();
    d->keyColumn = -1;
    d->cur = -1;
    d->eof = d->bof = true;
    d->pending = Pending::None;
    d->modified = false;
    d->active = false;
    Q_EMIT reset();
    d->emitState();
    d->emitCurrent();
}

bool QueryDataset::Active() const
{
    return d->active;
}

DatasetState QueryDataset::State() const
{
    if (!d->active)
        return DatasetState::Inactive;
    switch (d->pending) {
    case Pending::Edit:
        return DatasetState::Edit;
    case Pending::Insert:
        return DatasetState::Insert;
    case Pending::None:
        break;
    }
    return DatasetState::Browse;
}

void QueryDataset::First()
{
    d->checkActive();
    d->leaveRow();
    d->eof = d->rows.empty();
    d->bof = true;
    d->setCurrent(d->rows.empty() ? -1 : 0);
}

void QueryDataset::Last()
{
    d->checkActive();
    d->leaveRow();
    d->fetchAll(true);
    d->eof = d->rows.empty();
    d->bof = d->rows.empty();
    d->setCurrent(int(d->rows.size()) - 1);
}

void QueryDataset::Next()
{
    d->checkActive();
    d->leaveRow();
    if (d->cur + 1 >= int(d->rows.size()))
        d->fetch(kFirstFetch, true);
    if (d->cur + 1 >= int(d->rows.size())) {
        d->eof = true;
        return;
    }
    d->eof = false;
    d->bof = false;
    d->setCurrent(d->cur + 1);
}

void QueryDataset::Prior()
{
    d->checkActive();
    d->leaveRow();
    if (d->cur <= 0) {
        d->bof = true;
        d->eof = d->rows.empty();
        return;
    }
    d->eof = false;
    d->bof = false;
    d->setCurrent(d->cur - 1);
}

void QueryDataset::MoveTo(int row)
{
    d->checkActive();
    if (row < 0)
        return;
    if (row == d->cur)
        return;
    if (row >= int(d->rows.size()))
        d->fetch(row + 1 - int(d->rows.size()), true);
    if (row >= int(d->rows.size()))
        row = int(d->rows.size()) - 1;
    if (row < 0 || row == d->cur)
        return;
    // Ending the pending change may drop or move rows: follow the target row.
    const char* target = d->rows[size_t(row)];
    d->leaveRow();
    if (row >= int(d->rows.size()) || d->rows[size_t(row)] != target) {
        for (int i = 0; i < int(d->rows.size()); ++i) {
            if (d->rows[size_t(i)] == target) {
                row = i;
                break;
            }
        }
    }
    if (row >= int(d->rows.size()))
        row = int(d->rows.size()) - 1;
    d->eof = d->rows.empty();
    d->bof = row <= 0;
    if (!d->rows.empty())
        d->eof = false;
    d->setCurrent(row);
}

bool QueryDataset::Eof() const
{
    return !d->active || d->eof || d->rows.empty();
}

bool QueryDataset::Bof() const
{
    return !d->active || d->bof || d->rows.empty();
}

int QueryDataset::RecNo() const
{
    return d->active ? d->cur : -1;
}

int QueryDataset::RecordCount() const
{
    return d->active ? int(d->rows.size()) : 0;
}

bool QueryDataset::Locate(const QString& column, qint32 value)
{
    d->checkActive();
    const int c = FieldIndex(column);
    if (c < 0)
        d->fail(QStringLiteral("Field '%1' not found").arg(column));
    d->leaveRow();
    const auto matches = [&](int row) {
        const Cell cell = detail::cellAt(d->rows[size_t(row)], c);
        switch (cell.tag) {
        case CellTag::Integer:
            return cell.integer == value;
        case CellTag::Real:
            return cell.real == double(value);
        case CellTag::Text: {
            bool ok = false;
            const qint64 v =
                QString::fromUtf8(cell.bytes, qsizetype(cell.size)).trimmed().toLongLong(&ok);
            return ok && v == value;
        }
        default:
            return false;
        }
    };
    for (int row = 0;; ++row) {
        if (row >= int(d->rows.size()) && d->fetch(256, true) == 0)
            return false;
        if (matches(row)) {
            d->eof = false;
            d->bof = row == 0;
            d->setCurrent(row);
            return true;
        }
    }
}

int QueryDataset::FieldCount() const
{
    return int(d->columns.size());
}

Field QueryDataset::Fields(int index)
{
    if (index < 0 || index >= FieldCount())
        d->fail(QStringLiteral("Field index %1 out of range").arg(index));
    return Field(this, index);
}

Field QueryDataset::FieldByName(const QString& name)
{
    const int i = FieldIndex(name);
    if (i < 0)
        d->fail(QStringLiteral("Field '%1' not found").arg(name));
    return Field(this, i);
}

int QueryDataset::FieldIndex(const QString& name) const
{
    for (size_t i = 0; i < d->columns.size(); ++i) {
        if (d->columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QString QueryDataset::FieldNameAt(int index) const
{
    if (index < 0 || index >= FieldCount())
        return {};
    return d->columns[size_t(index)].name;
}

FieldType QueryDataset::FieldTypeAt(int index) const
{
    if (index < 0 || index >= FieldCount())
        return FieldType::Unknown;
    return d->columns[size_t(index)].type;
}

QVariant QueryDataset::Value(int row, int column) const
{
    if (!d->active || column < 0 || column >= FieldCount())
        return {};
    return d->value(row, column);
}

// A new, empty row at pos becomes the pending insert; a detail's row gets
// its link column from the master's current row. Dropping it again returns
// to the row returnTo.
void QueryDataset::Impl::startNewRow(int pos, int returnTo)
{
    rowBeforeInsert = returnTo;
    Q_EMIT q->rowAboutToBeInserted(pos);
    rows.insert(rows.begin() + pos, nullRow());
    Q_EMIT q->rowInserted(pos);
    pending = Pending::Insert;
    modified = false;
    pendingValues.assign(columns.size(), QVariant());
    pendingSet.assign(columns.size(), 0);
    if (master) {
        const int link = q->FieldIndex(linkColumn);
        if (link >= 0) {
            pendingValues[size_t(link)] = master->d->currentKeyOf(masterKeyField);
            pendingSet[size_t(link)] = 1;
        }
    }
    eof = false;
    bof = false;
    emitState();
    setCurrent(pos, true);
}

void QueryDataset::Append()
{
    d->checkActive();
    d->checkWritable();
    d->leaveRow();
    d->fetchAll(true);
    d->startNewRow(int(d->rows.size()), d->cur);
}

void QueryDataset::Insert()
{
    d->checkActive();
    d->checkWritable();
    d->leaveRow();
    const int pos = d->cur < 0 ? 0 : d->cur;
    d->startNewRow(pos, pos);
}

void QueryDataset::Edit()
{
    d->checkActive();
    if (d->pending != Pending::None)
        return;
    if (d->rows.empty()) {
        Insert();
        return;
    }
    d->checkWritable();
    d->endDetailChanges();
    d->pending = Pending::Edit;
    d->modified = false;
    d->pendingValues.assign(d->columns.size(), QVariant());
    d->pendingSet.assign(d->columns.size(), 0);
    d->emitState();
}

void QueryDataset::Post()
{
    d->checkActive();
    if (d->pending == Pending::None)
        d->fail(QString::fromLatin1(kNotInEditMode));
    Q_EMIT updateRecord();
    d->post();
}

void QueryDataset::Cancel()
{
    if (!d->active || d->pending == Pending::None)
        return;
    if (d->pending == Pending::Insert) {
        d->dropInsert();
        return;
    }
    d->pending = Pending::None;
    d->modified = false;
    d->pendingValues.clear();
    d->pendingSet.clear();
    d->emitRowChanged(d->cur);
    d->emitState();
}

void QueryDataset::Delete()
{
    d->checkActive();
    if (d->pending == Pending::Insert) {
        d->dropInsert();
        return;
    }
    if (d->rows.empty() || d->cur < 0)
        d->fail(QString::fromLatin1(kEmptyDataset));
    d->checkWritable();
    Cancel();
    d->endDetailChanges();
    const Cell keyCell = detail::cellAt(d->rows[size_t(d->cur)], d->keyColumn);
    {
        WaitCursor busy;
        d->execWrite(QStringLiteral("DELETE FROM %1 WHERE %2 = ?1")
                         .arg(quoted(d->table), quoted(d->columns[size_t(d->keyColumn)].origin)),
                     {QVariant(qlonglong(keyCell.integer))});
    }
    const int row = d->cur;
    Q_EMIT rowAboutToBeRemoved(row);
    d->rows.erase(d->rows.begin() + row);
    Q_EMIT rowRemoved(row);
    // The next row becomes current, else the previous one.
    if (row >= int(d->rows.size()))
        d->fetch(kFirstFetch, true);
    const int next = row < int(d->rows.size()) ? row : int(d->rows.size()) - 1;
    d->eof = d->rows.empty();
    d->bof = next <= 0;
    d->setCurrent(next, true);
}

void QueryDataset::Refresh()
{
    d->checkActive();
    d->leaveRow();
    const int oldRow = d->cur;
    const int oldCount = int(d->rows.size());
    QVariant oldKey;
    if (d->keyColumn >= 0 && oldRow >= 0)
        oldKey = d->stored(oldRow, d->keyColumn);
    Q_EMIT aboutToReset();
    try {
        d->runQuery(oldCount);
    } catch (...) {
        d->active = false;
        d->finalize();
        d->dropRows();
        d->cur = -1;
        Q_EMIT reset();
        d->emitState();
        throw;
    }
    int row = -1;
    if (!oldKey.isNull()) {
        for (int i = 0; i < int(d->rows.size()); ++i) {
            if (d->keyColumn >= 0 && d->stored(i, d->keyColumn) == oldKey) {
                row = i;
                break;
            }
        }
    }
    if (row < 0 && !d->rows.empty())
        row = std::min(std::max(oldRow, 0), int(d->rows.size()) - 1);
    d->cur = row;
    d->eof = d->rows.empty();
    d->bof = row <= 0;
    Q_EMIT reset();
    d->emitCurrent();
    d->requeryDetails();
}

void QueryDataset::EndPendingChange()
{
    if (!d->active || d->pending == Pending::None)
        return;
    Q_EMIT updateRecord();
    if (d->pending == Pending::None)
        return;
    if (d->modified)
        d->post();
    else
        Cancel();
}

bool QueryDataset::Modified() const
{
    return d->pending != Pending::None && d->modified;
}

void QueryDataset::DisableControls()
{
    ++d->disableCount;
}

void QueryDataset::EnableControls()
{
    if (d->disableCount == 0)
        return;
    if (--d->disableCount == 0)
        Q_EMIT dataSetChanged();
}

bool QueryDataset::ControlsDisabled() const
{
    return d->disableCount > 0;
}

bool QueryDataset::CanFetchMore() const
{
    return d->active && !d->exhausted && d->stmt;
}

void QueryDataset::FetchMore(int count)
{
    if (!d->active)
        return;
    d->fetch(std::max(count, 1), true);
}

void QueryDataset::ReleaseCursor()
{
    if (!d->stmt || d->exhausted || d->released)
        return;
    if (sqlite3_stmt_busy(d->stmt)) {
        sqlite3_reset(d->stmt);
        d->released = true;
    }
}

// --- Field ----------------------------------------------------------------

QString Field::FieldName() const
{
    return ds_->FieldNameAt(index_);
}

FieldType Field::DataType() const
{
    return ds_->FieldTypeAt(index_);
}

bool Field::IsNull() const
{
    return AsVariant().isNull();
}

QVariant Field::AsVariant() const
{
    if (!ds_->d->active || index_ < 0 || index_ >= ds_->FieldCount())
        return {};
    return ds_->d->value(ds_->d->cur, index_);
}

QString Field::AsString() const
{
    const QVariant v = AsVariant();
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

qint32 Field::AsInteger() const
{
    const QVariant v = AsVariant();
    if (v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return qint32(v.toLongLong());
    case QMetaType::Double:
        return qint32(v.toDouble());
    default:
        return qint32(v.toString().trimmed().toLongLong());
    }
}

void Field::SetAsVariant(const QVariant& value)
{
    QueryDataset::Impl& d = *ds_->d;
    d.checkActive();
    if (d.pending == Pending::None)
        d.fail(QString::fromLatin1(kNotInEditMode));
    if (index_ < 0 || index_ >= ds_->FieldCount())
        d.fail(QStringLiteral("Field index %1 out of range").arg(index_));
    d.pendingValues[size_t(index_)] = value;
    d.pendingSet[size_t(index_)] = 1;
    d.modified = true;
    if (!d.quiet()) {
        Q_EMIT ds_->fieldChanged(index_);
        Q_EMIT ds_->rowChanged(d.cur);
    }
}

void Field::SetAsString(const QString& value)
{
    SetAsVariant(QVariant(value));
}

void Field::SetAsInteger(qint32 value)
{
    SetAsVariant(QVariant(int(value)));
}

} // namespace data
