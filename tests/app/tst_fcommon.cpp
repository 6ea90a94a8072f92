// The program's version: stored in the executable, read back from any file,
// and a clear failure for files that have none.
#include "fCommon.h"
#include "VersionedFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(ElfLayout)

class TestFCommon : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp_;
    // A folder whose name has blanks and Cyrillic letters, like a user's.
    QString dir() const { return tmp_.filePath(QStringLiteral("Мои программы/Афоризмы 2")); }

    static QString failureOf(const QString& path)
    {
        int a = -1, b = -1, c = -1, d = -1;
        try {
            ReadFileVersion(path, a, b, c, d);
        } catch (const EFileVersionError& e) {
            return e.message();
        }
        return QStringLiteral("read %1").arg(VersionText(a, b, c, d));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp_.isValid());
        QVERIFY(QDir().mkpath(dir()));
    }

    void readsStoredVersion_data()
    {
        QTest::addColumn<ElfLayout>("layout");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("release");
        QTest::addColumn<int>("build");
        QTest::addColumn<QString>("text");
        QTest::newRow("typical") << ElfLayout::Elf64Little << 2 << 5 << 4 << 292 << "2.5.4.292";
        QTest::newRow("zeros") << ElfLayout::Elf64Little << 0 << 0 << 0 << 0 << "0.0.0.0";
        QTest::newRow("largest") << ElfLayout::Elf64Little << 65535 << 65535 << 65535 << 65535
                                 << "65535.65535.65535.65535";
        QTest::newRow("32-bit") << ElfLayout::Elf32Little << 2 << 5 << 4 << 292 << "2.5.4.292";
        QTest::newRow("big-endian 64")
            << ElfLayout::Elf64Big << 1 << 258 << 3 << 65534 << "1.258.3.65534";
        QTest::newRow("big-endian 32")
            << ElfLayout::Elf32Big << 513 << 0 << 7 << 40000 << "513.0.7.40000";
    }
    void readsStoredVersion()
    {
        QFETCH(ElfLayout, layout);
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, release);
        QFETCH(int, build);
        QFETCH(QString, text);
        const QString path = QDir(dir()).filePath(QStringLiteral("афоризмы версия"));
        QVERIFY(makeVersionedFile(path, major, minor, release, build, layout));

        int a = -1, b = -1, c = -1, d = -1;
        ReadFileVersion(path, a, b, c, d);
        QCOMPARE(QList<int>({a, b, c, d}), QList<int>({major, minor, release, build}));
        QCOMPARE(VersionText(a, b, c, d), text);
    }

    // Anything that is not a file with version data fails with the one
    // message, naming the file exactly as it was given; nothing crashes.
    void filesWithoutVersion_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good =
            elfImage(ElfLayout::Elf64Little, std::array<quint16, 4>{2, 5, 4, 292});
        const QByteArray good32 =
            elfImage(ElfLayout::Elf32Little, std::array<quint16, 4>{2, 5, 4, 292});
        QTest::newRow("ELF without the section") << elfImage(ElfLayout::Elf64Little, std::nullopt);
        QTest::newRow("32-bit ELF without the section")
            << elfImage(ElfLayout::Elf32Little, std::nullopt);
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("text file") << QByteArray("MAIN.DB\r\nnot a program\r\n");
        QTest::newRow("ELF magic only") << QByteArray("\x7f"
                                                      "ELF");
        QTest::newRow("wrong tag")
            << elfImage(ElfLayout::Elf64Little, std::array<quint16, 4>{1, 2, 3, 4}, "OTHERTAG");
        // Cut anywhere: inside the header, the names, the record, the
        // section table.
        for (int cut : {10, 40, 63, 70, 90, 100, int(good.size()) - 1}) {
            QTest::addRow("64-bit cut at %d", cut) << good.left(cut);
        }
        for (int cut : {30, 60, 80, int(good32.size()) - 20}) {
            QTest::addRow("32-bit cut at %d", cut) << good32.left(cut);
        }
        QByteArray farOffset = good; // e_shoff far beyond the end
        qToLittleEndian<quint64>(0x7fffffffffffff00ULL, farOffset.data() + 40);
        QTest::newRow("section table beyond the end") << farOffset;
        QByteArray manySections = good; // e_shnum larger than the file holds
        qToLittleEndian<quint16>(0xfff0, manySections.data() + 60);
        QTest::newRow("too many sections") << manySections;
        QByteArray badNames = good; // e_shstrndx out of range
        qToLittleEndian<quint16>(9, badNames.data() + 62);
        QTest::newRow("names index out of range") << badNames;
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i) {
            garbage[i] = char((i * 7919 + 13) & 0xff);
        }
        garbage.replace(0, 6,
                        QByteArray("\x7f"
                                   "ELF\x02\x01"));
        QTest::newRow("ELF header over garbage") << garbage;
    }
    void filesWithoutVersion()
    {
        QFETCH(QByteArray, bytes);
        const QString path = QDir(dir()).filePath(QStringLiteral("без версии.exe"));
        QVERIFY(writeBytes(path, bytes));
        QCOMPARE(failureOf(path), QStringLiteral("Ошибка версии файла ") + path);
    }

    // Any single corrupted byte, anywhere in the file, gives a version or
    // the failure, never a crash or a read outside the file.
    void corruptedBytesNeverCrash_data()
    {
        QTest::addColumn<ElfLayout>("layout");
        QTest::newRow("64-bit") << ElfLayout::Elf64Little;
        QTest::newRow("32-bit big-endian") << ElfLayout::Elf32Big;
    }
    void corruptedBytesNeverCrash()
    {
        QFETCH(ElfLayout, layout);
        const QByteArray good = elfImage(layout, std::array<quint16, 4>{2, 5, 4, 292});
        const QString path = QDir(dir()).filePath(QStringLiteral("испорченный"));
        QVERIFY(writeBytes(path, good));
        // Patched in place: rewriting whole files is slow on some disks.
        auto patch = [&](qint64 at, char value) {
            QFile file(path);
            return file.open(QIODevice::ReadWrite) && file.seek(at) && file.putChar(value);
        };
        int failures = 0;
        for (int i = 0; i < good.size(); ++i) {
            for (char value : {'\xff', '\x80', '\x01'}) {
                QVERIFY(patch(i, value));
                if (failureOf(path).startsWith(QStringLiteral("Ошибка версии файла "))) {
                    ++failures;
                }
            }
            QVERIFY(patch(i, good[i]));
        }
        QVERIFY(failures > 0); // the header and tag bytes do matter
    }

    void missingFileOrFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << QDir(dir()).filePath(QStringLiteral("нет такого"));
        QTest::newRow("folder") << dir();
        QTest::newRow("relative, as typed") << QStringLiteral("./нет/афоризмы");
        QTest::newRow("empty name") << QString();
    }
    void missingFileOrFolder()
    {
        QFETCH(QString, path);
        QCOMPARE(failureOf(path), QStringLiteral("Ошибка версии файла ") + path);
    }

    // The program's own executable carries the version it was built with,
    // also after strip. A test program links the same code, so it must too.
    void executableCarriesBuildVersion()
    {
        const QString expected = VersionText(AFORIZM_VERSION_MAJOR, AFORIZM_VERSION_MINOR,
                                             AFORIZM_VERSION_PATCH, AFORIZM_VERSION_TWEAK);
        QCOMPARE(EmbeddedVersionText(), expected);

        int a = -1, b = -1, c = -1, d = -1;
        ReadFileVersion(QCoreApplication::applicationFilePath(), a, b, c, d);
        QCOMPARE(VersionText(a, b, c, d), expected);

        const QString strip = QStandardPaths::findExecutable(QStringLiteral("strip"));
        if (strip.isEmpty()) {
            QSKIP("strip is not installed");
        }
        const QString copy = QDir(dir()).filePath(QStringLiteral("stripped copy"));
        QFile::remove(copy);
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QCOMPARE(QProcess::execute(strip, {QStringLiteral("--strip-all"), copy}), 0);
        ReadFileVersion(copy, a, b, c, d);
        QCOMPARE(VersionText(a, b, c, d), expected);
    }

    void executablePathCanBePretended()
    {
        QCOMPARE(ExecutablePath(), QCoreApplication::applicationFilePath());
        const QString pretended = QDir(dir()).filePath(QStringLiteral("aforizm"));
        SetExecutablePathForTesting(pretended);
        QCOMPARE(ExecutablePath(), pretended);
        SetExecutablePathForTesting(QString());
        QCOMPARE(ExecutablePath(), QCoreApplication::applicationFilePath());
    }
};

QTEST_GUILESS_MAIN(TestFCommon)
#include "tst_fcommon.moc"
