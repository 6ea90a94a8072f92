#include "fData/fData.h"

#include <QFile>

// Outside any namespace: the macro declares the resource's init function.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace data {

namespace {

constexpr int kImageCount = 29;

QString imagePath(int index)
{
    return QStringLiteral(":/icons/%1.png").arg(index, 2, 10, QLatin1Char('0'));
}

} // namespace

ImageList::ImageList(QObject* parent) : QObject(parent)
{
    initIconResources();
}

int ImageList::Count() const
{
    return kImageCount;
}

QIcon ImageList::Icon(int index) const
{
    if (index < 0 || index >= kImageCount) {
        return QIcon();
    }
    return QIcon(imagePath(index));
}

} // namespace data
