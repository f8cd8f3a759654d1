// A book's extras and cover follow it through the collection window: a
// changed key moves them, deleting the book or its series deletes them,
// changes made on the book page are stored with the book, and a post that
// is killed part-way never loses them.
#include <QApplication>
#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QProcess>

#include "store/book_extras.h"
#include "store/collection.h"
#include "tests/collection/collection_fixture.h"

namespace {

QByteArray picture(const char* format, QRgb colour) {
    QImage image(30, 45, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList coverFiles(const QString& collection) {
    return QDir(collection + "/covers").entryList(QDir::Files | QDir::Hidden);
}

store::BookKey key(int entry, const char* number, const char* edition = "") {
    return {entry, store::AlignComicNo(number), edition};
}

void giveExtras(const QString& collection, const store::BookKey& book, const char* grade,
                const QByteArray& cover) {
    store::BookExtrasStore extras(collection);
    extras.write(book, {grade, "CGC", "", QDate(2020, 5, 1), "a shop", "", ""});
    extras.setCover(book, store::CoverImage::FromBytes(cover, "cover"));
}

class ExtrasWindowTest : public CollectionWindowTest {
protected:
    QString collection() const { return dir.path() + "/pkeep"; }
};

TEST_F(ExtrasWindowTest, ChangedIssueNumberMovesTheExtrasAndDeletingTheBookDeletesThem) {
    const int entry = seedSeries("FLASH", "DC", 2);
    seedBook(entry, "1", 1);
    seedBook(entry, "2", 1);
    const QByteArray jpeg = picture("JPG", qRgb(200, 10, 10));
    giveExtras(collection(), key(entry, "1"), "9.6", jpeg);
    openWindow();
    showBookPage();
    form->TableBooks->First();
    typeInto(form->DBEditComicNo, "1A");
    save();
    const store::BookExtrasStore* extras = form->Extras();
    EXPECT_EQ(extras->read(key(entry, "1")), store::BookExtras{});
    EXPECT_EQ(extras->read(key(entry, "1A")).grade, "9.6");
    EXPECT_EQ(extras->read(key(entry, "1A")).bought, QDate(2020, 5, 1));
    EXPECT_EQ(contents(extras->coverPath(key(entry, "1A"))), jpeg);
    EXPECT_EQ(coverFiles(collection()), QStringList{QString("%1_1A_.jpg").arg(entry)});

    // An edit that keeps the key keeps the extras where they are.
    typeInto(form->DBEditQty, "3");
    save();
    EXPECT_EQ(extras->read(key(entry, "1A")).grade, "9.6");

    ASSERT_EQ(form->TableBooks->FieldByName("COMIC_NO")->AsString().trimmed(), "1A");
    answers = {mrOk};
    form->Delete1Click();
    EXPECT_EQ(storedBooks().size(), 1u);
    EXPECT_EQ(engineTable("extras.db")->rowCount(), 0u);
    EXPECT_TRUE(coverFiles(collection()).isEmpty());
}

TEST_F(ExtrasWindowTest, DeletingASeriesDeletesTheExtrasOfItsBooksOnly) {
    const int entry = seedSeries("SANDMAN", "DC", 2);
    seedBook(entry, "1", 1);
    seedBook(entry, "2", 1);
    const int other = seedSeries("SWAMP THING", "DC", 1);
    seedBook(other, "1", 1);
    for (const store::BookKey& book : {key(entry, "1"), key(entry, "2"), key(other, "1")})
        giveExtras(collection(), book, "8.0", picture("PNG", qRgb(0, 0, book.entry)));
    openWindow();
    showSeriesPage();
    form->TableSeries->First();  // SANDMAN
    answers = {mrOk};
    form->Delete1Click();
    ASSERT_EQ(engineTable("series.db")->rowCount(), 1u);
    const auto rows = engineTable("extras.db");
    ASSERT_EQ(rows->rowCount(), 1u);
    EXPECT_EQ(store::BookKey::OfRow(rows->row(0)), key(other, "1"));
    EXPECT_EQ(coverFiles(collection()), QStringList{QString("%1_1_.png").arg(other)});
}

TEST_F(ExtrasWindowTest, PageChangesAreStoredWithTheBookAndDroppedWithACancel) {
    const int entry = seedSeries("HULK", "MARVEL", 0);
    openWindow();
    showBookPage();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    typeInto(form->DBEditComicNo, "181");
    store::BookExtras values;
    values.grade = "4.0";
    values.upc = "036000291452";
    form->PendingExtras.values = values;
    const QByteArray png = picture("PNG", qRgb(0, 120, 0));
    form->PendingExtras.cover = store::CoverImage::FromBytes(png, "pasted");
    save();
    EXPECT_EQ(form->Extras()->read(key(entry, "181")).upc, "036000291452");
    EXPECT_EQ(contents(form->Extras()->coverPath(key(entry, "181"))), png);
    EXPECT_TRUE(form->PendingExtras.isEmpty());

    typeInto(form->DBEditQty, "1");
    form->PendingExtras.removeCover = true;
    undo();
    EXPECT_EQ(contents(form->Extras()->coverPath(key(entry, "181"))), png);
    EXPECT_TRUE(form->PendingExtras.isEmpty());
}

TEST_F(ExtrasWindowTest, OpeningAfterAnInterruptedChangeMovesOrphanedCoversAside) {
    const int entry = seedSeries("THOR", "MARVEL", 1);
    seedBook(entry, "1", 1);
    const QByteArray kept = picture("PNG", qRgb(1, 2, 3)), lost = picture("JPG", qRgb(9, 9, 9));
    giveExtras(collection(), key(entry, "1"), "7.0", kept);
    giveExtras(collection(), key(entry, "2"), "5.0", lost);  // its book never got stored
    QFile(collection() + "/extras.changing").open(QIODevice::WriteOnly);
    openWindow();
    EXPECT_EQ(engineTable("extras.db")->rowCount(), 1u);
    EXPECT_EQ(coverFiles(collection()), QStringList{QString("%1_1_.png").arg(entry)});
    EXPECT_EQ(contents(QString("%1/covers/orphaned/%2_2_.jpg").arg(collection()).arg(entry)), lost);
}

// The child program edits book 1 (quantity 1, grade 9.6, cover A) into
// book 1A (quantity 2, grade 9.8, cover B) and is killed after its n-th
// sync, rename, link or unlink, for every n until it finishes.
// Whatever the moment, the next opening finds the book under one of its
// two keys with exactly that key's extras and cover, and nothing else.
TEST_F(ExtrasWindowTest, AKillAnywhereInAPostLosesNoExtrasAndLeavesNoOrphans) {
    const QString model = dir.path() + "/model";
    store::CreateCollection(model + "/pkeep");
    const QByteArray before = picture("PNG", qRgb(10, 20, 30)),
                     after = picture("JPG", qRgb(250, 0, 0));
    int entry = 0;
    {
        auto series = paradox::Table::open((model + "/pkeep/series.db").toStdString());
        paradox::Row row(9);
        row[col::SERIES] = paradox::Value::text("X-MEN");
        row[col::OWNED] = paradox::Value::integer(1);
        entry = int(series->row(series->insert(row))[col::ENTRY].asInt());
        auto books = paradox::Table::open((model + "/pkeep/books.db").toStdString());
        paradox::Row book = key(entry, "1").values();
        book.resize(16);
        book[col::QTY] = paradox::Value::integer(1);
        books->insert(book);
    }
    giveExtras(model + "/pkeep", key(entry, "1"), "9.6", before);
    QFile newCover(dir.path() + "/new-cover.jpg");
    ASSERT_TRUE(newCover.open(QIODevice::WriteOnly));
    newCover.write(after);
    newCover.close();

    int kills = 0;
    for (int n = 1; n < 400; ++n) {
        const QString run = dir.path() + QString("/run%1").arg(n);
        ASSERT_TRUE(QDir().mkpath(run + "/pkeep/covers"));
        for (QDirIterator it(model + "/pkeep", QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString from = it.next();
            ASSERT_TRUE(
                QFile::copy(from, run + "/pkeep/" + QDir(model + "/pkeep").relativeFilePath(from)));
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", KILL_AT_SYNC);
        env.insert("PK_KILL_AFTER", QString::number(n));
        child.setProcessEnvironment(env);
        child.start(EXTRAS_POST_CHILD, {run, newCover.fileName()});
        ASSERT_TRUE(child.waitForFinished(20000));
        const bool killed = child.exitStatus() == QProcess::CrashExit;
        if (!killed) {
            ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
        }
        kills += killed;

        store::BookExtrasStore extras(run + "/pkeep");
        extras.tidyIfInterrupted();  // as the window does on opening
        auto books = paradox::Table::open((run + "/pkeep/books.db").toStdString());
        ASSERT_EQ(books->rowCount(), 1u) << "kill " << n;
        const store::BookKey stored = store::BookKey::OfRow(books->row(0));
        const bool moved = stored == key(entry, "1A");
        ASSERT_TRUE(moved || stored == key(entry, "1")) << "kill " << n;
        EXPECT_EQ(extras.read(stored).grade, moved ? "9.8" : "9.6") << "kill " << n;
        EXPECT_EQ(contents(extras.coverPath(stored)), moved ? after : before) << "kill " << n;
        EXPECT_EQ(paradox::Table::open((run + "/pkeep/extras.db").toStdString())->rowCount(), 1u)
            << "kill " << n;
        EXPECT_EQ(coverFiles(run + "/pkeep").size(), 1) << "kill " << n;
        if (!killed) {
            EXPECT_TRUE(moved);
            break;
        }
        QDir(run).removeRecursively();
    }
    EXPECT_GT(kills, 10);
}

}  // namespace
