// Fetched rows are held compactly: one heap block per row, the cells one
// after another, each a tag byte followed by its payload. Integers and reals
// take eight bytes, text (UTF-8) and blobs a four-byte length and the bytes.
// Cells are decoded only when a caller asks for one.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

struct sqlite3_stmt;

namespace data::detail {

enum class CellTag : std::uint8_t { Null = 0, Integer = 1, Real = 2, Text = 3, Blob = 4 };

using RowBuffer = std::unique_ptr<char[]>;

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
    RowBuffer take() const
    {
        RowBuffer row(new char[scratch_.size() ? scratch_.size() : 1]);
        std::memcpy(row.get(), scratch_.data(), scratch_.size());
        return row;
    }

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
