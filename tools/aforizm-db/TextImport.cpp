#include "TextImport.h"

#include "Sqlite.h"

#include <QFile>
#include <QStringDecoder>

namespace dbtool {
namespace {

// Splits on LF; a CR right before LF (or at the very end) belongs to the line end.
QStringList splitLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    // A final line end does not start another (empty) line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool isBlank(const QString& line)
{
    return line.trimmed().isEmpty();
}

// Drops blank lines at both ends and joins the rest; null when nothing is left.
QString joinText(QStringList lines)
{
    while (!lines.isEmpty() && isBlank(lines.last()))
        lines.removeLast();
    while (!lines.isEmpty() && isBlank(lines.first()))
        lines.removeFirst();
    if (lines.isEmpty())
        return {};
    return lines.join(QLatin1Char('\n'));
}

QString nullIfEmpty(const QString& text)
{
    return text.isEmpty() ? QString() : text;
}

void addRecord(QList<Record>& records, int* emptyRecords, Record record)
{
    if (record.author.isNull() && record.text.isNull()) {
        if (emptyRecords)
            ++*emptyRecords;
        return;
    }
    records.append(std::move(record));
}

} // namespace

QString decodeText(const QByteArray& input, const QString& encoding, const QString& where,
                   QString* encodingUsed)
{
    QByteArray bytes = input;
    while (bytes.endsWith('\x1a'))
        bytes.chop(1);

    qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        throw Failure(QStringLiteral("%1: binary data (a NUL byte at offset %2), not a text file")
                          .arg(where)
                          .arg(nul));

    QString text;
    QString used;
    if (encoding.isEmpty()) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        text = utf8(bytes);
        used = QStringLiteral("UTF-8");
        if (utf8.hasError()) {
            QStringDecoder cp1251("windows-1251");
            if (!cp1251.isValid())
                throw Failure(
                    QStringLiteral("%1: the windows-1251 decoder is not available").arg(where));
            text = cp1251(bytes);
            used = QStringLiteral("windows-1251");
            if (cp1251.hasError() || text.contains(QChar::ReplacementCharacter))
                throw Failure(QStringLiteral("%1: not text: neither valid UTF-8 nor windows-1251")
                                  .arg(where));
        }
    } else {
        QStringDecoder decoder(encoding.toUtf8().constData());
        if (!decoder.isValid())
            throw Failure(QStringLiteral("unknown encoding \"%1\"").arg(encoding));
        text = decoder(bytes);
        used = encoding;
        if (decoder.hasError())
            throw Failure(QStringLiteral("%1: not valid %2 text").arg(where, encoding));
    }

    // Control characters mean binary data or a damaged file; point at the line.
    int line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c == u'\n') {
            ++line;
            continue;
        }
        bool lineEnd = c == u'\r' && (i + 1 == text.size() || text[i + 1] == u'\n');
        if (lineEnd || c == u'\t')
            continue;
        if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0))
            throw Failure(QStringLiteral("%1:%2: not text (control character U+%3)")
                              .arg(where)
                              .arg(line)
                              .arg(int(c), 4, 16, QLatin1Char('0')));
    }
    if (encodingUsed)
        *encodingUsed = used;
    return text;
}

Format detectFormat(const QString& text)
{
    for (const QString& line : splitLines(text))
        if (line == QLatin1String("%"))
            return Format::Fortune;
    return Format::Export;
}

QList<Record> parseFortune(const QString& text)
{
    QList<Record> records;
    QStringList lines = splitLines(text);
    QStringList current;
    int start = 1;

    auto finish = [&](int nextStart) {
        while (!current.isEmpty() && isBlank(current.last()))
            current.removeLast();
        Record record;
        record.line = start;
        if (!current.isEmpty()) {
            QString last = current.last().trimmed();
            if (last.startsWith(QLatin1String("--"))) {
                record.author = nullIfEmpty(last.mid(2).trimmed());
                current.removeLast();
            }
        }
        record.text = joinText(current);
        // An author line cut off from its text by a stray "%" belongs to
        // the record before it, if that one has no author of its own.
        if (record.text.isNull() && !record.author.isNull() && !records.isEmpty() &&
            records.last().author.isNull() && !records.last().text.isNull())
            records.last().author = record.author;
        else
            addRecord(records, nullptr, std::move(record));
        current.clear();
        start = nextStart;
    };

    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i] == QLatin1String("%"))
            finish(i + 2);
        else
            current.append(lines[i]);
    }
    finish(int(lines.size()) + 1);
    return records;
}

QList<Record> parseExport(const QString& text, int* emptyRecords)
{
    QList<Record> records;
    QStringList lines = splitLines(text);
    int i = 0;
    while (i < lines.size()) {
        Record record;
        record.line = i + 1;
        record.author = isBlank(lines[i]) ? QString() : lines[i];
        ++i;
        QStringList body;
        if (i < lines.size())
            body.append(lines[i++]); // the first text line, empty for an empty text
        while (i < lines.size() && !lines[i].isEmpty())
            body.append(lines[i++]);
        if (i < lines.size())
            ++i; // the empty line closing the record
        record.text = body.join(QLatin1Char('\n'));
        if (isBlank(record.text))
            record.text = QString();
        addRecord(records, emptyRecords, std::move(record));
    }
    return records;
}

ParsedFile readAphorismFile(const QString& path, Format format, const QString& encoding)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("%1: cannot read: %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("%1: cannot read: %2").arg(path, file.errorString()));

    ParsedFile parsed;
    QString text = decodeText(bytes, encoding, path, &parsed.encoding);
    parsed.format = format == Format::Auto ? detectFormat(text) : format;
    parsed.records = parsed.format == Format::Fortune ? parseFortune(text)
                                                      : parseExport(text, &parsed.emptyRecords);
    return parsed;
}

} // namespace dbtool
