// Test helper: small ELF files that do or do not carry a program version in
// the ".fileversion" section, the way the program's executable carries it.
//
//     makeVersionedFile(dir.filePath("aforizm"), 2, 5, 4, 292);
//     makeUnversionedFile(dir.filePath("aforizm"));
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <array>
#include <optional>

enum class ElfLayout { Elf64Little, Elf32Little, Elf64Big, Elf32Big };

// The bytes of a minimal ELF file with a section-name table and, when
// `version` is given, a ".fileversion" section holding `tag` and the numbers.
inline QByteArray elfImage(ElfLayout layout, std::optional<std::array<quint16, 4>> version,
                           const QByteArray& tag = QByteArray("AFZMVER\0", 8))
{
    const bool is64 = layout == ElfLayout::Elf64Little || layout == ElfLayout::Elf64Big;
    const bool big = layout == ElfLayout::Elf64Big || layout == ElfLayout::Elf32Big;
    QByteArray out;
    auto put = [&](quint64 value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = big ? (bytes - 1 - i) * 8 : i * 8;
            out.append(char((value >> shift) & 0xff));
        }
    };
    auto word = [&](quint64 value) { put(value, is64 ? 8 : 4); }; // address/offset size

    const int ehsize = is64 ? 64 : 52;
    const int shentsize = is64 ? 64 : 40;
    const QByteArray names =
        version ? QByteArray("\0.shstrtab\0.fileversion\0", 24) : QByteArray("\0.shstrtab\0", 11);
    QByteArray record = tag;
    if (version) {
        for (quint16 n : *version) {
            record.append(char(big ? n >> 8 : n & 0xff));
            record.append(char(big ? n & 0xff : n >> 8));
        }
    }
    const quint64 namesOffset = ehsize;
    const quint64 recordOffset = namesOffset + names.size();
    quint64 shoff = recordOffset + (version ? record.size() : 0);
    shoff = (shoff + 7) & ~quint64(7);
    const int shnum = version ? 3 : 2;

    // ELF header.
    out.append("\x7f"
               "ELF");
    out.append(char(is64 ? 2 : 1)); // class
    out.append(char(big ? 2 : 1));  // data
    out.append(char(1));            // version
    out.append(QByteArray(9, '\0'));
    put(2, 2);             // e_type: executable
    put(is64 ? 62 : 3, 2); // e_machine
    put(1, 4);             // e_version
    word(0);               // e_entry
    word(0);               // e_phoff
    word(shoff);           // e_shoff
    put(0, 4);             // e_flags
    put(ehsize, 2);        // e_ehsize
    put(0, 2);             // e_phentsize
    put(0, 2);             // e_phnum
    put(shentsize, 2);     // e_shentsize
    put(shnum, 2);         // e_shnum
    put(1, 2);             // e_shstrndx
    out.append(names);
    if (version) {
        out.append(record);
    }
    out.append(QByteArray(int(shoff - out.size()), '\0'));

    auto section = [&](quint32 name, quint32 type, quint64 flags, quint64 offset, quint64 size) {
        put(name, 4);
        put(type, 4);
        word(flags);
        word(0); // sh_addr
        word(offset);
        word(size);
        put(0, 4); // sh_link
        put(0, 4); // sh_info
        word(1);   // sh_addralign
        word(0);   // sh_entsize
    };
    section(0, 0, 0, 0, 0);
    section(1, 3 /* SHT_STRTAB */, 0, namesOffset, names.size());
    if (version) {
        section(11, 1 /* SHT_PROGBITS */, 2 /* SHF_ALLOC */, recordOffset, record.size());
    }
    return out;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

// A file that carries the version a.b.c.d.
inline bool makeVersionedFile(const QString& path, quint16 a, quint16 b, quint16 c, quint16 d,
                              ElfLayout layout = ElfLayout::Elf64Little)
{
    return writeBytes(path, elfImage(layout, std::array<quint16, 4>{a, b, c, d}));
}

// An executable-looking file without any version data.
inline bool makeUnversionedFile(const QString& path, ElfLayout layout = ElfLayout::Elf64Little)
{
    return writeBytes(path, elfImage(layout, std::nullopt));
}
