#pragma once
// Which CSV column feeds which of our fields: guessed from the header row's
// names, changed by the user, saved to a map file and read back.

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace import {

// The fields a CSV column can feed.
enum class Target {
    Series,
    Publisher,
    Issue,
    Edition,
    Title,
    Writer,
    Artist,
    Quantity,
    Paid,
    Low,
    High,
    Condition,
    Signed,
    Notes,
    Location,
    Wanted,
    ForSale,
};

// Every target, in the order the wizard lists them.
const std::vector<Target>& AllTargets();
// The name in a map file and on screen ("SERIES", "ISSUE", ...).
QString TargetName(Target target);

// Target -> the header name of the column that feeds it.  A target that is
// not in the map is left blank.
using ColumnMap = std::map<Target, QString>;

// The encoding, delimiter and first rows of a CSV file, found by looking.
struct CsvLayout {
    QString encoding;  // "UTF-8" or "Windows-1252"
    QChar delimiter;
    QStringList header;
    std::vector<QStringList> firstRows;  // up to 10 rows after the header
};
// Raises EImportError when the file cannot be read or has no header row.
CsvLayout SniffCsv(const QString& path);

// The mapping a header row suggests ("Issue", "Issue Number", "#" feed
// ISSUE; "Price Paid" PAID; "Qty" QUANTITY; "Storage Location" LOCATION ...).
ColumnMap GuessColumns(const QStringList& header);

// A map file: one "TARGET=Header name" line per mapped target.
void SaveColumnMap(const ColumnMap& columns, const QString& path);
// Raises EImportError naming the file and line of an unknown target.
ColumnMap LoadColumnMap(const QString& path);

}  // namespace import
