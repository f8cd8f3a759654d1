#pragma once
// A collection in a temporary directory, files of the other programs
// written into it (zips through libzip), and the import run on them.

#include <gtest/gtest.h>
#include <zip.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <map>
#include <vector>

#include "import/import_api.h"
#include "platform/db/session.h"
#include "platform/paradox/table.h"
#include "store/collection.h"
#include "tests/support/temp_dir.h"

namespace import_test {

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

// A zip archive holding `entries` (name -> bytes), deflated.
inline void WriteZip(const QString& path, const std::map<QString, QByteArray>& entries) {
    int error = 0;
    zip_t* archive =
        zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.constData(), bytes.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);  // writes while the buffers above still live
}

struct BookRow {
    QString series, publisher, comicNo, edition, title, artist, writer;
    std::int64_t qty = 0, perc = 0;
    double paid = -1;  // -1: blank
    QString note, location;
    bool autograph = false;
};

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override { store::CreateCollection(collection()); }
    QString collection() const { return dir.path() + "/collection"; }
    QString file(const QString& name) const { return dir.path() + "/" + name; }

    std::shared_ptr<paradox::Table> Open(const char* table) const {
        return paradox::Table::open(
            TSession::TablePath(collection(), QString::fromLatin1(table)).toStdString());
    }

    // Reads, plans and commits, as the command does.
    import::ImportPlan Import(const QString& path, bool takeShortened = false,
                              import::ColumnMap columns = {}) {
        import::ReadOptions options{import::DetectFormat(path), std::move(columns), takeShortened};
    if (options.format == import::Format::Csv && options.columns.empty())
        options.columns = import::GuessColumns(import::SniffCsv(path).header);
    import::ImportPlan plan = import::ReadPlan(path, options, collection());
    import::CommitPlan(plan, collection());
    return plan;
}

// Every book with its series' name and publisher, in key order.
std::vector<BookRow>
Books() const {
    auto series = Open(store::kSeriesTable);
    auto books = Open(store::kBooksTable);
    std::map<std::int64_t, std::pair<QString, QString>> names;
    for (std::size_t i = 0; i < series->rowCount(); ++i) {
        const paradox::Row& r = series->row(i);
        names[r[2].asInt()] = {Text(r[0]), Text(r[1])};
    }
    std::vector<BookRow> rows;
    for (std::size_t i = 0; i < books->rowCount(); ++i) {
        const paradox::Row& r = books->row(i);
        BookRow row;
        row.series = names[r[0].asInt()].first;
        row.publisher = names[r[0].asInt()].second;
        row.comicNo = Text(r[1]);
        row.edition = Text(r[2]);
        row.title = Text(r[3]);
        row.artist = Text(r[4]);
        row.writer = Text(r[5]);
        row.qty = r[6].isNull() ? 0 : r[6].asInt();
        row.paid = r[7].isNull() ? -1 : r[7].asDouble();
        row.perc = r[10].isNull() ? 0 : r[10].asInt();
        row.note = Text(r[11]);
        row.location = Text(r[12]);
        row.autograph = r[15].isBool() && r[15].asBool();
        rows.push_back(row);
    }
    return rows;
}

// SERIES (PUBLISHER) -> OWNED.
std::map<QString, std::int64_t> Owned() const {
    auto series = Open(store::kSeriesTable);
    std::map<QString, std::int64_t> owned;
    for (std::size_t i = 0; i < series->rowCount(); ++i) {
        const paradox::Row& r = series->row(i);
        owned[Text(r[0]) + " (" + Text(r[1]) + ")"] = r[8].isNull() ? 0 : r[8].asInt();
    }
    return owned;
}

const BookRow* Find(const std::vector<BookRow>& rows, const QString& series,
                    const QString& issue) const {
    for (const BookRow& row : rows)
        if (row.series == series && row.comicNo.trimmed() == issue) return &row;
    return nullptr;
}

static QString Text(const paradox::Value& v) {
    return v.isText() ? QString::fromStdString(v.asText()) : QString();
}

TestDir dir;
};  // namespace import_test

// Runs `call` and returns the message of the EImportError it raises ("" when
// it raises none).
template <typename Call>
std::string ImportErrorOf(Call call) {
    try {
        call();
    } catch (const import::EImportError& e) {
        return e.message();
    }
    return {};
}

}  // namespace import_test
