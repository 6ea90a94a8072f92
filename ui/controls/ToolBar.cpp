#include "controls/ToolBar.h"

#include "fData/fData.h"

#include <QLayout>
#include <QPainter>
#include <QStyleOption>
#include <QToolButton>

namespace controls {

EdgedToolBar::EdgedToolBar(QWidget* parent) : QToolBar(parent)
{
    setMovable(false);
    setFloatable(false);
    setFocusPolicy(Qt::NoFocus);
    setContentsMargins(1, 1, 1, 1);
}

void EdgedToolBar::setEdges(Qt::Edges edges)
{
    edges_ = edges;
    update();
}

void EdgedToolBar::paintEvent(QPaintEvent* event)
{
    QToolBar::paintEvent(event);
    // An etched line: a dark one with a light one inside it.
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    const QColor dark = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);
    auto line = [&](const QColor& colour, int inset) {
        p.setPen(colour);
        const QRect e = r.adjusted(inset, inset, -inset, -inset);
        if (edges_ & Qt::TopEdge)
            p.drawLine(e.topLeft(), e.topRight());
        if (edges_ & Qt::BottomEdge)
            p.drawLine(e.bottomLeft(), e.bottomRight());
        if (edges_ & Qt::LeftEdge)
            p.drawLine(e.topLeft(), e.bottomLeft());
        if (edges_ & Qt::RightEdge)
            p.drawLine(e.topRight(), e.bottomRight());
    };
    line(dark, 0);
    line(light, 1);
}

ToolBarBuilder::ToolBarBuilder(QWidget* parent, const ToolBarOptions& options)
    : bar_(new EdgedToolBar(parent)), options_(options)
{
    if (!options_.images && DataModule1)
        options_.images = DataModule1->ImageList1;
    bar_->setEdges(options_.edges);
    bar_->setIconSize(QSize(16, 16));
    bar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar_->layout()->setSpacing(0);
}

QToolButton* ToolBarBuilder::addButton(int imageIndex, const QString& hint)
{
    auto* button = new QToolButton(bar_);
    if (options_.images)
        button->setIcon(options_.images->Icon(imageIndex));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(options_.buttonWidth, options_.buttonHeight);
    bar_->addWidget(button);
    return button;
}

QWidget* ToolBarBuilder::addSeparator()
{
    auto* gap = new QWidget(bar_);
    gap->setFixedSize(options_.separatorWidth, options_.buttonHeight);
    gap->setFocusPolicy(Qt::NoFocus);
    bar_->addWidget(gap);
    return gap;
}

} // namespace controls
