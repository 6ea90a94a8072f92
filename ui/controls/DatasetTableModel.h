// A table model over the dataset that a data source feeds. It holds no copy of
// the data: rows are the dataset's fetched rows, values are read with
// QueryDataset::Value, and the dataset's about-to/done signals are forwarded
// as the model's begin/end notifications.
#pragma once

#include "dataset/DataSource.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

namespace controls {

class DatasetTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DatasetTableModel(data::DataSource* source, QObject* parent = nullptr);
    ~DatasetTableModel() override;

    data::DataSource* dataSource() const;
    data::QueryDataset* dataset() const; // the source's dataset, may be null

    // The columns, by field name (letter case ignored). An empty list shows
    // every field of the dataset in the statement's order. A name the
    // dataset does not have gives an empty column.
    void setFields(const QStringList& fields);
    QStringList fields() const;
    // Header texts; a missing or empty title shows the field name.
    void setTitles(const QStringList& titles);

    // The dataset's column for a model column, -1 when there is none.
    int fieldIndex(int column) const;
    QString fieldName(int column) const;

    // In-place editing. Off by default.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    // How many rows one fetchMore() asks the dataset for.
    void setFetchBatch(int rows);
    int fetchBatch() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Moves the dataset to the row, starts editing it and sets the field.
    // A failure of the data layer is reported through dataError() and the
    // value is not taken.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    // True while a structural change of the dataset is being forwarded:
    // views then must not move the dataset.
    bool isChanging() const;
    void fetchMore(const QModelIndex& parent) override;

Q_SIGNALS:
    // A data-layer failure inside a model call (a model must not throw into
    // the view); the grid shows it in an error box.
    void dataError(const QString& message);

private:
    void attach();
    void detach();
    void onAboutToReset();
    void onReset();
    void takeFreshFields();
    void onRowsAboutToBeFetched(int first, int last);
    void onRowsFetched(int first, int last);
    void onRowAboutToBeInserted(int row);
    void onRowInserted(int row);
    void onRowAboutToBeRemoved(int row);
    void onRowRemoved(int row);
    void onRowAboutToBeMoved(int from, int to);
    void onRowMoved(int from, int to);
    void onRowChanged(int row);
    void onFieldChanged(int datasetColumn);
    void onDataSetChanged();
    void onDataSetReplaced();
    bool hasRows() const;

    QPointer<data::DataSource> source_;
    QPointer<data::QueryDataset> dataset_;
    QStringList fields_;
    QStringList titles_;
    QStringList shownFields_; // the fields shown when fields_ is empty
    bool readOnly_ = true;
    int fetchBatch_ = 128;
    bool resetting_ = false;
    int pendingInsert_ = 0;
    int pendingRemove_ = 0;
    int pendingMove_ = 0;
};

} // namespace controls
