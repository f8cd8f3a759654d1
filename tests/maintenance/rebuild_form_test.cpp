// The rebuild window: its layout, Enter cancelling the untouched dialog,
// the full run over both tables, progress reaching its labels and bars, a
// failing run, and the frame's File, Rebuild Files opening it centred.

#include "maintenance/rebuild_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/centring.h"
#include "app/main_form.h"
#include "maintenance/tutility.h"
#include "store/book_extras.h"
#include "tests/maintenance/cwd_guard.h"
#include "tests/platform/tutil/fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class RebuildFormTest : public ::testing::Test {
protected:
    TestDir dir;
    TCurrentDirGuard cwd{dir.path()};

    void makeCollection() {
        fixture::createTable("series.db", fixture::seriesSchema(), fixture::seriesRows(120));
        fixture::createTable("books.db", fixture::booksSchema(), fixture::booksRows(400));
    }
};

TEST_F(RebuildFormTest, StartsReadyWithCancelAsDefault) {
    TRebuildForm form;
    EXPECT_EQ(form.windowTitle(), "File Re-Build Utility");
    EXPECT_EQ(form.size(), QSize(385, 234));
    EXPECT_EQ(form.font().family(), "Arial");
    EXPECT_TRUE(form.font().bold());
    EXPECT_EQ(form.font().pixelSize(), 13);
    EXPECT_EQ(
        form.Label1->text(),
        "The File Rebuild Utility will compress and re-organize the data files by removing any "
        "previously deleted entries.");
    EXPECT_EQ(
        form.Label2->text(),
        "This process can take a long time on slower computers.  DO NOT Re-boot while the system "
        "is processing the files.");
    EXPECT_EQ(form.ProgressSeries->geometry(), QRect(24, 96, 337, 17));
    EXPECT_EQ(form.LabelBooks->geometry(), QRect(84, 168, 217, 16));
    EXPECT_EQ(form.BtnProceed->geometry(), QRect(208, 200, 75, 25));
    EXPECT_EQ(form.BtnCancel->text(), "&Cancel");
    EXPECT_TRUE(form.BtnCancel->isDefault());
    for (QWidget* w :
         {static_cast<QWidget*>(form.ProgressSeries), static_cast<QWidget*>(form.LabelSeries),
          static_cast<QWidget*>(form.ProgressBooks), static_cast<QWidget*>(form.LabelBooks)})
        EXPECT_TRUE(w->isHidden());
    EXPECT_EQ(form.ProgressSeries->maximum(), 100);
    for (TTUtility* u : {form.TUtility, form.TUtility1}) {
        EXPECT_TRUE(u->CBActive);
        EXPECT_EQ(u->tErrTableName(), "__TUERR.DB");
        EXPECT_EQ(u->tKeyVTableName(), "KEYVIOL.DB");
        EXPECT_EQ(u->tProbTableName(), "PROBLEMS.DB");
    }
}

TEST_F(RebuildFormTest, EnterCancelsTheUntouchedDialog) {
    TRebuildForm form;
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.BtnCancel);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST_F(RebuildFormTest, ProceedRebuildsBothTablesAndDeletesTheBackups) {
    makeCollection();
    const auto series = fixture::rowTexts(fixture::seriesSchema(), fixture::readTable("series.db"));
    const auto books = fixture::rowTexts(fixture::booksSchema(), fixture::readTable("books.db"));
    TRebuildForm form;
    form.show();
    std::vector<int> seriesBar, booksBar;
    QObject::connect(form.ProgressSeries, &QProgressBar::valueChanged,
                     [&](int v) { seriesBar.push_back(v); });
    QObject::connect(form.ProgressBooks, &QProgressBar::valueChanged,
                     [&](int v) { booksBar.push_back(v); });

    form.BtnProceedClick();

    EXPECT_TRUE(form.ProgressSeries->isVisible());
    EXPECT_TRUE(form.ProgressBooks->isVisible());
    EXPECT_EQ(form.LabelSeries->text(), "Series Rebuild Complete");
    EXPECT_EQ(form.LabelBooks->text(), "Books Rebuild Complete");
    EXPECT_FALSE(form.BtnProceed->isEnabled());
    EXPECT_TRUE(form.BtnCancel->isEnabled());
    EXPECT_EQ(form.BtnCancel->text(), "&Close");
    EXPECT_EQ(form.ProgressSeries->value(), 100);
    EXPECT_EQ(form.ProgressBooks->value(), 100);
    EXPECT_GT(seriesBar.size(), 2u);
    EXPECT_GT(booksBar.size(), 2u);
    for (const char* name :
         {"series__.DB", "series__.MB", "series__.PX", "books__.DB", "books__.MB", "books__.PX"})
        EXPECT_FALSE(QFile::exists(name)) << name;
    EXPECT_EQ(fixture::rowTexts(fixture::seriesSchema(), fixture::readTable("series.db")), series);
    EXPECT_EQ(fixture::rowTexts(fixture::booksSchema(), fixture::readTable("books.db")), books);

    form.BtnCancel->click();  // Close still closes
    EXPECT_FALSE(form.isVisible());
}

// A collection with book extras has them rebuilt after the books, on the
// books' bar, with every row kept and the backups gone.
TEST_F(RebuildFormTest, ProceedRebuildsTheExtrasAfterTheBooks) {
    makeCollection();
    {
        store::BookExtrasStore extras(dir.path());
        const auto books = fixture::readTable("books.db");
        for (std::size_t i = 0; i < books.size(); i += 3)
            extras.write(store::BookKey::OfRow(books[i]),
                         {"6.5", "", "", QDate(1999, 12, 31), "a fair", "", ""});
    }
    paradox::Table::open("extras.db")->erase(0);  // a gap the rebuild packs
    const auto before = fixture::rowTexts(store::ExtrasSchema(), fixture::readTable("extras.db"));
    TRebuildForm form;
    QStringList labels;
    QObject::connect(form.ProgressBooks, &QProgressBar::valueChanged,
                     [&](int) { labels << form.LabelBooks->text(); });
    form.BtnProceedClick();
    EXPECT_TRUE(labels.contains("Rebuilding the Book Extras"));
    EXPECT_EQ(form.LabelBooks->text(), "Books Rebuild Complete");
    EXPECT_EQ(fixture::rowTexts(store::ExtrasSchema(), fixture::readTable("extras.db")), before);
    for (const char* name : {"extras__.DB", "extras__.MB", "extras__.PX"})
        EXPECT_FALSE(QFile::exists(name)) << name;
}

// The block size chosen in the window (unchanged by default) reaches both
// tables: rebuilt into 16 KiB blocks they keep every row, for pxlib too.
TEST_F(RebuildFormTest, ABlockSizeChosenRebuildsBothTablesIntoBlocksOfThatSize) {
    makeCollection();
    const auto books = fixture::rowTexts(fixture::booksSchema(), fixture::readTable("books.db"));
    TRebuildForm form;
    EXPECT_EQ(form.ComboBlockSize->currentText(), "Unchanged");
    form.ComboBlockSize->setCurrentIndex(form.ComboBlockSize->findText("16 KiB"));
    form.BtnProceedClick();
    EXPECT_FALSE(form.ComboBlockSize->isEnabled());
    EXPECT_EQ(fixture::layoutOf("series.db").blockSize, 16384u);
    EXPECT_EQ(fixture::layoutOf("books.db").blockSize, 16384u);
    EXPECT_EQ(fixture::pxlibRows("books.db", "books.mb", "books.px"), books);
}

// The window, like the command-line tool, knows the structure of the
// collection's tables: a books table whose field count was damaged is
// rebuilt whole from it.
TEST_F(RebuildFormTest, ADamagedDescriptorOfTheBooksIsRebuiltFromItsKnownStructure) {
    makeCollection();
    const auto books = fixture::rowTexts(fixture::booksSchema(), fixture::readTable("books.db"));
    fixture::patchBytes("books.db", 0x21, {15});
    TRebuildForm form;
    form.show();
    form.BtnProceedClick();
    EXPECT_EQ(form.LabelBooks->text(), "Books Rebuild Complete");
    EXPECT_EQ(fixture::rowTexts(fixture::booksSchema(), fixture::readTable("books.db")), books);
}

TEST_F(RebuildFormTest, MessageChangesTheLabelAndPercentTheBar) {
    TRebuildForm form;
    form.ProgressSeries->setValue(30);
    TRebuildCBData message;
    message.PercentDone = -1;
    message.MessageText = "series.db is damaged";
    form.TUtilityInfoRebuild(form.TUtility, message);
    EXPECT_EQ(form.LabelSeries->text(), "series.db is damaged");
    EXPECT_EQ(form.ProgressSeries->value(), 30);
    TRebuildCBData percent;
    percent.PercentDone = 64;
    form.TUtilityInfoRebuild(form.TUtility, percent);
    EXPECT_EQ(form.ProgressSeries->value(), 64);
    EXPECT_EQ(form.LabelSeries->text(), "series.db is damaged");
    form.TUtilityBooksInfoRebuild(form.TUtility1, percent);
    EXPECT_EQ(form.ProgressBooks->value(), 64);
    EXPECT_EQ(form.LabelBooks->text(), "Rebuilding the Books Database");
}

TEST_F(RebuildFormTest, MissingSeriesStopsBeforeTheBooks) {
    fixture::createTable("books.db", fixture::booksSchema(), fixture::booksRows(10));
    const auto books = fixture::readBytes("books.db");
    TRebuildForm form;
    form.show();
    try {
        form.BtnProceedClick();
        FAIL() << "no error";
    } catch (const ETUtilityError& e) {
        EXPECT_STREQ(e.what(), "Table not found.");
    }
    EXPECT_FALSE(form.BtnProceed->isEnabled());
    EXPECT_FALSE(form.BtnCancel->isEnabled());
    EXPECT_TRUE(form.LabelSeries->isVisible());
    EXPECT_EQ(form.LabelSeries->text(), "Rebuilding the Series Database");
    EXPECT_TRUE(form.LabelBooks->isHidden());
    EXPECT_EQ(fixture::readBytes("books.db"), books);
    EXPECT_FALSE(QFile::exists("books__.DB"));
    form.close();  // the title bar still closes it
    EXPECT_FALSE(form.isVisible());
}

TEST_F(RebuildFormTest, FrameOpensTheDialogCentred) {
    makeCollection();
    TMainForm frame;
    installRebuild(frame);
    frame.setGeometry(100, 80, 640, 480);
    frame.show();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TRebuildForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        seen = true;
        EXPECT_EQ(form->parent(), &frame);
        // Placed from the size of the dialog before it was shown.
        EXPECT_EQ(form->pos(), CentredTopLeft(frame.frameGeometry(), QSize(385, 234)));
        form->BtnCancel->click();
    });
    frame.RebuildFilesClick();
    EXPECT_TRUE(seen);
}

}  // namespace
