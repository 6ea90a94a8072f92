// The data module: the one connection, the six datasets every window works
// on, their data sources and the shared toolbar pictures.
#pragma once

#include "dataset/DataSource.h"
#include "dataset/Dataset.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <vector>

namespace data {

// The toolbar pictures of all windows, 16 x 16, addressed by index (0..28).
class ImageList : public QObject
{
    Q_OBJECT
public:
    explicit ImageList(QObject* parent = nullptr);
    int Count() const;
    QIcon Icon(int index) const; // null icon outside 0..Count()-1
};

class TDataModule1 : public QObject
{
    Q_OBJECT
public:
    explicit TDataModule1(QObject* parent = nullptr);
    ~TDataModule1() override;

    Connection* FDConnection1;
    DataSource* DataSource1;
    DataSource* DataSource2;
    DataSource* DataSource3;
    DataSource* DataSource4;
    DataSource* DataSource5;
    QueryDataset* FDQuery1; // sections, TB0
    QueryDataset* FDQuery2; // subsections 1 of the current section, TB1
    QueryDataset* FDQuery3; // subsections 2 of the current subsection 1, TB2
    QueryDataset* FDQuery4; // aphorisms of the current subsection 2, TB4
    QueryDataset* FDQuery5; // search hits; also counts all aphorisms
    ImageList* ImageList1;
    QueryDataset* FDQuery6; // single look-ups by key
    DataSource* DataSource6;
};

// Stores a copy of the current aphorism of FDQuery4 in the same node and
// leaves the copy current.
void DuplicateAforizm();

} // namespace data

// The single instance, created first at start-up.
extern data::TDataModule1* DataModule1;
