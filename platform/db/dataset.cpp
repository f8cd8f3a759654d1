#include "platform/db/dataset.h"

#include <algorithm>

#include "platform/base/exception.h"
#include "platform/base/scope_guard.h"
#include "platform/db/datasource.h"
#include "platform/db/filter.h"

namespace {

TFieldType fieldTypeOf(paradox::FieldType type) {
    using P = paradox::FieldType;
    switch (type) {
        case P::Alpha:
            return TFieldType::ftString;
        case P::Date:
            return TFieldType::ftDate;
        case P::Short:
            return TFieldType::ftSmallint;
        case P::Long:
            return TFieldType::ftInteger;
        case P::Money:
            return TFieldType::ftCurrency;
        case P::Number:
            return TFieldType::ftFloat;
        case P::Logical:
            return TFieldType::ftBoolean;
        case P::Memo:
            return TFieldType::ftMemo;
        case P::Blob:
            return TFieldType::ftBlob;
        case P::FmtMemo:
            return TFieldType::ftFmtMemo;
        case P::Ole:
            return TFieldType::ftOle;
        case P::Graphic:
            return TFieldType::ftGraphic;
        case P::Time:
            return TFieldType::ftTime;
        case P::Timestamp:
            return TFieldType::ftDateTime;
        case P::AutoInc:
            return TFieldType::ftAutoInc;
        case P::Bcd:
            return TFieldType::ftBCD;
        case P::Bytes:
            return TFieldType::ftBytes;
    }
    return TFieldType::ftUnknown;
}

// A field's Size: characters for text the record holds, 0 otherwise.
int fieldSizeOf(const paradox::FieldDef& def) {
    return def.type == paradox::FieldType::Alpha ? def.size : 0;
}

const paradox::Value kNull;

// Restores a flag (and optionally the state) when a handler unwinds.
template <typename T>
class Restore {
public:
    Restore(T& target, T value) : target_(target), saved_(target) { target_ = value; }
    ~Restore() { target_ = saved_; }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& target_;
    T saved_;
};

void raise(const TDataSet::TDataSetNotifyEvent& event, TDataSet* dataSet) {
    if (event) event(dataSet);
}

}  // namespace

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
    for (TDataSource* source : std::vector<TDataSource*>(sources_)) source->DataSetDestroyed();
}

void TDataSet::DatabaseError(const QString& message) const {
    QString text = name_.isEmpty() ? message : name_ + ": " + message;
    throw EDatabaseError(text.toStdString());
}

void TDataSet::checkActive() const {
    if (!Active())
        DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

// --- opening -------------------------------------------------------------------

void TDataSet::Open() {
    if (Active()) return;
    raise(BeforeOpen, this);
    buildFields(InternalOpen());
    if (!filterText_.isEmpty() && !filter_) {  // set before the fields were known
        const TUndoOnError closeOnError([this] { InternalClose(); });
        SetFilter(filterText_);
    }
    clearEditBuffer();
    setState(TDataSetState::dsBrowse);
    bool hasRow = InternalFirst();
    bof_ = true;
    eof_ = !hasRow;
    calculateFields();
    DataEvent(TDataEvent::deActiveChange);
    raise(AfterOpen, this);
}

void TDataSet::Close() {
    if (!Active()) return;
    raise(BeforeClose, this);
    clearEditBuffer();
    InternalClose();
    state_ = TDataSetState::dsInactive;
    eof_ = bof_ = true;
    DataEvent(TDataEvent::deUpdateState);
    DataEvent(TDataEvent::deActiveChange);
    raise(AfterClose, this);
}

// Data fields follow the table's columns; objects are kept while the columns
// stay the same, so pointers held by callers survive a Close and Open.
void TDataSet::buildFields(const paradox::TableSchema& schema) {
    bool same = dataFieldCount_ == static_cast<int>(schema.fields.size());
    for (int i = 0; same && i < dataFieldCount_; ++i) {
        const paradox::FieldDef& def = schema.fields[i];
        const TField& field = *fields_[i];
        same = field.FieldName() == QString::fromStdString(def.name) &&
               field.DataType() == fieldTypeOf(def.type) && field.Size() == fieldSizeOf(def);
    }
    if (same) return;
    std::vector<std::unique_ptr<TField>> fields;
    for (const paradox::FieldDef& def : schema.fields) {
        int index = static_cast<int>(fields.size());
        fields.push_back(std::make_unique<TField>(this, QString::fromStdString(def.name),
                                                  fieldTypeOf(def.type), fieldSizeOf(def),
                                                  TFieldKind::fkData, index));
    }
    dataFieldCount_ = static_cast<int>(fields.size());
    for (auto& field : fields_) {
        if (!field->Calculated()) continue;
        field->index_ = static_cast<int>(fields.size());
        fields.push_back(std::move(field));
    }
    fields_ = std::move(fields);
    filter_.reset();  // compiled against the old columns
}

TField* TDataSet::FindField(const QString& name) const {
    for (const auto& field : fields_)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0) return field.get();
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& name) const {
    TField* field = FindField(name);
    if (!field) DatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return field;
}

TField* TDataSet::AddCalcField(const QString& name, TFieldType type, int size) {
    if (Active()) DatabaseError(QStringLiteral("Cannot add a field to an open dataset"));
    if (FindField(name)) DatabaseError(QStringLiteral("Duplicate field name '%1'").arg(name));
    int index = static_cast<int>(fields_.size());
    fields_.push_back(
        std::make_unique<TField>(this, name, type, size, TFieldKind::fkCalculated, index));
    return fields_.back().get();
}

// --- field values --------------------------------------------------------------

const paradox::Value& TDataSet::FieldValue(const TField* field) const {
    int index = field->Index();
    if (field->Calculated()) {
        std::size_t slot = static_cast<std::size_t>(index - dataFieldCount_);
        return slot < calcBuffer_.size() ? calcBuffer_[slot] : kNull;
    }
    const paradox::Row* row = peekRow_;
    if (!row) row = buffered_ ? &editBuffer_ : InternalCurrentRow();
    if (!row || static_cast<std::size_t>(index) >= row->size()) return kNull;
    return (*row)[index];
}

void TDataSet::SetFieldValue(TField* field, paradox::Value value) {
    checkActive();
    if (field->Calculated()) {
        if (!calculating_)
            DatabaseError(QStringLiteral("Calculated field '%1' can only be set while fields "
                                         "are calculated")
                              .arg(field->FieldName()));
        calcBuffer_[field->Index() - dataFieldCount_] = std::move(value);
        return;
    }
    if (calculating_)
        DatabaseError(QStringLiteral("Field '%1' cannot be changed while fields are calculated")
                          .arg(field->FieldName()));
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
        DatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    editBuffer_[field->Index()] = std::move(value);
    modified_ = true;
    calculateFields();
    DataEvent(TDataEvent::deFieldChange, field);
}

void TDataSet::calculateFields() {
    std::size_t calcCount = fields_.size() - static_cast<std::size_t>(dataFieldCount_);
    if (calcCount == 0) return;
    calcBuffer_.assign(calcCount, paradox::Value());
    if (!OnCalcFields || !Active()) return;
    if (!buffered_ && !peekRow_ && !InternalCurrentRow()) return;  // no row to compute
    Restore<bool> calculating(calculating_, true);
    Restore<TDataSetState> state(state_, TDataSetState::dsCalcFields);
    OnCalcFields(this);
}

void TDataSet::clearEditBuffer() {
    buffered_ = false;
    modified_ = false;
    editBuffer_.clear();
}

// --- notifications -------------------------------------------------------------

void TDataSet::setState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    DataEvent(TDataEvent::deUpdateState);
}

// By index, not by iterator: a handler may attach or detach data sources.
void TDataSet::DataEvent(TDataEvent event, TField* field) {
    for (std::size_t i = 0; i < sources_.size(); ++i)
        sources_[i]->NotifyDataEvent(event, field, ControlsDisabled());
}

void TDataSet::AttachDataSource(TDataSource* source) {
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
        sources_.push_back(source);
}

void TDataSet::DetachDataSource(TDataSource* source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

void TDataSet::EnableControls() {
    if (disableCount_ > 0 && --disableCount_ == 0 && Active())
        DataEvent(TDataEvent::deDataSetChange);
}
