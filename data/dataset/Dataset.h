// The dataset layer: a connection to one SQLite file, query datasets with a
// current row, fields and edit states, and the master-detail chain between
// them. Windows never talk to SQLite; they call these operations and bind
// their controls through a DataSource (DataSource.h).
//
// Names follow the vocabulary the rest of the program uses (Open, First,
// FieldByName, Post ...), so that a handler reads like the behaviour it
// implements.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <vector>

struct sqlite3;

namespace data {

// Every failure of the data layer. what() is the complete, user-facing text,
// for dataset errors already formed as "<dataset name>: <text>".
class DataError : public std::runtime_error
{
public:
    explicit DataError(const QString& message);
    QString message() const { return QString::fromUtf8(what()); }
};

// The two texts that callers and tests compare against.
inline constexpr const char* kNotInEditMode = "Dataset not in edit or insert mode";
inline constexpr const char* kEmptyDataset = "Cannot perform this operation on an empty dataset";

class QueryDataset;

// The one connection to MAIN.DB. Opens an existing file read-write and never
// creates one; waits a few seconds for another process's lock before it
// reports the database as busy.
class Connection : public QObject
{
    Q_OBJECT
public:
    explicit Connection(const QString& name, QObject* parent = nullptr);
    ~Connection() override;

    QString ConnectionName() const;
    void SetDatabase(const QString& path);
    QString Database() const;
    void SetDriverName(const QString& name); // only "SQLite" is known
    QString DriverName() const;

    void Open();  // DataError when the file is missing or not a database
    void Close(); // closes every dataset on this connection first
    bool Connected() const;

    sqlite3* Handle() const; // for the dataset layer and tests

    // Before any write: every dataset with a half-read cursor lets go of it,
    // so the write's implicit transaction commits when the statement ends.
    void ReleaseCursors();

private:
    friend class QueryDataset;
    void attach(QueryDataset* ds);
    void detach(QueryDataset* ds);

    struct Impl;
    std::unique_ptr<Impl> d;
};

enum class DatasetState { Inactive, Browse, Edit, Insert };

enum class FieldType { Unknown, AutoInc, Integer, Float, String, Memo, Blob };

// A handle on one column of a dataset's current row; cheap to copy. Reading
// a NULL (or any field while the dataset has no current row) gives "", 0 or
// a null QVariant. Writing needs a pending change (Edit/Insert/Append).
class Field
{
public:
    Field(QueryDataset* ds, int index) : ds_(ds), index_(index) {}

    int Index() const { return index_; }
    QString FieldName() const;
    FieldType DataType() const;
    bool IsAutoInc() const { return DataType() == FieldType::AutoInc; }
    bool IsNull() const;

    QString AsString() const;
    qint32 AsInteger() const;
    QVariant AsVariant() const;

    void SetAsString(const QString& value);
    void SetAsInteger(qint32 value);
    void SetAsVariant(const QVariant& value); // null QVariant stores NULL

private:
    QueryDataset* ds_;
    int index_;
};

// A SELECT statement with its fetched rows and a current row.
//
// Rows are fetched on demand (First/Next/MoveTo/FetchMore fetch as needed,
// Last fetches all). A dataset over a single-table SELECT writes its posted
// changes back to that table by the table's INTEGER PRIMARY KEY.
//
// Signals come in about-to/done pairs for every structural change so that a
// Qt model can forward them; current-row and value notifications are held
// back while controls are disabled and replaced by one dataSetChanged() when
// they are enabled again.
class QueryDataset : public QObject
{
    Q_OBJECT
public:
    QueryDataset(const QString& name, Connection* connection, QObject* parent = nullptr);
    ~QueryDataset() override;

    QString Name() const;
    Connection* GetConnection() const;

    // --- set-up ---------------------------------------------------------
    void SetSQL(const QString& text); // replaces the text; the dataset must be closed
    QString SQL() const;
    // Makes this dataset a detail of `master`: its parameter `paramName` takes
    // the master's `masterKeyField`, and a new row gets `linkColumn` from it.
    void SetMaster(QueryDataset* master, const QString& masterKeyField, const QString& paramName,
                   const QString& linkColumn);
    QueryDataset* Master() const;
    // Keeps fetched rows sorted by these columns (locale collation, case
    // significant, stable). Needs all rows, so such a dataset fetches all.
    void SetClientOrder(const QStringList& columns);
    // Value of a named parameter (name without ':', letter case ignored).
    void SetParamValue(const QString& name, const QVariant& value);

    // --- open and close -------------------------------------------------
    void Open();                  // no-op when open; opens the connection if closed
    void Open(const QString& sql); // Close, replace the text (empty keeps it), Open
    void Close();                 // drops rows; a pending change is discarded
    bool Active() const;
    DatasetState State() const;

    // --- moving -----------------------------------------------------------
    void First();
    void Last(); // fetches all remaining rows
    void Next(); // on the last row: sets Eof and stays
    void Prior();
    void MoveTo(int row); // 0-based index among fetched rows (used by grids)
    bool Eof() const;
    bool Bof() const;
    int RecNo() const;       // 0-based current row, -1 when there is none
    int RecordCount() const; // rows fetched so far; 0 when closed
    bool Locate(const QString& column, qint32 value);

    // --- fields -----------------------------------------------------------
    int FieldCount() const;
    Field Fields(int index);
    Field FieldByName(const QString& name); // DataError when absent
    int FieldIndex(const QString& name) const; // -1 when absent
    QString FieldNameAt(int index) const;
    FieldType FieldTypeAt(int index) const;

    // Value of a fetched row for a view; the current row shows its pending
    // change. Does not move the cursor.
    QVariant Value(int row, int column) const;

    // --- editing ----------------------------------------------------------
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void Refresh();
    void EndPendingChange(); // posted if modified, dropped if not
    bool Modified() const;

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;

    // --- on-demand fetching ---------------------------------------------
    bool CanFetchMore() const;
    void FetchMore(int count = 256);

    // Lets go of a half-read cursor (see Connection::ReleaseCursors); the
    // next fetch re-runs the statement and skips the rows already held.
    void ReleaseCursor();

Q_SIGNALS:
    // Structural changes, always emitted.
    void aboutToReset(); // open, close, re-query, refresh
    void reset();
    void rowsAboutToBeFetched(int first, int last);
    void rowsFetched(int first, int last);
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowAboutToBeMoved(int from, int to); // to: index the row ends up at
    void rowMoved(int from, int to);
    // Visible changes, held back while controls are disabled.
    void currentChanged(int row);
    void rowChanged(int row);       // values of a fetched row changed
    void fieldChanged(int column);  // a value of the pending change was set
    void stateChanged(data::DatasetState state);
    void dataSetChanged();          // after EnableControls: show everything anew
    // Emitted before a post or when a pending change is ended: bound controls
    // write the text they still hold into the record.
    void updateRecord();

private:
    friend class Field;
    friend class Connection;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Shows the busy pointer while a statement runs or rows are fetched. The data
// layer knows no widgets: the program installs a handler (set/restore).
class WaitCursor
{
public:
    using Handler = void (*)(bool busy);
    static void SetHandler(Handler handler);
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace data
