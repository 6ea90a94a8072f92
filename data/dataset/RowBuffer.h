// Fetched rows are held compactly: one block of bytes per row, the cells one
// after another, each a tag byte followed by its payload. Integers and reals
// take eight bytes, text (UTF-8) and blobs a four-byte length and the bytes.
// Cells are decoded only when a caller asks for one. The blocks live in an
// arena owned by the dataset, so a million rows cost no million allocations;
// a row that is replaced stays in the arena until the dataset is closed.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace data::detail {

enum class CellTag : std::uint8_t { Null = 0, Integer = 1, Real = 2, Text = 3, Blob = 4 };

using RowBuffer = const char*;

class RowArena
{
public:
    RowArena() = default;
    RowArena(const RowArena&) = delete;
    RowArena& operator=(const RowArena&) = delete;

    const char* store(const std::string& bytes)
    {
        char* p = allocate(bytes.size());
        std::memcpy(p, bytes.data(), bytes.size());
        return p;
    }
    // Stores the statement's current result row straight into the arena.
    const char* storeStatementRow(sqlite3_stmt* stmt, int columns);
    void clear()
    {
        blocks_.clear();
        big_.clear();
        used_ = 0;
    }

private:
    struct Block
    {
        char* data = nullptr;
        size_t size = 0;
        bool mapped = false;
        explicit Block(size_t n);
        Block(Block&& other) noexcept;
        Block& operator=(Block&&) = delete;
        ~Block();
    };
    char* allocate(size_t n);
    std::vector<Block> blocks_;
    std::vector<Block> big_; // one value each
    size_t used_ = 0;
};

// A decoded view of one cell; text and blob point into the row's block.
struct Cell
{
    CellTag tag = CellTag::Null;
    std::int64_t integer = 0;
    double real = 0;
    const char* bytes = nullptr;
    std::uint32_t size = 0;
};

// How a value is stored: the SQLite storage class a QVariant maps to, and a
// whole number's 64 bits.
CellTag storageClassOf(const QVariant& v);
std::int64_t integerOf(const QVariant& v);

// Builds row blocks; keeps its scratch space between rows.
class RowWriter
{
public:
    void clear() { scratch_.clear(); }
    void addNull() { scratch_.push_back(char(CellTag::Null)); }
    void addInteger(std::int64_t v) { addFixed(CellTag::Integer, &v); }
    void addReal(double v) { addFixed(CellTag::Real, &v); }
    void addText(const char* p, std::uint32_t n) { addBytes(CellTag::Text, p, n); }
    void addBlob(const void* p, std::uint32_t n) { addBytes(CellTag::Blob, p, n); }
    void addVariant(const QVariant& v);
    // Appends the columns of the statement's current result row.
    void addStatementRow(sqlite3_stmt* stmt, int columns);
    RowBuffer take(RowArena& arena) const { return arena.store(scratch_); }

private:
    template <typename T> void addFixed(CellTag tag, const T* v)
    {
        scratch_.push_back(char(tag));
        scratch_.append(reinterpret_cast<const char*>(v), sizeof(T));
    }
    void addBytes(CellTag tag, const void* p, std::uint32_t n)
    {
        scratch_.push_back(char(tag));
        scratch_.append(reinterpret_cast<const char*>(&n), sizeof n);
        scratch_.append(static_cast<const char*>(p), n);
    }
    std::string scratch_;
};

// The cell `column` of a row block.
Cell cellAt(const char* row, int column);
// A cell as the value the rest of the program sees: null, int (or
// long long beyond 32 bits), double, QString, QByteArray.
QVariant cellToVariant(const Cell& cell);

} // namespace data::detail
