#include "Application.h"

#include "dataset/Dataset.h"
#include "fCommon.h"
#include "services/Services.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>

namespace {

void busyPointer(bool busy)
{
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (QGuiApplication::overrideCursor()) {
        QGuiApplication::restoreOverrideCursor();
    }
}

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Aforizm"));
    setApplicationVersion(EmbeddedVersionText());
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowUnknownException();
    }
    // The event counts as handled: its handler has run as far as it could.
    return true;
}

void ShowException(const std::exception& e)
{
    services::dialogs().MessageDlg(QString::fromUtf8(e.what()), services::MsgKind::Error,
                                   int(services::Button::Ok), services::Button::Ok);
}

void ShowUnknownException()
{
    services::dialogs().MessageDlg(QStringLiteral("Неизвестная ошибка"), services::MsgKind::Error,
                                   int(services::Button::Ok), services::Button::Ok);
}

QStringList RegisterWindowsFonts(const QString& folder)
{
    QStringList families;
    const QDir dir(folder);
    for (const char* file : {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"}) {
        const QString path = dir.filePath(QString::fromLatin1(file));
        if (!QFile::exists(path)) {
            continue;
        }
        const int id = QFontDatabase::addApplicationFont(path);
        if (id >= 0) {
            for (const QString& family : QFontDatabase::applicationFontFamilies(id)) {
                if (!families.contains(family)) {
                    families.append(family);
                }
            }
        }
    }
    return families;
}

void InstallApplicationServices()
{
    data::WaitCursor::SetHandler(&busyPointer);
    static const QStringList registered = RegisterWindowsFonts();
    Q_UNUSED(registered);
}
