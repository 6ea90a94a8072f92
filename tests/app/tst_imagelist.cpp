#include "fData/fData.h"

#include <QGuiApplication>
#include <QtTest>

class TestImageList : public QObject
{
    Q_OBJECT
private slots:
    // Every toolbar addresses its pictures by index: all 29 must be there,
    // 16 x 16, and different from each other.
    void everyIndexHasItsOwnPicture()
    {
        data::ImageList images;
        QCOMPARE(images.Count(), 29);
        QSet<QByteArray> seen;
        for (int i = 0; i < images.Count(); ++i) {
            const QIcon icon = images.Icon(i);
            QVERIFY2(!icon.isNull(), qPrintable(QString::number(i)));
            const QImage image =
                icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(image.size(), QSize(16, 16));
            QVERIFY2(image.hasAlphaChannel(), qPrintable(QString::number(i)));
            const QByteArray bits(reinterpret_cast<const char*>(image.constBits()),
                                  image.sizeInBytes());
            QVERIFY2(!seen.contains(bits), qPrintable(QString("picture %1 repeats one").arg(i)));
            seen.insert(bits);
        }
    }

    void outsideTheRangeIsNull()
    {
        data::ImageList images;
        QVERIFY(images.Icon(-1).isNull());
        QVERIFY(images.Icon(29).isNull());
    }
};

QTEST_MAIN(TestImageList)
#include "tst_imagelist.moc"
