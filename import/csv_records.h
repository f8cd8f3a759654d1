#pragma once
// The records of a CSV file, read one at a time: any delimiter (the one the
// header row uses most of ',' ';' tab '|'), quoted fields that may hold the
// delimiter, quotes and line breaks, each record in UTF-8 or else
// Windows-1252.  A record longer than kMaxRecordBytes is refused before it
// is held whole, so that a file of one endless line costs nothing.

#include <QFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

namespace import {

class RecentTexts;

class CsvRecords {
public:
    // Raises EImportError when the file cannot be opened or is empty.
    explicit CsvRecords(const QString& path);
    ~CsvRecords();

    // The next record's fields (the list's room is used again); false at the
    // end of the file.  Raises EImportError naming the file and line of a
    // record that is too long or whose quoted field is not closed.
    bool Next(QStringList& fields);
    // The line the last record started on (1 for the header).
    int line() const { return line_; }
    QChar delimiter() const { return delimiter_; }
    // "Windows-1252" once a record was not UTF-8, else "UTF-8".
    QString encoding() const;
    qint64 position() const { return file_.pos(); }
    qint64 size() const { return file_.size(); }

private:
    // The record's bytes in lineBuffer_, without the line break.
    QByteArrayView ReadRecordBytes();
    [[noreturn]] void Fail(int line, const QString& reason) const;

    QString path_;
    QFile file_;
    QChar delimiter_ = QLatin1Char(',');
    int line_ = 0;
    int nextLine_ = 1;
    bool sawWindows1252_ = false;
    // A record as read, up to the longest; only the pages used are touched.
    std::unique_ptr<char[]> lineBuffer_;
    std::string converted_;               // a Windows-1252 record in UTF-8
    std::string field_;                   // a field's bytes, gathered from its runs
    std::unique_ptr<RecentTexts> texts_;  // the fields' texts
};

}  // namespace import
