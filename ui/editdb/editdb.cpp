#include "editdb.h"

#include <QGuiApplication>
#include <QScreen>

TfmEditdb* fmEditdb = nullptr;

TfmEditdb::TfmEditdb(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fmEditdb"));
    setWindowTitle(QStringLiteral("Правка базы данных"));
    resize(741, 489);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
