#pragma once
// TDBEdit: a single-line edit box showing one field of the current record.
// Typing starts an edit of the record first; the text is written into the
// field when the box loses the focus or the record is posted.  Text fields
// limit the length to the field size.  Money is shown in the currency format
// and typed as a plain number.

#include <QLineEdit>

#include "platform/widgets/db_field_link.h"

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// Applies a character-case setting to typed text.
QString ApplyCharCase(const QString& text, TEditCharCase charCase);

class TDBEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TDBEdit(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);
    const QString& DataField() const { return link_.FieldName(); }
    void SetDataField(const QString& name) { link_.SetFieldName(name); }
    TField* Field() const { return link_.Field(); }

    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase charCase) { charCase_ = charCase; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);

    // Clipboard commands that start an edit first, as typing does.
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showField();
    void writeField();
    bool beginChange();
    void onTextEdited(const QString& text);

    TFieldDataLink link_;
    TEditCharCase charCase_ = TEditCharCase::ecNormal;
    bool readOnly_ = false;
};

// TDBText: read-only text showing one field of the current record.
#include <QLabel>

class TDBText : public QLabel {
    Q_OBJECT

public:
    explicit TDBText(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);
    const QString& DataField() const { return link_.FieldName(); }
    void SetDataField(const QString& name) { link_.SetFieldName(name); }

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void showField();

    TFieldDataLink link_;
};

// True for key presses that change an edit box's text (as opposed to moving
// in it or leaving it).
bool IsEditingKey(const QKeyEvent* event);
