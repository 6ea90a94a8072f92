#include "editdb.h"

#include "fCommon.h"

TfmEditdb* fmEditdb = nullptr;

TfmEditdb::TfmEditdb(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fmEditdb"));
    setWindowTitle(QStringLiteral("Правка базы данных"));
    resize(741, 489);
    CentreOnScreen(this);
}
