#pragma once
// The collection's CSV files (RFC 4180), one per table:
//
//   file    := header-record { record }
//   record  := field { "," field } CRLF
//   field   := text without , " CR LF  |  '"' text with "" for each quote '"'
//
// UTF-8 without a byte-order mark; CRLF after every record, the last one
// too.  The header holds the table's field names in table order.  Values:
//   blank (null)        empty field
//   alpha, memo         the text as stored, quoted when it holds a comma, a
//                       quote, a line break or leading/trailing spaces only
//                       when needed by the rules above
//   short, long, +      decimal integer
//   money               C-locale decimal with two decimals ("12.50", "-3.00")
//   number              shortest C-locale decimal that reads back exactly
//   logical             true / false
// Reading accepts LF alone as a line end and reports every fault with the
// file's name and the line where the faulty record starts; a quoted field
// left open is named by the line of its opening quote.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "platform/base/exception.h"
#include "platform/paradox/table.h"

namespace admin::csv {

// A fault in a CSV file: "<file> line <n>: <reason>".
class EImportError : public Exception {
public:
    using Exception::Exception;
};

struct Record {
    int line = 0;  // where the record starts, from 1
    QStringList fields;
};

// Appends one record (with its CRLF).
void AppendRecord(QByteArray& out, const QStringList& fields);
// The text of one value of a field of `type`.
QString FormatValue(const paradox::Value& value, paradox::FieldType type);

// Splits a whole file into records; `fileName` names it in messages.
std::vector<Record> ParseFile(const QByteArray& data, const QString& fileName);
// Reads the device's records one at a time, a chunk of bytes at a time, and
// hands each to `take` (a file of a million rows is never held whole).
void ForEachRecord(QIODevice& device, const QString& fileName,
                   const std::function<void(const Record&)>& take);
// Reads one value of a field; throws EImportError with just the reason.
paradox::Value ParseValue(const QString& text, const paradox::FieldDef& field);

}  // namespace admin::csv
