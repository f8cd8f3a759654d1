#include "tools/extras_csv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <map>

#include "platform/db/session.h"
#include "store/book_extras.h"
#include "store/extras_checks.h"
#include "store/grade_scale.h"
#include "store/table_room.h"
#include "tools/csv.h"

namespace admin {

namespace {

using csv::EImportError;

constexpr const char* kExtrasCsv = "extras.csv";
constexpr int kDayNumberToJulianDay = 1721425;  // day 1 is 0001-01-01
enum Column { ENTRY, COMIC_NO, EDITION, GRADE, GRADER, CERT, BOUGHT, SOURCE, UPC, COVER };

[[noreturn]] void fault(int line, const QString& reason) {
    throw EImportError(
        QStringLiteral("%1 line %2: %3").arg(kExtrasCsv).arg(line).arg(reason).toStdString());
}

QString extrasPath(const QString& directory) {
    return TSession::TablePath(directory, QString::fromLatin1(store::kExtrasTable));
}

QString formatDate(const paradox::Value& value) {
    if (!value.isInt()) return {};
    return QDate::fromJulianDay(value.asInt() + kDayNumberToJulianDay).toString(Qt::ISODate);
}

paradox::Value parseDate(const QString& text) {
    if (text.isEmpty()) return paradox::Value::null();
    QString problem;
    const std::optional<QDate> date = store::ParseBoughtDate(text, &problem);
    if (!date || date->toString(Qt::ISODate) != text)
        throw EImportError((problem.isEmpty()
                                ? QStringLiteral("'%1' is not a date written yyyy-mm-dd").arg(text)
                                : problem)
                               .toStdString());
    return paradox::Value::integer(date->toJulianDay() - kDayNumberToJulianDay);
}

QString text(const paradox::Value& value) {
    return value.isText() ? QString::fromStdString(value.asText()) : QString();
}

void copyFile(const QString& from, const QString& to) {
    QFile source(from);
    QSaveFile target(to);
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly) ||
        target.write(source.readAll()) != source.size() || !target.commit())
        throw Exception(
            QStringLiteral("cannot copy %1 to %2: %3")
                .arg(from, to,
                     source.error() != QFile::NoError ? source.errorString() : target.errorString())
                .toStdString());
}

}  // namespace

std::optional<std::size_t> ExportExtras(const QString& directory, const QString& target,
                                        QTextStream& out) {
    if (!paradox::Table::exists(extrasPath(directory).toStdString())) return std::nullopt;
    const auto table = paradox::Table::open(extrasPath(directory).toStdString());
    const paradox::TableSchema& schema = table->schema();
    QByteArray csv;
    QStringList header;
    for (const paradox::FieldDef& field : schema.fields)
        header << QString::fromStdString(field.name);
    csv::AppendRecord(csv, header);
    const QDir covers(QDir(directory).filePath(QString::fromLatin1(store::kCoversFolder)));
    const QDir copies(QDir(target).filePath(QString::fromLatin1(store::kCoversFolder)));
    for (std::size_t i = 0; i < table->rowCount(); ++i) {
        const paradox::Row& row = table->row(i);
        QStringList fields;
        for (std::size_t f = 0; f < schema.fields.size(); ++f)
            fields << (f == BOUGHT ? formatDate(row[f])
                                   : csv::FormatValue(row[f], schema.fields[f].type));
        const QString cover = text(row[COVER]);
        if (!cover.isEmpty() && !QFileInfo::exists(covers.filePath(cover))) {
            out << "Warning: the cover " << covers.filePath(cover)
                << " is missing; it is left out of " << kExtrasCsv << "\n";
            fields[COVER].clear();
        } else if (!cover.isEmpty()) {
            if (!QDir().mkpath(copies.path()))
                throw Exception(QStringLiteral("cannot create the directory %1")
                                    .arg(copies.path())
                                    .toStdString());
            copyFile(covers.filePath(cover), copies.filePath(cover));
        }
        csv::AppendRecord(csv, fields);
    }
    QSaveFile file(QDir(target).filePath(QString::fromLatin1(kExtrasCsv)));
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
        throw Exception(QStringLiteral("cannot write %1: %2")
                            .arg(file.fileName(), file.errorString())
                            .toStdString());
    return table->rowCount();
}

struct ExtrasImport::Loaded {
    QString covers;                                  // the source's covers folder
    std::vector<std::pair<int, paradox::Row>> rows;  // line, row
};

namespace {

// The values the book page would accept, so that imported extras show as
// they were exported.
void checkRow(int line, const paradox::Row& row, const QString& covers) {
    const QString grade = text(row[GRADE]);
    const std::optional<store::StandardGrade> standard = store::FindStandardGrade(grade);
    if (!grade.isEmpty() && (!standard || standard->text() != grade))
        fault(line, QStringLiteral("GRADE %1 is not a grade of the standard scale written as "
                                   "it is printed (10.0, 9.9, 9.8, ... 0.5)")
                        .arg(grade));
    const QString problem = store::CertificateProblem(grade, text(row[CERT]));
    if (!problem.isEmpty()) fault(line, QStringLiteral("CERT: ") + problem);
    const store::UpcCheck upc = store::CheckUpc(text(row[UPC]));
    if (upc.verdict == store::UpcCheck::Verdict::Invalid || upc.digits != text(row[UPC]))
        fault(line, QStringLiteral("UPC %1 is not 12 or 17 digits").arg(text(row[UPC])));
    const QString cover = text(row[COVER]);
    if (cover.isEmpty()) return;
    if (cover.contains(QLatin1Char('/')) || cover.startsWith(QLatin1Char('.')))
        fault(line, QStringLiteral("COVER %1 is not a file name").arg(cover));
    try {
        store::CoverImage::FromFile(QDir(covers).filePath(cover));
    } catch (const store::ECoverError& e) {
        fault(line, QStringLiteral("COVER: ") + QString::fromStdString(e.message()));
    }
}

}  // namespace

ExtrasImport::ExtrasImport(const QString& source, const QString& directory)
    : directory_(directory) {
    QFile file(QDir(source).filePath(QString::fromLatin1(kExtrasCsv)));
    if (!file.exists()) return;
    if (paradox::Table::exists(extrasPath(directory).toStdString()) &&
        paradox::Table::open(extrasPath(directory).toStdString())->rowCount() > 0)
        throw Exception(QStringLiteral("the collection in %1 already has book extras; import "
                                       "only fills an empty one")
                            .arg(directory)
                            .toStdString());
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("cannot read %1: %2")
                            .arg(file.fileName(), file.errorString())
                            .toStdString());
    loaded_ = std::make_unique<Loaded>();
    loaded_->covers = QDir(source).filePath(QString::fromLatin1(store::kCoversFolder));
    const paradox::TableSchema schema = store::ExtrasSchema();
    QStringList header;
    for (const paradox::FieldDef& field : schema.fields)
        header << QString::fromStdString(field.name);
    const std::vector<csv::Record> records = csv::ParseFile(file.readAll(), kExtrasCsv);
    if (records.empty() || records[0].fields != header)
        fault(1, QStringLiteral("the header must be ") + header.join(QLatin1Char(',')));
    std::map<QString, int> coverLines;  // each file belongs to one book
    for (std::size_t r = 1; r < records.size(); ++r) {
        const csv::Record& record = records[r];
        if (record.fields.size() != header.size())
            fault(record.line, QStringLiteral("%1 fields where %2 are needed")
                                   .arg(record.fields.size())
                                   .arg(header.size()));
        paradox::Row row;
        for (int f = 0; f < header.size(); ++f) {
            try {
                row.push_back(f == BOUGHT ? parseDate(record.fields[f])
                                          : csv::ParseValue(record.fields[f], schema.fields[f]));
            } catch (const EImportError& e) {
                fault(record.line,
                      header[f] + QStringLiteral(": ") + QString::fromStdString(e.message()));
            }
        }
        checkRow(record.line, row, loaded_->covers);
        const QString cover = text(row[COVER]);
        if (!cover.isEmpty() && !coverLines.emplace(cover, record.line).second)
            fault(record.line,
                  QStringLiteral("COVER %1 is already the cover of the book on line %2")
                      .arg(cover)
                      .arg(coverLines[cover]));
        loaded_->rows.emplace_back(record.line, std::move(row));
    }
    // Made now, while the collection is still untouched, so that it is one
    // of the tables the import keeps copies of: an import cut short leaves
    // it empty again.
    if (!paradox::Table::exists(extrasPath(directory).toStdString())) {
        paradox::TableLayout room;
        room.roomForRows = store::kBooksRoom;  // as the extras table of a new collection
        paradox::Table::create(extrasPath(directory).toStdString(), store::ExtrasSchema(), room);
        created_ = true;
    }
}

ExtrasImport::~ExtrasImport() {
    if (committed_ || !created_) return;
    const QDir covers(QDir(directory_).filePath(QString::fromLatin1(store::kCoversFolder)));
    for (const QString& name : copied_) QFile::remove(covers.filePath(name));
    try {
        paradox::Table::remove(extrasPath(directory_).toStdString());
    } catch (const std::exception&) {
        // Still open elsewhere: its rows are orphans the next opening tidies.
    }
}

std::size_t ExtrasImport::rowCount() const { return loaded_ ? loaded_->rows.size() : 0; }

void ExtrasImport::store(const paradox::Table& books) {
    if (!loaded_) return;
    for (const auto& [line, row] : loaded_->rows)
        if (books.find({row[ENTRY], row[COMIC_NO], row[EDITION]}) == paradox::Table::npos)
            fault(line, QStringLiteral("no book %1 \"%2\" %3 in books.csv")
                            .arg(row[ENTRY].isInt() ? row[ENTRY].asInt() : 0)
                            .arg(text(row[COMIC_NO]).trimmed(), text(row[EDITION])));
    const QString path = extrasPath(directory_);
    const QDir covers(QDir(directory_).filePath(QString::fromLatin1(store::kCoversFolder)));
    for (const auto& [line, row] : loaded_->rows) {
        const QString cover = text(row[COVER]);
        if (cover.isEmpty()) continue;
        if (!QDir().mkpath(covers.path()))
            throw Exception(
                QStringLiteral("cannot create the directory %1").arg(covers.path()).toStdString());
        copyFile(QDir(loaded_->covers).filePath(cover), covers.filePath(cover));
        copied_ << cover;
    }
    auto table = paradox::Table::open(path.toStdString());
    created_ = true;  // an existing empty table is filled: undo removes it too
    table->beginBatch();
    for (const auto& [line, row] : loaded_->rows) {
        try {
            table->insert(row);
        } catch (const std::exception& e) {
            fault(line, QString::fromUtf8(e.what()));
        }
    }
    table->commitBatch();
    table->saveChanges();
}

}  // namespace admin
