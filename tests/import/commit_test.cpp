// Storing a plan: the dry run changes nothing, merging goes by key, a second
// import adds nothing, and a cancelled commit leaves the collection as it was.
#include <QDirIterator>

#include "tests/import/import_fixture.h"

namespace {

using import_test::ImportTest;
using import_test::WriteFile;

const QByteArray kSpawnCsv =
    "Series,Publisher,Issue,Title,Qty,Condition\n"
    "Spawn,Image,1,Questions,1,NM\n"
    "Spawn,Image,2,Hell,1,\n"
    "Savage Dragon,Image,1,,2,VF\n";

// Every file of the collection and its bytes.
std::map<QString, QByteArray> Snapshot(const QString& directory) {
    std::map<QString, QByteArray> files;
    QDirIterator it(directory, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) files[path] = file.readAll();
    }
    return files;
}

class CommitTest : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        WriteFile(file("spawn.csv"), kSpawnCsv);
    }
    import::ImportPlan Plan() {
        import::ReadOptions options{
            import::Format::Csv, import::GuessColumns(import::SniffCsv(file("spawn.csv")).header)};
    return import::ReadPlan(file("spawn.csv"), options, collection());
}
    // Spawn (Image) with issue 1 stored already, as another program may have
    // written it (not in capitals): two copies, no title.
    void StoreSpawnOne() {
    auto series = Open(store::kSeriesTable);
    auto books = Open(store::kBooksTable);
    paradox::Row s(9, paradox::Value::boolean(false));
    s[0] = paradox::Value::text("Spawn");
    s[1] = paradox::Value::text("Image");
    s[2] = s[3] = paradox::Value();
    s[8] = paradox::Value::integer(2);
    const std::int64_t entry = series->row(series->insert(s))[2].asInt();
    paradox::Row b(16);
    b[0] = paradox::Value::integer(entry);
    b[1] = paradox::Value::text(store::AlignComicNo("1").toStdString());
    b[6] = paradox::Value::integer(2);
    b[10] = paradox::Value::integer(60);
    books->insert(b);
    series->saveChanges();
    books->saveChanges();
}
};  // namespace

TEST_F(CommitTest, DryRunChangesNothing) {
    StoreSpawnOne();
    const auto before = Snapshot(collection());
    const import::PlanCounts counts = Plan().Counts();
    EXPECT_EQ(counts.seriesAdded, 1);
    EXPECT_EQ(counts.booksAdded, 2);
    EXPECT_EQ(counts.booksMerged, 1);
    EXPECT_EQ(Snapshot(collection()), before);
}

TEST_F(CommitTest, MergesByKeyAndTheSecondImportAddsNothing) {
    StoreSpawnOne();
    const import::CommitResult result = import::CommitPlan(Plan(), collection());
    EXPECT_EQ(result.seriesAdded, 1);
    EXPECT_EQ(result.booksAdded, 2);
    EXPECT_EQ(result.booksMerged, 1);
    std::vector<import_test::BookRow> books = Books();
    ASSERT_EQ(books.size(), 3u);
    const auto* one = Find(books, "Spawn", "1");
    EXPECT_EQ(one->title, "Questions");  // a blank field filled in
    EXPECT_EQ(one->qty, 2);              // what was stored stays
    EXPECT_EQ(one->perc, 60);
    EXPECT_EQ(Owned(), (std::map<QString, std::int64_t>{{"SAVAGE DRAGON (IMAGE)", 2},
                                                        {"Spawn (Image)", 3}}));

    const auto before = Snapshot(collection());
    const import::ImportPlan again = Plan();
    EXPECT_EQ(again.Counts().booksAdded, 0);
    EXPECT_EQ(again.Counts().seriesAdded, 0);
    EXPECT_EQ(again.Counts().booksMerged, 0);
    EXPECT_EQ(again.Counts().booksUnchanged, 3);
    const import::CommitResult second = import::CommitPlan(again, collection());
    EXPECT_EQ(second.booksAdded + second.booksMerged + second.seriesAdded, 0);
    EXPECT_EQ(Books().size(), 3u);
    EXPECT_EQ(Owned()["Spawn (Image)"], 3);
    EXPECT_EQ(Snapshot(collection()), before);
}

TEST_F(CommitTest, CancelledCommitLeavesTheCollectionAsItWas) {
    StoreSpawnOne();
    const auto before = Snapshot(collection());
    const import::ImportPlan plan = Plan();
    // Cancelled once every row is written, before the tables are committed.
    bool asked = false;
    EXPECT_THROW(import::CommitPlan(plan, collection(),
                                    [&asked](qint64 done, qint64 total) {
                                        asked = true;
                                        return done < total;
                                    }),
                 import::EImportCancelled);
    EXPECT_TRUE(asked);
    auto after = Snapshot(collection());
    // The lock file of the undo folder may stay; nothing else is new.
    after.erase(collection() + "/.import-undo/lock");
    EXPECT_EQ(after, before);
    EXPECT_EQ(Books().size(), 1u);
}

// A new series owning more books than OWNED holds refuses the whole import.
TEST_F(CommitTest, NewSeriesOwningTooManyBooksStoresNothing) {
    StoreSpawnOne();
    WriteFile(file("spawn.csv"),
              "Series,Publisher,Issue,Qty\nSpawn,Image,3,1\nMaus,Pantheon,1,20000\n"
              "Maus,Pantheon,2,20000\n");
    const import::ImportPlan plan = Plan();
    const auto before = Snapshot(collection());
    try {
        import::CommitPlan(plan, collection());
        ADD_FAILURE() << "the import was stored";
    } catch (const import::EImportError& e) {
        EXPECT_STREQ(e.what(), "the series MAUS would own 40000 books, more than 32767");
    }
    auto after = Snapshot(collection());
    after.erase(collection() + "/.import-undo/lock");
    EXPECT_EQ(after, before);
}

}  // namespace
