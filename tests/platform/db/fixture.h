#pragma once
// A collection in a temporary directory, the alias PKEEP pointing at it, and
// helpers that put rows straight into the engine (so the dataset layer is
// checked against data it did not write).

#include <gtest/gtest.h>

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/datasource.h"
#include "platform/db/table.h"
#include "store/collection.h"
#include "tests/support/temp_dir.h"

class CollectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        store::CreateCollection(dir.path());
        store::RegisterAlias(dir.path());
    }

    std::shared_ptr<paradox::Table> engine(const char* name) {
        return paradox::Table::open(dir.file(name));
    }

    // Adds a series straight to the engine; returns its ENTRY.
    int addSeries(const std::string& name, const std::string& publisher, int owned = 0,
                  bool favorite = false, bool wanted = false, bool forSale = false) {
        auto table = engine("series.db");
        paradox::Row row(9);
        row[0] = paradox::Value::text(name);
        row[1] = paradox::Value::text(publisher);
        row[4] = paradox::Value::boolean(favorite);
        row[5] = paradox::Value::boolean(wanted);
        row[6] = paradox::Value::boolean(forSale);
        row[8] = paradox::Value::integer(owned);
        std::size_t position = table->insert(row);
        return static_cast<int>(table->row(position)[2].asInt());
    }

    struct Book {
        int entry;
        std::string number;  // as typed: stored right-aligned
        int qty = 1;
        std::string edition = "1ST";
        bool wanted = false;
        bool forSale = false;
        bool autograph = false;
        double paid = 0, high = 0;
        int perc = 100;
    };

    void addBook(const Book& book) {
        auto table = engine("books.db");
        paradox::Row row(16);
        row[0] = paradox::Value::integer(book.entry);
        row[1] = paradox::Value::text(
            store::AlignComicNo(QString::fromStdString(book.number)).toStdString());
        row[2] = paradox::Value::text(book.edition);
        row[6] = paradox::Value::integer(book.qty);
        row[7] = paradox::Value::floating(book.paid);
        row[8] = paradox::Value::floating(0);
        row[9] = paradox::Value::floating(book.high);
        row[10] = paradox::Value::integer(book.perc);
        row[13] = paradox::Value::boolean(book.wanted);
        row[14] = paradox::Value::boolean(book.forSale);
        row[15] = paradox::Value::boolean(book.autograph);
        table->insert(row);
    }

    // Opens the two tables as the collection window does: books a detail of
    // series on ENTRY.
    void openLinked() {
        series.SetDatabaseName("PKEEP");
        series.SetTableName("series.db");
        dataSeries.SetDataSet(&series);
        books.SetDatabaseName("PKEEP");
        books.SetTableName("books.DB");
        books.SetIndexFieldNames("ENTRY");
        books.SetMasterSource(&dataSeries);
        books.SetMasterFields("ENTRY");
        dataBooks.SetDataSet(&books);
        series.Open();
        books.Open();
    }

    // Values of one field over every visible row, first to last.
    static std::vector<QString> column(TDataSet& table, const char* field) {
        std::vector<QString> values;
        for (table.First(); !table.Eof(); table.Next())
            values.push_back(table.FieldByName(field)->AsString());
        return values;
    }

    TestDir dir;
    TTable series, books;
    TDataSource dataSeries, dataBooks;
};
