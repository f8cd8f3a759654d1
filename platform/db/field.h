#pragma once
// TField: one column of a dataset's current record, read and written with
// typed accessors.  A field does not hold its value: it reads the dataset's
// current record (the edit buffer while editing, the calculated-field buffer
// for calculated fields), so the same TField object serves every row.

#include <QString>
#include <QVariant>
#include <functional>

#include "platform/paradox/value.h"

class TDataSet;

enum class TFieldType {
    ftUnknown,
    ftString,    // alphanumeric
    ftSmallint,  // 16-bit signed
    ftInteger,   // 32-bit signed
    ftAutoInc,   // 32-bit signed, assigned by the engine on insert
    ftFloat,     // double
    ftCurrency,  // double shown as money
    ftBoolean,
    ftMemo,  // text kept in the memo file
    ftDate,
    ftTime,
    ftDateTime,
    ftBCD,
    ftBytes,
    ftBlob,
    ftFmtMemo,
    ftGraphic,
    ftOle,
};

// Number-like types: compared as numbers by filters.
bool isNumericType(TFieldType type);

enum class TFieldKind { fkData, fkCalculated };

class TField {
public:
    TField(TDataSet* dataSet, QString name, TFieldType type, int size, TFieldKind kind, int index);
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TDataSet* DataSet() const { return dataSet_; }
    const QString& FieldName() const { return name_; }
    TFieldType DataType() const { return type_; }
    TFieldKind FieldKind() const { return kind_; }
    bool Calculated() const { return kind_ == TFieldKind::fkCalculated; }
    // Length of a string field in characters; 0 for other types.
    int Size() const { return size_; }
    // Position among the dataset's fields, from 0 (data fields first).
    int Index() const { return index_; }
    // 1-based number of a data field in its table; 0 for calculated fields.
    int FieldNo() const { return Calculated() ? 0 : index_ + 1; }

    const QString& DisplayLabel() const { return label_.isEmpty() ? name_ : label_; }
    void SetDisplayLabel(const QString& label) { label_ = label; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool IsNumeric() const;
    bool IsText() const;

    // Readers.  A blank (null) value reads as "", 0, 0.0 or false.
    bool IsNull() const;
    QString AsString() const;
    int AsInteger() const;
    double AsFloat() const;
    double AsCurrency() const { return AsFloat(); }
    bool AsBoolean() const;
    QVariant AsVariant() const;  // invalid QVariant for blank
    // The value as shown to the user: money through the money formatter,
    // logical fields as "True"/"False", blank as "".
    QString DisplayText() const;
    // The value as typed into an edit box: money as a plain fixed-point
    // number with two decimals, everything else as AsString().
    QString Text() const;

    // Writers: the dataset must be in edit or insert state (calculated fields:
    // inside OnCalcFields).  A value the field cannot take raises
    // EDatabaseError naming the field, and the field keeps its value.
    void SetAsString(const QString& value);
    void SetAsInteger(int value);
    void SetAsFloat(double value);
    void SetAsCurrency(double value) { SetAsFloat(value); }
    void SetAsBoolean(bool value);
    void SetAsVariant(const QVariant& value);  // invalid or null variant: Clear()
    void SetText(const QString& text) { SetAsString(text); }
    void Clear();

    // Raised after the field's value changed through one of the writers.
    std::function<void(TField*)> OnChange;

    // Engine-level access, for the dataset layer and bulk tools.
    const paradox::Value& RawValue() const;
    void SetRawValue(paradox::Value value);

private:
    friend class TDataSet;  // renumbers fields when the table's columns change
    paradox::Value fromString(const QString& text) const;
    paradox::Value fromDouble(double value) const;
    paradox::Value checkedInteger(long long value) const;
    [[noreturn]] void fail(const QString& message) const;

    TDataSet* dataSet_;
    QString name_;
    TFieldType type_;
    int size_;
    TFieldKind kind_;
    int index_;
    QString label_;
    bool readOnly_ = false;
};
