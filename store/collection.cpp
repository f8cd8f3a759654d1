#include "store/collection.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdlib>

#include "platform/base/exception.h"
#include "platform/base/scope_guard.h"
#include "platform/db/session.h"
#include "store/table_room.h"

namespace store {

namespace {

paradox::FieldDef field(const char* name, paradox::FieldType type, int size = 0) {
    return paradox::FieldDef{name, type, size};
}

QString tablePath(const QString& directory, const char* table) {
    return TSession::TablePath(directory, QString::fromLatin1(table));
}

}  // namespace

paradox::TableSchema SeriesSchema() {
    using T = paradox::FieldType;
    paradox::TableSchema schema;
    schema.fields = {
        field("SERIES", T::Alpha, 60), field("PUBLISHER", T::Alpha, 30),
        field("ENTRY", T::AutoInc),    field("SERNOTE", T::Memo, 10),
        field("FAVORITE", T::Logical), field("WANTED", T::Logical),
        field("FORSALE", T::Logical),  field("NEW", T::Logical),
        field("OWNED", T::Short),
    };
    schema.keyFieldCount = 3;
    return schema;
}

paradox::TableSchema BooksSchema() {
    using T = paradox::FieldType;
    paradox::TableSchema schema;
    schema.fields = {
        field("ENTRY", T::Long),        field("COMIC_NO", T::Alpha, kComicNoWidth),
        field("EDITION", T::Alpha, 10), field("TITLE", T::Alpha, 80),
        field("ARTIST", T::Alpha, 80),  field("WRITER", T::Alpha, 80),
        field("QTY", T::Short),         field("PAID", T::Money),
        field("LOW", T::Money),         field("HIGH", T::Money),
        field("PERC", T::Short),        field("BOOKNOTE", T::Memo, 1),
        field("LOCATION", T::Memo, 1),  field("WANTED", T::Logical),
        field("FORSALE", T::Logical),   field("AUTOGRAPH", T::Logical),
    };
    schema.keyFieldCount = 3;
    return schema;
}

QString CollectionDirectory() {
    const QString override = qEnvironmentVariable("PKEEP_DIR");
    if (!override.isEmpty()) return override;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/panel-keep");
}

void RegisterAlias(const QString& directory) {
    Session().AddStandardAlias(QString::fromLatin1(kAlias), directory);
}

bool CollectionExists(const QString& directory) {
    for (const char* table : {kSeriesTable, kBooksTable})
        if (paradox::Table::exists(tablePath(directory, table).toStdString())) return true;
    return false;
}

void CreateCollection(const QString& directory) {
    if (CollectionExists(directory))
        throw EDatabaseError(
            QStringLiteral("A collection already exists in %1").arg(directory).toStdString());
    if (!QDir().mkpath(directory))
        throw EDatabaseError(
            QStringLiteral("Cannot create the directory %1").arg(directory).toStdString());
    const QString series = tablePath(directory, kSeriesTable);
    paradox::Table::create(series.toStdString(), SeriesSchema());
    const TUndoOnError noHalfCollection(
        [&series] { paradox::Table::remove(series.toStdString()); });
    paradox::TableLayout room;
    room.roomForRows = kBooksRoom;
    paradox::Table::create(tablePath(directory, kBooksTable).toStdString(), BooksSchema(), room);
}

QString AlignComicNo(const QString& number) {
    if (number.size() >= kComicNoWidth) return number;
    return QString(kComicNoWidth - number.size(), QLatin1Char(' ')) + number;
}

}  // namespace store
