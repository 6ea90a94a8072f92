#include "fEdit.h"

#include "fCommon.h"

TfmEditAforizm* fmEditAforizm = nullptr;

TfmEditAforizm::TfmEditAforizm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("fmEditAforizm"));
    setWindowTitle(QStringLiteral("Правка афоризма"));
    resize(593, 276);
    CentreOnScreen(this);
}
