#include "fData.h"

#include <algorithm>

data::TDataModule1* DataModule1 = nullptr;

namespace data {

TDataModule1::TDataModule1(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("DataModule1"));

    FDConnection1 = new Connection(QStringLiteral("FCONNECT"), this);
    FDConnection1->setObjectName(QStringLiteral("FDConnection1"));
    FDConnection1->SetDriverName(QStringLiteral("SQLite"));

    FDQuery1 = new QueryDataset(QStringLiteral("FDQuery1"), FDConnection1, this);
    FDQuery2 = new QueryDataset(QStringLiteral("FDQuery2"), FDConnection1, this);
    FDQuery3 = new QueryDataset(QStringLiteral("FDQuery3"), FDConnection1, this);
    FDQuery4 = new QueryDataset(QStringLiteral("FDQuery4"), FDConnection1, this);
    FDQuery5 = new QueryDataset(QStringLiteral("FDQuery5"), FDConnection1, this);
    FDQuery6 = new QueryDataset(QStringLiteral("FDQuery6"), FDConnection1, this);

    FDQuery1->SetSQL(QStringLiteral("SELECT * FROM TB0 ORDER BY GROUP1 ASC"));
    FDQuery1->SetClientOrder({QStringLiteral("GROUP1")});

    FDQuery2->SetSQL(QStringLiteral("SELECT * FROM TB1 where TB1.nmb1 = :nmb1 ORDER BY group2"));
    FDQuery2->SetMaster(FDQuery1, QStringLiteral("NMB1"), QStringLiteral("NMB1"),
                        QStringLiteral("NMB1"));
    FDQuery2->SetClientOrder({QStringLiteral("GROUP2"), QStringLiteral("NMB1")});

    FDQuery3->SetSQL(QStringLiteral("SELECT * FROM TB2 where TB2.nmb2 = :nmb2 ORDER BY group3"));
    FDQuery3->SetMaster(FDQuery2, QStringLiteral("NMB2"), QStringLiteral("NMB2"),
                        QStringLiteral("NMB2"));
    FDQuery3->SetClientOrder({QStringLiteral("GROUP3"), QStringLiteral("NMB2")});

    FDQuery4->SetSQL(
        QStringLiteral("SELECT * FROM TB4 WHERE TB4.NMB3 = :NMB3  order by AUTHOR asc\n"));
    FDQuery4->SetMaster(FDQuery3, QStringLiteral("NMB3"), QStringLiteral("NMB3"),
                        QStringLiteral("NMB3"));
    FDQuery4->SetClientOrder({QStringLiteral("NMB3")});

    FDQuery5->SetSQL(QStringLiteral("SELECT * FROM TB4 "));

    DataSource1 = new DataSource(QStringLiteral("DataSource1"), FDQuery1, this);
    DataSource2 = new DataSource(QStringLiteral("DataSource2"), FDQuery2, this);
    DataSource3 = new DataSource(QStringLiteral("DataSource3"), FDQuery3, this);
    DataSource4 = new DataSource(QStringLiteral("DataSource4"), FDQuery4, this);
    DataSource5 = new DataSource(QStringLiteral("DataSource5"), FDQuery5, this);
    DataSource6 = new DataSource(QStringLiteral("DataSource6"), FDQuery6, this);

    ImageList1 = new ImageList(this);
    ImageList1->setObjectName(QStringLiteral("ImageList1"));

    DataModule1 = this;
}

TDataModule1::~TDataModule1()
{
    // Datasets first, then the connection; a pending change is lost.
    FDConnection1->Close();
    if (DataModule1 == this)
        DataModule1 = nullptr;
}

void DuplicateAforizm()
{
    if (!DataModule1)
        throw DataError(QStringLiteral("DuplicateAforizm: the data module does not exist"));
    QueryDataset* ds = DataModule1->FDQuery4;

    // The first two columns are the node link and the key: the data layer
    // fills both for the new row.
    int n = ds->FieldCount();
    std::vector<QVariant> values(static_cast<size_t>(n));
    for (int i = 2; i < n; ++i)
        values[size_t(i)] = ds->Fields(i).AsVariant();

    ds->Insert();
    ds->Edit();

    n = std::min(ds->FieldCount(), int(values.size()));
    for (int i = 2; i < n; ++i) {
        Field field = ds->Fields(i);
        if (field.IsAutoInc())
            continue;
        field.SetAsVariant(values[size_t(i)]);
    }
    ds->Post();
}

} // namespace data
