// The text file that the aphorism export writes: Windows-1251 bytes, CR LF
// line ends, opened for appending (or created) and written line by line.
// Every file operation is checked at once; a failure throws EInOutError with
// the runtime's message for the system's error code, and whatever was written
// before it stays in the file.
#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// The input/output error of a text-file operation. what() is the message the
// user sees: "File not found", "Invalid filename", "Too many open files",
// "File access denied" or "I/O error <code>".
class EInOutError : public std::runtime_error
{
public:
    explicit EInOutError(int errorCode);
    int ErrorCode() const { return errorCode_; }

    // The message for an errno value.
    static QString MessageFor(int errorCode);

private:
    int errorCode_;
};

// Converts text to Windows-1251, the 8-bit code page of the Russian
// collection. A character outside the code page becomes its best-fit
// substitute (an accented Latin letter its bare letter, ICU's fallback
// mappings) or "?"; the result never holds the converter's 0x1A
// substitution byte unless the text itself held U+001A.
QByteArray EncodeAnsi(const QString& text);

class AnsiTextFile
{
public:
    explicit AnsiTextFile(const QString& path);
    ~AnsiTextFile(); // closes without reporting
    AnsiTextFile(const AnsiTextFile&) = delete;
    AnsiTextFile& operator=(const AnsiTextFile&) = delete;

    // Opens an existing file for appending after its last byte, or creates
    // a new empty one.
    void OpenAppendOrCreate();
    // Writes the text in Windows-1251 followed by CR LF.
    void WriteLine(const QString& text);
    void Close();

private:
    void writeAll(const QByteArray& bytes);

    QString path_;
    int fd_ = -1;
};
