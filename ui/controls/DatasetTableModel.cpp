#include "controls/DatasetTableModel.h"

#include <QPersistentModelIndex>

#include <exception>

namespace controls {

using data::QueryDataset;

DatasetTableModel::DatasetTableModel(data::DataSource* source, QObject* parent)
    : QAbstractTableModel(parent), source_(source)
{
    if (source_) {
        connect(source_, &data::DataSource::dataSetReplaced, this,
                &DatasetTableModel::onDataSetReplaced);
        connect(source_, &QObject::destroyed, this, &DatasetTableModel::onDataSetReplaced);
    }
    dataset_ = source_ ? source_->DataSet() : nullptr;
    attach();
    onReset(); // fills shownFields_; no reset is pending yet
}

DatasetTableModel::~DatasetTableModel() = default;

data::DataSource* DatasetTableModel::dataSource() const
{
    return source_;
}

QueryDataset* DatasetTableModel::dataset() const
{
    return dataset_;
}

void DatasetTableModel::setFields(const QStringList& fields)
{
    beginResetModel();
    fields_ = fields;
    endResetModel();
}

QStringList DatasetTableModel::fields() const
{
    return fields_;
}

void DatasetTableModel::setTitles(const QStringList& titles)
{
    titles_ = titles;
    if (columnCount() > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int DatasetTableModel::fieldIndex(int column) const
{
    if (!dataset_ || !dataset_->Active() || column < 0 || column >= columnCount())
        return -1;
    return dataset_->FieldIndex(fieldName(column));
}

QString DatasetTableModel::fieldName(int column) const
{
    const QStringList& names = fields_.isEmpty() ? shownFields_ : fields_;
    return column >= 0 && column < names.size() ? names.at(column) : QString();
}

void DatasetTableModel::setReadOnly(bool readOnly)
{
    if (readOnly_ == readOnly)
        return;
    readOnly_ = readOnly;
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool DatasetTableModel::isReadOnly() const
{
    return readOnly_;
}

void DatasetTableModel::setFetchBatch(int rows)
{
    fetchBatch_ = qMax(1, rows);
}

int DatasetTableModel::fetchBatch() const
{
    return fetchBatch_;
}

bool DatasetTableModel::isChanging() const
{
    return resetting_ || pendingInsert_ > 0 || pendingRemove_ > 0 || pendingMove_ > 0;
}

bool DatasetTableModel::hasRows() const
{
    return dataset_ && dataset_->Active();
}

int DatasetTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !hasRows())
        return 0;
    return dataset_->RecordCount();
}

int DatasetTableModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return fields_.isEmpty() ? shownFields_.size() : fields_.size();
}

QVariant DatasetTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const int field = fieldIndex(index.column());
    if (field < 0 || index.row() >= rowCount())
        return {};
    const QVariant value = dataset_->Value(index.row(), field);
    // NULL shows as an empty cell; everything is shown and edited as text.
    return value.isNull() ? QString() : value.toString();
}

QVariant DatasetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= columnCount())
        return {};
    if (section < titles_.size() && !titles_.at(section).isEmpty())
        return titles_.at(section);
    return fieldName(section);
}

Qt::ItemFlags DatasetTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (!readOnly_ && fieldIndex(index.column()) >= 0)
        f |= Qt::ItemIsEditable;
    return f;
}

bool DatasetTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || readOnly_ || !index.isValid() || index.row() >= rowCount())
        return false;
    const int field = fieldIndex(index.column());
    if (field < 0)
        return false;
    QueryDataset* ds = dataset_;
    const QString text = value.toString();
    // Leaving a pending change may drop or re-sort a row and shift this one.
    const QPersistentModelIndex target(index);
    try {
        if (ds->RecNo() != index.row())
            ds->MoveTo(index.row());
        if (!target.isValid() || ds->RecNo() != target.row())
            return false; // the move was refused
        // An editor closed without a change must not start an edit: the row
        // would then count as modified and be written when left.
        const QVariant old = ds->Value(target.row(), field);
        if ((old.isNull() && text.isEmpty()) || (!old.isNull() && old.toString() == text))
            return true;
        if (ds->State() == data::DatasetState::Browse) {
            if (source_)
                source_->Edit();
            else
                ds->Edit();
        }
        if (ds->State() != data::DatasetState::Edit && ds->State() != data::DatasetState::Insert)
            return false;
        data::Field f = ds->Fields(field);
        const data::FieldType type = f.DataType();
        if (type == data::FieldType::Integer || type == data::FieldType::AutoInc) {
            bool ok = false;
            const qint32 number = text.trimmed().toInt(&ok);
            if (text.trimmed().isEmpty())
                f.SetAsVariant(QVariant());
            else if (ok)
                f.SetAsInteger(number);
            else
                f.SetAsString(text); // let the data layer judge it
        } else {
            f.SetAsString(text);
        }
    } catch (const std::exception& e) {
        Q_EMIT dataError(QString::fromUtf8(e.what()));
        return false;
    }
    // The dataset reports the change (fieldChanged/rowChanged); say it again
    // for views that hold on to the edited index.
    Q_EMIT dataChanged(target, target, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool DatasetTableModel::canFetchMore(const QModelIndex& parent) const
{
    // No fetch inside the forwarding of another change: a view or tester that
    // asks while it handles rowsInserted would nest two insertions.
    return !parent.isValid() && hasRows() && !isChanging() && dataset_->CanFetchMore();
}

void DatasetTableModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    try {
        dataset_->FetchMore(fetchBatch_);
    } catch (const std::exception& e) {
        Q_EMIT dataError(QString::fromUtf8(e.what()));
    }
}

// --- forwarding the dataset's notifications ---------------------------------

void DatasetTableModel::attach()
{
    QueryDataset* ds = dataset_;
    if (!ds)
        return;
    connect(ds, &QueryDataset::aboutToReset, this, &DatasetTableModel::onAboutToReset);
    connect(ds, &QueryDataset::reset, this, &DatasetTableModel::onReset);
    connect(ds, &QueryDataset::rowsAboutToBeFetched, this,
            &DatasetTableModel::onRowsAboutToBeFetched);
    connect(ds, &QueryDataset::rowsFetched, this, &DatasetTableModel::onRowsFetched);
    connect(ds, &QueryDataset::rowAboutToBeInserted, this,
            &DatasetTableModel::onRowAboutToBeInserted);
    connect(ds, &QueryDataset::rowInserted, this, &DatasetTableModel::onRowInserted);
    connect(ds, &QueryDataset::rowAboutToBeRemoved, this,
            &DatasetTableModel::onRowAboutToBeRemoved);
    connect(ds, &QueryDataset::rowRemoved, this, &DatasetTableModel::onRowRemoved);
    connect(ds, &QueryDataset::rowAboutToBeMoved, this, &DatasetTableModel::onRowAboutToBeMoved);
    connect(ds, &QueryDataset::rowMoved, this, &DatasetTableModel::onRowMoved);
    connect(ds, &QueryDataset::rowChanged, this, &DatasetTableModel::onRowChanged);
    connect(ds, &QueryDataset::fieldChanged, this, &DatasetTableModel::onFieldChanged);
    connect(ds, &QueryDataset::dataSetChanged, this, &DatasetTableModel::onDataSetChanged);
    connect(ds, &QObject::destroyed, this, &DatasetTableModel::onDataSetReplaced);
}

void DatasetTableModel::detach()
{
    if (dataset_)
        disconnect(dataset_, nullptr, this, nullptr);
}

void DatasetTableModel::onDataSetReplaced()
{
    resetting_ = true;
    beginResetModel();
    detach();
    dataset_ = source_ ? source_->DataSet() : nullptr;
    attach();
    takeFreshFields();
    endResetModel();
    resetting_ = false;
}

// After a reset: the fields the open statement returns, and no half-done
// structural change.
void DatasetTableModel::takeFreshFields()
{
    shownFields_.clear();
    if (hasRows())
        for (int i = 0; i < dataset_->FieldCount(); ++i)
            shownFields_ << dataset_->FieldNameAt(i);
    pendingInsert_ = pendingRemove_ = pendingMove_ = 0;
}

void DatasetTableModel::onAboutToReset()
{
    if (resetting_)
        return;
    resetting_ = true;
    beginResetModel();
}

void DatasetTableModel::onReset()
{
    // A reset without its announcement still resets the views.
    if (!resetting_) {
        resetting_ = true;
        beginResetModel();
    }
    takeFreshFields();
    endResetModel();
    resetting_ = false;
}

void DatasetTableModel::onRowsAboutToBeFetched(int first, int last)
{
    if (resetting_ || last < first)
        return;
    ++pendingInsert_;
    beginInsertRows(QModelIndex(), first, last);
}

void DatasetTableModel::onRowsFetched(int, int)
{
    if (pendingInsert_ > 0) {
        endInsertRows();
        --pendingInsert_;
    }
}

void DatasetTableModel::onRowAboutToBeInserted(int row)
{
    onRowsAboutToBeFetched(row, row);
}

void DatasetTableModel::onRowInserted(int row)
{
    onRowsFetched(row, row);
}

void DatasetTableModel::onRowAboutToBeRemoved(int row)
{
    if (resetting_)
        return;
    ++pendingRemove_;
    beginRemoveRows(QModelIndex(), row, row);
}

void DatasetTableModel::onRowRemoved(int)
{
    if (pendingRemove_ > 0) {
        endRemoveRows();
        --pendingRemove_;
    }
}

void DatasetTableModel::onRowAboutToBeMoved(int from, int to)
{
    if (resetting_ || from == to)
        return;
    // Qt counts the destination before the move: a row moving down goes in
    // front of the row after its final place.
    const int destination = to > from ? to + 1 : to;
    ++pendingMove_;
    if (!beginMoveRows(QModelIndex(), from, from, QModelIndex(), destination))
        --pendingMove_;
}

void DatasetTableModel::onRowMoved(int from, int to)
{
    if (from != to && pendingMove_ > 0) {
        endMoveRows();
        --pendingMove_;
    }
}

void DatasetTableModel::onRowChanged(int row)
{
    if (resetting_ || row < 0 || row >= rowCount() || columnCount() == 0)
        return;
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DatasetTableModel::onFieldChanged(int)
{
    if (dataset_)
        onRowChanged(dataset_->RecNo());
}

void DatasetTableModel::onDataSetChanged()
{
    if (resetting_ || rowCount() == 0 || columnCount() == 0)
        return;
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

} // namespace controls
