#include "fEdit.h"

#include <QGuiApplication>
#include <QScreen>

TfmEditAforizm* fmEditAforizm = nullptr;

TfmEditAforizm::TfmEditAforizm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("fmEditAforizm"));
    setWindowTitle(QStringLiteral("Правка афоризма"));
    resize(593, 276);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
