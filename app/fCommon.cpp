#include "fCommon.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <QCoreApplication>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <elf.h>

namespace {

// The program's version lives in the executable itself, in a section of its
// own: a tag, then major, minor, release and build as 16-bit numbers in the
// file's byte order. "used" and volatile keep the compiler and linker from
// dropping or folding it; an allocated section survives strip.
struct FileVersionRecord
{
    char tag[8];
    std::uint16_t number[4];
};
static_assert(sizeof(FileVersionRecord) == 16);

constexpr char kVersionTag[8] = {'A', 'F', 'Z', 'M', 'V', 'E', 'R', '\0'};
constexpr char kVersionSection[] = ".fileversion";

__attribute__((section(".fileversion"), used)) volatile const FileVersionRecord embeddedVersion = {
    {'A', 'F', 'Z', 'M', 'V', 'E', 'R', '\0'},
    {AFORIZM_VERSION_MAJOR, AFORIZM_VERSION_MINOR, AFORIZM_VERSION_PATCH, AFORIZM_VERSION_TWEAK}};

QString& executablePathOverride()
{
    static QString path;
    return path;
}

// Bounds-checked reads from a mapped ELF file in its own byte order.
class ElfImage
{
public:
    ElfImage(const uchar* data, std::uint64_t size) : data_(data), size_(size) {}

    bool has(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= size_ && length <= size_ - offset;
    }
    std::uint64_t read(std::uint64_t offset, int bytes) const
    {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const int shift = bigEndian ? (bytes - 1 - i) * 8 : i * 8;
            value |= std::uint64_t(data_[offset + i]) << shift;
        }
        return value;
    }
    const uchar* at(std::uint64_t offset) const { return data_ + offset; }

    bool bigEndian = false;

private:
    const uchar* data_;
    std::uint64_t size_;
};

struct SectionHeader
{
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint32_t link = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// Finds the version record in an ELF file; false when there is none or the
// file is not a well-formed ELF file as far as we look into it.
bool findVersion(const uchar* data, std::uint64_t size, std::uint16_t (&number)[4])
{
    if (size < EI_NIDENT || std::memcmp(data, ELFMAG, SELFMAG) != 0) {
        return false;
    }
    const bool is64 = data[EI_CLASS] == ELFCLASS64;
    if (!is64 && data[EI_CLASS] != ELFCLASS32) {
        return false;
    }
    if (data[EI_DATA] != ELFDATA2LSB && data[EI_DATA] != ELFDATA2MSB) {
        return false;
    }
    ElfImage elf(data, size);
    elf.bigEndian = data[EI_DATA] == ELFDATA2MSB;
    if (!elf.has(0, is64 ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr))) {
        return false;
    }

    // Where the section headers are, and how many.
    const std::uint64_t shoff = is64 ? elf.read(offsetof(Elf64_Ehdr, e_shoff), 8)
                                     : elf.read(offsetof(Elf32_Ehdr, e_shoff), 4);
    const std::uint64_t shentsize =
        elf.read(is64 ? offsetof(Elf64_Ehdr, e_shentsize) : offsetof(Elf32_Ehdr, e_shentsize), 2);
    std::uint64_t shnum =
        elf.read(is64 ? offsetof(Elf64_Ehdr, e_shnum) : offsetof(Elf32_Ehdr, e_shnum), 2);
    std::uint64_t shstrndx =
        elf.read(is64 ? offsetof(Elf64_Ehdr, e_shstrndx) : offsetof(Elf32_Ehdr, e_shstrndx), 2);
    const std::uint64_t minEntry = is64 ? sizeof(Elf64_Shdr) : sizeof(Elf32_Shdr);
    if (shoff == 0 || shentsize < minEntry || !elf.has(shoff, shentsize)) {
        return false;
    }

    auto header = [&](std::uint64_t index) {
        SectionHeader h;
        const std::uint64_t at = shoff + index * shentsize;
        if (is64) {
            h.name = std::uint32_t(elf.read(at + offsetof(Elf64_Shdr, sh_name), 4));
            h.type = std::uint32_t(elf.read(at + offsetof(Elf64_Shdr, sh_type), 4));
            h.offset = elf.read(at + offsetof(Elf64_Shdr, sh_offset), 8);
            h.size = elf.read(at + offsetof(Elf64_Shdr, sh_size), 8);
            h.link = std::uint32_t(elf.read(at + offsetof(Elf64_Shdr, sh_link), 4));
        } else {
            h.name = std::uint32_t(elf.read(at + offsetof(Elf32_Shdr, sh_name), 4));
            h.type = std::uint32_t(elf.read(at + offsetof(Elf32_Shdr, sh_type), 4));
            h.offset = elf.read(at + offsetof(Elf32_Shdr, sh_offset), 4);
            h.size = elf.read(at + offsetof(Elf32_Shdr, sh_size), 4);
            h.link = std::uint32_t(elf.read(at + offsetof(Elf32_Shdr, sh_link), 4));
        }
        return h;
    };

    // Extended numbering: the real counts are kept in section 0.
    const SectionHeader first = header(0);
    if (shnum == 0) {
        shnum = first.size;
    }
    if (shstrndx == SHN_XINDEX) {
        shstrndx = first.link;
    }
    if (shnum == 0 || shnum > (size - shoff) / shentsize || shstrndx >= shnum) {
        return false;
    }

    const SectionHeader names = header(shstrndx);
    if (names.type == SHT_NOBITS || !elf.has(names.offset, names.size)) {
        return false;
    }
    const std::uint64_t wantedLength = sizeof(kVersionSection); // with the NUL
    for (std::uint64_t i = 1; i < shnum; ++i) {
        const SectionHeader s = header(i);
        if (s.type == SHT_NOBITS || s.name >= names.size || names.size - s.name < wantedLength ||
            std::memcmp(elf.at(names.offset + s.name), kVersionSection, wantedLength) != 0) {
            continue;
        }
        if (s.size < sizeof(FileVersionRecord) || !elf.has(s.offset, sizeof(FileVersionRecord)) ||
            std::memcmp(elf.at(s.offset), kVersionTag, sizeof(kVersionTag)) != 0) {
            return false;
        }
        for (int n = 0; n < 4; ++n) {
            number[n] = std::uint16_t(elf.read(s.offset + sizeof(kVersionTag) + 2 * n, 2));
        }
        return true;
    }
    return false;
}

} // namespace

void ReadFileVersion(const QString& FileName, int& Major, int& Minor, int& Release, int& Build)
{
    std::uint16_t number[4] = {};
    bool found = false;
    QFile file(FileName);
    if (file.open(QIODevice::ReadOnly) && file.size() > 0) {
        const qint64 size = file.size();
        if (const uchar* data = file.map(0, size)) {
            found = findVersion(data, std::uint64_t(size), number);
            file.unmap(const_cast<uchar*>(data));
        }
    }
    if (!found) {
        throw EFileVersionError(QStringLiteral("Ошибка версии файла ") + FileName);
    }
    Major = number[0];
    Minor = number[1];
    Release = number[2];
    Build = number[3];
}

QString VersionText(int Major, int Minor, int Release, int Build)
{
    return QStringLiteral("%1.%2.%3.%4").arg(Major).arg(Minor).arg(Release).arg(Build);
}

QString EmbeddedVersionText()
{
    return VersionText(embeddedVersion.number[0], embeddedVersion.number[1],
                       embeddedVersion.number[2], embeddedVersion.number[3]);
}

QString ExecutablePath()
{
    const QString& forced = executablePathOverride();
    return forced.isEmpty() ? QCoreApplication::applicationFilePath() : forced;
}

void SetExecutablePathForTesting(const QString& path)
{
    executablePathOverride() = path;
}

void CentreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}
