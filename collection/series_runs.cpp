#include "collection/series_runs.h"

#include <QFontMetrics>

#include "platform/base/exception.h"
#include "store/collection.h"

namespace {

constexpr int kLineHeight = 16;

std::size_t FieldIndex(const paradox::Table& table, const char* name) {
    return static_cast<std::size_t>(table.schema().fieldIndex(name));
}

}  // namespace

std::vector<insight::BookIssue> BooksOfSeries(const paradox::Table& books, int entry) {
    const std::size_t comicNo = FieldIndex(books, "COMIC_NO");
    const std::size_t qty = FieldIndex(books, "QTY");
    const std::vector<paradox::Value> key{paradox::Value::integer(entry)};
    std::vector<insight::BookIssue> issues;
    for (std::size_t at = books.lowerBound(key), end = books.upperBound(key); at < end; ++at) {
        const paradox::Row& row = books.row(at);
        issues.push_back(
            {row[comicNo].isText() ? QString::fromStdString(row[comicNo].asText()) : QString(),
             row[qty].isNull() ? 0 : static_cast<int>(row[qty].asInt())});
    }
    return issues;
}

namespace {

paradox::Row WantedBook(const paradox::Table& books, int entry, const QString& number) {
    paradox::Row row(books.schema().fields.size());
    row[FieldIndex(books, "ENTRY")] = paradox::Value::integer(entry);
    row[FieldIndex(books, "COMIC_NO")] =
        paradox::Value::text(store::AlignComicNo(number).toStdString());
    // The defaults of a book added in the window, nothing owned, and wanted.
    row[FieldIndex(books, "PERC")] = paradox::Value::integer(100);
    row[FieldIndex(books, "QTY")] = paradox::Value::integer(0);
    for (const char* amount : {"PAID", "LOW", "HIGH"})
        row[FieldIndex(books, amount)] = paradox::Value::floating(0);
    for (const char* flag : {"FORSALE", "AUTOGRAPH"})
        row[FieldIndex(books, flag)] = paradox::Value::boolean(false);
    row[FieldIndex(books, "WANTED")] = paradox::Value::boolean(true);
    return row;
}

// Takes back the rows inserted so far, found again by their keys.
void RemoveInserted(paradox::Table& books, const std::vector<paradox::Row>& inserted) {
    const std::size_t keyFields = static_cast<std::size_t>(books.schema().keyFieldCount);
    for (const paradox::Row& row : inserted) {
        const std::vector<paradox::Value> key(row.begin(), row.begin() + keyFields);
        const std::size_t at = books.find(key);
        if (at != paradox::Table::npos) books.erase(at);
    }
}

}  // namespace

void InsertWantedBooks(paradox::Table& books, int entry, const QStringList& numbers) {
    std::vector<paradox::Row> inserted;
    books.beginBatch();
    try {
        for (const QString& number : numbers) {
            paradox::Row row = WantedBook(books, entry, number);
            books.insert(row);
            inserted.push_back(std::move(row));
        }
    } catch (...) {
        // A batch keeps what went in before a failure: take it out again, so
        // that the batch writes nothing.
        RemoveInserted(books, inserted);
        books.commitBatch();
        throw;
    }
    books.commitBatch();
    books.saveChanges();
}

TSeriesRunsBox::TSeriesRunsBox(QWidget* parent) : TGroupBox(QString(), parent) {
    LabelOwned = new QLabel(this);
    LabelOwned->setObjectName("LabelOwnedRuns");
    LabelMissing = new QLabel(this);
    LabelMissing->setObjectName("LabelMissingRuns");
}

void TSeriesRunsBox::ShowRunsOf(const paradox::Table& books, int entry) {
    const Shown now{&books, entry, books.changeCount()};
    if (shown_ == now) return;
    ShowRuns(insight::BuildRuns(BooksOfSeries(books, entry)));
    shown_ = now;
}

void TSeriesRunsBox::ShowRuns(const insight::SeriesRuns& runs) {
    shown_.reset();
    QStringList owned;
    if (!runs.ownedText().isEmpty()) owned << runs.ownedText();
    if (!runs.unread.isEmpty()) owned << "not read as numbers: " + runs.unreadText();
    owned_ = runs.ownedIssues == 0
                 ? QStringLiteral("Owned: none")
                 : QStringLiteral("Owned (%1): %2").arg(runs.ownedIssues).arg(owned.join("; "));
    missing_ = runs.hasGaps()
                   ? QStringLiteral("Missing (%1): %2").arg(runs.missing).arg(runs.gapsText())
                   : QStringLiteral("Missing: none");
    SetLine(LabelOwned, owned_);
    SetLine(LabelMissing, missing_);
}

void TSeriesRunsBox::ShowNothing() {
    shown_.reset();
    owned_.clear();
    missing_.clear();
    SetLine(LabelOwned, {});
    SetLine(LabelMissing, {});
}

void TSeriesRunsBox::resizeEvent(QResizeEvent* event) {
    TGroupBox::resizeEvent(event);
    LabelOwned->setGeometry(8, 4, width() - 16, kLineHeight);
    LabelMissing->setGeometry(8, 4 + kLineHeight, width() - 16, kLineHeight);
    SetLine(LabelOwned, owned_);
    SetLine(LabelMissing, missing_);
}

void TSeriesRunsBox::SetLine(QLabel* label, const QString& text) {
    const QString shown =
        label->fontMetrics().elidedText(text, Qt::ElideRight, std::max(0, label->width()));
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}
