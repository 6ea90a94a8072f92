#include "controls/DbEdit.h"

#include "services/Services.h"

#include <QScopedValueRollback>

#include <exception>
#include <limits>

namespace controls {

using data::DatasetState;
using data::QueryDataset;

// --- FieldLink ---------------------------------------------------------------

FieldLink::FieldLink(QWidget* control, std::function<QString()> getText,
                     std::function<void(const QString&)> setText)
    : QObject(control), control_(control), getText_(std::move(getText)),
      setText_(std::move(setText))
{}

void FieldLink::setDataSource(data::DataSource* source)
{
    if (source_ == source)
        return;
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    detach();
    source_ = source;
    dataset_ = source_ ? source_->DataSet() : nullptr;
    if (source_) {
        connect(source_, &data::DataSource::dataSetReplaced, this, [this] {
            detach();
            dataset_ = source_ ? source_->DataSet() : nullptr;
            attach();
            refresh();
        });
    }
    attach();
    refresh();
}

data::DataSource* FieldLink::dataSource() const
{
    return source_;
}

void FieldLink::setField(const QString& field)
{
    field_ = field;
    refresh();
}

QString FieldLink::field() const
{
    return field_;
}

void FieldLink::setReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    if (readOnly_ && dirty_)
        refresh();
}

bool FieldLink::isReadOnly() const
{
    return readOnly_;
}

bool FieldLink::isDirty() const
{
    return dirty_;
}

QueryDataset* FieldLink::dataset() const
{
    return dataset_;
}

int FieldLink::fieldIndex() const
{
    QueryDataset* ds = dataset();
    return ds && ds->Active() && !field_.isEmpty() ? ds->FieldIndex(field_) : -1;
}

QString FieldLink::recordText() const
{
    QueryDataset* ds = dataset();
    const int index = fieldIndex();
    if (index < 0 || ds->RecNo() < 0)
        return QString();
    return ds->Fields(index).AsString();
}

void FieldLink::attach()
{
    QueryDataset* ds = dataset_;
    if (!ds)
        return;
    connect(ds, &QueryDataset::currentChanged, this, &FieldLink::onRecordMoved);
    connect(ds, &QueryDataset::reset, this, &FieldLink::onRecordMoved);
    connect(ds, &QueryDataset::dataSetChanged, this, &FieldLink::onRecordMoved);
    connect(ds, &QueryDataset::stateChanged, this, &FieldLink::onStateChanged);
    connect(ds, &QueryDataset::fieldChanged, this, &FieldLink::onFieldChanged);
    connect(ds, &QueryDataset::rowChanged, this, &FieldLink::onRowChanged);
    connect(ds, &QueryDataset::updateRecord, this, &FieldLink::writeBack);
    connect(ds, &QObject::destroyed, this, &FieldLink::refresh);
}

void FieldLink::detach()
{
    if (dataset_)
        disconnect(dataset_, nullptr, this, nullptr);
}

void FieldLink::refresh()
{
    dirty_ = false;
    const QString text = recordText();
    if (getText_() == text)
        return; // keeps the caret and the selection where they are
    QScopedValueRollback<bool> guard(filling_, true);
    setText_(text);
}

void FieldLink::userEdited()
{
    if (filling_)
        return;
    if (readOnly_) {
        refresh();
        return;
    }
    QueryDataset* ds = dataset();
    if (!ds || !ds->Active() || fieldIndex() < 0) {
        refresh(); // nothing to type into
        return;
    }
    if (ds->State() == DatasetState::Browse) {
        QScopedValueRollback<bool> guard(ownCall_, true);
        try {
            if (source_)
                source_->Edit();
            else
                ds->Edit();
        } catch (const std::exception& e) {
            refresh();
            Q_EMIT dataError(QString::fromUtf8(e.what()));
            return;
        }
    }
    if (ds->State() != DatasetState::Edit && ds->State() != DatasetState::Insert) {
        refresh(); // the source does not edit by itself
        return;
    }
    dirty_ = true;
}

bool FieldLink::writeBack()
{
    if (ownCall_)
        return false; // an error box of this very write took the focus
    if (!dirty_)
        return true;
    QueryDataset* ds = dataset();
    const int index = fieldIndex();
    if (index < 0 || (ds->State() != DatasetState::Edit && ds->State() != DatasetState::Insert)) {
        // The change was discarded meanwhile (Close, Cancel): so is the text.
        refresh();
        return false;
    }
    const QString text = getText_();
    data::Field field = ds->Fields(index);
    // A NULL the user did not fill stays NULL, and an unchanged value is
    // not written, so the record does not count as modified.
    if ((text.isEmpty() && field.IsNull()) || (!field.IsNull() && field.AsString() == text)) {
        dirty_ = false;
        return true;
    }
    QScopedValueRollback<bool> guard(ownCall_, true);
    try {
        field.SetAsString(text);
    } catch (const std::exception& e) {
        Q_EMIT dataError(QString::fromUtf8(e.what()));
        return false;
    }
    dirty_ = false;
    return true;
}

void FieldLink::onRecordMoved()
{
    if (!ownCall_)
        refresh();
}

void FieldLink::onStateChanged(DatasetState state)
{
    if (ownCall_)
        return;
    if (!dirty_ || state == DatasetState::Browse || state == DatasetState::Inactive)
        refresh();
}

void FieldLink::onFieldChanged(int column)
{
    if (ownCall_)
        return;
    // Another writer set this field: its value wins over held typing.
    if (column < 0 || column == fieldIndex())
        refresh();
}

void FieldLink::onRowChanged(int row)
{
    if (ownCall_ || dirty_)
        return;
    if (QueryDataset* ds = dataset(); ds && row == ds->RecNo())
        refresh();
}

namespace {

void showError(const QString& message)
{
    services::dialogs().MessageDlg(message, services::MsgKind::Error, int(services::Button::Ok),
                                   services::Button::Ok);
}

} // namespace

// --- DbEdit ---------------------------------------------------------------------

DbEdit::DbEdit(QWidget* parent)
    : QLineEdit(parent), link_(new FieldLink(
                             this, [this] { return QLineEdit::text(); },
                             [this](const QString& text) { QLineEdit::setText(text); }))
{
    // The default limit would cut a longer value, and writing it back would
    // then lose the rest.
    setMaxLength(std::numeric_limits<int>::max());
    connect(this, &QLineEdit::textEdited, link_, &FieldLink::userEdited);
    connect(link_, &FieldLink::dataError, this, &showError);
}

void DbEdit::setDataSource(data::DataSource* source)
{
    link_->setDataSource(source);
}

data::DataSource* DbEdit::dataSource() const
{
    return link_->dataSource();
}

void DbEdit::setDataField(const QString& field)
{
    link_->setField(field);
}

QString DbEdit::dataField() const
{
    return link_->field();
}

void DbEdit::setReadOnly(bool readOnly)
{
    QLineEdit::setReadOnly(readOnly);
    link_->setReadOnly(readOnly);
}

void DbEdit::focusOutEvent(QFocusEvent* event)
{
    link_->writeBack();
    QLineEdit::focusOutEvent(event);
}

// --- DbMemo ---------------------------------------------------------------------

namespace {

// The memo works with "\n" only; a value stored with CR LF gets CR LF back
// when it is written, so an edit does not change the kind of line ends.
struct LineEnds
{
    bool crlf = false;
};

} // namespace

DbMemo::DbMemo(QWidget* parent) : QPlainTextEdit(parent), link_(nullptr)
{
    auto ends = std::make_shared<LineEnds>();
    link_ = new FieldLink(
        this,
        [this, ends] {
            QString text = toPlainText();
            if (ends->crlf)
                text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
            return text;
        },
        [this, ends](const QString& text) {
            ends->crlf = text.contains(QStringLiteral("\r\n"));
            setPlainText(text);
        });
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, link_, &FieldLink::userEdited);
    connect(link_, &FieldLink::dataError, this, &showError);
}

QString DbMemo::text() const
{
    return link_->text();
}

void DbMemo::setDataSource(data::DataSource* source)
{
    link_->setDataSource(source);
}

data::DataSource* DbMemo::dataSource() const
{
    return link_->dataSource();
}

void DbMemo::setDataField(const QString& field)
{
    link_->setField(field);
}

QString DbMemo::dataField() const
{
    return link_->field();
}

void DbMemo::setReadOnly(bool readOnly)
{
    QPlainTextEdit::setReadOnly(readOnly);
    if (readOnly)
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    link_->setReadOnly(readOnly);
}

void DbMemo::setScrollBars(Qt::ScrollBarPolicy horizontal, Qt::ScrollBarPolicy vertical)
{
    setHorizontalScrollBarPolicy(horizontal);
    setVerticalScrollBarPolicy(vertical);
}

void DbMemo::focusOutEvent(QFocusEvent* event)
{
    link_->writeBack();
    QPlainTextEdit::focusOutEvent(event);
}

} // namespace controls
