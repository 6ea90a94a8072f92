// Reading aphorisms from text files: telling text from binary data, picking
// the encoding, and splitting the text into records in one of two formats.
//
// Fortune format (the fortune-mod collections): records separated by lines
// that hold only "%". The last non-blank line of a record is its author when
// it starts, after optional blanks, with "--"; everything else is the text.
// A record holding only an author line gives its author to the record before
// it when that has none (a stray "%" between text and author is a common
// slip in these files).
//
// Export format (what the program's export writes): per record an author
// line, then the text (one or more lines), then an empty line. Line ends
// are CR LF or LF. An empty author line means no author. The text ends at the
// first empty line after its first line, so a text with empty lines of its
// own cannot be told apart from two records; that is a limit of the format.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace dbtool {

struct Record
{
    QString author; // null when the record has none
    QString text;   // lines joined with "\n"; null when empty
    int line = 0;   // first line of the record in its file, from 1
};

enum class Format { Auto, Fortune, Export };

struct ParsedFile
{
    QList<Record> records;
    QString encoding; // "UTF-8", "windows-1251" or the name that was forced
    Format format = Format::Auto;
    int emptyRecords = 0; // export records with neither author nor text, not returned
};

// Decodes `bytes` as text. With an empty `encoding`: valid UTF-8 is UTF-8
// (a leading byte-order mark is dropped), anything else is read as
// windows-1251. Throws Failure for NUL bytes, bytes the encoding does not
// define, and control characters other than tab, CR before LF and LF; one
// trailing run of Ctrl+Z (the end mark of old DOS text files) is ignored.
// `where` prefixes the messages (the file name).
QString decodeText(const QByteArray& bytes, const QString& encoding, const QString& where,
                   QString* encodingUsed = nullptr);

// Fortune when some line holds only "%", else export.
Format detectFormat(const QString& text);

// Empty fortune records (a doubled or final "%") are dropped without notice;
// empty export records (an empty author and text) are counted.
QList<Record> parseFortune(const QString& text);
QList<Record> parseExport(const QString& text, int* emptyRecords = nullptr);

// Reads, decodes and parses one file; throws Failure naming the file.
ParsedFile readAphorismFile(const QString& path, Format format, const QString& encoding);

} // namespace dbtool
