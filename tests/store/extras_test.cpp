// The book extras table and covers folder on real files: the table as an
// independent reader (pxlib) sees it, covers stored byte for byte, refused
// images, a changed key, and the tidy after an interrupted change; the
// grade scale and the checks of typed values.
#include <gtest/gtest.h>
extern "C" {
#include <paradox.h>
}

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSet>

#include "store/book_extras.h"
#include "store/collection.h"
#include "store/condition.h"
#include "store/extras_checks.h"
#include "store/grade_scale.h"
#include "tests/support/temp_dir.h"

namespace {

using store::BookExtras;
using store::BookKey;

QByteArray encoded(const char* format, int width = 40, int height = 60) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 5, y * 3, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

class ExtrasTest : public ::testing::Test {
protected:
    void SetUp() override {
        store::CreateCollection(dir.path());
        auto books = paradox::Table::open(dir.file("books.db"));
        for (const BookKey& key : {one, two}) {
            paradox::Row row = key.values();
            row.resize(16);
            books->insert(row);
        }
    }

    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir.path() + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList coverFiles(const QString& sub = QString()) {
        return QDir(dir.path() + "/covers/" + sub).entryList(QDir::Files | QDir::Hidden);
    }
    void removeBook(const BookKey& key) {
        auto books = paradox::Table::open(dir.file("books.db"));
        books->erase(books->find(key.values()));
    }

    TestDir dir;
    BookKey one{1, store::AlignComicNo("1"), ""};
    BookKey two{1, store::AlignComicNo("2"), "2nd"};
};

TEST_F(ExtrasTest, TableIsCreatedOnFirstWriteAndReadByPxlibWithTheBooksBlockSize) {
    store::BookExtrasStore extras(dir.path());
    EXPECT_EQ(extras.read(one), BookExtras{});
    EXPECT_FALSE(QFile::exists(dir.path() + "/extras.db"));  // reading creates nothing

    extras.write(two, {"9.8", "CGC", "4012345001", QDate(2021, 3, 14), "", "036000291452", ""});
    EXPECT_EQ(extras.read(two).certificate, "4012345001");
    extras.write(one, {"", "", "", {}, "", "03600029145200111", ""});
    // A scanner reads the code with or without its add-on.
    EXPECT_EQ(extras.findByUpc("0 36000 29145 2"), (std::vector<BookKey>{two}));
    EXPECT_EQ(extras.findByUpc("03600029145200111"), (std::vector<BookKey>{one}));
    EXPECT_EQ(extras.findByUpc("03600029145200222"), (std::vector<BookKey>{one, two}));
    EXPECT_TRUE(extras.findByUpc("036000291453").empty());
    extras.write(one, {});
    EXPECT_EQ(extras.read(two).bought, QDate(2021, 3, 14));

    PX_boot();
    pxdoc_t* doc = PX_new();
    ASSERT_EQ(PX_open_file(doc, dir.file("extras.db").c_str()), 0);
    EXPECT_EQ(doc->px_head->px_primarykeyfields, 3);
    EXPECT_EQ(doc->px_head->px_maxtablesize, 16);  // as the books: room for two million
    ASSERT_EQ(PX_get_num_records(doc), 1);
    pxfield_t* fields = PX_get_fields(doc);
    const char* names[] = {"ENTRY", "COMIC_NO", "EDITION", "GRADE", "GRADER",
                           "CERT",  "BOUGHT",   "SOURCE",  "UPC",   "COVER"};
    ASSERT_EQ(PX_get_num_fields(doc), 10);
    for (int f = 0; f < 10; ++f) EXPECT_STREQ(fields[f].px_fname, names[f]);
    EXPECT_EQ(fields[6].px_ftype, pxfDate);
    EXPECT_EQ(fields[7].px_ftype, pxfMemoBLOb);
    pxval_t** values = PX_retrieve_record(doc, 0);
    ASSERT_TRUE(values);
    EXPECT_EQ(std::string(values[2]->value.str.val), "2nd");
    EXPECT_EQ(std::string(values[3]->value.str.val), "9.8");
    int y = 0, m = 0, d = 0;
    PX_SdnToGregorian(values[6]->value.lval + 1721425, &y, &m, &d);
    EXPECT_EQ(QDate(y, m, d), QDate(2021, 3, 14));
    PX_close(doc);
    PX_delete(doc);
}

TEST_F(ExtrasTest, CoverIsStoredByteForByteUnderTheBooksKeyAndRemovedWithTheRow) {
    store::BookExtrasStore extras(dir.path());
    const QByteArray jpeg = encoded("JPG");
    extras.setCover(one, store::CoverImage::FromFile(writeFile("scan.jpeg", jpeg)));
    EXPECT_EQ(readFile(extras.coverPath(one)), jpeg);
    EXPECT_EQ(coverFiles(), QStringList{"1_1_.jpg"});
    EXPECT_EQ(extras.thumbnail(one, QSize(20, 20)).size(), QSize(13, 20));

    // A new cover in another format replaces the file, and the thumbnail follows.
    extras.setCover(one, store::CoverImage::FromBytes(encoded("PNG", 90, 45), "drop"));
    EXPECT_EQ(coverFiles(), QStringList{"1_1_.png"});
    EXPECT_EQ(extras.thumbnail(one, QSize(20, 20)).size(), QSize(20, 10));

    const QByteArray webp = encoded("WEBP");  // where Qt's image plugins read WebP
    extras.setCover(one, store::CoverImage::FromBytes(webp, "webp"));
    EXPECT_EQ(readFile(extras.coverPath(one)), webp);
    EXPECT_EQ(coverFiles(), QStringList{"1_1_.webp"});

    extras.write(one, {"9.4", "", "", {}, "", "", ""});  // the cover stays
    EXPECT_EQ(extras.read(one).cover, "1_1_.webp");
    extras.removeCover(one);
    EXPECT_TRUE(coverFiles().isEmpty());
    EXPECT_EQ(extras.read(one).grade, "9.4");
    extras.erase(one);
    EXPECT_EQ(paradox::Table::open(dir.file("extras.db"))->rowCount(), 0u);
}

TEST_F(ExtrasTest, CoverNamesOfDifferentKeysDiffer) {
    QSet<QString> names;
    for (const BookKey& key :
         {BookKey{1, store::AlignComicNo("1_"), ""}, BookKey{1, store::AlignComicNo("1"), "_"},
          BookKey{1, store::AlignComicNo("1/2"), ""}, BookKey{1, store::AlignComicNo("1%2F2"), ""},
          BookKey{11, store::AlignComicNo("1"), ""}, BookKey{1, store::AlignComicNo("11"), ""},
          BookKey{1, " 1", ""}, BookKey{1, "1", ""}})
        names.insert(store::CoverFileName(key, "jpg"));
    EXPECT_EQ(names.size(), 8);
    for (const QString& name : names) EXPECT_FALSE(name.contains('/')) << name.toStdString();
}

TEST_F(ExtrasTest, BadImagesAreRefusedWithAMessageAndNothingIsStored) {
    const QByteArray png = encoded("PNG"), jpeg = encoded("JPG");
    struct Case {
        QString file;
        QByteArray bytes;
        const char* says;
    };
    QFile big(dir.path() + "/huge.jpg");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(jpeg);
    ASSERT_TRUE(big.resize(200LL * 1024 * 1024));  // sparse: no 200 MB written
    big.close();
    const Case cases[] = {
        {"notes.jpg", "just some text, not a picture\n", "is not a JPEG, PNG or WebP image"},
        {"cut.png", png.chopped(12), "cut short"},  // only its end chunk is missing
        {"cut.jpg", jpeg.chopped(10), "cut short"},
        {"cut.webp", encoded("WEBP").chopped(30), "cut short"},
        {"empty.png", QByteArray(), "is not a JPEG, PNG or WebP image"},
    };
    store::BookExtrasStore extras(dir.path());
    for (const Case& c : cases) {
        const QString path = writeFile(c.file, c.bytes);
        try {
            extras.setCover(one, store::CoverImage::FromFile(path));
            ADD_FAILURE() << c.file.toStdString() << " was taken";
        } catch (const store::ECoverError& e) {
            EXPECT_NE(e.message().find(c.says), std::string::npos) << e.message();
            EXPECT_NE(e.message().find(c.file.toStdString()), std::string::npos) << e.message();
        }
    }
    try {
        store::CoverImage::FromFile(big.fileName());
        ADD_FAILURE() << "200 MB taken";
    } catch (const store::ECoverError& e) {
        EXPECT_NE(e.message().find("200.0 MB"), std::string::npos) << e.message();
    }
    EXPECT_FALSE(QFile::exists(dir.path() + "/covers"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/extras.db"));
}

TEST_F(ExtrasTest, KeyChangeCopiesBeforeAndRemovesAfterTheBooksPost) {
    store::BookExtrasStore extras(dir.path());
    const QByteArray jpeg = encoded("JPG");
    extras.write(one, {"9.6", "CBCS", "77", {}, "a fair", "", ""});
    extras.setCover(one, store::CoverImage::FromBytes(jpeg, "scan"));
    const BookKey moved{1, store::AlignComicNo("1A"), ""};

    extras.beforeBookPost(one, moved, {});
    // Until the books row is posted both keys hold the extras.
    EXPECT_EQ(extras.read(one).grade, "9.6");
    EXPECT_EQ(extras.read(moved).source, "a fair");
    EXPECT_EQ(readFile(extras.coverPath(moved)), jpeg);
    EXPECT_TRUE(QFile::exists(extras.markerPath()));

    auto books = paradox::Table::open(dir.file("books.db"));
    paradox::Row row = books->row(books->find(one.values()));
    row[1] = moved.values()[1];
    books->update(books->find(one.values()), row);
    extras.afterBookPost(one, moved);
    EXPECT_EQ(extras.read(one), BookExtras{});
    EXPECT_EQ(coverFiles(), QStringList{"1_1A_.jpg"});
    EXPECT_FALSE(QFile::exists(extras.markerPath()));

    // A key another book holds is refused by the books table: nothing moves.
    extras.beforeBookPost(moved, two, {});
    EXPECT_EQ(extras.read(two), BookExtras{});
    EXPECT_FALSE(QFile::exists(extras.markerPath()));
}

// A cover imported under a name of its own may carry the name the new key
// gives: the key change must not delete it as the old key's file.
TEST_F(ExtrasTest, ACoverAlreadyNamedForTheNewKeySurvivesTheKeyChange) {
    const BookKey moved{1, store::AlignComicNo("1A"), ""};
    const QByteArray png = encoded("PNG");
    QDir().mkpath(dir.path() + "/covers");
    writeFile("covers/1_1A_.png", png);
    store::BookExtrasStore extras(dir.path());
    extras.write(one, {"9.6", "", "", {}, "", "", ""});
    {
        auto table = paradox::Table::open(dir.file("extras.db"));
        paradox::Row row = table->row(0);
        row[9] = paradox::Value::text("1_1A_.png");
        table->update(0, row);
    }
    extras.beforeBookPost(one, moved, {});
    auto books = paradox::Table::open(dir.file("books.db"));
    paradox::Row row = books->row(books->find(one.values()));
    row[1] = moved.values()[1];
    books->update(books->find(one.values()), row);
    extras.afterBookPost(one, moved);
    EXPECT_EQ(extras.read(moved).grade, "9.6");
    EXPECT_EQ(readFile(extras.coverPath(moved)), png);
}

TEST_F(ExtrasTest, TidyAfterAnInterruptionRemovesOrphanRowsAndMovesTheirCoversAside) {
    const QByteArray kept = encoded("PNG"), orphan = encoded("JPG");
    {
        store::BookExtrasStore extras(dir.path());
        extras.write(one, {"9.0", "", "", {}, "", "", ""});
        extras.setCover(one, store::CoverImage::FromBytes(kept, "kept"));
        extras.setCover(two, store::CoverImage::FromBytes(orphan, "orphan"));
    }
    removeBook(two);
    writeFile("covers/.1_9_.jpg.part", orphan);  // a cover write cut short
    {
        store::BookExtrasStore extras(dir.path());
        EXPECT_EQ(extras.tidyIfInterrupted().rowsRemoved, 0);  // no marker: nothing read
        EXPECT_EQ(extras.read(two).cover, "1_2_2nd.jpg");
        QFile(extras.markerPath()).open(QIODevice::WriteOnly);
        const store::TidyReport report = extras.tidyIfInterrupted();
        EXPECT_EQ(report.rowsRemoved, 1);
        EXPECT_EQ(report.coversMoved, 2);
        EXPECT_EQ(extras.read(two), BookExtras{});
        EXPECT_EQ(extras.read(one).grade, "9.0");
        EXPECT_EQ(readFile(extras.coverPath(one)), kept);
        EXPECT_FALSE(QFile::exists(extras.markerPath()));
    }
    EXPECT_EQ(coverFiles(), QStringList{"1_1_.png"});
    EXPECT_EQ(readFile(dir.path() + "/covers/orphaned/1_2_2nd.jpg"), orphan);
    EXPECT_EQ(coverFiles("orphaned").size(), 2);
}

TEST(GradeScale, TwentyFiveStepsWithNamesAndPerCentGradesOfTheSameWord) {
    const auto& grades = store::StandardGrades();
    ASSERT_EQ(grades.size(), 25u);
    for (std::size_t i = 1; i < grades.size(); ++i)
        EXPECT_LT(grades[i].tenths, grades[i - 1].tenths);
    EXPECT_EQ(grades.front().text(), "10.0");
    EXPECT_EQ(grades.back().text(), "0.5");
    EXPECT_EQ(store::FindStandardGrade("9.80")->name(), "9.8 NM/M");
    EXPECT_EQ(store::FindStandardGrade("9.4")->proposedPerc, 95);
    EXPECT_EQ(store::FindStandardGrade("8")->proposedPerc, 85);
    for (const store::StandardGrade& grade : grades) {
        // The word before any '/', without its + or -; a Gem Mint is Mint.
        QString word = QString(grade.words).section('/', 0, 0).remove('+').remove('-');
        if (word == "Gem Mint") word = "Mint";
        EXPECT_EQ(store::ConditionWord(store::GradeStep(grade.proposedPerc)), word)
            << grade.name().toStdString();
    }
    for (const char* bad : {"9.7", "11", "0", "9.85", "NM"}) {
        EXPECT_FALSE(store::FindStandardGrade(bad)) << bad;
        EXPECT_TRUE(store::StandardGradeProblem(bad).contains("9.8, 9.6")) << bad;
    }
    EXPECT_TRUE(store::StandardGradeProblem("").isEmpty());
}

TEST(ExtrasChecks, BarcodesCertificatesAndDates) {
    using V = store::UpcCheck::Verdict;
    EXPECT_EQ(store::CheckUpc("036000291452").verdict, V::Valid);
    EXPECT_EQ(store::CheckUpc("0 36000 29145 2 00111").digits, "03600029145200111");
    EXPECT_EQ(store::CheckUpc("0 36000 29145 2 00111").verdict, V::Valid);
    const store::UpcCheck wrong = store::CheckUpc("036000291453");
    EXPECT_EQ(wrong.verdict, V::WrongCheckDigit);
    EXPECT_TRUE(wrong.message.contains("should be 2")) << wrong.message.toStdString();
    for (const char* bad : {"03600029145", "0360002914521", "03600029145X"})
        EXPECT_EQ(store::CheckUpc(bad).verdict, V::Invalid) << bad;
    EXPECT_EQ(store::CheckUpc("  ").verdict, V::Blank);

    EXPECT_FALSE(store::CertificateProblem("", "4012345001").isEmpty());
    EXPECT_TRUE(store::CertificateProblem("9.8", "4012345001").isEmpty());

    QString problem;
    EXPECT_EQ(store::ParseBoughtDate("2024-02-29", &problem), QDate(2024, 2, 29));
    EXPECT_FALSE(store::ParseBoughtDate("2023-02-29", &problem));
    EXPECT_TRUE(problem.contains("does not exist")) << problem.toStdString();
    EXPECT_FALSE(store::ParseBoughtDate("2023-13-01", &problem));
    EXPECT_TRUE(problem.contains("does not exist"));
    EXPECT_FALSE(store::ParseBoughtDate("14/03/2021", &problem));
    EXPECT_TRUE(problem.contains("year-month-day"));
    EXPECT_FALSE(store::ParseBoughtDate("", &problem));
    EXPECT_TRUE(problem.isEmpty());
}

}  // namespace
