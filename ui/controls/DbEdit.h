// Text controls bound to one field of a data source's dataset.
//
// They show the current row's value (empty with no row or a closed dataset).
// Editable, the first keystroke that changes the text starts editing the
// record (DataSource::Edit); the typed text stays in the control until it
// loses the focus or the dataset asks for it (updateRecord, before a post),
// and is then written with Field::SetAsString. Read-only, the text can be
// selected and copied but never changes the data.
#pragma once

#include "dataset/DataSource.h"

#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>

#include <functional>

namespace controls {

// The binding shared by DbEdit and DbMemo: which field, what the control
// holds that the record has not yet received, and when to show the record
// anew.
class FieldLink : public QObject
{
    Q_OBJECT
public:
    // getText/setText read and fill the control without marking it modified.
    FieldLink(QWidget* control, std::function<QString()> getText,
              std::function<void(const QString&)> setText);

    void setDataSource(data::DataSource* source);
    data::DataSource* dataSource() const;
    void setField(const QString& field);
    QString field() const;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    // The text differs from the record and has not been written yet.
    bool isDirty() const;
    // The control's text changed by the user: starts the edit when needed.
    void userEdited();
    // Writes the held text into the record now (focus lost, or asked by the
    // dataset). True when nothing was held or it was written.
    bool writeBack();
    // Shows the record's value, dropping held text.
    void refresh();
    // The control's text as it would be written.
    QString text() const { return getText_(); }

Q_SIGNALS:
    void dataError(const QString& message);

private:
    void attach();
    void detach();
    void onRecordMoved();
    void onStateChanged(data::DatasetState state);
    void onFieldChanged(int column);
    void onRowChanged(int row);
    data::QueryDataset* dataset() const;
    int fieldIndex() const;
    QString recordText() const;

    QWidget* control_;
    std::function<QString()> getText_;
    std::function<void(const QString&)> setText_;
    QPointer<data::DataSource> source_;
    QPointer<data::QueryDataset> dataset_;
    QString field_;
    bool readOnly_ = false;
    bool dirty_ = false;
    bool filling_ = false; // the control is being filled from the record
    bool ownCall_ = false; // our own Edit or write is running
};

class DbEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DbEdit(QWidget* parent = nullptr);

    void setDataSource(data::DataSource* source);
    data::DataSource* dataSource() const;
    void setDataField(const QString& field);
    QString dataField() const;
    void setReadOnly(bool readOnly); // hides QLineEdit::setReadOnly
    FieldLink* link() const { return link_; }

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    FieldLink* link_;
};

// Multi-line: wraps at the control's width, Enter makes a line break, Tab
// moves the focus on (setTabChangesFocus), scroll bars as set.
class DbMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DbMemo(QWidget* parent = nullptr);

    void setDataSource(data::DataSource* source);
    data::DataSource* dataSource() const;
    void setDataField(const QString& field);
    QString dataField() const;
    void setReadOnly(bool readOnly); // hides QPlainTextEdit::setReadOnly
    void setScrollBars(Qt::ScrollBarPolicy horizontal, Qt::ScrollBarPolicy vertical);
    // The text shown, with the line ends of the stored value.
    QString text() const;
    FieldLink* link() const { return link_; }

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    FieldLink* link_;
};

} // namespace controls
