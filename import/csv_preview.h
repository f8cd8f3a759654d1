#pragma once
// The first rows of a CSV file as a column map would store them, so that
// the user sees the effect of the mapping before anything is read whole.

#include <QString>
#include <QStringList>
#include <vector>

#include "import/column_map.h"

namespace import {

struct CsvPreview {
    // The books table's fields after SERIES and PUBLISHER, then "PROBLEMS".
    QStringList header;
    std::vector<QStringList> rows;  // as stored: COMIC_NO aligned, PERC in per cent ...
};

// Raises EImportError as ReadPlan does.
CsvPreview PreviewCsv(const QString& path, const ColumnMap& columns, int count = 10);

}  // namespace import
