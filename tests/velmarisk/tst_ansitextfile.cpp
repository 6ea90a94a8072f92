// The export's text file: Windows-1251 bytes, appending after the last byte,
// and the runtime's messages for failed file operations.
#include "velmarisk/AnsiTextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Makes a file that even root cannot open for writing: read-only mode for an
// ordinary user, the immutable attribute for root. False when neither works.
bool makeUnwritable(const QString& path)
{
    if (::geteuid() != 0)
        return QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags |= FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

void makeWritable(const QString& path)
{
    int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

class TestAnsiTextFile : public QObject
{
    Q_OBJECT
private slots:
    void encodesWindows1251_data();
    void encodesWindows1251();
    void errorMessages_data();
    void errorMessages();
    void appendsAfterLastByte_data();
    void appendsAfterLastByte();
    void failingOpenReportsCause_data();
    void failingOpenReportsCause();
    void fullDiskReportsErrorCode();
    void unwritableFileIsAccessDenied();
};

void TestAnsiTextFile::encodesWindows1251_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("cyrillic") << u"Иванов Ёж ёж"_qs
                              << QByteArray("\xC8\xE2\xE0\xED\xEE\xE2 \xA8\xE6 \xB8\xE6");
    QTest::newRow("punctuation of the code page")
        << u"€—«»№"_qs << QByteArray("\x88\x97\xAB\xBB\xB9");
    QTest::newRow("greek letters") << u"αβΩ"_qs << QByteArray("???");
    QTest::newRow("accented latin reduced to its letter")
        << u"café Ångström"_qs << QByteArray("cafe Angstrom");
    QTest::newRow("outside the basic plane: one ? per character") << u"a😀b"_qs << QByteArray("a?b");
    QTest::newRow("no 0x1A for an unmappable character") << u"∞"_qs << QByteArray("?");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestAnsiTextFile::encodesWindows1251()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EncodeAnsi(text), bytes);
}

void TestAnsiTextFile::errorMessages_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("ENOENT") << ENOENT << u"File not found"_qs;
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << u"Invalid filename"_qs;
    QTest::newRow("ENOTDIR") << ENOTDIR << u"Invalid filename"_qs;
    QTest::newRow("EINVAL") << EINVAL << u"Invalid filename"_qs;
    QTest::newRow("EMFILE") << EMFILE << u"Too many open files"_qs;
    QTest::newRow("EACCES") << EACCES << u"File access denied"_qs;
    QTest::newRow("EPERM") << EPERM << u"File access denied"_qs;
    QTest::newRow("EROFS") << EROFS << u"File access denied"_qs;
    QTest::newRow("ENOSPC") << ENOSPC << u"I/O error 28"_qs;
    QTest::newRow("EIO") << EIO << u"I/O error 5"_qs;
}

void TestAnsiTextFile::errorMessages()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    EInOutError error(code);
    QCOMPARE(QString::fromUtf8(error.what()), message);
    QCOMPARE(error.ErrorCode(), code);
}

void TestAnsiTextFile::appendsAfterLastByte_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::newRow("new file") << QByteArray();
    QTest::newRow("no line end at the end") << QByteArray("abc");
    // An old end-of-file mark is content like any other byte: nothing is cut.
    QTest::newRow("0x1A near the end") << QByteArray("text\r\n\x1A\r\nmore");
}

void TestAnsiTextFile::appendsAfterLastByte()
{
    QFETCH(QByteArray, existing);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"вывод с пробелом.txt"_qs);
    if (!existing.isEmpty())
        writeBytes(path, existing);

    AnsiTextFile file(path);
    file.OpenAppendOrCreate();
    file.WriteLine(u"Раз"_qs);
    file.WriteLine(QString());
    file.Close();

    QCOMPARE(readAll(path), existing + QByteArray("\xD0\xE0\xE7\r\n\r\n"));
}

void TestAnsiTextFile::failingOpenReportsCause_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing folder") << u"нет/a.txt"_qs << u"File not found"_qs;
    QTest::newRow("name too long") << QString(300, u'я') << u"Invalid filename"_qs;
    QTest::newRow("a file used as a folder") << u"plain/a.txt"_qs << u"Invalid filename"_qs;
    QTest::newRow("a folder chosen as the file") << u"folder"_qs << u"File access denied"_qs;
}

void TestAnsiTextFile::failingOpenReportsCause()
{
    QFETCH(QString, relative);
    QFETCH(QString, message);
    QTemporaryDir dir;
    writeBytes(dir.filePath(u"plain"_qs), "x");
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_qs));

    AnsiTextFile file(dir.filePath(relative));
    try {
        file.OpenAppendOrCreate();
        QFAIL("the open did not fail");
    } catch (const EInOutError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

void TestAnsiTextFile::fullDiskReportsErrorCode()
{
    if (!QFile::exists(u"/dev/full"_qs))
        QSKIP("no /dev/full on this system");
    AnsiTextFile file(u"/dev/full"_qs);
    file.OpenAppendOrCreate();
    try {
        file.WriteLine(u"Мысль."_qs);
        QFAIL("the write did not fail");
    } catch (const EInOutError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), u"I/O error 28"_qs);
        QCOMPARE(e.ErrorCode(), ENOSPC);
    }
}

void TestAnsiTextFile::unwritableFileIsAccessDenied()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"aforizm.txt"_qs);
    writeBytes(path, "kept");
    if (!makeUnwritable(path))
        QSKIP("cannot make a file unwritable here");
    try {
        AnsiTextFile file(path);
        file.OpenAppendOrCreate();
        makeWritable(path);
        QFAIL("the open did not fail");
    } catch (const EInOutError& e) {
        makeWritable(path);
        QCOMPARE(QString::fromUtf8(e.what()), u"File access denied"_qs);
    }
    QCOMPARE(readAll(path), QByteArray("kept"));
}

QTEST_GUILESS_MAIN(TestAnsiTextFile)
#include "tst_ansitextfile.moc"
