#include "import/csv_preview.h"

#include "import/mapping.h"
#include "import/readers.h"
#include "store/collection.h"

namespace import {

namespace {

constexpr int kFirstBookField = 1;  // after ENTRY, which the commit gives

QString Shown(const paradox::Value& value) {
    if (value.isText()) return QString::fromStdString(value.asText());
    if (value.isInt()) return QString::number(value.asInt());
    if (value.isDouble()) return QString::number(value.asDouble(), 'f', 2);
    if (value.isBool()) return value.asBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    return {};
}

QString ProblemsOf(const MappedBook& book) {
    if (!book.refusal.isEmpty()) return book.refusal;
    QStringList problems;
    for (const Problem& p : book.problems)
        problems << QStringLiteral("%1 %2: \"%3\"").arg(p.field, p.reason, p.becomes);
    return problems.join(QStringLiteral("; "));
}

}  // namespace

CsvPreview PreviewCsv(const QString& path, const ColumnMap& columns, int count) {
    CsvPreview preview;
    preview.header << QStringLiteral("SERIES") << QStringLiteral("PUBLISHER");
    const paradox::TableSchema schema = store::BooksSchema();
    for (std::size_t f = kFirstBookField; f < schema.fields.size(); ++f)
        preview.header << QString::fromStdString(schema.fields[f].name);
    preview.header << QStringLiteral("PROBLEMS");
    const auto addRow = [&](ImportedBook&& book) {
        const MappedBook mapped = MapBook(std::move(book));
        QStringList row{mapped.series, mapped.publisher};
        for (std::size_t f = kFirstBookField; f < schema.fields.size(); ++f)
            row << (f < mapped.row.size() ? Shown(mapped.row.At(f)) : QString());
        row << ProblemsOf(mapped);
        preview.rows.push_back(row);
    };
    ReadCsv(path, columns, addRow, {}, count);
    return preview;
}

}  // namespace import
