// A data-aware grid: an optional search bar, a table view over a dataset and
// an optional record bar with the record count and four navigator buttons.
//
// The grid shows and moves its dataset's current row: a click or a key moves
// the dataset (MoveTo), and a move of the dataset from anywhere moves the
// grid's current row and scrolls it into view.
#pragma once

#include "dataset/DataSource.h"

#include <QDialog>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTableView;
class QToolButton;
class QModelIndex;

namespace controls {

class DatasetTableModel;
class GridView;
class GridDelegate;
class FindTextDialog;

struct GridColumn
{
    QString field;
    QString title; // empty: the field name is shown
    int width = 64;
};

class DbGrid : public QWidget
{
    Q_OBJECT
public:
    enum NavButton { NavFirst, NavPrior, NavNext, NavLast };

    explicit DbGrid(QWidget* parent = nullptr);
    ~DbGrid() override;

    // --- binding and columns ---------------------------------------------
    void setDataSource(data::DataSource* source);
    data::DataSource* dataSource() const;
    data::QueryDataset* dataset() const;
    DatasetTableModel* model() const;
    QTableView* view() const; // for fonts and view options

    void setColumns(const QList<GridColumn>& columns);
    QList<GridColumn> columns() const;

    // --- look ---------------------------------------------------------
    void setTitleFont(const QFont& font);
    void setCellFont(const QFont& font); // also sets the record bar's font, one size smaller
    void setTitleAlignment(Qt::Alignment alignment); // centred by default
    void setGridLines(bool on);                      // on by default
    // Carries the lines between columns down below the last row; off by default.
    void setColumnLinesBelowRows(bool on);
    void setRowSelect(bool on); // whole-row selection; off by default
    // On (the default): the current cell is drawn highlighted. Off: it looks
    // like the other cells and only the focus frame marks it. Rows selected
    // whole are highlighted either way.
    void setShowFocusCell(bool on);
    void setColumnsResizable(bool on);
    void setColumnsMovable(bool on);
    // Scroll bars per direction: Qt::ScrollBarAlwaysOn / AlwaysOff / AsNeeded.
    void setScrollBars(Qt::ScrollBarPolicy horizontal, Qt::ScrollBarPolicy vertical);
    // Off: dragging the vertical thumb scrolls only when it is released.
    void setThumbTracking(bool on);

    // --- row height ---------------------------------------------------
    // One text line of the cell font, and the height of a row of n lines.
    int lineHeight() const;
    int heightForLines(int lines) const;
    // Sets the height of all rows. With row sizing on, the height is snapped
    // to a whole number of text lines (at least one); without it, it is
    // taken as given. Rows higher than one line wrap at word boundaries.
    void setRowHeight(int pixels);
    int rowHeight() const;
    int rowLines() const; // whole text lines that fit a row
    int snapRowHeight(int pixels) const;
    // Lets the user drag the lower edge of a row: all rows follow, snapped.
    void setRowSizing(bool on);
    bool rowSizing() const;

    // --- editing -------------------------------------------------------
    // Read-only (the default): no in-place editing, and no key inserts or
    // deletes a row. Editable: cells edit in place; Insert starts a row
    // before the current one, the down arrow on the last row appends one,
    // Ctrl+Delete deletes the current row after a confirmation.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;
    void setConfirmDelete(bool on); // on by default
    // Deletes the current row, asking "Удалить запись?" first when
    // confirmation is on. Returns true when the dataset's Delete ran.
    bool deleteCurrentRow();

    // --- search bar (marks the cells containing a text, case significant) ---
    void setSearchBarVisible(bool on);
    bool isSearchBarVisible() const;
    QLineEdit* searchEdit() const;
    void setSearchText(const QString& text);
    QString searchText() const;
    bool cellMatches(const QModelIndex& index) const;
    // Move to the next / previous cell that contains the search text,
    // starting after / before the current cell; false when there is none.
    bool findNextHit();
    bool findPreviousHit();

    // --- find dialog (Ctrl+F) -----------------------------------------
    void showFindDialog();
    FindTextDialog* findDialog() const; // null until first shown
    // Makes the next row (after the current one, wrapping round to the top)
    // whose cells contain the text current; false when no row does.
    bool findNext(const QString& text, Qt::CaseSensitivity cs = Qt::CaseInsensitive);

    // --- record bar ---------------------------------------------------
    void setRecordBarVisible(bool on);
    bool isRecordBarVisible() const;
    QLabel* recordCountLabel() const;
    QToolButton* navigatorButton(NavButton button) const;

    // The view's current row (-1 when none).
    int currentRow() const;
    // Moves the current row by delta rows (negative: up), fetching rows as
    // needed and stopping at the first and last row. The mouse wheel uses it.
    void moveByRows(int delta);

Q_SIGNALS:
    void doubleClicked();
    // Sent for every key before the grid acts on it; a handler that sets
    // key to 0 makes the grid ignore it.
    void keyDown(int& key, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class GridView;
    friend class GridDelegate;
    void rebind();
    void applyColumns();
    void syncViewFromDataset();
    void onViewCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void onDatasetCurrentChanged(int row);
    void updateRecordCount();
    bool handleKey(int key, Qt::KeyboardModifiers modifiers); // true: consumed
    void leaveGrid();
    void reportError(const std::exception& error);
    bool moveDatasetTo(int row);
    bool searchStep(int direction);
    bool rowContains(int row, const QString& text, Qt::CaseSensitivity cs) const;
    void nav(NavButton button);
    void onFocusChanged(QWidget* old, QWidget* now);

    QPointer<data::DataSource> source_;
    DatasetTableModel* model_ = nullptr;
    GridView* view_ = nullptr;
    GridDelegate* delegate_ = nullptr;
    QWidget* searchBar_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QToolButton* searchPrev_ = nullptr;
    QToolButton* searchNext_ = nullptr;
    QWidget* recordBar_ = nullptr;
    QLabel* recordCount_ = nullptr;
    QToolButton* nav_[4] = {};
    FindTextDialog* findDialog_ = nullptr;
    QList<GridColumn> columns_;
    QString searchText_;
    Qt::Alignment titleAlignment_ = Qt::AlignCenter;
    bool readOnly_ = true;
    bool confirmDelete_ = true;
    bool rowSizing_ = false;
    bool showFocusCell_ = true;
    int rowHeight_ = 0; // 0: one text line
    bool syncing_ = false;
    bool asking_ = false; // the delete confirmation is open
    // dragging a row edge
    int dragStartY_ = -1;
    int dragEdgeRows_ = 0; // visible rows above the dragged edge, less one
    QFont titleFont_;
    bool hasTitleFont_ = false;
};

// The grid's small find dialog: a text field and "find next". Its logic is
// DbGrid::findNext, so tests drive that without a modal loop.
class FindTextDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FindTextDialog(DbGrid* grid);
    QLineEdit* textEdit() const;
    QLabel* statusLabel() const;
    bool findNext(); // searches the grid for the text in the field

private:
    DbGrid* grid_;
    QLineEdit* text_;
    QLabel* status_;
};

} // namespace controls
