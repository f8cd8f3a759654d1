// Backups on real collections in a temporary directory: the archive that
// ordinary tools open, archives that must be refused (truncated, altered,
// foreign, from a newer program, a folder that cannot take them), the
// rotation's choice over simulated days, the collection check, and the
// program's side: its backup after a change, File, Backups... and Verify.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest/QTest>
#include <map>

#include "app/main_form.h"
#include "maintenance/backup_archive.h"
#include "maintenance/backup_form.h"
#include "maintenance/backup_restore.h"
#include "maintenance/backup_rotation.h"
#include "maintenance/backup_service.h"
#include "maintenance/collection_check.h"
#include "platform/paradox/table.h"
#include "platform/widgets/dialogs.h"
#include "store/collection.h"
#include "tests/support/temp_dir.h"

namespace {

using paradox::Value;

Value text(const char* s) { return Value::text(s); }
Value integer(std::int64_t i) { return Value::integer(i); }

class BackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        qputenv("PKEEP_DIR", collection().toUtf8());
        store::CreateCollection(collection());
        auto series = table("series.db");
        auto books = table("books.db");
        // Two series; the first owns 3 (2 + 1), the second 4.
        series->insert({text("Amazing Tales"), text("Marble"), Value(), text("a note"),
                        Value::boolean(true), Value::boolean(false), Value::boolean(false),
                        Value::boolean(false), integer(3)});
        series->insert({text("Brave Ones"), text("DeCe"), Value(), Value(), Value::boolean(false),
                        Value::boolean(false), Value::boolean(false), Value::boolean(false),
                        integer(4)});
        addBook(*books, 1, "1", 2);
        addBook(*books, 1, "2", 1);
        addBook(*books, 2, "1", 4);
        series->saveChanges();
        books->saveChanges();
    }

    static void addBook(paradox::Table& books, int entry, const char* number, int qty) {
        books.insert({integer(entry), text(store::AlignComicNo(number).toUtf8().constData()),
                      text("First"), text("A title"), text("An artist"), text("A writer"),
                      integer(qty), Value::floating(2.5), Value(), Value(), Value(),
                      text("a long book note that goes to the memo file"), text("box 3"),
                      Value::boolean(false), Value::boolean(false), Value::boolean(false)});
    }

    QString collection() const { return dir.path() + "/collection"; }
    QString path(const QString& name) const { return collection() + "/" + name; }
    std::shared_ptr<paradox::Table> table(const char* name) const {
        return paradox::Table::open(path(name).toStdString());
    }
    // Every file of the collection with its bytes.
    std::map<QString, QByteArray> files() const {
        std::map<QString, QByteArray> out;
        for (const QString& name : QDir(collection()).entryList(QDir::Files)) {
            QFile f(path(name));
            f.open(QIODevice::ReadOnly);
            out[name] = f.readAll();
        }
        return out;
    }
    QStringList archives() const {
        return QDir(collection() + "/backups").entryList({"*.tar.zst"}, QDir::Files);
    }
    QAction* fileMenuItem(TMainForm& frame, const char* name) const {
        for (QAction* action : frame.FileMenu->actions())
            if (action->objectName() == name) return action;
        return nullptr;
    }
    QString backUp() { return backup::TakeBackup(collection(), "manual").archive; }
    static int tar(const QStringList& args, const QString& cwd = QString()) {
        QProcess p;
        if (!cwd.isEmpty()) p.setWorkingDirectory(cwd);
        p.start("tar", args);
        p.waitForFinished(30000);
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    // Expects `archive` to be refused with a message naming it, and the
    // collection left as it was.
    void expectRefused(const QString& archive, const char* because) {
        const auto before = files();
        try {
            backup::RestoreArchive(collection(), archive);
            ADD_FAILURE() << because << ": restored";
        } catch (const backup::EBackupError& e) {
            EXPECT_TRUE(QString(e.what()).contains(archive)) << because << ": " << e.what();
        }
        EXPECT_EQ(files(), before) << because;
    }

    TestDir dir;
};

TEST_F(BackupTest, ArchiveHoldsEveryFileAndItsManifestAndTarExtractsTheSameBytes) {
    const QString archive = backUp();
    ASSERT_TRUE(archive.endsWith(".tar.zst"));
    const backup::Manifest m = backup::ReadManifest(archive);
    EXPECT_EQ(m.rowCount("series.db"), 2);
    EXPECT_EQ(m.rowCount("books.db"), 3);
    EXPECT_EQ(m.version, "2.0");
    // The system's tar and zstd, not our reader, extract it.
    const QString out = dir.path() + "/extracted";
    QDir().mkpath(out);
    ASSERT_EQ(tar({"--zstd", "-xf", archive, "-C", out}), 0);
    const auto original = files();
    for (const char* name :
         {"series.db", "series.px", "series.mb", "books.db", "books.px", "books.mb"}) {
        QFile copy(out + "/" + name);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = copy.readAll();
        EXPECT_EQ(bytes, original.at(name)) << name;
        const backup::ManifestFile* entry = m.file(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry->sha256, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256))
            << name;
    }
    EXPECT_TRUE(QFile::exists(out + "/manifest.json"));
    EXPECT_TRUE(QDir(collection() + "/backups")
                    .entryList({".*part", ".staging*"}, QDir::AllEntries | QDir::Hidden)
                    .isEmpty());
}

TEST_F(BackupTest, DamagedForeignAndNewerArchivesAreRefusedNamingTheFile) {
    const QString archive = backUp();
    QFile in(archive);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray good = in.readAll();
    auto write = [&](const char* name, const QByteArray& bytes) {
        const QString p = dir.path() + "/" + name;
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return p;
    };
    expectRefused(write("truncated.tar.zst", good.left(good.size() * 2 / 3)), "truncated");
    // One byte of a table changed inside a well-formed archive: only the
    // manifest's hash can tell.  (A bit flipped in the compressed stream may
    // land in tar padding and change nothing that is restored.)
    const QString altered = dir.path() + "/altered";
    QDir().mkpath(altered);
    ASSERT_EQ(tar({"--zstd", "-xf", archive, "-C", altered}), 0);
    {
        QFile books(altered + "/books.db");
        ASSERT_TRUE(books.open(QIODevice::ReadWrite));
        QByteArray bytes = books.readAll();
        bytes[bytes.size() - 1] = static_cast<char>(bytes[bytes.size() - 1] ^ 0x40);
        books.seek(0);
        books.write(bytes);
    }
    ASSERT_EQ(tar({"--zstd", "-cf", dir.path() + "/altered.tar.zst", "manifest.json", "series.db",
                   "series.px", "series.mb", "books.db", "books.px", "books.mb"},
                  altered),
              0);
    expectRefused(dir.path() + "/altered.tar.zst", "altered");
    expectRefused(write("noise.tar.zst", QByteArray(5000, 'x')), "not an archive");
    expectRefused(dir.path() + "/missing.tar.zst", "missing");
    // A tar.zst of other files, and one whose manifest comes from a newer
    // program, both made by the system's tar.
    const QString foreign = dir.path() + "/foreign";
    QDir().mkpath(foreign);
    write("foreign/notes.txt", "hello");
    ASSERT_EQ(tar({"--zstd", "-cf", dir.path() + "/foreign.tar.zst", "notes.txt"}, foreign), 0);
    expectRefused(dir.path() + "/foreign.tar.zst", "foreign");
    const QString newer = dir.path() + "/newer";
    QDir().mkpath(newer);
    ASSERT_EQ(tar({"--zstd", "-xf", archive, "-C", newer}), 0);
    QFile manifest(newer + "/manifest.json");
    manifest.open(QIODevice::ReadOnly);
    const QByteArray json =
        manifest.readAll().replace("\"version\": \"2.0\"", "\"version\": \"3.1\"");
    manifest.close();
    write("newer/manifest.json", json);
    ASSERT_EQ(tar({"--zstd", "-cf", dir.path() + "/newer.tar.zst", "manifest.json", "series.db",
                   "series.px", "series.mb", "books.db", "books.px", "books.mb"},
                  newer),
              0);
    try {
        backup::VerifyArchive(dir.path() + "/newer.tar.zst");
        ADD_FAILURE() << "newer accepted";
    } catch (const backup::EBackupError& e) {
        EXPECT_TRUE(QString(e.what()).contains("newer than this program")) << e.what();
    }
}

TEST_F(BackupTest, AFolderThatCannotTakeBackupsIsNamedAndNothingIsLeft) {
    QFile blocker(dir.path() + "/not-a-folder");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QDir().mkpath(dir.path() + "/config");
    QFile ini(dir.path() + "/config/pkeep20.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(("[Backups]\nFolder=" + blocker.fileName() + "/backups\n").toUtf8());
    ini.close();
    const auto before = files();
    try {
        backUp();
        ADD_FAILURE() << "backed up into a file";
    } catch (const backup::EBackupError& e) {
        EXPECT_TRUE(QString(e.what()).contains(blocker.fileName())) << e.what();
    }
    EXPECT_EQ(files(), before);
}

// Backups on simulated days: `ages` in days before a fixed Wednesday noon,
// newest first.
QVector<QDateTime> takenDaysAgo(const QVector<double>& ages, const QDateTime& now) {
    QVector<QDateTime> times;
    for (double age : ages) times.push_back(now.addSecs(static_cast<qint64>(-age * 86400)));
    return times;
}

TEST(BackupRotation, KeepsTheLastOnesOnePerDayForAWeekAndOnePerWeekForEightWeeks) {
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 0));  // a Wednesday, local time
    const backup::RotationPolicy policy{3, 7, 8};
    // Newest first: five today (the last 3 kept), two yesterday (the newer
    // kept), one 6 days ago (kept: within the week), two 18 and 19 days ago
    // (Saturday and Friday of one week: the newer kept), one 70 days ago
    // (beyond eight weeks: gone).
    const QVector<double> ages{0.01, 0.02, 0.03, 0.04, 0.05, 1.1, 1.2, 6, 18, 19, 70};
    const QVector<bool> expected{true,  true, true, false, false, true,
                                 false, true, true, false, false};
    EXPECT_EQ(backup::PolicyKeeps(takenDaysAgo(ages, now), policy, now), expected);
}

TEST(BackupRotation, TheNewestBackupThatVerifiesStaysWhenNoKeptOneDoes) {
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 0));
    const backup::RotationPolicy policy{2, 0, 0};
    const QVector<QDateTime> times = takenDaysAgo({0.1, 0.2, 0.3, 0.4, 0.5}, now);
    // Only the fourth verifies: kept beside the two newest.
    const QVector<bool> keep =
        backup::BackupsToKeep(times, policy, now, [](int i) { return i == 3; });
    EXPECT_EQ(keep, (QVector<bool>{true, true, false, true, false}));
    // When a kept one verifies, the policy alone decides.
    EXPECT_EQ(backup::BackupsToKeep(times, policy, now, [](int) { return true; }),
              (QVector<bool>{true, true, false, false, false}));
}

TEST_F(BackupTest, CheckFindsWrongCountsAndLonelyBooksAndTheRecountRepairsTheCounts) {
    EXPECT_TRUE(backup::CheckCollection(collection()).ok());
    {
        auto series = table("series.db");
        paradox::Row first = series->row(0);
        first[8] = integer(9);
        series->update(0, first);
        addBook(*table("books.db"), 7, "1", 1);  // series 7 does not exist
    }
    backup::CheckReport report = backup::CheckCollection(collection());
    ASSERT_EQ(report.problems.size(), 2);
    EXPECT_EQ(report.problems[0].count, 1);
    EXPECT_TRUE(report.problems[0].repair.contains("--recount"));
    EXPECT_EQ(report.problems[1].count, 1);
    EXPECT_TRUE(report.problems[1].text.contains("belong to no series"));
    EXPECT_EQ(backup::RecountOwned(collection()), 1);
    EXPECT_EQ(table("series.db")->row(0)[8].asInt(), 3);
    EXPECT_EQ(backup::CheckCollection(collection()).problems.size(), 1);
}

TEST_F(BackupTest, CheckNamesADamagedIndexAndTheRebuild) {
    QFile px(path("books.px"));
    ASSERT_TRUE(px.open(QIODevice::ReadWrite));
    px.seek(0x800);  // the index blocks, after the header
    px.write(QByteArray(px.size() - 0x800, '\x55'));
    px.close();
    const backup::CheckReport report = backup::CheckCollection(collection());
    ASSERT_FALSE(report.ok());
    EXPECT_TRUE(report.problems[0].text.contains("books")) << report.text().toStdString();
    EXPECT_TRUE(report.problems[0].repair.contains("rebuild"));
}

TEST_F(BackupTest, TheProgramBacksUpItsFirstChangeAndFileBackupsRestoresAfterConfirming) {
    TMainForm frame;
    installBackups(frame);
    table("books.db")->erase(2);  // the day's first change, made in the program
    QTRY_COMPARE_WITH_TIMEOUT(archives().size(), 1, 20000);
    const auto backedUp = files();
    table("books.db")->erase(0);  // a second change that day: no backup
    QTest::qWait(200);
    EXPECT_EQ(archives().size(), 1);

    std::vector<TMessageRequest> asked;
    const TScopedMessageAnswerer answer([&](const TMessageRequest& r) {
        asked.push_back(r);
        return r.buttons & mbYes ? mrYes : mrOk;
    });
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TBackupsForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        seen = true;
        ASSERT_EQ(form->List->rowCount(), 1);
        EXPECT_EQ(form->List->item(0, 1)->text(), "2");  // books
        EXPECT_EQ(form->List->item(0, 2)->text(), "2");  // series
        EXPECT_EQ(form->List->item(0, 4)->text(), "yes");
        form->BtnRestore->click();
        EXPECT_EQ(form->List->rowCount(), 2);  // the state before the restore, kept
        form->BtnClose->click();
    });
    fileMenuItem(frame, "BackupsItem")->trigger();
    ASSERT_TRUE(seen);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].type, TMsgDlgType::mtConfirmation);
    EXPECT_TRUE(asked[1].text.contains("Restored")) << asked[1].text.toStdString();
    EXPECT_EQ(files(), backedUp);
}

// The user closes the frame after a change: the program quits as its last
// window closes and takes one more backup on the way out.
TEST_F(BackupTest, ClosingTheFrameAfterAChangeTakesABackupOfTheClosingState) {
    backUp();  // today's backup exists: the change below is not the day's first
    TMainForm frame;
    installBackups(frame);
    frame.show();
    table("books.db")->erase(2);
    QTimer::singleShot(0, &frame, [&] { EXPECT_TRUE(frame.close()); });
    QTimer::singleShot(20000, qApp, [] {
        ADD_FAILURE() << "the program did not quit when its frame closed";
        QApplication::quit();
    });
    QApplication::exec();
    int closing = 0;
    for (const QString& name : archives()) {
        const backup::Manifest m = backup::ReadManifest(collection() + "/backups/" + name);
        if (m.reason != "closing") continue;
        ++closing;
        EXPECT_EQ(m.rowCount("books.db"), 2);
    }
    EXPECT_EQ(closing, 1) << archives().join(' ').toStdString();
}

TEST_F(BackupTest, VerifyCollectionReportsWrongCountsAndRecountsWhenTheUserAgrees) {
    TMainForm frame;
    installBackups(frame);
    {
        auto series = table("series.db");
        paradox::Row second = series->row(1);
        second[8] = integer(1);
        series->update(1, second);
    }
    std::vector<TMessageRequest> asked;
    const TScopedMessageAnswerer answer([&](const TMessageRequest& r) {
        asked.push_back(r);
        return r.buttons & mbYes ? mrYes : mrOk;
    });
    fileMenuItem(frame, "VerifyItem")->trigger();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[0].text.contains("1 series in series.db have an owned count"))
        << asked[0].text.toStdString();
    EXPECT_TRUE(asked[1].text.contains("No problems found")) << asked[1].text.toStdString();
    EXPECT_EQ(table("series.db")->row(1)[8].asInt(), 4);
}

}  // namespace
