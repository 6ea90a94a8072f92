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
    const char* store(const std::string& bytes)
    {
        const size_t n = bytes.empty() ? 1 : bytes.size();
        if (n > kBlock / 4) {
            big_.emplace_back(new char[n]);
            std::memcpy(big_.back().get(), bytes.data(), bytes.size());
            return big_.back().get();
        }
        if (used_ + n > kBlock || blocks_.empty()) {
            blocks_.emplace_back(new char[kBlock]);
            used_ = 0;
        }
        char* p = blocks_.back().get() + used_;
        std::memcpy(p, bytes.data(), bytes.size());
        used_ += n;
        return p;
    }
    void clear()
    {
        blocks_.clear();
        big_.clear();
        used_ = 0;
    }

private:
    static constexpr size_t kBlock = 1 << 20;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::unique_ptr<char[]>> big_;
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
