#include "controls/ToolBar.h"
#include "fData/fData.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <QVBoxLayout>

using controls::ToolBarBuilder;

class TestToolBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buildsPictureButtonsThatTakeNoFocus();
};

void TestToolBar::buildsPictureButtonsThatTakeNoFocus()
{
    data::ImageList images;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    ToolBarBuilder builder(&window, {.images = &images});
    QToolButton* seek = builder.addButton(22, "Поиск");
    QWidget* gap = builder.addSeparator();
    QToolButton* close = builder.addButton(6, "Выход");
    auto* edit = new QLineEdit(&window);
    layout->addWidget(builder.toolBar());
    layout->addWidget(edit);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QCOMPARE(seek->toolTip(), QStringLiteral("Поиск"));
    QCOMPARE(seek->width(), 23);
    QCOMPARE(gap->width(), 8);
    QVERIFY(gap->x() >= seek->x() + seek->width());
    QVERIFY(close->x() >= gap->x() + gap->width());
    QCOMPARE(seek->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QVERIFY(seek->text().isEmpty());
    QVERIFY(!seek->icon().isNull());

    // A click leaves the focus where it was, so a handler can ask for it.
    edit->setFocus();
    QSignalSpy clicked(close, &QToolButton::clicked);
    QTest::mouseClick(close, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    QVERIFY(edit->hasFocus());
    QCOMPARE(seek->focusPolicy(), Qt::NoFocus);

    // Other bars use other sizes and edges.
    ToolBarBuilder wide(
        &window, {.buttonWidth = 25, .buttonHeight = 24, .edges = Qt::TopEdge, .images = &images});
    QCOMPARE(wide.addButton(1)->size(), QSize(25, 24));
    QCOMPARE(wide.toolBar()->edges(), Qt::Edges(Qt::TopEdge));
}

QTEST_MAIN(TestToolBar)
#include "tst_toolbar.moc"
