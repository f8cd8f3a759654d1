// pkeep-admin import-from on a real collection: its report, and a real kill
// of the real program at every durable step of the commit, after which the
// collection holds either none of the import or all of it.
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include "tests/import/import_fixture.h"
#include "tests/tools/admin_support.h"

namespace {

using import_test::WriteFile;

const QByteArray kStart = "Series,Publisher,Issue,Qty\nSpawn,Image,1,1\nSpawn,Image,2,1\n";
const QByteArray kMore =
    "Series,Publisher,Issue,Title,Qty\n"
    "Spawn,Image,1,Questions,5\n"  // merged: the title is filled in
    "Spawn,Image,3,,2\n"           // added to a stored series
    "Savage Dragon,Image,1,,1\n"   // a new series, so both tables change
    "Savage Dragon,Image,2,,1\n";

// Runs pkeep-admin with the kill library preloaded.
int RunKilledAfter(const QString& collection, const QStringList& args, int fsyncs) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PKEEP_DIR", collection);
    env.insert("LD_PRELOAD", KILL_AT_FSYNC);
    env.insert("PK_KILL_AFTER_FSYNC", QString::number(fsyncs));
    process.setProcessEnvironment(env);
    process.start(PKEEP_ADMIN, args);
    process.waitForFinished(60000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// With its backups folder, so that the day's backup is not taken again.
void CopyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files | QDir::Hidden))
        ASSERT_TRUE(QFile::copy(from + "/" + name, to + "/" + name)) << name.toStdString();
    for (const QString& name :
         QDir(from).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        CopyFolder(from + "/" + name, to + "/" + name);
}

// The collection as pkeep-admin exports it (which undoes a cut-short import first).
QByteArray Exported(const QString& collection, const QString& into) {
    const AdminResult result = runAdmin(collection, {"export", into});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    return readAll(into + "/series.csv") + readAll(into + "/books.csv");
}

// Both tables row by row, read in this process once a cut-short import is undone.
QByteArray Dumped(const QString& collection) {
    import::RecoverInterruptedImport(collection);
    QByteArray dump;
    for (const char* name : {store::kSeriesTable, store::kBooksTable}) {
        auto table = paradox::Table::open(
            TSession::TablePath(collection, QString::fromLatin1(name)).toStdString());
        for (std::size_t i = 0; i < table->rowCount(); ++i) {
            for (const paradox::Value& v : table->row(i)) {
                if (v.isText())
                    dump += QByteArray::fromStdString(v.asText());
                else if (v.isInt())
                    dump += QByteArray::number(v.asInt());
                else if (v.isDouble())
                    dump += QByteArray::number(v.asDouble());
                else if (v.isBool())
                    dump += v.asBool() ? "T" : "F";
                dump += '|';
            }
            dump += '\n';
        }
    }
    return dump;
}

class AdminImportTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    void SetUp() override {
        ASSERT_EQ(runAdmin(path("start"), {"init"}).status, 0);
        WriteFile(path("start.csv"), kStart);
        WriteFile(path("more.csv"), kMore);
        const AdminResult first = runAdmin(path("start"), {"import-from", path("start.csv")});
        ASSERT_EQ(first.status, 0) << first.err.toStdString();
    }
    TestDir dir;
};

TEST_F(AdminImportTest, DryRunReportsAndTheImportStoresWhatItReported) {
    const QByteArray before = Exported(path("start"), path("before"));
    const AdminResult dry = runAdmin(path("start"), {"import-from", path("more.csv"), "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains("Format: CSV spreadsheet")) << dry.out.toStdString();
    EXPECT_TRUE(
        dry.out.contains("1 series and 3 books to add, 1 books to merge into those stored, "
                         "0 books stored already, 0 refused"))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains("Dry run: nothing was changed."));
    EXPECT_EQ(Exported(path("start"), path("after-dry")), before);

    const AdminResult real = runAdmin(path("start"), {"import-from", path("more.csv")});
    ASSERT_EQ(real.status, 0) << real.err.toStdString();
    EXPECT_TRUE(real.out.contains("1 series and 3 books added, 1 books merged"))
        << real.out.toStdString();
    const AdminResult again =
        runAdmin(path("start"), {"import-from", "--format", "csv", path("more.csv")});
    EXPECT_TRUE(
        again.out.contains("0 series and 0 books to add, 0 books to merge into those stored, "
                           "4 books stored already"))
        << again.out.toStdString();

    const AdminResult wrong =
        runAdmin(path("start"), {"import-from", "--format", "excel", path("more.csv")});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.err.contains("unknown format 'excel'")) << wrong.err.toStdString();
}

// Imports more.csv into a copy of `start` killed after each fsync in turn,
// until one import runs to its end: each time the collection holds none of
// the import or all of it, and the program undoes a cut-short one itself.
void KillAtEveryStep(const QString& start, const QString& work) {
    const QByteArray before = Dumped(start);
    CopyFolder(start, work + "/whole");
    ASSERT_EQ(runAdmin(work + "/whole", {"import-from", work + "/../more.csv"}).status, 0);
    const QByteArray after = Dumped(work + "/whole");
    ASSERT_NE(before, after);
    const QByteArray exportedBefore = Exported(start, work + "/export-before");

    int killedBefore = 0, killedAfter = 0;
    bool programUndid = false;
    for (int fsyncs = 1;; ++fsyncs) {
        ASSERT_LT(fsyncs, 200) << "the import never ran to its end";
        const QString collection = work + QString("/kill-%1").arg(fsyncs);
        CopyFolder(start, collection);
        const int status =
            RunKilledAfter(collection, {"import-from", work + "/../more.csv"}, fsyncs);
        if (!programUndid && QFile::exists(collection + "/.import-undo/importing")) {
            EXPECT_EQ(Exported(collection, collection + "-export"), exportedBefore);
            programUndid = true;
        }
        const QByteArray state = Dumped(collection);
        EXPECT_EQ(QDir(collection + "/.import-undo").entryList(QDir::Files | QDir::Hidden),
                  QStringList{"lock"})
            << "left behind after fsync " << fsyncs;
        if (state == before)
            ++killedBefore;
        else if (state == after)
            ++killedAfter;
        else
            ADD_FAILURE() << "killed after fsync " << fsyncs << ": half an import\n"
                          << state.toStdString();
        if (status != -1) break;  // it ran to the end without being killed
    }
    std::printf("killed %d times before the commit point, %d times after it\n", killedBefore,
                killedAfter);
    EXPECT_TRUE(programUndid);
    EXPECT_GT(killedBefore, 2);  // the kill fell inside the commit several times
    EXPECT_GT(killedAfter, 0);
}

// Into a collection holding books (stored row by row), and into an empty
// one (both tables written whole and put in place of the empty ones).
TEST_F(AdminImportTest, KilledAtAnyStepTheImportIsWholeOrAbsent) {
    QDir().mkpath(path("into-start"));
    KillAtEveryStep(path("start"), path("into-start"));
    ASSERT_EQ(runAdmin(path("empty"), {"init"}).status, 0);
    QDir().mkpath(path("into-empty"));
    KillAtEveryStep(path("empty"), path("into-empty"));
}

}  // namespace
