#include "AnsiTextFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <unicode/ucnv.h>
#include <unicode/uset.h>
#include <unistd.h>

namespace {

// Windows' own conversion maps a character outside the code page to a
// look-alike where one exists; ICU knows only a few such fallbacks for
// Windows-1251, so a letter with diacritics is first reduced to its base
// letter when that one is in the code page.
class Cp1251Converter
{
public:
    Cp1251Converter()
    {
        UErrorCode status = U_ZERO_ERROR;
        converter_ = ucnv_open("windows-1251", &status);
        if (U_FAILURE(status)) {
            converter_ = nullptr;
            return;
        }
        ucnv_setFallback(converter_, true);
        status = U_ZERO_ERROR;
        ucnv_setSubstChars(converter_, "?", 1, &status);
        status = U_ZERO_ERROR;
        encodable_ = uset_openEmpty();
        ucnv_getUnicodeSet(converter_, encodable_, UCNV_ROUNDTRIP_AND_FALLBACK_SET, &status);
    }
    ~Cp1251Converter()
    {
        if (encodable_)
            uset_close(encodable_);
        if (converter_)
            ucnv_close(converter_);
    }

    QByteArray encode(const QString& text)
    {
        if (!converter_)
            throw std::runtime_error("The Windows-1251 converter is not available");
        QString prepared = bestFit(text);
        QByteArray out(prepared.size() * 2 + 8, Qt::Uninitialized);
        UErrorCode status = U_ZERO_ERROR;
        ucnv_reset(converter_);
        int32_t n = ucnv_fromUChars(converter_, out.data(), static_cast<int32_t>(out.size()),
                                    reinterpret_cast<const UChar*>(prepared.utf16()),
                                    static_cast<int32_t>(prepared.size()), &status);
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("Text conversion failed: ") + u_errorName(status));
        out.truncate(n);
        return out;
    }

private:
    QString bestFit(const QString& text) const
    {
        QString result;
        result.reserve(text.size());
        for (qsizetype i = 0; i < text.size();) {
            char32_t cp = text.at(i).unicode();
            qsizetype len = 1;
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
                text.at(i + 1).isLowSurrogate()) {
                cp = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
                len = 2;
            }
            if (cp >= 0x80 && !uset_contains(encodable_, static_cast<UChar32>(cp))) {
                QString decomposed = text.mid(i, len).normalized(QString::NormalizationForm_D);
                QChar base = decomposed.isEmpty() ? QChar() : decomposed.at(0);
                if (decomposed.size() > 1 && uset_contains(encodable_, base.unicode()) &&
                    base.unicode() != cp) {
                    result.append(base);
                    i += len;
                    continue;
                }
            }
            result.append(text.mid(i, len));
            i += len;
        }
        return result;
    }

    UConverter* converter_ = nullptr;
    USet* encodable_ = nullptr;
};

} // namespace

QString EInOutError::MessageFor(int errorCode)
{
    switch (errorCode) {
    case ENOENT:
        return QStringLiteral("File not found");
    case ENAMETOOLONG:
    case EINVAL:
    case ENOTDIR:
    case ELOOP:
        return QStringLiteral("Invalid filename");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Too many open files");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return QStringLiteral("File access denied");
    default:
        return QStringLiteral("I/O error %1").arg(errorCode);
    }
}

EInOutError::EInOutError(int errorCode)
    : std::runtime_error(MessageFor(errorCode).toStdString()), errorCode_(errorCode)
{}

QByteArray EncodeAnsi(const QString& text)
{
    // Everything runs on the UI thread; the lock only keeps a stray caller
    // from another thread from sharing the converter's state.
    static std::mutex lock;
    static Cp1251Converter converter;
    std::lock_guard<std::mutex> guard(lock);
    return converter.encode(text);
}

AnsiTextFile::AnsiTextFile(const QString& path) : path_(path) {}

AnsiTextFile::~AnsiTextFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void AnsiTextFile::OpenAppendOrCreate()
{
    const QByteArray name = QFile::encodeName(path_);
    if (name.isEmpty() || name.contains('\0'))
        throw EInOutError(EINVAL);
    int fd;
    do {
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw EInOutError(errno);
    fd_ = fd;
}

void AnsiTextFile::WriteLine(const QString& text)
{
    QByteArray bytes = EncodeAnsi(text);
    bytes.append("\r\n", 2);
    writeAll(bytes);
}

void AnsiTextFile::writeAll(const QByteArray& bytes)
{
    if (fd_ < 0)
        throw EInOutError(EBADF);
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError(errno);
        }
        p += n;
        left -= n;
    }
}

void AnsiTextFile::Close()
{
    if (fd_ < 0)
        return;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        throw EInOutError(errno);
}
