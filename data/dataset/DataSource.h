// Binds controls to a dataset. A control never holds the data: it asks the
// dataset through its data source and repaints when the source says so.
#pragma once

#include "Dataset.h"

#include <QObject>
#include <QPointer>

namespace data {

class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(const QString& name, QueryDataset* dataset = nullptr,
                        QObject* parent = nullptr);

    QueryDataset* DataSet() const;
    void SetDataSet(QueryDataset* dataset);

    // A bound editable control calls this as soon as the user types: a
    // browsing dataset starts editing (or inserting, when it has no rows).
    bool AutoEdit() const;
    void SetAutoEdit(bool on);
    void Edit();

Q_SIGNALS:
    // Emitted when the source is pointed at another dataset.
    void dataSetReplaced();

private:
    QPointer<QueryDataset> dataset_;
    bool autoEdit_ = true;
};

} // namespace data
