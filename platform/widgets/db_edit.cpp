#include "platform/widgets/db_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

QString ApplyCharCase(const QString& text, TEditCharCase charCase) {
    switch (charCase) {
        case TEditCharCase::ecUpperCase:
            return text.toUpper();
        case TEditCharCase::ecLowerCase:
            return text.toLower();
        case TEditCharCase::ecNormal:
            break;
    }
    return text;
}

bool IsEditingKey(const QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
        event->matches(QKeySequence::DeleteEndOfWord) ||
        event->matches(QKeySequence::DeleteStartOfWord))
        return true;
    switch (event->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            return true;
        default:
            break;
    }
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

namespace {

bool isMoney(const TField* field) { return field && field->DataType() == TFieldType::ftCurrency; }

bool isNumber(const TField* field) { return field && field->IsNumeric(); }

bool isText(const TField* field) {
    return field &&
           (field->DataType() == TFieldType::ftString || field->DataType() == TFieldType::ftMemo);
}

}  // namespace

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent) {
    link_.OnDataChange = [this] { showField(); };
    link_.OnUpdateData = [this] { writeField(); };
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::onTextEdited);
    // The edit box's own menu would change the text behind the link's back;
    // the window's Edit menu offers the same commands.
    setContextMenuPolicy(Qt::NoContextMenu);
    showField();
}

void TDBEdit::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    link_.SetFieldName(link_.FieldName());
}

void TDBEdit::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    showField();
}

void TDBEdit::showField() {
    const TField* field = link_.Field();
    if (!field) {
        setText(QString());
        QLineEdit::setReadOnly(true);
        return;
    }
    QLineEdit::setReadOnly(readOnly_ || !link_.CanModify());
    // Numbers are right-aligned, so that their digits line up.
    const Qt::Alignment alignment =
        (isNumber(field) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    if (this->alignment() != alignment) setAlignment(alignment);
    // Setting the length again would reset the cursor and selection.
    const int length =
        field->DataType() == TFieldType::ftString && field->Size() > 0 ? field->Size() : 32767;
    if (maxLength() != length) setMaxLength(length);
    // Money shows in the currency format until the user works in the box.
    const bool typing = hasFocus() && link_.CanModify() && !readOnly_;
    const QString shown = isMoney(field) && !typing ? field->DisplayText() : field->Text();
    if (shown == text()) return;  // keeps the user's cursor and selection
    setText(shown);
    setCursorPosition(0);
}

void TDBEdit::writeField() {
    TField* field = link_.Field();
    if (!field) return;
    if (isText(field) || !text().trimmed().isEmpty())
        field->SetText(isText(field) ? text() : text().trimmed());
    else
        field->Clear();
}

bool TDBEdit::beginChange() {
    if (readOnly_) return false;
    return link_.Edit();
}

void TDBEdit::onTextEdited(const QString& text) {
    const QString cased = ApplyCharCase(text, charCase_);
    if (cased != text) {
        const int cursor = cursorPosition();
        setText(cased);
        setCursorPosition(cursor);
    }
    link_.Modified();
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && link_.IsModified()) {
        link_.Reset();
        selectAll();
        return;
    }
    if (IsEditingKey(event) && !beginChange()) {
        event->accept();  // a read-only or inactive field takes no typing
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::focusInEvent(QFocusEvent* event) {
    if (!link_.IsModified()) showField();  // money: the plain number to type in
    QLineEdit::focusInEvent(event);
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (!link_.UpdateOnFocusOut(*this, event->reason())) return;  // the text stays to correct
    if (!link_.IsModified()) showField();
}

void TDBEdit::CutToClipboard() {
    if (!hasSelectedText() || !beginChange()) return;
    cut();
    link_.Modified();
}

void TDBEdit::CopyToClipboard() { copy(); }

void TDBEdit::PasteFromClipboard() {
    if (!beginChange()) return;
    insert(ApplyCharCase(QApplication::clipboard()->text(), charCase_));
    link_.Modified();
}

TDBText::TDBText(QWidget* parent) : QLabel(parent) {
    link_.OnDataChange = [this] { showField(); };
}

void TDBText::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    link_.SetFieldName(link_.FieldName());
}

void TDBText::showField() {
    const TField* field = link_.Field();
    setText(field ? field->DisplayText() : QString());
}

void TDBText::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    emit doubleClicked();
}
