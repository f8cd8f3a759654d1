#pragma once
// TDBMemo: a multi-line edit box showing one text or memo field of the
// current record.  Typing starts an edit of the record first; the text is
// written into the field when the box loses the focus or the record is
// posted.  Tab moves to the next control.  The character-case conversion of
// typed text is there but kept protected: a subclass decides whether to
// offer it.

#include <QPlainTextEdit>

#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_field_link.h"

class TDBMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TDBMemo(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);
    const QString& DataField() const { return link_.FieldName(); }
    void SetDataField(const QString& name) { link_.SetFieldName(name); }
    TField* Field() const { return link_.Field(); }

    QString Text() const { return toPlainText(); }
    bool HasSelection() const { return textCursor().hasSelection(); }

    // Clipboard commands that start an edit first, as typing does.
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();

protected:
    TEditCharCase charCase() const { return charCase_; }
    void setCharCase(TEditCharCase charCase) { charCase_ = charCase; }

    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;

private:
    void showField();
    void writeField();
    bool beginChange();

    TFieldDataLink link_;
    TEditCharCase charCase_ = TEditCharCase::ecNormal;
    bool showing_ = false;
};

// TDBCheckBox: a check box bound to a logical field; ticking it starts an
// edit of the record and stores true, clearing it stores false.
#include <QCheckBox>

class TDBCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit TDBCheckBox(const QString& caption, QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);
    const QString& DataField() const { return link_.FieldName(); }
    void SetDataField(const QString& name) { link_.SetFieldName(name); }

protected:
    void nextCheckState() override;

private:
    void showField();

    TFieldDataLink link_;
};
