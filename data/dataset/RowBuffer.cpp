#include "RowBuffer.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace data::detail {

CellTag storageClassOf(const QVariant& v)
{
    if (v.isNull())
        return CellTag::Null;
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return CellTag::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return CellTag::Real;
    case QMetaType::QByteArray:
        return CellTag::Blob;
    default:
        return CellTag::Text;
    }
}

std::int64_t integerOf(const QVariant& v)
{
    // Unsigned values beyond the signed range keep their bits, as SQLite would.
    if (v.typeId() == QMetaType::ULong || v.typeId() == QMetaType::ULongLong)
        return static_cast<std::int64_t>(v.toULongLong());
    return v.toLongLong();
}

void RowWriter::addVariant(const QVariant& v)
{
    switch (storageClassOf(v)) {
    case CellTag::Null:
        addNull();
        break;
    case CellTag::Integer:
        addInteger(integerOf(v));
        break;
    case CellTag::Real:
        addReal(v.toDouble());
        break;
    case CellTag::Blob: {
        const QByteArray b = v.toByteArray();
        addBlob(b.constData(), std::uint32_t(b.size()));
        break;
    }
    case CellTag::Text: {
        const QByteArray t = v.toString().toUtf8();
        addText(t.constData(), std::uint32_t(t.size()));
        break;
    }
    }
}

void RowWriter::addStatementRow(sqlite3_stmt* stmt, int columns)
{
    for (int c = 0; c < columns; ++c) {
        switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
            addInteger(sqlite3_column_int64(stmt, c));
            break;
        case SQLITE_FLOAT:
            addReal(sqlite3_column_double(stmt, c));
            break;
        case SQLITE_TEXT: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            addText(p, std::uint32_t(sqlite3_column_bytes(stmt, c)));
            break;
        }
        case SQLITE_BLOB: {
            const void* p = sqlite3_column_blob(stmt, c);
            addBlob(p, std::uint32_t(sqlite3_column_bytes(stmt, c)));
            break;
        }
        default:
            addNull();
            break;
        }
    }
}

namespace {
// Small datasets (a list of sections) take a few small blocks; large ones
// grow to blocks of 2 MiB, mapped so that the kernel can back them with huge
// pages: reading a million rows then costs a few hundred page faults instead
// of a hundred thousand.
constexpr size_t kFirstBlock = size_t(16) << 10;
constexpr size_t kHugeBlock = size_t(2) << 20;
} // namespace

RowArena::Block::Block(size_t n) : size(n)
{
#if defined(__linux__)
    if (n % kHugeBlock == 0) {
        // Map one huge page more than needed and trim to an aligned range.
        const size_t span = n + kHugeBlock;
        void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw != MAP_FAILED) {
            const auto start = reinterpret_cast<std::uintptr_t>(raw);
            const std::uintptr_t aligned = (start + kHugeBlock - 1) & ~(kHugeBlock - 1);
            if (aligned > start)
                munmap(raw, aligned - start);
            const std::uintptr_t end = start + span;
            if (end > aligned + n)
                munmap(reinterpret_cast<void*>(aligned + n), end - (aligned + n));
            data = reinterpret_cast<char*>(aligned);
            mapped = true;
#if defined(MADV_HUGEPAGE)
            madvise(data, n, MADV_HUGEPAGE);
#endif
            return;
        }
    }
#endif
    data = static_cast<char*>(std::malloc(n));
    if (!data)
        throw std::bad_alloc();
}

RowArena::Block::Block(Block&& other) noexcept
    : data(other.data), size(other.size), mapped(other.mapped)
{
    other.data = nullptr;
}

RowArena::Block::~Block()
{
    if (!data)
        return;
#if defined(__linux__)
    if (mapped) {
        munmap(data, size);
        return;
    }
#endif
    std::free(data);
}

char* RowArena::allocate(size_t n)
{
    if (n == 0)
        n = 1;
    if (n > kHugeBlock / 4) {
        // A big row gets a block of its own.
        big_.emplace_back((n + kFirstBlock - 1) / kFirstBlock * kFirstBlock);
        return big_.back().data;
    }
    if (blocks_.empty() || used_ + n > blocks_.back().size) {
        // Each block doubles the last, up to the huge-page size.
        size_t size = blocks_.empty() ? kFirstBlock : std::min(blocks_.back().size * 2, kHugeBlock);
        while (size < n)
            size *= 2;
        blocks_.emplace_back(size);
        used_ = 0;
    }
    char* p = blocks_.back().data + used_;
    used_ += n;
    return p;
}

const char* RowArena::storeStatementRow(sqlite3_stmt* stmt, int columns)
{
    // First pass: the size of the row; text is fetched once and kept.
    struct Bytes
    {
        int type;
        const void* p;
        std::uint32_t n;
    };
    Bytes small[16];
    std::vector<Bytes> large;
    Bytes* cols = small;
    if (columns > 16) {
        large.resize(size_t(columns));
        cols = large.data();
    }
    size_t size = 0;
    for (int c = 0; c < columns; ++c) {
        Bytes& b = cols[c];
        b.type = sqlite3_column_type(stmt, c);
        b.p = nullptr;
        b.n = 0;
        switch (b.type) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            size += 9;
            break;
        case SQLITE_TEXT:
            b.p = sqlite3_column_text(stmt, c);
            b.n = std::uint32_t(sqlite3_column_bytes(stmt, c));
            size += 5 + b.n;
            break;
        case SQLITE_BLOB:
            b.p = sqlite3_column_blob(stmt, c);
            b.n = std::uint32_t(sqlite3_column_bytes(stmt, c));
            size += 5 + b.n;
            break;
        default:
            size += 1;
            break;
        }
    }
    char* const row = allocate(size);
    char* out = row;
    for (int c = 0; c < columns; ++c) {
        const Bytes& b = cols[c];
        switch (b.type) {
        case SQLITE_INTEGER: {
            *out++ = char(CellTag::Integer);
            const std::int64_t v = sqlite3_column_int64(stmt, c);
            std::memcpy(out, &v, sizeof v);
            out += sizeof v;
            break;
        }
        case SQLITE_FLOAT: {
            *out++ = char(CellTag::Real);
            const double v = sqlite3_column_double(stmt, c);
            std::memcpy(out, &v, sizeof v);
            out += sizeof v;
            break;
        }
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            *out++ = char(b.type == SQLITE_TEXT ? CellTag::Text : CellTag::Blob);
            std::memcpy(out, &b.n, sizeof b.n);
            out += sizeof b.n;
            if (b.n)
                std::memcpy(out, b.p, b.n);
            out += b.n;
            break;
        default:
            *out++ = char(CellTag::Null);
            break;
        }
    }
    return row;
}

Cell cellAt(const char* row, int column)
{
    const char* p = row;
    for (;;) {
        Cell cell;
        cell.tag = CellTag(std::uint8_t(*p++));
        switch (cell.tag) {
        case CellTag::Null:
            break;
        case CellTag::Integer:
            std::memcpy(&cell.integer, p, sizeof cell.integer);
            p += sizeof cell.integer;
            break;
        case CellTag::Real:
            std::memcpy(&cell.real, p, sizeof cell.real);
            p += sizeof cell.real;
            break;
        case CellTag::Text:
        case CellTag::Blob:
            std::memcpy(&cell.size, p, sizeof cell.size);
            p += sizeof cell.size;
            cell.bytes = p;
            p += cell.size;
            break;
        }
        if (column-- == 0)
            return cell;
    }
}

QVariant cellToVariant(const Cell& cell)
{
    switch (cell.tag) {
    case CellTag::Null:
        return {};
    case CellTag::Integer:
        if (cell.integer >= std::numeric_limits<int>::min() &&
            cell.integer <= std::numeric_limits<int>::max())
            return QVariant(int(cell.integer));
        return QVariant(qlonglong(cell.integer));
    case CellTag::Real:
        return QVariant(cell.real);
    case CellTag::Text:
        return QVariant(QString::fromUtf8(cell.bytes, qsizetype(cell.size)));
    case CellTag::Blob:
        return QVariant(QByteArray(cell.bytes, qsizetype(cell.size)));
    }
    return {};
}

} // namespace data::detail
