// A thin RAII layer over the SQLite C API for the database tool: one
// connection, prepared statements with positional parameters, and
// exceptions carrying SQLite's message.
#pragma once

#include <QString>

#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace dbtool {

// Every failure the tool reports; what() is the message for stderr.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class Statement;

class Database
{
public:
    enum class Mode { OpenExisting, CreateNew };
    // OpenExisting never creates a file: a missing path is a Failure.
    Database(const QString& path, Mode mode);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const QString& sql); // one or more statements, no parameters
    Statement prepare(const QString& sql);
    qint64 lastInsertId() const;
    QString path() const { return m_path; }
    sqlite3* handle() const { return m_db; }
    [[noreturn]] void fail(const QString& what) const; // throws with SQLite's message

private:
    QString m_path;
    sqlite3* m_db = nullptr;
};

class Statement
{
public:
    Statement(Database& db, sqlite3_stmt* stmt) : m_db(&db), m_stmt(stmt) {}
    Statement(Statement&& other) noexcept;
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& operator=(Statement&&) = delete;

    // Parameters are numbered from 1. A null QString binds NULL.
    Statement& bind(int index, qint64 value);
    Statement& bind(int index, const QString& text);
    Statement& bindUtf8(int index, const char* text, int bytes); // bytes < 0: NUL-terminated

    bool step(); // true while a row is available; throws on error
    void run();  // steps to the end and resets, ready for the next bindings
    void reset();

    qint64 int64(int column) const;
    QString text(int column) const;
    bool isNull(int column) const;

private:
    Database* m_db;
    sqlite3_stmt* m_stmt;
};

} // namespace dbtool
