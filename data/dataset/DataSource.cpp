#include "DataSource.h"

namespace data {

DataSource::DataSource(const QString& name, QueryDataset* dataset, QObject* parent)
    : QObject(parent), dataset_(dataset)
{
    setObjectName(name);
}

QueryDataset* DataSource::DataSet() const
{
    return dataset_;
}

void DataSource::SetDataSet(QueryDataset* dataset)
{
    if (dataset_ == dataset)
        return;
    dataset_ = dataset;
    Q_EMIT dataSetReplaced();
}

bool DataSource::AutoEdit() const
{
    return autoEdit_;
}

void DataSource::SetAutoEdit(bool on)
{
    autoEdit_ = on;
}

void DataSource::Edit()
{
    if (!autoEdit_ || !dataset_ || !dataset_->Active())
        return;
    if (dataset_->State() == DatasetState::Browse)
        dataset_->Edit();
}

} // namespace data
