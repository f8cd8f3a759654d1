#include "platform/widgets/db_grid.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/widgets/application.h"
#include "platform/widgets/dialogs.h"

namespace {

const QString kCurrentMark = QStringLiteral("\u25B6");  // browsing
const QString kInsertMark = QStringLiteral("*");
const QString kEditMark = QStringLiteral("I");

// Paints a cell as the classic grid does: the selection colour behind the
// whole row, the text in the column's alignment, cut at the cell's edge.  It
// asks the model for the text and the alignment only, and lays the text out
// once, which keeps a repaint of the grid cheap.
class TGridCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette::ColorGroup group =
            option.state & QStyle::State_Enabled ? QPalette::Active : QPalette::Disabled;
        if (selected)
            painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty()) return;
        const auto alignment = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        painter->save();
        painter->setFont(option.font);
        painter->setPen(
            option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(option.rect.adjusted(kCellMargin, 0, -kCellMargin, 0),
                          static_cast<int>(alignment) | Qt::TextSingleLine, text);
        painter->restore();
    }

private:
    static constexpr int kCellMargin = 3;
};

// The row indicator column: a fixed width, so the view need not measure the
// headers of the first and last hundred rows to size it.
class TRowIndicator : public QHeaderView {
public:
    static constexpr int kWidth = 14;

    explicit TRowIndicator(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
        setSectionsClickable(true);  // a click on the indicator selects the row
        setHighlightSections(true);
        setSectionResizeMode(QHeaderView::Fixed);
        setFixedWidth(kWidth);
    }
    QSize sizeHint() const override { return {kWidth, defaultSectionSize()}; }
};

}  // namespace

// --- model -----------------------------------------------------------------

TDBGridModel::TDBGridModel(QObject* parent) : QAbstractTableModel(parent) {}

TDBGridModel::~TDBGridModel() = default;

void TDBGridModel::SetColumns(std::vector<TColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    fields_.assign(columns_.size(), nullptr);
    endResetModel();
    rebind();
}

bool TDBGridModel::inserting() const {
    return Active() && DataSet()->State() == TDataSetState::dsInsert;
}

bool TDBGridModel::editing() const {
    return Active() && DataSet()->State() == TDataSetState::dsEdit;
}

int TDBGridModel::CurrentRow() const {
    if (!Active()) return -1;
    if (inserting()) return insertRow_;
    const int recNo = DataSet()->RecNo();
    return recNo > 0 ? recNo - 1 : -1;
}

int TDBGridModel::recNoOf(int row) const {
    if (insertRow_ < 0) return row + 1;
    if (row == insertRow_) return 0;
    return row < insertRow_ ? row + 1 : row;
}

void TDBGridModel::MoveTo(int row) {
    if (!Active() || row < 0 || row >= rows_ || row == CurrentRow()) return;
    int recNo = recNoOf(row);
    TDataSet* set = DataSet();
    if (set->State() != TDataSetState::dsBrowse) {
        // Leaving a new or edited row posts or drops it first.  A posted row
        // takes its place in key order, which moves the rows between its old
        // and its new place by one: the row clicked is found again by its
        // values.
        const std::vector<QVariant> clicked = storedValues(recNo);
        set->CheckBrowseMode();
        recNo = findNear(recNo, clicked);
    }
    set->SetRecNo(std::clamp(recNo, 1, std::max(set->RecordCount(), 1)));
}

std::vector<QVariant> TDBGridModel::storedValues(int recNo) const {
    std::vector<QVariant> values;
    const TDataSet* set = DataSet();
    for (int i = 0; i < set->FieldCount(); ++i)
        if (!set->Fields(i)->Calculated()) values.push_back(set->ValueAt(recNo, set->Fields(i)));
    return values;
}

int TDBGridModel::findNear(int recNo, const std::vector<QVariant>& values) const {
    for (int candidate : {recNo, recNo - 1, recNo + 1})
        if (candidate >= 1 && storedValues(candidate) == values) return candidate;
    return recNo;
}

int TDBGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TDBGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString TDBGridModel::cellText(int row, const TField* field) const {
    if (!field) return {};
    const int recNo = recNoOf(row);
    // The current row shows its edit buffer while it is edited or inserted.
    if (recNo == 0 || (editing() && recNo == DataSet()->RecNo())) return field->DisplayText();
    return DataSet()->DisplayTextAt(recNo, field);
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !Active() || index.row() >= rows_) return {};
    const std::size_t column = static_cast<std::size_t>(index.column());
    if (column >= columns_.size()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return cellText(index.row(), fields_[column]);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(columns_[column].Alignment);
        default:
            return {};
    }
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignCenter);
        if (role != Qt::DisplayRole) return {};  // a font or colour here would be read as one
        if (section != CurrentRow()) return QString();
        return inserting() ? kInsertMark : editing() ? kEditMark : kCurrentMark;
    }
    if (section < 0 || static_cast<std::size_t>(section) >= columns_.size()) return {};
    const TColumn& column = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return column.Title.isEmpty() ? column.FieldName : column.Title;
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(column.TitleAlignment);
    return {};
}

void TDBGridModel::ActiveChanged() { rebind(); }

void TDBGridModel::StateChanged() {
    const bool nowInserting = inserting();
    if (nowInserting == (insertRow_ >= 0)) {
        refreshCurrentRow();  // edit began or ended: the indicator changes
        return;
    }
    insertRow_ = nowInserting ? std::max(browseRecNo_ - 1, 0) : -1;
    reset();
}

void TDBGridModel::RecordChanged(TField* field) {
    (void)field;
    refreshCurrentRow();
}

void TDBGridModel::DataSetChanged() { reset(); }

void TDBGridModel::DataSetScrolled() {
    const int expected = Active() ? DataSet()->RecordCount() + (inserting() ? 1 : 0) : 0;
    if (expected != rows_) {
        reset();
        return;
    }
    refreshCurrentRow();
}

void TDBGridModel::rebind() {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        fields_[i] = Active() ? DataSet()->FindField(columns_[i].FieldName) : nullptr;
    insertRow_ = inserting() ? 0 : -1;
    reset();
}

void TDBGridModel::reset() {
    beginResetModel();
    if (Active() && !inserting()) browseRecNo_ = DataSet()->RecNo();
    rows_ = Active() ? DataSet()->RecordCount() + (insertRow_ >= 0 ? 1 : 0) : 0;
    shownRow_ = CurrentRow();
    endResetModel();
    emit currentRowChanged();
}

void TDBGridModel::refreshCurrentRow() {
    if (Active() && !inserting()) browseRecNo_ = DataSet()->RecNo();
    const int row = CurrentRow();
    const int last = static_cast<int>(columns_.size()) - 1;
    for (int r : {shownRow_, row}) {
        if (r < 0 || r >= rows_) continue;
        if (last >= 0) emit dataChanged(index(r, 0), index(r, last));
        emit headerDataChanged(Qt::Vertical, r, r);
    }
    shownRow_ = row;
    emit currentRowChanged();
}

// --- view ------------------------------------------------------------------

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), model_(new TDBGridModel(this)) {
    setVerticalHeader(new TRowIndicator(this));
    setModel(model_);
    setItemDelegate(new TGridCellDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    // The selection stays as visible when another control has the focus.
    QPalette shown = palette();
    shown.setColor(QPalette::Inactive, QPalette::Highlight,
                   shown.color(QPalette::Active, QPalette::Highlight));
    shown.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   shown.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(shown);

    connect(model_, &TDBGridModel::currentRowChanged, this, &TDBGrid::followDataSet);
    connect(model_, &QAbstractItemModel::modelReset, this, &TDBGrid::applyColumnWidths);
}

void TDBGrid::SetDataSource(TDataSource* source) {
    model_->SetDataSource(source);
    model_->ActiveChanged();
}

void TDBGrid::SetColumns(std::vector<TColumn> columns) {
    model_->SetColumns(std::move(columns));
    applyColumnWidths();
}

// Runs after each reset of the model, which lays the view out and repaints
// it anyway.  The header is kept quiet meanwhile: told of each column's new
// width, the view would repaint every row a second time, on a timer, after
// the paint that shows the reset.
void TDBGrid::applyColumnWidths() {
    const auto& columns = model_->Columns();
    const QSignalBlocker quiet(horizontalHeader());
    for (std::size_t i = 0; i < columns.size(); ++i)
        horizontalHeader()->resizeSection(static_cast<int>(i), columns[i].Width);
}

void TDBGrid::followDataSet() {
    const int row = model_->CurrentRow();
    following_ = true;
    if (row < 0) {
        clearSelection();
        setCurrentIndex(QModelIndex());
    } else {
        const int column = std::max(currentIndex().column(), 0);
        const QModelIndex target = model_->index(row, column);
        if (currentIndex() != target)
            selectionModel()->setCurrentIndex(
                target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        else if (!selectionModel()->isRowSelected(row, QModelIndex()))
            selectRow(row);
        scrollTo(target);
    }
    following_ = false;
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (following_ || !current.isValid() || current.row() == model_->CurrentRow()) return;
    try {
        model_->MoveTo(current.row());
    } catch (const std::exception& error) {
        TApplication::ShowException(error);
        followDataSet();  // the dataset stayed where it was
    }
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        deleteWithConfirmation();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::deleteWithConfirmation() {
    TDataSet* set = model_->DataSet();
    if (!model_->Active() || set->IsEmpty() || !set->CanModify()) return;
    if (MessageDlg("Delete record?", TMsgDlgType::mtConfirmation, mbOKCancel) == mrOk)
        set->Delete();
}

void TDBGrid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return;
    TDataSet* set = model_->DataSet();
    if (model_->Active() && set->State() == TDataSetState::dsInsert && !set->Modified())
        set->Cancel();
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    emit dblClick();
}
