#include "controls/DbGrid.h"

#include "controls/DatasetTableModel.h"
#include "services/Services.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <exception>

namespace controls {

namespace {

// Space a row needs besides its text lines: the grid line and a little air.
constexpr int kRowMargin = 3;
// Distance from a row's lower edge within which the mouse grabs it.
constexpr int kEdgeGrip = 2;

const QColor kMarkBackground(255, 236, 130);
const QColor kMarkSelected(214, 120, 20);

// The navigator's pictures, drawn so they look the same on every style.
QIcon navigatorIcon(DbGrid::NavButton kind)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    const bool back = kind == DbGrid::NavFirst || kind == DbGrid::NavPrior;
    const bool bar = kind == DbGrid::NavFirst || kind == DbGrid::NavLast;
    QPolygonF triangle;
    if (back)
        triangle << QPointF(9, 1.5) << QPointF(9, 10.5) << QPointF(3, 6);
    else
        triangle << QPointF(3, 1.5) << QPointF(3, 10.5) << QPointF(9, 6);
    p.drawPolygon(triangle);
    if (bar)
        p.drawRect(back ? QRectF(1, 1.5, 1.6, 9) : QRectF(9.4, 1.5, 1.6, 9));
    return QIcon(pixmap);
}

bool widgetWithin(const QWidget* outer, const QWidget* w)
{
    return w && (w == outer || outer->isAncestorOf(w));
}

} // namespace

// --- the table view ------------------------------------------------------

class GridView : public QTableView
{
public:
    explicit GridView(DbGrid* grid) : QTableView(grid), grid_(grid) {}

    void keyboardSearch(const QString&) override {} // letters never jump to rows

    bool continueColumnLines = false;

protected:
    // Optionally carries the lines between columns down through the empty
    // space below the last row, so a short list still reads as columns.
    void paintEvent(QPaintEvent* event) override
    {
        QTableView::paintEvent(event);
        if (!continueColumnLines || !showGrid() || !model())
            return;
        const int rows = model()->rowCount();
        const int top = rows == 0 ? 0 : rowViewportPosition(rows - 1) + rowHeight(rows - 1);
        if (top >= viewport()->height())
            return;
        QPainter painter(viewport());
        const QStyleOptionViewItem opt = [this] {
            QStyleOptionViewItem o;
            initViewItemOption(&o);
            return o;
        }();
        const int gridHint = style()->styleHint(QStyle::SH_Table_GridLineColor, &opt, this);
        painter.setPen(QColor::fromRgba(static_cast<QRgb>(gridHint)));
        for (int c = 0; c < model()->columnCount(); ++c) {
            if (isColumnHidden(c))
                continue;
            const int x = columnViewportPosition(c) + columnWidth(c) - 1;
            painter.drawLine(x, top, x, viewport()->height());
        }
    }

    void showEvent(QShowEvent* event) override
    {
        QTableView::showEvent(event);
        if (currentIndex().isValid())
            scrollTo(currentIndex());
    }

    // The wheel moves the current row, a row per notch, as the keyboard does:
    // the catalogue lists have no scroll bars and are browsed this way.
    void wheelEvent(QWheelEvent* event) override
    {
        wheelDelta_ += event->angleDelta().y();
        const int notches = wheelDelta_ / QWheelEvent::DefaultDeltasPerStep;
        wheelDelta_ -= notches * QWheelEvent::DefaultDeltasPerStep;
        if (notches != 0)
            grid_->moveByRows(-notches);
        event->accept();
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        int key = event->key();
        try {
            Q_EMIT grid_->keyDown(key, event->modifiers());
            if (key == 0 || grid_->handleKey(key, event->modifiers())) {
                event->accept();
                return;
            }
        } catch (const std::exception& e) {
            event->accept();
            grid_->reportError(e);
            return;
        }
        QTableView::keyPressEvent(event);
    }

private:
    DbGrid* grid_;
    int wheelDelta_ = 0; // eighths of a degree not yet turned into a row move
};

// --- the cell painter ----------------------------------------------------

class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(DbGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        if (grid_->rowLines() > 1) {
            opt.features |= QStyleOptionViewItem::WrapText;
            opt.displayAlignment = Qt::AlignLeft | Qt::AlignTop;
        } else {
            // One line: a long text shows its beginning, breaks as blanks.
            opt.text.replace(QChar::LineSeparator, QLatin1Char(' '));
            opt.features &= ~QStyleOptionViewItem::WrapText;
            opt.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        }
        if (grid_->cellMatches(index)) {
            opt.backgroundBrush = kMarkBackground;
            for (auto group : {QPalette::Active, QPalette::Inactive})
                opt.palette.setColor(group, QPalette::Highlight, kMarkSelected);
        }
        // Without the marked focus cell the current cell looks like any
        // other; only the focus frame shows it while the grid has the focus.
        if (!grid_->showFocusCell_ && index == grid_->view_->currentIndex() &&
            grid_->view_->selectionBehavior() != QAbstractItemView::SelectRows)
            opt.state &= ~QStyle::State_Selected;
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }

private:
    DbGrid* grid_;
};

// --- the grid ------------------------------------------------------------

DbGrid::DbGrid(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Search bar.
    searchBar_ = new QWidget(this);
    auto* searchLayout = new QHBoxLayout(searchBar_);
    searchLayout->setContentsMargins(2, 2, 2, 2);
    searchLayout->setSpacing(2);
    auto* searchLabel = new QLabel(QStringLiteral("Найти:"), searchBar_);
    searchEdit_ = new QLineEdit(searchBar_);
    searchEdit_->setClearButtonEnabled(true);
    searchEdit_->setObjectName(QStringLiteral("searchEdit"));
    searchPrev_ = new QToolButton(searchBar_);
    searchPrev_->setArrowType(Qt::UpArrow);
    searchPrev_->setToolTip(QStringLiteral("Предыдущее совпадение"));
    searchPrev_->setFocusPolicy(Qt::NoFocus);
    searchNext_ = new QToolButton(searchBar_);
    searchNext_->setArrowType(Qt::DownArrow);
    searchNext_->setToolTip(QStringLiteral("Следующее совпадение"));
    searchNext_->setFocusPolicy(Qt::NoFocus);
    searchLayout->addWidget(searchLabel);
    searchLayout->addWidget(searchEdit_, 1);
    searchLayout->addWidget(searchPrev_);
    searchLayout->addWidget(searchNext_);
    searchBar_->setVisible(false);
    connect(searchEdit_, &QLineEdit::textChanged, this, &DbGrid::setSearchText);
    connect(searchEdit_, &QLineEdit::returnPressed, this, [this] { findNextHit(); });
    connect(searchPrev_, &QToolButton::clicked, this, [this] { findPreviousHit(); });
    connect(searchNext_, &QToolButton::clicked, this, [this] { findNextHit(); });
    searchEdit_->installEventFilter(this);

    // The table.
    view_ = new GridView(this);
    delegate_ = new GridDelegate(this);
    view_->setItemDelegate(delegate_);
    view_->verticalHeader()->hide(); // no indicator column
    view_->verticalHeader()->setMinimumSectionSize(1);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setHighlightSections(false);
    view_->horizontalHeader()->setDefaultAlignment(titleAlignment_);
    view_->horizontalHeader()->setStretchLastSection(false);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectItems);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setTabKeyNavigation(true);
    view_->setWordWrap(true);
    view_->setTextElideMode(Qt::ElideRight);
    view_->setCornerButtonEnabled(false);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // The current row stays marked when the grid does not have the focus.
    QPalette pal = view_->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    view_->setPalette(pal);
    view_->viewport()->installEventFilter(this);
    view_->viewport()->setMouseTracking(true);
    layout->addWidget(searchBar_);
    layout->addWidget(view_, 1);
    setFocusProxy(view_);
    connect(view_, &QAbstractItemView::doubleClicked, this, [this] { Q_EMIT doubleClicked(); });

    // Record bar.
    recordBar_ = new QWidget(this);
    auto* recordLayout = new QHBoxLayout(recordBar_);
    recordLayout->setContentsMargins(2, 0, 2, 0);
    recordLayout->setSpacing(0);
    recordCount_ = new QLabel(QStringLiteral("0"), recordBar_);
    recordCount_->setObjectName(QStringLiteral("recordCount"));
    recordLayout->addWidget(recordCount_);
    recordLayout->addStretch(1);
    static const char* const hints[4] = {"Первая запись", "Предыдущая запись", "Следующая запись",
                                         "Последняя запись"};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QToolButton(recordBar_);
        button->setIcon(navigatorIcon(NavButton(i)));
        button->setToolTip(QString::fromUtf8(hints[i]));
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(true);
        button->setAutoRepeat(i == NavPrior || i == NavNext);
        connect(button, &QToolButton::clicked, this, [this, i] { nav(NavButton(i)); });
        recordLayout->addWidget(button);
        nav_[i] = button;
    }
    recordBar_->setVisible(false);
    layout->addWidget(recordBar_);

    connect(qApp, &QApplication::focusChanged, this, &DbGrid::onFocusChanged);
    rebind();
    setRowHeight(0);
}

DbGrid::~DbGrid()
{
    // Deleting the children may move the focus; this object is no longer a
    // grid by then.
    disconnect(qApp, nullptr, this, nullptr);
}

void DbGrid::setDataSource(data::DataSource* source)
{
    if (source_ == source)
        return;
    source_ = source;
    rebind();
}

data::DataSource* DbGrid::dataSource() const
{
    return source_;
}

data::QueryDataset* DbGrid::dataset() const
{
    return model_ ? model_->dataset() : nullptr;
}

DatasetTableModel* DbGrid::model() const
{
    return model_;
}

QTableView* DbGrid::view() const
{
    return view_;
}

void DbGrid::rebind()
{
    DatasetTableModel* old = model_;
    model_ = new DatasetTableModel(source_, this);
    model_->setReadOnly(readOnly_);
    connect(model_, &DatasetTableModel::dataError, this, [this](const QString& message) {
        reportError(std::runtime_error(message.toStdString()));
    });
    view_->setModel(model_);
    delete old;
    applyColumns();

    // Connected after the view, so the view has taken in each change first.
    auto sync = [this] { syncViewFromDataset(); };
    connect(model_, &QAbstractItemModel::modelReset, this, sync);
    connect(model_, &QAbstractItemModel::layoutChanged, this, sync);
    connect(model_, &QAbstractItemModel::rowsInserted, this, sync);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, sync);
    connect(model_, &QAbstractItemModel::rowsMoved, this, sync);
    auto count = [this] { updateRecordCount(); };
    connect(model_, &QAbstractItemModel::modelReset, this, count);
    connect(model_, &QAbstractItemModel::rowsInserted, this, count);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, count);
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &DbGrid::onViewCurrentChanged);
    // The dataset's own moves, and a source pointed at another dataset.
    auto follow = [this] {
        if (data::QueryDataset* ds = dataset()) {
            connect(ds, &data::QueryDataset::currentChanged, this, &DbGrid::onDatasetCurrentChanged,
                    Qt::UniqueConnection);
            connect(ds, &data::QueryDataset::dataSetChanged, this, &DbGrid::syncViewFromDataset,
                    Qt::UniqueConnection);
        }
        syncViewFromDataset();
        updateRecordCount();
    };
    if (source_)
        connect(source_, &data::DataSource::dataSetReplaced, this, follow);
    follow();
}

void DbGrid::setColumns(const QList<GridColumn>& columns)
{
    columns_ = columns;
    applyColumns();
}

QList<GridColumn> DbGrid::columns() const
{
    return columns_;
}

void DbGrid::applyColumns()
{
    QStringList fields, titles;
    for (const GridColumn& c : columns_) {
        fields << c.field;
        titles << c.title;
    }
    model_->setFields(fields);
    model_->setTitles(titles);
    for (int i = 0; i < columns_.size(); ++i)
        view_->setColumnWidth(i, columns_.at(i).width);
    syncViewFromDataset();
}

// --- look -----------------------------------------------------------------

void DbGrid::setTitleFont(const QFont& font)
{
    titleFont_ = font;
    hasTitleFont_ = true;
    view_->horizontalHeader()->setFont(font);
}

void DbGrid::setCellFont(const QFont& font)
{
    const int lines = rowLines();
    view_->setFont(font);
    if (hasTitleFont_)
        view_->horizontalHeader()->setFont(titleFont_);
    QFont small = font;
    if (font.pixelSize() > 0)
        small.setPixelSize(qMax(1, font.pixelSize() - 1));
    else
        small.setPointSizeF(qMax(1.0, font.pointSizeF() - 1));
    recordCount_->setFont(small);
    // The row keeps its number of lines in the new font.
    if (rowHeight_ == 0 || rowSizing_)
        setRowHeight(rowHeight_ == 0 ? 0 : heightForLines(lines));
}

void DbGrid::setTitleAlignment(Qt::Alignment alignment)
{
    titleAlignment_ = alignment;
    view_->horizontalHeader()->setDefaultAlignment(alignment);
}

void DbGrid::setColumnLinesBelowRows(bool on)
{
    view_->continueColumnLines = on;
    view_->viewport()->update();
}

void DbGrid::setGridLines(bool on)
{
    view_->setShowGrid(on);
}

void DbGrid::setRowSelect(bool on)
{
    view_->setSelectionBehavior(on ? QAbstractItemView::SelectRows
                                   : QAbstractItemView::SelectItems);
    syncViewFromDataset();
}

void DbGrid::setShowFocusCell(bool on)
{
    showFocusCell_ = on;
    view_->viewport()->update();
}

void DbGrid::setColumnsResizable(bool on)
{
    view_->horizontalHeader()->setSectionResizeMode(on ? QHeaderView::Interactive
                                                       : QHeaderView::Fixed);
}

void DbGrid::setColumnsMovable(bool on)
{
    view_->horizontalHeader()->setSectionsMovable(on);
}

void DbGrid::setScrollBars(Qt::ScrollBarPolicy horizontal, Qt::ScrollBarPolicy vertical)
{
    view_->setHorizontalScrollBarPolicy(horizontal);
    view_->setVerticalScrollBarPolicy(vertical);
}

void DbGrid::setThumbTracking(bool on)
{
    view_->verticalScrollBar()->setTracking(on);
}

// --- row height -------------------------------------------------------------

int DbGrid::lineHeight() const
{
    return qMax(1, view_->fontMetrics().height());
}

int DbGrid::heightForLines(int lines) const
{
    return qMax(1, lines) * lineHeight() + kRowMargin;
}

int DbGrid::snapRowHeight(int pixels) const
{
    const double lines = double(pixels - kRowMargin) / lineHeight();
    return heightForLines(qMax(1, qRound(lines)));
}

void DbGrid::setRowHeight(int pixels)
{
    rowHeight_ = pixels <= 0 ? 0 : (rowSizing_ ? snapRowHeight(pixels) : pixels);
    view_->verticalHeader()->setDefaultSectionSize(rowHeight());
    view_->viewport()->update();
}

int DbGrid::rowHeight() const
{
    return rowHeight_ > 0 ? rowHeight_ : heightForLines(1);
}

int DbGrid::rowLines() const
{
    return qMax(1, (rowHeight() - kRowMargin) / lineHeight());
}

void DbGrid::setRowSizing(bool on)
{
    rowSizing_ = on;
    if (on && rowHeight_ > 0)
        setRowHeight(rowHeight_);
}

bool DbGrid::rowSizing() const
{
    return rowSizing_;
}

// --- editing ----------------------------------------------------------------

void DbGrid::setReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    model_->setReadOnly(readOnly);
    view_->setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                                    : QAbstractItemView::DoubleClicked |
                                          QAbstractItemView::EditKeyPressed |
                                          QAbstractItemView::AnyKeyPressed);
}

bool DbGrid::isReadOnly() const
{
    return readOnly_;
}

void DbGrid::setConfirmDelete(bool on)
{
    confirmDelete_ = on;
}

bool DbGrid::deleteCurrentRow()
{
    data::QueryDataset* ds = dataset();
    if (readOnly_ || !ds || !ds->Active() || ds->RecordCount() == 0)
        return false;
    if (confirmDelete_) {
        // The box takes the focus away from the grid; that is no reason to
        // drop a new row, or the delete would then hit the row next to it.
        QScopedValueRollback<bool> asking(asking_, true);
        const services::Button answer = services::dialogs().MessageDlg(
            QStringLiteral("Удалить запись?"), services::MsgKind::Confirmation,
            int(services::Button::Yes) | int(services::Button::No), services::Button::No);
        if (answer != services::Button::Yes)
            return false;
    }
    try {
        ds->Delete();
    } catch (const std::exception& e) {
        reportError(e);
        return false;
    }
    return true;
}

bool DbGrid::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    data::QueryDataset* ds = dataset();
    const bool ctrl = modifiers & Qt::ControlModifier;
    if (key == Qt::Key_F && ctrl) {
        showFindDialog();
        return true;
    }
    if (!ds || !ds->Active())
        return false;
    if (key == Qt::Key_Delete && ctrl) {
        deleteCurrentRow(); // read-only grids ignore it
        return true;
    }
    if (ctrl && (key == Qt::Key_Home || key == Qt::Key_End)) {
        key == Qt::Key_Home ? ds->First() : ds->Last();
        return true;
    }
    if (key == Qt::Key_Insert && !modifiers && !readOnly_) {
        ds->Insert();
        return true;
    }
    const int row = view_->currentIndex().row();
    const bool lastFetched = row == model_->rowCount() - 1;
    // A page down lands at most a viewport's height of rows further on.
    const int pageRows = view_->viewport()->height() / qMax(1, rowHeight()) + 1;
    const bool needsRows = key == Qt::Key_Down       ? lastFetched
                           : key == Qt::Key_PageDown ? row + pageRows >= model_->rowCount()
                                                     : false;
    if (needsRows && model_->canFetchMore(QModelIndex())) {
        // Rows the view does not hold yet: fetch them, then move as usual.
        model_->fetchMore(QModelIndex());
        return false;
    }
    if (key == Qt::Key_Down && !modifiers && !readOnly_ && (lastFetched || row < 0)) {
        // An unchanged new row at the end does not get another one after it.
        if (ds->State() == data::DatasetState::Insert && !ds->Modified())
            return true;
        ds->Append();
        return true;
    }
    return false;
}

// --- keeping the view and the dataset in step -------------------------------

int DbGrid::currentRow() const
{
    return view_->currentIndex().row();
}

void DbGrid::onDatasetCurrentChanged(int)
{
    syncViewFromDataset();
}

void DbGrid::syncViewFromDataset()
{
    if (!model_ || model_->isChanging())
        return;
    QItemSelectionModel* selection = view_->selectionModel();
    if (!selection)
        return;
    QScopedValueRollback<bool> guard(syncing_, true);
    data::QueryDataset* ds = dataset();
    if (ds && ds->ControlsDisabled())
        return; // dataSetChanged brings the grid up to date afterwards
    const int row = ds && ds->Active() ? ds->RecNo() : -1;
    if (row < 0 || row >= model_->rowCount() || model_->columnCount() == 0) {
        selection->clear();
        return;
    }
    int column = view_->currentIndex().isValid() ? view_->currentIndex().column() : 0;
    column = qBound(0, column, model_->columnCount() - 1);
    const QModelIndex index = model_->index(row, column);
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (view_->selectionBehavior() == QAbstractItemView::SelectRows)
        flags |= QItemSelectionModel::Rows;
    selection->setCurrentIndex(index, flags);
    // A hidden view has no size yet; it scrolls when it is shown.
    if (view_->isVisible())
        view_->scrollTo(index);
}

void DbGrid::onViewCurrentChanged(const QModelIndex& current, const QModelIndex&)
{
    if (syncing_ || !model_ || model_->isChanging() || !current.isValid())
        return;
    data::QueryDataset* ds = dataset();
    if (!ds || !ds->Active() || ds->RecNo() == current.row())
        return;
    moveDatasetTo(current.row());
}

void DbGrid::moveByRows(int delta)
{
    data::QueryDataset* ds = dataset();
    if (!ds || !ds->Active() || model_->rowCount() == 0)
        return;
    int target = qMax(0, ds->RecNo() + delta);
    while (target >= model_->rowCount() && model_->canFetchMore({}))
        model_->fetchMore({});
    target = qMin(target, model_->rowCount() - 1);
    if (target != ds->RecNo())
        moveDatasetTo(target);
}

bool DbGrid::moveDatasetTo(int row)
{
    data::QueryDataset* ds = dataset();
    bool moved = false;
    try {
        // Ending a pending change may drop or re-sort a row, which shifts the
        // rows after it; the persistent index follows the row the user chose.
        QPersistentModelIndex target(model_->index(row, 0));
        if (ds->State() != data::DatasetState::Browse)
            ds->EndPendingChange();
        if (target.isValid()) {
            ds->MoveTo(target.row());
            moved = ds->RecNo() == target.row();
        }
    } catch (const std::exception& e) {
        reportError(e);
    }
    syncViewFromDataset();
    return moved;
}

void DbGrid::updateRecordCount()
{
    data::QueryDataset* ds = dataset();
    recordCount_->setText(QString::number(ds && ds->Active() ? ds->RecordCount() : 0));
}

void DbGrid::nav(NavButton button)
{
    data::QueryDataset* ds = dataset();
    if (!ds || !ds->Active())
        return;
    try {
        switch (button) {
        case NavFirst:
            ds->First();
            break;
        case NavPrior:
            ds->Prior();
            break;
        case NavNext:
            ds->Next();
            break;
        case NavLast:
            ds->Last();
            break;
        }
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void DbGrid::onFocusChanged(QWidget* old, QWidget* now)
{
    if (!asking_ && widgetWithin(this, old) && !widgetWithin(this, now))
        leaveGrid();
}

void DbGrid::leaveGrid()
{
    // A new row nothing was typed into does not outlive the user's visit.
    data::QueryDataset* ds = dataset();
    if (readOnly_ || !ds || !ds->Active())
        return;
    if (ds->State() == data::DatasetState::Insert && !ds->Modified()) {
        try {
            ds->Cancel();
        } catch (const std::exception& e) {
            reportError(e);
        }
    }
}

void DbGrid::reportError(const std::exception& error)
{
    services::dialogs().MessageDlg(QString::fromUtf8(error.what()), services::MsgKind::Error,
                                   int(services::Button::Ok), services::Button::Ok);
}

// --- the search bar ---------------------------------------------------------

void DbGrid::setSearchBarVisible(bool on)
{
    searchBar_->setVisible(on);
}

bool DbGrid::isSearchBarVisible() const
{
    return !searchBar_->isHidden();
}

QLineEdit* DbGrid::searchEdit() const
{
    return searchEdit_;
}

void DbGrid::setSearchText(const QString& text)
{
    if (searchEdit_->text() != text)
        searchEdit_->setText(text); // comes back here through textChanged
    searchText_ = text;
    view_->viewport()->update();
}

QString DbGrid::searchText() const
{
    return searchText_;
}

bool DbGrid::cellMatches(const QModelIndex& index) const
{
    if (searchText_.isEmpty() || !index.isValid())
        return false;
    return index.data(Qt::DisplayRole).toString().contains(searchText_, Qt::CaseSensitive);
}

bool DbGrid::findNextHit()
{
    return searchStep(+1);
}

bool DbGrid::findPreviousHit()
{
    return searchStep(-1);
}

bool DbGrid::searchStep(int direction)
{
    data::QueryDataset* ds = dataset();
    const int columns = model_->columnCount();
    if (searchText_.isEmpty() || !ds || !ds->Active() || columns == 0)
        return false;
    try {
        if (direction < 0 || model_->rowCount() == 0)
            while (ds->CanFetchMore()) // going backwards wraps to the end
                ds->FetchMore();
    } catch (const std::exception& e) {
        reportError(e);
        return false;
    }
    const QModelIndex start = view_->currentIndex();
    int cell = start.isValid() ? start.row() * columns + start.column() : -1;
    // Visit every cell once, in reading order, starting next to the current one.
    for (int visited = 0;; ++visited) {
        int total = model_->rowCount() * columns;
        if (total == 0 || visited > total)
            return false;
        cell += direction;
        if (cell >= total && model_->canFetchMore(QModelIndex())) {
            model_->fetchMore(QModelIndex());
            total = model_->rowCount() * columns;
        }
        if (cell >= total)
            cell = 0;
        if (cell < 0)
            cell = total - 1;
        const QModelIndex index = model_->index(cell / columns, cell % columns);
        if (cellMatches(index)) {
            if (index.row() != ds->RecNo() && !moveDatasetTo(index.row()))
                return false;
            QScopedValueRollback<bool> guard(syncing_, true);
            view_->selectionModel()->setCurrentIndex(
                model_->index(ds->RecNo(), index.column()),
                QItemSelectionModel::ClearAndSelect |
                    (view_->selectionBehavior() == QAbstractItemView::SelectRows
                         ? QItemSelectionModel::Rows
                         : QItemSelectionModel::NoUpdate));
            view_->scrollTo(view_->currentIndex());
            return true;
        }
    }
}

// --- the find dialog --------------------------------------------------------

bool DbGrid::rowContains(int row, const QString& text, Qt::CaseSensitivity cs) const
{
    for (int c = 0; c < model_->columnCount(); ++c)
        if (model_->index(row, c).data().toString().contains(text, cs))
            return true;
    return false;
}

bool DbGrid::findNext(const QString& text, Qt::CaseSensitivity cs)
{
    data::QueryDataset* ds = dataset();
    if (text.isEmpty() || !ds || !ds->Active() || model_->columnCount() == 0)
        return false;
    const int from = qMax(ds->RecNo(), -1);
    try {
        for (int row = from + 1;; ++row) {
            if (row >= model_->rowCount() && model_->canFetchMore(QModelIndex()))
                ds->FetchMore(model_->fetchBatch());
            if (row >= model_->rowCount())
                break;
            if (rowContains(row, text, cs))
                return moveDatasetTo(row);
        }
        for (int row = 0; row <= from && row < model_->rowCount(); ++row)
            if (rowContains(row, text, cs))
                return moveDatasetTo(row);
    } catch (const std::exception& e) {
        reportError(e);
    }
    return false;
}

void DbGrid::showFindDialog()
{
    if (!findDialog_)
        findDialog_ = new FindTextDialog(this);
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
    findDialog_->textEdit()->setFocus();
    findDialog_->textEdit()->selectAll();
}

FindTextDialog* DbGrid::findDialog() const
{
    return findDialog_;
}

// --- the record bar ---------------------------------------------------------

void DbGrid::setRecordBarVisible(bool on)
{
    recordBar_->setVisible(on);
}

bool DbGrid::isRecordBarVisible() const
{
    return !recordBar_->isHidden();
}

QLabel* DbGrid::recordCountLabel() const
{
    return recordCount_;
}

QToolButton* DbGrid::navigatorButton(NavButton button) const
{
    return nav_[button];
}

// --- events -----------------------------------------------------------------

bool DbGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == searchEdit_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & Qt::ShiftModifier)) {
            findPreviousHit();
            return true;
        }
        if (key->key() == Qt::Key_F && (key->modifiers() & Qt::ControlModifier)) {
            showFindDialog();
            return true;
        }
        return false;
    }
    if (watched != view_->viewport() || !rowSizing_)
        return QWidget::eventFilter(watched, event);

    // Dragging the lower edge of any row sets the height of all rows.
    auto edgeRowAt = [this](int y) {
        const int row = view_->rowAt(y);
        const int top = view_->rowAt(0);
        if (row < 0 || top < 0)
            return -1;
        const int bottom = view_->rowViewportPosition(row) + view_->rowHeight(row);
        if (qAbs(y - bottom) <= kEdgeGrip)
            return row - top; // rows above the edge, counted from the top
        const int next = view_->rowAt(bottom + 1);
        if (y - view_->rowViewportPosition(row) <= kEdgeGrip && row > top && next >= 0)
            return row - 1 - top;
        return -1;
    };
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const int y = int(mouse->position().y());
        if (dragStartY_ >= 0) {
            // The dragged edge is the lower edge of the (n+1)th visible row.
            setRowHeight(qMax(1, y / (dragEdgeRows_ + 1)));
            return true;
        }
        if (edgeRowAt(y) >= 0)
            view_->viewport()->setCursor(Qt::SplitVCursor);
        else
            view_->viewport()->unsetCursor();
        return false;
    }
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const int y = int(mouse->position().y());
        const int visibleRow = edgeRowAt(y);
        if (mouse->button() == Qt::LeftButton && visibleRow >= 0) {
            dragStartY_ = y;
            dragEdgeRows_ = visibleRow;
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (dragStartY_ >= 0) {
            dragStartY_ = -1;
            view_->viewport()->unsetCursor();
            return true;
        }
        return false;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

// --- FindTextDialog -----------------------------------------------------------

FindTextDialog::FindTextDialog(DbGrid* grid) : QDialog(grid), grid_(grid)
{
    setWindowTitle(QStringLiteral("Поиск текста"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Текст:"), this));
    text_ = new QLineEdit(this);
    text_->setMinimumWidth(220);
    row->addWidget(text_, 1);
    layout->addLayout(row);
    status_ = new QLabel(this);
    layout->addWidget(status_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* next = new QPushButton(QStringLiteral("Найти далее"), this);
    next->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    buttons->addWidget(next);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(next, &QPushButton::clicked, this, [this] { findNext(); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

QLineEdit* FindTextDialog::textEdit() const
{
    return text_;
}

QLabel* FindTextDialog::statusLabel() const
{
    return status_;
}

bool FindTextDialog::findNext()
{
    const bool found = grid_->findNext(text_->text(), Qt::CaseInsensitive);
    status_->setText(found ? QString() : QStringLiteral("Текст не найден"));
    return found;
}

} // namespace controls
