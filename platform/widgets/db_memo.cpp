#include "platform/widgets/db_memo.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent) {
    link_.OnDataChange = [this] { showField(); };
    link_.OnUpdateData = [this] { writeField(); };
    setTabChangesFocus(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_) link_.Modified();
    });
    showField();
}

void TDBMemo::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    link_.SetFieldName(link_.FieldName());
}

void TDBMemo::showField() {
    const TField* field = link_.Field();
    const QString shown = field ? field->AsString() : QString();
    if (shown != toPlainText()) {  // unchanged text keeps the cursor and selection
        showing_ = true;
        setPlainText(shown);
        showing_ = false;
    }
    QPlainTextEdit::setReadOnly(!link_.CanModify());
}

void TDBMemo::writeField() {
    if (TField* field = link_.Field()) field->SetAsString(toPlainText());
}

bool TDBMemo::beginChange() { return link_.Edit(); }

void TDBMemo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && link_.IsModified()) {
        link_.Reset();
        return;
    }
    const bool newLine = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if ((IsEditingKey(event) || newLine) && !beginChange()) {
        event->accept();
        return;
    }
    const QString cased = ApplyCharCase(event->text(), charCase_);
    if (cased != event->text()) {
        QKeyEvent upper(event->type(), event->key(), event->modifiers(), cased,
                        event->isAutoRepeat(), event->count());
        QPlainTextEdit::keyPressEvent(&upper);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    link_.UpdateOnFocusOut(*this, event->reason());
}

bool TDBMemo::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasText() && link_.CanModify();
}

void TDBMemo::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText() || !beginChange()) return;
    insertPlainText(ApplyCharCase(source->text(), charCase_));
}

void TDBMemo::CutToClipboard() {
    if (!HasSelection() || !beginChange()) return;
    cut();
}

void TDBMemo::CopyToClipboard() { copy(); }

void TDBMemo::PasteFromClipboard() {
    if (!beginChange()) return;
    insertPlainText(ApplyCharCase(QApplication::clipboard()->text(), charCase_));
}

TDBCheckBox::TDBCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    link_.OnDataChange = [this] { showField(); };
    showField();
}

void TDBCheckBox::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    link_.SetFieldName(link_.FieldName());
}

void TDBCheckBox::showField() {
    const TField* field = link_.Field();
    const QSignalBlocker quiet(this);
    setChecked(field && field->AsBoolean());
    setEnabled(field != nullptr);
}

void TDBCheckBox::nextCheckState() {
    // The field is written at once, so the record is in edit state and the
    // box shows what is stored in the edit buffer.
    TField* field = link_.Field();
    if (!field || !link_.Edit()) return;
    field->SetAsBoolean(!isChecked());
}
