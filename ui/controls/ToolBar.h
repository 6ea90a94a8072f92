// Toolbars of the windows: picture-only buttons from the shared image list,
// hints as tool tips, fixed button width, 8-pixel gaps, and edge lines. The
// buttons never take the keyboard focus, so a handler still sees which
// control of its window has it.
#pragma once

#include <QString>
#include <QToolBar>

class QToolButton;

namespace data {
class ImageList;
}

namespace controls {

// A toolbar that draws lines along the chosen edges.
class EdgedToolBar : public QToolBar
{
    Q_OBJECT
public:
    explicit EdgedToolBar(QWidget* parent = nullptr);
    void setEdges(Qt::Edges edges);
    Qt::Edges edges() const { return edges_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Edges edges_ = Qt::TopEdge | Qt::BottomEdge | Qt::LeftEdge | Qt::RightEdge;
};

struct ToolBarOptions
{
    int buttonWidth = 23;
    int buttonHeight = 22;
    int separatorWidth = 8;
    Qt::Edges edges = Qt::TopEdge | Qt::BottomEdge | Qt::LeftEdge | Qt::RightEdge;
    // Pictures; null takes DataModule1->ImageList1 when the data module exists.
    const data::ImageList* images = nullptr;
};

class ToolBarBuilder
{
public:
    explicit ToolBarBuilder(QWidget* parent, const ToolBarOptions& options = {});

    // A picture-only button with `hint` as its tool tip (empty: none).
    QToolButton* addButton(int imageIndex, const QString& hint = QString());
    // An empty gap of the separator width; returned so a window can keep it.
    QWidget* addSeparator();
    EdgedToolBar* toolBar() const { return bar_; }

private:
    EdgedToolBar* bar_;
    ToolBarOptions options_;
};

} // namespace controls
