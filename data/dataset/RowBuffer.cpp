#include "RowBuffer.h"

#include <sqlite3.h>

#include <limits>

namespace data::detail {

void RowWriter::addVariant(const QVariant& v)
{
    if (v.isNull()) {
        addNull();
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        addInteger(v.toLongLong());
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        addInteger(static_cast<std::int64_t>(v.toULongLong()));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        addReal(v.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        addBlob(b.constData(), std::uint32_t(b.size()));
        break;
    }
    default: {
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
