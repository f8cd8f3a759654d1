// pkeep-admin backup, backups, restore and verify as a user runs them: the
// real program on a collection it made, and the soak script that kills it
// while it backs up and restores (a few kills here; 100 and more by hand).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <map>

#include "platform/paradox/table.h"
#include "tests/tools/admin_support.h"

namespace {

constexpr int kOwned = 8;  // OWNED in the series table

class AdminBackup : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        ASSERT_EQ(admin({"init"}).status, 0);
        demo = admin({"demo", "--series", "30", "--books", "600"});
        ASSERT_EQ(demo.status, 0) << demo.err.toStdString();
    }

    QString collection() const { return dir.path() + "/collection"; }
    QString backups() const { return collection() + "/backups"; }
    AdminResult admin(const QStringList& args) { return runAdmin(collection(), args); }
    QStringList archives() const {
        return QDir(backups()).entryList({"*.tar.zst"}, QDir::Files, QDir::Name);
    }
    std::shared_ptr<paradox::Table> table(const char* name) const {
        return paradox::Table::open((collection() + "/" + name).toStdString());
    }
    std::map<QString, QByteArray> files() const {
        std::map<QString, QByteArray> out;
        for (const QString& name : QDir(collection()).entryList(QDir::Files))
            out[name] = readAll(collection() + "/" + name);
        return out;
    }
    // Changes a book's title: a change that leaves the collection sound.
    void retitleBook(std::size_t position) const {
        auto books = table("books.db");
        paradox::Row row = books->row(position);
        row[3] = paradox::Value::text("Retitled");
        books->update(position, row);
    }
    // Makes the first series' owned count wrong, for a recount to repair.
    void spoilOwnedCount() const {
        auto series = table("series.db");
        paradox::Row row = series->row(0);
        row[kOwned] = paradox::Value::integer(row[kOwned].asInt() + 5);
        series->update(0, row);
    }

    TestDir dir;
    AdminResult demo;
};

// verify reports a wrong owned count with its repair; the repair is a
// change, but not the day's first, so no backup follows it.
TEST_F(AdminBackup, VerifyNamesTheRepairAndOnlyTheDaysFirstChangeIsBackedUp) {
    ASSERT_EQ(archives().size(), 1) << "init and demo leave one backup";
    EXPECT_TRUE(demo.out.contains("Backed up the day's first change")) << demo.out.toStdString();
    spoilOwnedCount();
    const AdminResult check = admin({"verify"});
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(check.out.contains("1 series in series.db have an owned count"))
        << check.out.toStdString();
    EXPECT_TRUE(check.out.contains("pkeep-admin verify --recount"));
    const AdminResult recount = admin({"verify", "--recount"});
    EXPECT_EQ(recount.status, 0) << recount.out.toStdString();
    EXPECT_TRUE(recount.out.contains("Recounted the owned counts of 1 series"));
    EXPECT_EQ(archives().size(), 1);
    // Yesterday's backup: today's first change gets one of its own.
    const QString yesterday =
        QDateTime::currentDateTimeUtc().addDays(-1).toString("yyyyMMdd-HHmmss");
    ASSERT_TRUE(QFile::rename(backups() + "/" + archives()[0],
                              backups() + "/pkeep-" + yesterday + ".tar.zst"));
    spoilOwnedCount();
    EXPECT_EQ(admin({"verify", "--recount"}).status, 0);
    EXPECT_EQ(archives().size(), 2);
    // No collection at all: a rebuild cannot make one up.
    const AdminResult none = runAdmin(dir.path() + "/nothing-here", {"verify"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.out.contains("Repair: pkeep-admin init")) << none.out.toStdString();
    EXPECT_FALSE(none.out.contains("pkeep-admin rebuild")) << none.out.toStdString();
}

TEST_F(AdminBackup, ListRestoreAndUndoOfTheRestore) {
    const AdminResult taken = admin({"backup"});
    ASSERT_EQ(taken.status, 0) << taken.err.toStdString();
    EXPECT_TRUE(taken.out.contains("Backed up 30 series and 600 books")) << taken.out.toStdString();
    const AdminResult list = admin({"backups", "--verify"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out.count("600 books, 30 series"), 2) << list.out.toStdString();
    EXPECT_EQ(list.out.count("verified"), 2) << list.out.toStdString();
    const auto saved = files();
    const QString archive = archives().last();
    retitleBook(5);
    const auto changed = files();

    const AdminResult restored = admin({"restore", archive});
    ASSERT_EQ(restored.status, 0) << restored.err.toStdString();
    EXPECT_EQ(files(), saved);
    const QString undo = restored.out.section("backed up in ", 1).section(";", 0, 0);
    ASSERT_TRUE(QFile::exists(undo)) << restored.out.toStdString();
    ASSERT_EQ(admin({"restore", undo}).status, 0);
    EXPECT_EQ(files(), changed);
    EXPECT_EQ(admin({"verify"}).status, 0);

    // An archive the user keeps elsewhere, named from the folder it is in.
    const QString elsewhere = collection() + "-elsewhere";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::copy(backups() + "/" + archive, elsewhere + "/kept.tar.zst"));
    const AdminResult fromHere = runAdmin(collection(), {"restore", "kept.tar.zst"}, elsewhere);
    ASSERT_EQ(fromHere.status, 0) << fromHere.err.toStdString();
    EXPECT_EQ(files(), saved);
}

TEST_F(AdminBackup, NothingIsReplacedOrBackedUpWhileAnotherProgramHasTheCollection) {
    ASSERT_EQ(admin({"backup"}).status, 0);
    const QString archive = archives().last();
    const auto before = files();
    const QStringList archivesBefore = archives();
    {
        const auto held = table("series.db");  // the program, say
        const AdminResult restore = admin({"restore", archive});
        EXPECT_EQ(restore.status, 1);
        EXPECT_TRUE(restore.err.contains("series.db is in use")) << restore.err.toStdString();
        const AdminResult backup = admin({"backup"});
        EXPECT_EQ(backup.status, 1);
        EXPECT_TRUE(backup.err.contains("the backup was skipped")) << backup.err.toStdString();
        EXPECT_EQ(admin({"verify"}).status, 1);
    }
    EXPECT_EQ(files(), before);
    EXPECT_EQ(archives(), archivesBefore);
}

// A disk that fills up while the backup copies the files (a file size limit
// stands in for it): the message names the file, nothing half-written stays.
TEST_F(AdminBackup, ADiskThatFillsUpLeavesNoPartOfTheBackupAndTheCollectionAsItWas) {
    const auto before = files();
    const QStringList archivesBefore = archives();
    QProcess limited;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PKEEP_DIR", collection());
    limited.setProcessEnvironment(env);
    limited.start("bash", {"-c", "trap '' XFSZ; ulimit -f 64; exec \"$0\" backup", PKEEP_ADMIN});
    ASSERT_TRUE(limited.waitForFinished(60000));
    EXPECT_EQ(limited.exitCode(), 1);
    const QString err = QString::fromUtf8(limited.readAllStandardError());
    EXPECT_TRUE(err.contains(backups()) && err.contains("File too large")) << err.toStdString();
    EXPECT_EQ(files(), before);
    EXPECT_EQ(archives(), archivesBefore);
    QStringList left =
        QDir(backups()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.removeAll(".verified");
    EXPECT_EQ(left, archivesBefore);
}

// A restore stopped after each of its renames in turn (the undo backup's
// archive, the list of verified archives, the journal, then every file put
// into place), as a crash would stop it: the next run of the tool leaves
// the collection whole, the old one or the restored one, and restored as
// soon as the journal was in place.
TEST_F(AdminBackup, ARestoreCutShortAtAnyRenameLeavesTheOldOrTheRestoredCollection) {
    ASSERT_EQ(admin({"backup"}).status, 0);
    const QString archive = backups() + "/" + archives().last();
    const auto restored = files();
    retitleBook(0);
    const auto old = files();
    bool decided = false;
    int rename = 1;
    for (;; ++rename) {
        QProcess cut;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PKEEP_DIR", collection());
        env.insert("LD_PRELOAD", KILL_AT_RENAME);
        env.insert("PK_KILL_AFTER_RENAME", QString::number(rename));
        cut.setProcessEnvironment(env);
        cut.start(PKEEP_ADMIN, {"restore", archive});
        cut.waitForFinished(60000);
        ASSERT_EQ(admin({"verify"}).status, 0) << "cut after rename " << rename;
        const auto now = files();
        ASSERT_TRUE(now == old || now == restored) << "cut after rename " << rename;
        // Once a cut at one rename ends restored, every later cut does too.
        if (decided) {
            EXPECT_TRUE(now == restored) << "cut after rename " << rename;
        }
        decided = decided || now == restored;
        if (cut.exitStatus() == QProcess::NormalExit) break;  // finished before this rename
        for (const auto& [name, bytes] : old) writeAll(collection() + "/" + name, bytes);
    }
    EXPECT_TRUE(decided);
    EXPECT_GE(rename, 8) << "the journal and the seven files each come with a rename";
}

TEST(BackupSoak, KillsDuringBackupAndRestoreLoseNothing) {
    QProcess soak;
    soak.start(BACKUP_SOAK, {PKEEP_ADMIN, "4", "1500"});
    ASSERT_TRUE(soak.waitForFinished(60000));
    EXPECT_EQ(soak.exitCode(), 0) << soak.readAllStandardError().toStdString();
}

}  // namespace
